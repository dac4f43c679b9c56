// The compass fit: the sample text, fits of synthetic spheres and ellipsoids, the results and the
// module's encoding of the solution.

#include "TestSupport.h"

#include "config/CompassCalibrator.h"

#include <QtTest>

#include <cmath>

namespace {

QByteArray word(double fullScaleValue)
{
    const qint16 value = qint16(std::lround(fullScaleValue / 2.0 * 32767.0));
    return QByteArray::number(quint16(value), 16).toUpper().rightJustified(4, '0');
}

// Records of samples offset + shape u for directions u spread evenly over the sphere; every
// outlierEvery-th one lies 1.3 times as far out.
QByteArray cloud(const Eigen::Vector3d &offset, const Eigen::Matrix3d &shape, int count, int outlierEvery = 0)
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
    void encodesValuesLikeTheModule()
    {
        const std::pair<float, const char *> examples[] = {{1.0f, "7F000000"}, {-1.0f, "7F800000"}, {0.5f, "7E000000"},
            {0.0f, "00000000"}, {3.0f, "80400000"}, {-0.15625f, "7CA00000"}, {std::nanf(""), "00000000"}};
        for (const auto &[value, text] : examples)
            QCOMPARE(CompassCalibrator::encodeValue(value), QByteArray(text));
    }

    // One record whole, split 10 + 18, and in lower case with separators between the words.
    void readsSampleText()
    {
        const QByteArray edges = QByteArray(16, '0') + "7FFF80000000";
        const QList<QList<QByteArray>> deliveries = {
            {edges}, {edges.left(10), edges.mid(10)}, {QByteArray("0000 0000\r\n0000 0000;7fff-8000") + '\0' + "0000"}};
        for (const QList<QByteArray> &chunks : deliveries) {
            CompassCalibrator calibrator;
            for (int i = 0; i < chunks.size(); ++i)
                QCOMPARE(calibrator.addSamples(chunks[i].constData(), chunks[i].size()), int(i == chunks.size() - 1));
            QCOMPARE(calibrator.sampleCount(), 1);
            QCOMPARE(calibrator.sample(0), Eigen::Vector3f(2.0f, -2.0f, 0.0f));
        }
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
        QTest::addColumn<bool>("sphere");
        QTest::addColumn<int>("outlierEvery");
        QTest::addColumn<float>("distortion");
        QTest::newRow("sphere") << true << 0 << 0.0f;
        QTest::newRow("rotated ellipsoid") << false << 0 << 0.0f;
        QTest::newRow("one in 20 far out") << false << 20 << 0.05f;
        QTest::newRow("one in 10 far out") << false << 10 << 0.1f;
    }

    void fitsEllipsoids()
    {
        QFETCH(bool, sphere);
        QFETCH(int, outlierEvery);
        QFETCH(float, distortion);
        const Eigen::Vector3d offset(0.1, -0.05, 0.08);
        const Eigen::Matrix3d turn = Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, 2, 3).normalized()).toRotationMatrix();
        const Eigen::Matrix3d shape = sphere ? Eigen::Matrix3d(Eigen::Matrix3d::Identity() * 0.5)
                                             : turn * Eigen::Vector3d(0.6, 0.45, 0.35).asDiagonal() * turn.transpose();
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
            const QByteArray text = cloud(Eigen::Vector3d(0.1, 0, 0), Eigen::Vector3d(0.5, 0.5, 0).asDiagonal(), count);
            calibrator.addSamples(text.constData(), text.size());
            QVERIFY(!calibrator.fit());
        }
    }
};

VENTROLLA_TEST_MAIN(TestCompassCalibrator)
#include "tst_CompassCalibrator.moc"
