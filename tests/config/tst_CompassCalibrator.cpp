// The compass fit: the sample text, fits of synthetic spheres and ellipsoids, the results and the
// module's encoding of the solution.

#include "TestSupport.h"

#include "config/CompassCalibrator.h"

#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(Eigen::Vector3d)
Q_DECLARE_METATYPE(Eigen::Matrix3d)

namespace {

QByteArray word(double fullScaleValue)
{
    const qint16 value = qint16(std::lround(fullScaleValue / 2.0 * 32767.0));
    return QByteArray::number(quint16(value), 16).toUpper().rightJustified(4, '0');
}

// Records of samples offset + shape u for directions u spread evenly over the sphere; every
// outlierEvery-th one lies 1.3 times as far out.
QByteArray cloud(const Eigen::Vector3d &offset, const Eigen::Matrix3d &shape, int count,
                 int outlierEvery = 0)
{
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        const double z = 1 - 2 * (i + 0.5) / count;
        const double phi = i * M_PI * (3 - std::sqrt(5.0));
        const double r = std::sqrt(1 - z * z);
        Eigen::Vector3d u(r * std::cos(phi), r * std::sin(phi), z);
        if (outlierEvery && i % outlierEvery == 0)
            u *= 1.3;
        const Eigen::Vector3d s = offset + shape * u;
        text += QByteArray(16, '0') + word(s.x()) + word(s.y()) + word(s.z()) + "\r\n";
    }
    return text;
}

} // namespace

class TestCompassCalibrator : public QObject
{
    Q_OBJECT

private slots:
    void encodesValuesLikeTheModule_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("1") << 1.0f << QByteArray("7F000000");
        QTest::newRow("-1") << -1.0f << QByteArray("7F800000");
        QTest::newRow("0.5") << 0.5f << QByteArray("7E000000");
        QTest::newRow("0") << 0.0f << QByteArray("00000000");
        QTest::newRow("3") << 3.0f << QByteArray("80400000");
        QTest::newRow("-0.15625") << -0.15625f << QByteArray("7CA00000");
        QTest::newRow("NaN") << std::nanf("") << QByteArray("00000000");
    }

    void encodesValuesLikeTheModule()
    {
        QFETCH(float, value);
        QFETCH(QByteArray, text);
        QCOMPARE(CompassCalibrator::encodeValue(value), text);
    }

    void readsSampleText_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<int>>("completed");
        const QByteArray edges = QByteArray(16, '0') + "7FFF80000000";
        QTest::newRow("one record") << QList<QByteArray>{edges} << QList<int>{1};
        QTest::newRow("split 10 + 18") << QList<QByteArray>{edges.left(10), edges.mid(10)}
                                       << QList<int>{0, 1};
        QTest::newRow("lower case, separators")
            << QList<QByteArray>{QByteArray("0000 0000\r\n0000 0000;7fff-8000") + '\0' + "0000"}
            << QList<int>{1};
    }

    void readsSampleText()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<int>, completed);
        CompassCalibrator calibrator;
        for (int i = 0; i < chunks.size(); ++i)
            QCOMPARE(calibrator.addSamples(chunks[i].constData(), chunks[i].size()), completed[i]);
        QCOMPARE(calibrator.sampleCount(), 1);
        QCOMPARE(calibrator.sample(0), Eigen::Vector3f(2.0f, -2.0f, 0.0f));
    }

    void storesAThousandSamplesButCountsAll()
    {
        CompassCalibrator calibrator;
        const QByteArray text = cloud(Eigen::Vector3d::Zero(), Eigen::Matrix3d::Identity(), 1200);
        QCOMPARE(calibrator.addSamples(text.constData(), text.size()), 1200);
        QCOMPARE(calibrator.sampleCount(), CompassCalibrator::capacity);
    }

    void fitsEllipsoids_data()
    {
        QTest::addColumn<Eigen::Vector3d>("offset");
        QTest::addColumn<Eigen::Matrix3d>("shape");
        QTest::addColumn<int>("outlierEvery");
        QTest::addColumn<float>("distortion");
        const Eigen::Vector3d p(0.1, -0.05, 0.08);
        const Eigen::Matrix3d rotation =
            Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, 2, 3).normalized()).toRotationMatrix();
        const Eigen::Matrix3d ellipsoid =
            rotation * Eigen::Vector3d(0.6, 0.45, 0.35).asDiagonal() * rotation.transpose();
        QTest::newRow("sphere") << p << Eigen::Matrix3d(Eigen::Matrix3d::Identity() * 0.5) << 0
                                << 0.0f;
        QTest::newRow("rotated ellipsoid") << p << ellipsoid << 0 << 0.0f;
        QTest::newRow("one in 20 far out") << p << ellipsoid << 20 << 0.05f;
        QTest::newRow("one in 10 far out") << p << ellipsoid << 10 << 0.1f;
    }

    void fitsEllipsoids()
    {
        QFETCH(Eigen::Vector3d, offset);
        QFETCH(Eigen::Matrix3d, shape);
        QFETCH(int, outlierEvery);
        QFETCH(float, distortion);
        CompassCalibrator calibrator;
        const QByteArray text = cloud(offset, shape, 1000, outlierEvery);
        QCOMPARE(calibrator.addSamples(text.constData(), text.size()), 1000);
        QVERIFY(calibrator.fit());

        const CompassCalibrator::Results results = calibrator.computeResults();
        QCOMPARE(results.distortion, distortion);
        if (outlierEvery == 0) {
            // W maps the ellipsoid onto the unit sphere: W = shape⁻¹.
            QVERIFY((calibrator.offset().cast<double>() - offset).norm() < 1e-3);
            const Eigen::Matrix3d product = calibrator.correction().cast<double>() * shape;
            QVERIFY((product - Eigen::Matrix3d::Identity()).norm() < 1e-3);
            QVERIFY(std::abs(results.meanMagnitude - 1) < 1e-3);
            QVERIFY(results.meanDeviation < 1e-3);
        }

        // The order of the values is checked by the simulated module, which takes a solution
        // only when it corrects its own magnetometer.
        QCOMPARE(calibrator.solutionText().size(), CompassCalibrator::solutionTextLength);
    }

    void refusesCloudsThatAreNoEllipsoid()
    {
        for (const int count : {1000, 0}) { // a flat circle; nothing at all
            CompassCalibrator calibrator;
            const QByteArray text = cloud(Eigen::Vector3d(0.1, 0, 0),
                                          Eigen::Vector3d(0.5, 0.5, 0).asDiagonal(), count);
            calibrator.addSamples(text.constData(), text.size());
            QVERIFY(!calibrator.fit());
        }
    }
};

VENTROLLA_TEST_MAIN(TestCompassCalibrator)
#include "tst_CompassCalibrator.moc"
