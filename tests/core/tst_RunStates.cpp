// Acquiring, stopping, starting and running: the test plays the base station and the flight
// modules on the far side of a pseudo-terminal and gives the timer ticks by hand.

#include "ModelHarness.h"
#include "TestSupport.h"

#include <QtTest>

using ModuleBytes::hello;
using ModuleBytes::message;

namespace {

constexpr qint64 first = 0x0013A20040000001;
constexpr qint64 second = 0x0013A20040000002;
constexpr qint64 third = 0x0013A20040000003;
constexpr qint64 stranger = 0x0013A200400000FF;
constexpr int anHour = 3600 * 1000;
const QByteArray calibReady = message(0x91);

QString cell(Model &model, int row, int column) { return model.data(model.index(row, column)).toString(); }

// What the current state answers, as the windows ask it.
QString answers(Model &m)
{
    const bool bits[] = {m.canOpenPort(), m.isConfiguring(), m.isBaseStationReady(), m.canAcquire(), m.isAcquiring(),
                         m.canBeginLogging(), m.canReset(), m.canLoadSavedModules(), m.canClearSavedModules(),
                         m.canRun(), m.isStarting(), m.isRunning(), m.canStop(), m.isStopping(),
                         m.canChangeDataInterval(), m.canClearModule(), m.canNextModule(), m.canPreviousModule(),
                         m.showsProgress(), m.canToggleIndoor(), m.canCalibrate(), m.isCalibrating(),
                         m.canCalibrateThermistor(), m.hasOutcome()};
    QString text;
    for (int i = 0; i < 24; ++i)
        text += QLatin1String(i % 6 || !i ? "" : " ") + QString::number(bits[i]);
    return text + ' ' + m.currentModuleText() + ' ' + m.indoorStatusText();
}

} // namespace

class TestRunStates : public SettingsTestCase
{
    Q_OBJECT

private slots:
    // Acquisition, the stop sequence, reset and the saved modules, with one module heard but
    // never taken into the table; and what each state answers on the way.
    void acquisitionStopAndReset()
    {
        ModelRig rig;
        Model &model = rig.model();
        QCOMPARE(answers(model), QStringLiteral("100000 000000 001000 000000 <None> OFF"));
        QVERIFY(rig.open());
        QCOMPARE(answers(model), QStringLiteral("010000 000000 000000 000000 <None> OFF"));
        QVERIFY(rig.configure(0x0013A200, 0x40B1C2D3));
        QCOMPARE(answers(model), QStringLiteral("001010 000000 000000 000000 <None> OFF"));
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        // A module heard but not in the table is forgotten when acquisition stops; without
        // modules acquisition ends unacquired, where nothing is listened to.
        QVERIFY(rig.deliverFrom(third, hello('P', "TX0003")));
        QCOMPARE(rig.takeBytes(handshakeFrames(third)), handshakeFrames(third));
        model.stopAcquiring();
        QCOMPARE(answers(model), QStringLiteral("001100 000000 000000 000000 <None> OFF"));
        QVERIFY(rig.deliverFrom(third, calibReady));
        QVERIFY(rig.deliverFrom(second, hello('P', "TX0002")));
        QCOMPARE(model.newModuleList().count(), 0);
        QVERIFY(rig.wroteNothing());
        model.acquire();

        // Hello: the module's radio is pointed at the base station. Calib Ready: timing with
        // the fast interval. The first Data message moves it into the table.
        for (const qint64 address : {first, second}) {
            QVERIFY(rig.deliverFrom(address, hello('P', address == first ? "TX0001" : "TX0002")));
            QCOMPARE(rig.takeBytes(handshakeFrames(address)), handshakeFrames(address));
            QCOMPARE(model.newModuleList().count(), 1);
            QVERIFY(rig.deliverFrom(address, calibReady));
            QCOMPARE(rig.takeBytes(timingFrame(address, 1)), timingFrame(address, 1));
            QCOMPARE(inserted.count(), int(address - first));
            QVERIFY(rig.deliverFrom(address, dataAt(12, 0, 0, 10001)));
            QCOMPARE(inserted.count(), int(address - first) + 1);
            QCOMPARE(model.newModuleList().count(), 0);
        }
        QCOMPARE(cell(model, 1, 0) + ' ' + cell(model, 1, 2) + ' ' + cell(model, 1, 8),
                 QStringLiteral("TX0002 1000.1 12:00:00"));
        // A module already in the table is configured again on Hello; its data refresh the table.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(rig.deliverFrom(first, hello('P', "TX0001")));
        QCOMPARE(rig.takeBytes(handshakeFrames(first)), handshakeFrames(first));
        QVERIFY(rig.deliverFrom(first, dataAt(12, 0, 2, 10002)));
        QCOMPARE(cell(model, 0, 2), QStringLiteral("1000.2"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(changed.last().mid(0, 2), QVariantList({model.index(0, 0), model.index(1, 12)}));

        // The stop packets go out one per tick; each module counts once, however often it
        // answers; the time limit that runs on is stopped by its next tick.
        model.stopAcquiring();
        QCOMPARE(answers(model), QStringLiteral("001001 000000 010000 000000 <None> OFF"));
        Model::Timers &timers = model.timers();
        QCOMPARE(timers.stop.interval(), 100);
        QVERIFY(timers.timeout.isActive() && timers.timeout.isSingleShot());
        QCOMPARE(timers.timeout.interval(), 4000);
        timers.stop.setInterval(anHour);
        timers.timeout.setInterval(anHour);
        QVERIFY(rig.wroteNothing());
        for (const qint64 address : {first, second}) {
            rig.invoke("onStopTimer");
            QCOMPARE(rig.takeBytes(stopFrame(address)), stopFrame(address));
        }
        QVERIFY(!timers.stop.isActive());
        QVERIFY(rig.deliverFrom(first, calibReady + calibReady));
        QCOMPARE(rig.stateName(), QStringLiteral("Stopping"));
        QVERIFY(rig.deliverFrom(second, calibReady));
        QCOMPARE(answers(model), QStringLiteral("001101 100100 001101 011000 TX0002 OFF"));
        rig.invoke("onTimeoutTimer");
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        QVERIFY(!timers.timeout.isActive());

        // Reset: the modules are saved, the table emptied, the radio configured again. The
        // saved modules come back with their values and run like acquired ones.
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        model.reset();
        QCOMPARE(removed.last().mid(1), QVariantList({0, 1}));
        QVERIFY(rig.configure());
        QCOMPARE(answers(model), QStringLiteral("001100 011000 000000 000000 <None> OFF"));
        model.loadSavedModules();
        QCOMPARE(inserted.last().mid(1), QVariantList({0, 1})); // the saved modules at once
        QCOMPARE(cell(model, 0, 0) + ' ' + cell(model, 0, 2) + ' ' + cell(model, 1, 0),
                 QStringLiteral("TX0001 1000.2 TX0002"));
        model.run();
        QCOMPARE(answers(model), QStringLiteral("001001 000010 000000 000000 <None> OFF"));
        QVERIFY(rig.startRunning());
        QCOMPARE(answers(model), QStringLiteral("001001 001001 100000 000000 <None> OFF"));
        QVERIFY(rig.deliverFrom(second, dataAt(12, 0, 2, 10005)));
        QCOMPARE(cell(model, 1, 2), QStringLiteral("1000.5"));
        QVERIFY(rig.deliverFrom(stranger, hello('P', "TX00FF") + calibReady));
        QCOMPARE(model.newModuleList().count(), 0);
        model.clearSavedModules();
        QCOMPARE(answers(model), QStringLiteral("001001 000001 100000 000000 <None> OFF"));
        // Without answers the stop sequence gives up at its time limit; a stop tick left over
        // from it is stopped, not obeyed.
        model.stop();
        rig.invoke("onTimeoutTimer");
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        rig.invoke("onStopTimer");
        QVERIFY(!model.timers().stop.isActive());
        QVERIFY(rig.wroteNothing());
    }

    // Acquire from Stopped tells the known modules the interval first, as a run does, then looks
    // for new ones.
    void acquireTellsTheKnownModulesFirst()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second, third}));
        rig.model().setDataInterval(14);
        rig.model().acquire();
        QVERIFY(rig.startModules());
        QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
    }

    void dataSets_data()
    {
        // Steps: "M:S:P" a Data message of module M at 12:00:S with pressure 1000.P, "xM" XData
        // "T=M" of module M, "T" a tick of the half-second timer, "W" waiting for the real one,
        // "X" the stop, "S" the end of the stop sequence, "R" stop and run again. Sets: the time
        // and pressure of every row, or the XData announced.
        QTest::addColumn<int>("modules");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("sets");
        // Each message is a set, even with the same time again; the timer announces none.
        QTest::newRow("one module") << 1 << "1:0:1 1:0:2 T 1:2:3 X T" << "00/1000.1, 00/1000.2, 02/1000.3";
        // The first time of a run opens a set; a new time closes it before its own values reach
        // the table, and opens none itself. The next message with that time opens the set, which
        // the timer closes; after that the next time opens a set at once. A set still open at
        // the stop is announced before the stop sequence.
        QTest::newRow("two modules")
            << 2 << "1:0:1 2:0:2 1:2:3 T 2:2:4 W T 1:4:5 T 2:6:6 1:6:7 X T"
            << "00/1000.1 00/1000.2, 02/1000.3 02/1000.4, 04/1000.5 02/1000.4, 06/1000.7 06/1000.6";
        // Values that reached the table after the last set go out at the stop; a new run starts
        // without a time.
        QTest::newRow("stop and run again") << 2 << "1:0:1 1:2:2 R 1:4:3 T"
                                            << "00/1000.1 0/0, 02/1000.2 0/0, 04/1000.3 0/0";
        QTest::newRow("XData only while running") << 2 << "x2 X S x1" << "row 1 xdata=T=2";
    }

    void dataSets()
    {
        QFETCH(int, modules);
        QFETCH(QString, steps);
        QFETCH(QString, sets);
        ModelRig rig;
        QVERIFY(rig.loadAndStop(QList<qint64>({first, second}).mid(0, modules)));
        QVERIFY(rig.startRunning());
        QStringList announced;
        QObject::connect(&rig.model(), &Model::dataSetReady, [&](const QDateTime &time) {
            QStringList rows;
            for (int r = 0; r < rig.model().rowCount(); ++r)
                rows << cell(rig.model(), r, 8).right(2) + '/' + cell(rig.model(), r, 2);
            announced << rows.join(' ') + (rig.model().isRunning() && time.isValid() ? "" : " (not running)");
        });
        QObject::connect(&rig.model(), &Model::xdataReady, [&](const QDateTime &time, int row) {
            announced << QStringLiteral("row %1 ").arg(time.isValid() ? row : -1) + cell(rig.model(), row, 13);
        });
        for (const QString &step : steps.split(' ')) {
            const QStringList m = step.split(':');
            const qint64 from = step[step.startsWith('x') ? 1 : 0] == '1' ? first : second;
            if (step == "T")
                rig.invoke("onSingleShotTimer");
            QElapsedTimer sinceLastMessage;
            sinceLastMessage.start();
            if (step == "W")
                QVERIFY(QSignalSpy(&rig.model(), &Model::dataSetReady).wait(2000) && sinceLastMessage.elapsed() >= 450);
            if (step == "X" || step == "R")
                rig.model().stop();
            if (step == "S" || step == "R")
                rig.invoke("onTimeoutTimer");
            if (step == "R")
                QVERIFY(rig.startRunning());
            if (step.startsWith('x'))
                QVERIFY(rig.deliverFrom(from, ModuleBytes::xdata("T=" + step.toLatin1().mid(1))));
            if (m.size() == 3)
                QVERIFY(rig.deliverFrom(from, dataAt(12, 0, m[1].toInt(), 10000 + m[2].toInt())));
        }
        QCOMPARE(announced.join(", "), sets);
    }

    // The speed shown, and the alert raised against a threshold of 10: whole numbers, halves away
    // from zero. Speeds are sent in tenths of a metre per second.
    void highWindAlert()
    {
        const std::tuple<int, int, int, bool, const char *> examples[] = { // units, modules, speed, armed
            {1, 1, 95, true, "9.5 10"}, {1, 1, 94, true, "9.4"}, {1, 1, 95, false, "9.5"}, {1, 1, 123, true, "12.3 12"},
            {0, 1, 49, true, "9.52 10"}, {1, 2, 95, true, "9.5 10"}};
        for (const auto &[windUnits, modules, windSpeed, armed, result] : examples) {
            ModelRig rig(windUnits);
            QVERIFY(rig.loadAndStop(QList<qint64>({first, second}).mid(0, modules)));
            QVERIFY(rig.startRunning());
            rig.model().setHighWindAlertActive(armed);
            QStringList shown;
            QObject::connect(&rig.model(), &Model::highWindAlertDetected, [&](int a) { shown << QString::number(a); });
            ModuleBytes::DataFields reading;
            reading.windSpeed = windSpeed;
            QVERIFY(rig.deliverFrom(modules == 1 ? first : second, ModuleBytes::data(reading)));
            shown.prepend(cell(rig.model(), modules - 1, 6));
            QCOMPARE(shown.join(' '), QString(result));
        }
    }

    void stoppedModules()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second, third}));
        Model &model = rig.model();
        // A module that sends data while stopped missed its stop packet: it is told again, and
        // its values are not shown.
        QVERIFY(rig.deliverFrom(second, dataAt(12, 0, 8, 9999)));
        QCOMPARE(rig.takeBytes(stopFrame(second)), stopFrame(second));
        QCOMPARE(cell(model, 1, 2), QStringLiteral("0"));

        // The current module is chosen and removed; the last one leaves an empty table.
        QSignalSpy status(&model, &Model::statusChanged);
        model.previousModule();
        model.previousModule();
        QVERIFY(!model.canPreviousModule());
        model.nextModule();
        QCOMPARE(model.currentModuleText(), QStringLiteral("TX0002"));
        model.clearModule();
        QCOMPARE(cell(model, 1, 0) + ' ' + model.currentModuleText(), QStringLiteral("TX0003 TX0003"));
        QCOMPARE(status.count(), 4);
        model.clearModule();
        QCOMPARE(model.currentModuleText(), QStringLiteral("TX0001"));
        model.clearSavedModules();
        QVERIFY(!model.moduleList().hasSavedModules());
        model.clearModule();
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));
        QCOMPARE(model.moduleList().currentIndex(), 0);
        // Saved records that do not parse restore nothing.
        QSettings().setValue(QStringLiteral("FlightModuleList/records"), QStringLiteral("TX0001;0"));
        model.loadSavedModules();
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));
        QVERIFY(!model.canLoadSavedModules());
    }
};

VENTROLLA_TEST_MAIN(TestRunStates)
#include "tst_RunStates.moc"
