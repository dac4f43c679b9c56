// The model's own state machine against the simulated base station and flight modules, through
// a real pseudo-terminal: configuration of the radio, acquisition, start, data sets, stop, reset
// and saved modules, on a clean line and on a faulty one.

#include "BaseStationSimulator.h"
#include "TestSupport.h"

#include "core/Model.h"
#include "core/State_Acquiring.h"
#include "core/State_Running.h"
#include "core/State_Starting.h"
#include "core/State_Stopped.h"
#include "core/State_Stopping.h"
#include "core/State_Unacquired.h"
#include "core/State_Unconfigured.h"
#include "link/FlightModule.h"
#include "link/State_Configuring.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// The model's configuration measures its windows (a second of silence, three seconds for the
// answer) on its own clock. Running that clock four times faster than real time and shortening
// the radio's guard time to match keeps the three-rate search to about two seconds: the model
// sends "+++" 250 ms (real) after a rate change, the radio wants 100 ms of silence on either
// side, and the answer is due within 750 ms.
constexpr qint64 modelClockFactor = 4;
constexpr int radioGuardMs = 100;
constexpr qint64 radioAddress = qint64(0x0013A200C0FFEE01ULL); // low half above 0x7FFFFFFF

BaseStationSimulator::Settings simulatorSettings(int moduleCount, double speed = 25)
{
    BaseStationSimulator::Settings settings;
    settings.address = radioAddress;
    settings.guardTimeMs = radioGuardMs;
    settings.powerOnDelayMs = 0;
    settings.powerOnIntervalMs = 60; // modules come up one after another, in list order
    settings.speed = speed;
    settings.startTime = QDateTime(QDate(2024, 6, 1), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < moduleCount; ++i) {
        SimulatedModule::Settings module;
        module.identifier = QStringLiteral("SND%1").arg(i + 1);
        module.heightAboveGround = 50 + 300 * i;
        settings.modules.append(module);
    }
    return settings;
}

// What the table showed for every row when a data set was announced.
struct DataSet
{
    QStringList times;
    QStringList pressures;
    QStringList recordTimes; // the modules' latest records, for comparison
};

class Sounding
{
public:
    explicit Sounding(const BaseStationSimulator::Settings &settings)
        : simulator(settings), model(std::make_unique<Model>(0, 0, false, false, false, false))
    {
        wall.start();
        model->setClock([this] { return wall.elapsed() * modelClockFactor; });
        QObject::connect(model.get(), &Model::dataSetReady, [this] {
            DataSet set;
            for (int row = 0; row < model->rowCount(); ++row) {
                set.times << model->data(model->index(row, 8)).toString();
                set.pressures << model->data(model->index(row, 2)).toString();
                set.recordTimes << model->moduleList().module(row)->field(8).toString();
            }
            sets.append(set);
        });
        for (int i = 0; i < simulator.moduleCount(); ++i) {
            QObject::connect(simulator.module(i), &SimulatedModule::event,
                             [this, i](const QString &text) {
                                 if (text.contains(QLatin1String("reports every")))
                                     timingsAt[i].append(wall.elapsed());
                             });
        }
    }

    bool open()
    {
        if (!simulator.start())
            return false;
        model->setPortName(simulator.portName());
        return model->openPort();
    }

    bool in(State *state) const { return model->currentState() == state; }
    const Model::States &states() const { return model->states(); }

    QStringList identifiers() const
    {
        QStringList out;
        for (int row = 0; row < model->rowCount(); ++row)
            out << model->data(model->index(row, 0)).toString();
        return out;
    }

    QStringList simulatedIdentifiers() const
    {
        QStringList out;
        for (int i = 0; i < simulator.moduleCount(); ++i)
            out << simulator.module(i)->settings().identifier;
        return out;
    }

    int reportingModules() const
    {
        int n = 0;
        for (int i = 0; i < simulator.moduleCount(); ++i)
            n += simulator.module(i)->activity() == SimulatedModule::Activity::Reporting;
        return n;
    }

    BaseStationSimulator simulator;
    std::unique_ptr<Model> model;
    QElapsedTimer wall;
    QList<DataSet> sets;
    QHash<int, QList<qint64>> timingsAt;
};

int distinct(const QStringList &values)
{
    return QSet<QString>(values.begin(), values.end()).size();
}

int secondOfDay(const QString &text)
{
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    return time.isValid() ? time.msecsSinceStartOfDay() / 1000 : -1;
}

} // namespace

class TestSimulatedSounding : public SettingsTestCase
{
    Q_OBJECT

private:
    // From an open port through configuration and acquisition of every simulated module into
    // State_Stopping. Lost Hello messages on a faulty line may change the order of adoption.
    void acquireAll(Sounding &s, bool inOrder = true, int timeoutMs = 6000)
    {
        QVERIFY(s.open());
        QVERIFY(s.in(s.states().configuring));
        QTRY_VERIFY_WITH_TIMEOUT(s.in(s.states().acquiring), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(s.model->rowCount(), s.simulator.moduleCount(), timeoutMs);
        QStringList adopted = s.identifiers();
        QStringList expected = s.simulatedIdentifiers();
        if (!inOrder) {
            adopted.sort();
            expected.sort();
        }
        QCOMPARE(adopted, expected);
        s.model->stopAcquiring();
        QVERIFY(s.in(s.states().stopping));
    }

private slots:
    void configuresTheRadioAtAnyOfItsRates_data()
    {
        QTest::addColumn<int>("storedRate");
        QTest::newRow("57600") << 57600;
        QTest::newRow("9600") << 9600;
        QTest::newRow("115200") << 115200;
    }

    void configuresTheRadioAtAnyOfItsRates()
    {
        QFETCH(int, storedRate);
        BaseStationSimulator::Settings settings = simulatorSettings(0);
        settings.baudRate = storedRate;
        Sounding s(settings);
        QVERIFY(s.in(s.states().unconfigured));
        QVERIFY(s.open());
        QTRY_VERIFY_WITH_TIMEOUT(s.in(s.states().acquiring), 6000);
        QVERIFY(s.model->isBaseStationReady());
        QCOMPARE(s.model->baseStationAddressHigh(), quint32(0x0013A200));
        QCOMPARE(s.model->baseStationAddressLow(), quint32(0xC0FFEE01));
        QCOMPARE(s.model->serialPort()->baudRate(), 57600);
        QCOMPARE(s.simulator.baudRate(), 57600);
        QCOMPARE(s.simulator.mode(), BaseStationSimulator::Mode::Api);
    }

    void configurationFailsWithoutTheRightAnswers_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QByteArray>("wrongAnswer");
        QTest::newRow("no answer to +++") << true << QByteArray();
        QTest::newRow("ATBD answers ERROR") << false << QByteArray("BD");
        QTest::newRow("ATSL answers ERROR") << false << QByteArray("SL");
    }

    void configurationFailsWithoutTheRightAnswers()
    {
        QFETCH(bool, silent);
        QFETCH(QByteArray, wrongAnswer);
        BaseStationSimulator::Settings settings = simulatorSettings(1);
        settings.faults.ignoreGuardSequence = silent;
        settings.faults.wrongAnswerCommand = wrongAnswer;
        Sounding s(settings);
        QVERIFY(s.open());
        QTRY_VERIFY_WITH_TIMEOUT(!s.in(s.states().configuring), 6000);
        QVERIFY(s.in(s.states().unconfigured));
        QVERIFY(!s.model->isBaseStationReady());
        QCOMPARE(s.model->rowCount(), 0);
    }

    void wholeRunCycle()
    {
        Sounding s(simulatorSettings(3));
        acquireAll(s);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(s.in(s.states().stopped), 3000);
        QCOMPARE(s.reportingModules(), 0);

        // Start: one timing command per module, a tenth of a second apart.
        s.timingsAt.clear();
        const qint64 runAt = s.wall.elapsed();
        s.model->setDataInterval(1); // a report every second
        s.model->run();
        QVERIFY(s.model->isStarting());
        QTRY_VERIFY_WITH_TIMEOUT(s.model->isRunning(), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(s.reportingModules(), 3, 1000);
        QList<qint64> times;
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(s.timingsAt.value(i).size(), 1);
            QCOMPARE(s.simulator.module(i)->reportIntervalSeconds(), 1);
            QCOMPARE(s.simulator.module(i)->fieldSelection(), s.model->fieldSelection());
            times << s.timingsAt.value(i).first();
        }
        QVERIFY(times[0] - runAt >= 60);
        QVERIFY(times[1] - times[0] >= 60);
        QVERIFY(times[2] - times[1] >= 60);

        // Data sets: once all three report, one set per second of module time, each holding
        // all three modules' values of that second.
        s.sets.clear();
        QTRY_VERIFY_WITH_TIMEOUT(s.sets.size() >= 25, 5000);
        int first = -1;
        for (int i = 0; i < s.sets.size() && first < 0; ++i) {
            if (distinct(s.sets[i].times) == 1)
                first = i;
        }
        QVERIFY(first >= 0 && first < 12);
        for (int i = first; i < s.sets.size(); ++i) {
            const DataSet &set = s.sets[i];
            QCOMPARE(set.times.size(), 3);
            QCOMPARE(distinct(set.times), 1);
            if (i > first)
                QCOMPARE(secondOfDay(set.times[0]), secondOfDay(s.sets[i - 1].times[0]) + 1);
        }
        QCOMPARE(distinct(s.sets.last().pressures), 3); // different heights

        s.model->stop();
        QVERIFY(s.model->isStopping());
        QTRY_VERIFY_WITH_TIMEOUT(s.in(s.states().stopped), 3000);
        QCOMPARE(s.reportingModules(), 0);

        // Reset: the modules are saved, the radio configured again, the table emptied.
        QVERIFY(s.model->canReset());
        s.model->reset();
        QVERIFY(s.in(s.states().configuring));
        QCOMPARE(s.model->rowCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(s.in(s.states().unacquired), 3000);
        QCOMPARE(s.model->rowCount(), 0);

        QVERIFY(s.model->canLoadSavedModules());
        s.model->loadSavedModules();
        QVERIFY(s.in(s.states().stopped));
        QCOMPARE(s.identifiers(), s.simulatedIdentifiers());

        // The restored modules are the same radios: they run again.
        s.sets.clear();
        s.model->setDataInterval(1); // a report every second
        s.model->run();
        QTRY_VERIFY_WITH_TIMEOUT(s.model->isRunning(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(s.sets.size() >= 12 && distinct(s.sets.last().times) == 1,
                                 5000);
        s.model->stop();
        QTRY_VERIFY_WITH_TIMEOUT(s.in(s.states().stopped), 3000);

        QVERIFY(s.model->canClearSavedModules());
        s.model->clearSavedModules();
        QVERIFY(!s.model->moduleList().hasSavedModules());
        QCOMPARE(s.model->rowCount(), 3);
    }

    void singleModuleSetHoldsTheMessageThatClosedIt()
    {
        Sounding s(simulatorSettings(1));
        acquireAll(s);
        if (QTest::currentTestFailed())
            return;
        QTRY_VERIFY_WITH_TIMEOUT(s.in(s.states().stopped), 3000);
        s.model->setDataInterval(1); // a report every second
        s.model->run();
        QTRY_VERIFY_WITH_TIMEOUT(s.model->isRunning(), 3000);
        s.sets.clear();
        QTRY_VERIFY_WITH_TIMEOUT(s.sets.size() >= 10, 5000);
        for (int i = 0; i < s.sets.size(); ++i) {
            QCOMPARE(s.sets[i].times, s.sets[i].recordTimes);
            if (i > 0)
                QCOMPARE(secondOfDay(s.sets[i].times[0]), secondOfDay(s.sets[i - 1].times[0]) + 1);
        }
    }

    void faultyLineStillFormsDataSets()
    {
        BaseStationSimulator::Settings settings = simulatorSettings(3, 10);
        settings.faults.corruptChecksumRate = 0.1;
        settings.faults.garbageRate = 0.1;
        settings.faults.splitWrites = true;
        settings.modules[2].ignoresStop = true;
        Sounding s(settings);
        acquireAll(s, false, 10000);
        if (QTest::currentTestFailed())
            return;

        // The module that ignores the stop packet keeps the stop sequence waiting until its
        // time limit; a lost answer of another module does the same.
        QVERIFY(s.model->timers().timeout.isActive());
        QCOMPARE(s.model->timers().timeout.interval(), 4000);
        QTRY_COMPARE_WITH_TIMEOUT(s.reportingModules(), 1, 3000);
        QTest::qWait(300);
        QVERIFY(s.model->isStopping());
        QMetaObject::invokeMethod(s.model.get(), "onTimeoutTimer");
        QVERIFY(s.in(s.states().stopped));

        s.model->setDataInterval(1); // a report every second

        s.model->run();
        QTRY_VERIFY_WITH_TIMEOUT(s.model->isRunning(), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(s.reportingModules(), 3, 1000);
        QTest::qWait(500);
        s.sets.clear();
        QTRY_VERIFY_WITH_TIMEOUT(s.sets.size() >= 20, 8000);

        const QRegularExpression timeFormat(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
        int complete = 0;
        for (int i = 0; i < s.sets.size(); ++i) {
            const DataSet &set = s.sets[i];
            QCOMPARE(set.times.size(), 3);
            for (int row = 0; row < 3; ++row) {
                QVERIFY2(timeFormat.match(set.times[row]).hasMatch(), qPrintable(set.times[row]));
                bool ok = false;
                const double pressure = set.pressures[row].toDouble(&ok);
                QVERIFY2(ok && pressure > 800 && pressure < 1100, qPrintable(set.pressures[row]));
            }
            complete += distinct(set.times) == 1;
            if (i > 0)
                QVERIFY(secondOfDay(set.times[0]) > secondOfDay(s.sets[i - 1].times[0]) - 2);
        }
        // A lost Data message leaves its row a second behind; a lost set is rare.
        const int span =
            secondOfDay(s.sets.last().times[0]) - secondOfDay(s.sets.first().times[0]) + 1;
        QVERIFY2(s.sets.size() >= span * 8 / 10, qPrintable(QString::number(span)));
        QVERIFY2(complete * 2 >= s.sets.size(), qPrintable(QString::number(complete)));

        s.model->stop();
        QTRY_COMPARE_WITH_TIMEOUT(s.reportingModules(), 1, 3000);
        QTest::qWait(300);
        QVERIFY(s.model->isStopping());
        QMetaObject::invokeMethod(s.model.get(), "onTimeoutTimer");
        QVERIFY(s.in(s.states().stopped));
    }
};

VENTROLLA_TEST_MAIN(TestSimulatedSounding)
#include "tst_SimulatedSounding.moc"
