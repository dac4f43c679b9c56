// Every configuration flow of the model against the simulated base station and its modules on a
// pseudo-terminal, with modules that behave and modules that let the ground station down; the
// compass fit (the sample text, fits of synthetic spheres and ellipsoids, the results and the
// module's encoding of the solution).

#include "Atmosphere.h"
#include "BaseStationSimulator.h"
#include "SimulatedClock.h"
#include "TestSupport.h"

#include "config/CompassCalibrator.h"
#include "config/State_Acquiring_Calib.h"
#include "config/State_Calibrating_Compass.h"
#include "config/State_CalibrationDelay.h"
#include "core/Model.h"
#include "core/State_Stopped.h"
#include "core/State_Unacquired.h"
#include "link/FlightModule.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

using Fault = SimulatedModule::CalibrationFault;

// Modules of the bench, by table row.
enum Row { Cup, Pitot, Failing, Silent, WrongEcho, Short750, Short749 };

// Kind 'D' has a cup anemometer, 'Q' a pitot tube; both have a thermistor.
SimulatedModule::Settings module(char kind, const char *id, Fault fault = Fault::None, int compassSamples = 1000)
{
    SimulatedModule::Settings m{kind, id};
    std::tie(m.calibrationFault, m.compassSamples) = std::tie(fault, compassSamples);
    return m;
}

using TestSupport::waitUntil;

// A compass sample word in hexadecimal; full scale is 2.
QByteArray word(double value)
{
    return QByteArray::number(quint16(qint16(std::lround(value / 2 * 32767))), 16).toUpper().rightJustified(4, '0');
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

class TestConfigFlows : public SettingsTestCase
{
    Q_OBJECT

private:
    // The model's clock runs four times faster than the wall clock while the radio is configured
    // (it is over in about a second); then it stands still, and only tickAt() moves it.
    qint64 clock() const { return frozenMs >= 0 ? frozenMs : wall.elapsed() * 4; }
    bool in(const State *state) const { return model->currentState() == state; }
    const Model::States &states() const { return model->states(); }

    void select(int row)
    {
        model->moduleList().setCurrentIndex(row);
        QCOMPARE(model->currentModuleText(), simulator->module(row)->settings().identifier);
    }

    // Moves the clock to atMs after since and gives the model a fast-timer tick.
    void tickAt(qint64 since, qint64 atMs)
    {
        frozenMs = since + atMs;
        QMetaObject::invokeMethod(model.get(), "onFastTimer");
    }

    // The state's time limit is the model's timeout timer: check it, then let it expire.
    void expireTimeout(int intervalMs, bool singleShot)
    {
        QVERIFY(model->timers().timeout.isActive());
        QCOMPARE(model->timers().timeout.interval(), intervalMs);
        QCOMPARE(model->timers().timeout.isSingleShot(), singleShot);
        QMetaObject::invokeMethod(model.get(), "onTimeoutTimer");
    }

    void finishWith(bool success, const QString &message)
    {
        QVERIFY(waitUntil([this] { return model->hasOutcome(); }));
        QCOMPARE(model->lastCalibrationSucceeded(), success);
        QCOMPARE(model->outcomeTitle(), QString(success ? "Calibration Succeeded" : "Calibration Failed"));
        QCOMPARE(model->outcomeMessage(), message);
        QVERIFY(!model->canCalibrate() && !model->canAcquire() && !model->showsProgress());
        model->acknowledgeOutcome();
        QVERIFY(in(states().stopped));
    }

private slots:
    void initTestCase()
    {
        BaseStationSimulator::Settings settings;
        settings.guardTimeMs = 100;
        settings.powerOnDelayMs = 0;
        settings.powerOnIntervalMs = 60;
        settings.speed = 100;
        settings.modules = {module('D', "CUP"), module('Q', "PITOT"), module('D', "FAILING", Fault::Error),
                            module('D', "SILENT", Fault::Silent), module('D', "WRONGECHO", Fault::WrongReference),
                            module('D', "SHORT750", Fault::None, 750), module('D', "SHORT749", Fault::None, 749)};
        simulator = std::make_unique<BaseStationSimulator>(settings);
        QVERIFY(simulator->start());
        model = std::make_unique<Model>(0, 0, false, false, false, false);
        wall.start();
        model->setClock([this] { return clock(); });
        model->setConfigMode(1);
        model->setPortName(simulator->portName());

        // In configuration mode the port leads through the radio's configuration into an
        // acquisition that adopts every module on its CalibReady, without starting it.
        QVERIFY(model->openPort() && model->isConfiguring());
        QTRY_VERIFY_WITH_TIMEOUT(in(states().acquiringCalib), 5000);
        QVERIFY(model->isAcquiring() && model->showsProgress() && !model->canAcquire());
        QCOMPARE(model->progressText(), QStringLiteral("Searching for new modules..."));
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), settings.modules.size(), 5000);
        model->stopAcquiring();
        QVERIFY(in(states().stopped));
        for (int i = 0; i < simulator->moduleCount(); ++i) {
            QCOMPARE(model->moduleList().module(i)->moduleId(), settings.modules[i].identifier);
            QCOMPARE(simulator->module(i)->activity(), SimulatedModule::Activity::Idle);
        }
        frozenMs = clock();
    }

    void init()
    {
        SettingsTestCase::init();
        if (model->hasOutcome()) // left by a failed test
            model->acknowledgeOutcome();
        QVERIFY(in(states().stopped));
    }

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
            QVERIFY(std::abs(results.meanMagnitude - 1) < 1e-3 && results.meanDeviation < 1e-3);
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

    void compass_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("success");
        QTest::newRow("1000 samples, confirmed") << int(Cup) << true;
        QTest::newRow("750 samples, then silence") << int(Short750) << true;
        QTest::newRow("749 samples, then silence") << int(Short749) << false;
        QTest::newRow("CalibErr") << int(Failing) << false;
        QTest::newRow("no samples") << int(Silent) << false;
    }

    void compass()
    {
        QFETCH(int, row);
        QFETCH(bool, success);
        select(row);
        model->setCalibrationType(0);
        const qint64 start = clock();
        model->startCalibration();
        QVERIFY(in(states().calibrationDelay));
        QCOMPARE(model->progressText(), QStringLiteral("Waiting 10 seconds..."));

        // The delay ends at 9900 ms, not 10000.
        tickAt(start, 9850);
        QVERIFY(in(states().calibrationDelay));
        QCOMPARE(model->progressValue(), 99);
        tickAt(start, 9900);
        QVERIFY(in(states().calibratingCompass) && model->isCalibrating());

        const int samples = simulator->module(row)->settings().compassSamples;
        if (row != Cup && row != Failing) { // neither confirmed nor refused: the time limit decides
            if (row != Silent)
                QVERIFY(waitUntil([&] { return model->progressValue() == samples / 10; }));
            QTest::qWait(100);
            QVERIFY(in(states().calibratingCompass));
            expireTimeout(35000, false);
        }
        if (success)
            QVERIFY(model->compassDistortion() < 0.01f);
        finishWith(success, success ? "The module was successfully calibrated."
                                    : "Calibration of the module failed. Please remove and power cycle the module.");
        QVERIFY(!model->compassCalibrator());
    }

    void otherCalibrations_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("timeLimitMs"); // 0: the module's answer decides
        QTest::addColumn<QString>("message"); // "The module..." when it succeeds
        const QString done = QStringLiteral("The module was successfully calibrated.");
        const QString failed = QStringLiteral("Calibration of the module failed.");
        const QString thermistor = QStringLiteral("The module's thermistor ");
        const QString noThermistor = QStringLiteral("Calibration of the module's thermistor failed.");
        QTest::newRow("cup") << int(Cup) << 1 << 0 << 0 << done;
        QTest::newRow("pitot") << int(Pitot) << 1 << 0 << 0 << done;
        QTest::newRow("cup, CalibErr") << int(Failing) << 1 << 0 << 0 << failed;
        QTest::newRow("cup, no answer") << int(Silent) << 1 << 0 << 3000 << failed;
        QTest::newRow("thermistor, auto") << int(Cup) << 2 << 0 << 0 << thermistor + "was successfully calibrated.";
        QTest::newRow("thermistor, reference") << int(Cup) << 2 << 1 << 0
            << thermistor + "was successfull calibrated with a reference temperature of 21.50 \u00B0C";
        QTest::newRow("Beta") << int(Cup) << 2 << 2 << 0 << thermistor + "Beta value was successfully changed to 3950.";
        QTest::newRow("wrong echo") << int(WrongEcho) << 2 << 1 << 4000 << noThermistor;
        QTest::newRow("thermistor, CalibErr") << int(Failing) << 2 << 0 << 4000 << noThermistor;
        QTest::newRow("Beta, no answer") << int(Silent) << 2 << 2 << 4000
                                         << "Ventrolla failed to change the module's Beta value.";
    }

    void otherCalibrations()
    {
        QFETCH(int, row);
        QFETCH(int, type);
        QFETCH(int, option);
        QFETCH(int, timeLimitMs);
        QFETCH(QString, message);
        select(row);
        QVERIFY(model->canCalibrateThermistor());
        model->setCalibrationType(type);
        QCOMPARE(model->cupAnemometer(), row == Pitot ? 0 : 1);
        model->setThermistorOption(option);
        model->setCupCalibration(999, 99);
        model->setReferenceTemperature(29465);
        model->setBeta(3950);
        QSignalSpy events(simulator->module(row), &SimulatedModule::event);
        const qint64 start = clock();
        model->startCalibration();
        QVERIFY(model->isCalibrating() && model->showsProgress());
        QCOMPARE(model->progressText(),
                 QStringLiteral("Calibrating module %1...").arg(type == 1 ? "anemometer" : "thermistor"));
        if (row == Pitot) { // a pitot tube's calibration is timed: 8 of its 80 seconds are 10 %
            tickAt(start, 8000);
            QCOMPARE(QString("%1/%2").arg(model->progressValue()).arg(model->progressMaximum()), "10/100");
        }
        if (timeLimitMs) {
            // Whatever the module answers is not enough: the state holds until its time limit,
            // a stopwatch for the anemometer, the timeout timer for the thermistor.
            QTest::qWait(150);
            QVERIFY(model->isCalibrating());
            if (type == 1) {
                tickAt(start, timeLimitMs - 10);
                QCOMPARE(model->progressValue(), 99);
                tickAt(start, timeLimitMs);
            } else {
                expireTimeout(timeLimitMs, true);
            }
        }
        finishWith(message.startsWith(QLatin1String("The module")), message);
        if (row == Cup && type == 1)
            QCOMPARE(events.first().first().toString(), QString("CUP stores cup constants: slope 999, offset 99"));
    }

    void indoorToggle()
    {
        select(Cup);
        QCOMPARE(model->indoorStatusText(), QStringLiteral("OFF"));
        for (const char *status : {"ON", "OFF"}) {
            model->toggleIndoor();
            QVERIFY(model->showsProgress() && !model->hasOutcome());
            QCOMPARE(model->progressText(), QStringLiteral("Toggling indoor mode..."));
            QTRY_VERIFY(in(states().stopped));
            QCOMPARE(model->indoorStatusText(), QString::fromLatin1(status));
            QCOMPARE(simulator->module(Cup)->isIndoor(), QByteArray(status) == "ON");
        }

        // No answer: back to idle after 3 s without an outcome.
        select(Silent);
        model->toggleIndoor();
        expireTimeout(3000, true);
        QVERIFY(in(states().stopped));
        QCOMPARE(model->indoorStatusText(), QStringLiteral("OFF"));
    }

    // The simulator's fault options, and what its GPS modules report.
    void removingTheLastModuleEndsInUnacquired()
    {
        while (model->canClearModule())
            model->clearModule();
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(in(states().unacquired));
        model->acquire();
        QVERIFY(in(states().acquiringCalib));
        QCOMPARE(model->currentModuleText(), QStringLiteral("<None>"));
        model->stopAcquiring();
        QVERIFY(in(states().unacquired));
    }

private:
    std::unique_ptr<BaseStationSimulator> simulator;
    std::unique_ptr<Model> model;
    QElapsedTimer wall;
    qint64 frozenMs = -1;
};

VENTROLLA_TEST_MAIN(TestConfigFlows)
#include "tst_ConfigFlows.moc"
