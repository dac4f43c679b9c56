// Acquiring, stopping, starting and running: the test plays the base station and the flight
// modules on the far side of a pseudo-terminal and gives the timer ticks by hand.

#include "ModelHarness.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr qint64 first = 0x0013A20040000001;
constexpr qint64 second = 0x0013A20040000002;
constexpr qint64 third = 0x0013A20040000003;
constexpr qint64 stranger = 0x0013A200400000FF;
constexpr int anHour = 3600 * 1000;

const QByteArray stopPacket = "*\r";

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out.append(char(value));
    return out;
}

QString cell(Model &model, int row, int column)
{
    return model.data(model.index(row, column)).toString();
}

bool hasSavedModules()
{
    QSettings settings;
    return settings.contains(QStringLiteral("FlightModuleList/records"));
}

// What the table showed at each announced data set.
struct DataSets
{
    explicit DataSets(Model &model) : model(model)
    {
        connection = QObject::connect(&model, &Model::dataSetReady, [this](const QDateTime &time) {
            QStringList row;
            for (int r = 0; r < this->model.rowCount(); ++r)
                row << cell(this->model, r, 8) + QLatin1Char('/') + cell(this->model, r, 2);
            seen << row.join(QLatin1Char(' '));
            times << time;
            announcedWhileRunning << this->model.isRunning();
        });
    }
    ~DataSets() { QObject::disconnect(connection); }
    int count() const { return seen.size(); }

    Model &model;
    QMetaObject::Connection connection;
    QStringList seen; // per set: "time/pressure" of every row
    QList<QDateTime> times;
    QList<bool> announcedWhileRunning;
};

} // namespace

class TestRunStates : public SettingsTestCase
{
    Q_OBJECT

private:
    void expectOnlyFrame(ModelRig &rig, qint64 destination, const QByteArray &data)
    {
        const QList<SentFrame> frames = rig.takeFrames(1);
        QCOMPARE(frames.size(), 1);
        QCOMPARE(frames[0].type, quint8(0x10));
        QCOMPARE(frames[0].destination, destination);
        QCOMPARE(frames[0].data.toHex(' '), data.toHex(' '));
    }

    void expectNothingWritten(ModelRig &rig)
    {
        QCOMPARE(rig.model().serialPort()->bytesToWrite(), 0);
        // Whatever was written before this call has had time to come through.
        QVERIFY(!rig.pty().waitForBytes(1, 10));
    }

private slots:
    void acquisitionTakesModulesThroughTheHandshake()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        QVERIFY(rig.configure(0x0013A200, 0x40B1C2D3));
        Model &model = rig.model();
        QVERIFY(model.isAcquiring());
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

        // Hello: the module's radio is pointed at the base station.
        QVERIFY(rig.deliverFrom(first, Radio::hello('P', "TX0001")));
        QList<SentFrame> frames = rig.takeFrames(6);
        QCOMPARE(frames.size(), 6);
        QCOMPARE(frames[0].command, QByteArray("DH"));
        QCOMPARE(frames[0].data, bytes({0x00, 0x13, 0xA2, 0x00}));
        QCOMPARE(frames[1].data, bytes({0x40, 0xB1, 0xC2, 0xD3}));
        QCOMPARE(frames[5].destination, first);
        QCOMPARE(frames[5].data, bytes({0x23, 0x90, 0x0D}));
        QCOMPARE(model.newModuleList().count(), 1);
        QCOMPARE(model.rowCount(), 0);

        // Calib Ready: timing with the fast interval.
        QVERIFY(rig.deliverFrom(first, Radio::calibReady()));
        expectOnlyFrame(rig, first, bytes({0x23, 0x84, 0x01, 0xE4, 0x0D}));

        // The first Data message moves it into the table, with its values.
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 0, 10001)));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.newModuleList().count(), 0);
        QCOMPARE(cell(model, 0, 0), QStringLiteral("TX0001"));
        QCOMPARE(cell(model, 0, 2), QStringLiteral("1000.1"));
        QCOMPARE(cell(model, 0, 8), QStringLiteral("12:00:00"));

        QVERIFY(rig.deliverFrom(second, Radio::hello('P', "TX0002")));
        QCOMPARE(rig.takeFrames(6).size(), 6);
        QVERIFY(rig.deliverFrom(second, Radio::calibReady()));
        QCOMPARE(rig.takeFrames(1).size(), 1);
        QVERIFY(rig.deliverFrom(second, Radio::dataAt(12, 0, 0)));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(cell(model, 1, 0), QStringLiteral("TX0002"));

        // A module already in the table is configured again on Hello; its data refresh the table.
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QVERIFY(rig.deliverFrom(first, Radio::hello('P', "TX0001")));
        frames = rig.takeFrames(6);
        QCOMPARE(frames.size(), 6);
        QCOMPARE(frames[5].destination, first);
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 2, 10002)));
        QCOMPARE(cell(model, 0, 2), QStringLiteral("1000.2"));
        QCOMPARE(changed.count(), 2);
        QCOMPARE(model.newModuleList().count(), 0);

        // A module heard but not yet in the table is forgotten when acquisition stops.
        QVERIFY(rig.deliverFrom(third, Radio::hello('P', "TX0003")));
        QCOMPARE(rig.takeFrames(6).size(), 6);
        QCOMPARE(model.newModuleList().count(), 1);
        model.stopAcquiring();
        QCOMPARE(model.newModuleList().count(), 0);
        QCOMPARE(rig.stateName(), QStringLiteral("Stopping"));
        QCOMPARE(model.rowCount(), 2);
    }

    void acquisitionWithoutModulesEndsUnacquired()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        QVERIFY(rig.configure());
        Model &model = rig.model();
        QVERIFY(rig.deliverFrom(first, Radio::hello('P', "TX0001")));
        QCOMPARE(rig.takeFrames(6).size(), 6);

        model.stopAcquiring();
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));
        QCOMPARE(model.newModuleList().count(), 0);
        QVERIFY(model.canAcquire());
        QVERIFY(!model.canLoadSavedModules());

        // Nothing is listened to here.
        QVERIFY(rig.deliverFrom(first, Radio::calibReady()));
        QVERIFY(rig.deliverFrom(second, Radio::hello('P', "TX0002")));
        QCOMPARE(model.newModuleList().count(), 0);
        expectNothingWritten(rig);

        model.acquire();
        QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
    }

    void stoppingSendsStopToEachModuleAndWaitsForAnswers()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second, third}));
        QVERIFY(rig.startRunning());
        Model &model = rig.model();
        Model::Timers &timers = model.timers();

        model.stop();
        QCOMPARE(rig.stateName(), QStringLiteral("Stopping"));
        QVERIFY(model.isStopping());
        QVERIFY(model.canBeginLogging());
        QVERIFY(timers.stop.isActive());
        QCOMPARE(timers.stop.interval(), 100);
        QVERIFY(timers.timeout.isActive());
        QVERIFY(timers.timeout.isSingleShot());
        QCOMPARE(timers.timeout.interval(), 4000);
        timers.stop.setInterval(anHour);
        timers.timeout.setInterval(anHour);
        expectNothingWritten(rig);

        for (const qint64 address : {first, second, third}) {
            rig.invoke("onStopTimer");
            expectOnlyFrame(rig, address, stopPacket);
        }
        QVERIFY(!timers.stop.isActive());

        // Each module counts once, however often it answers.
        QVERIFY(rig.deliverFrom(first, Radio::calibReady()));
        QVERIFY(rig.deliverFrom(first, Radio::calibReady()));
        QVERIFY(rig.deliverFrom(second, Radio::calibReady()));
        QCOMPARE(rig.stateName(), QStringLiteral("Stopping"));
        QVERIFY(rig.deliverFrom(third, Radio::calibReady()));
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));

        // The time limit that runs on is stopped by its next tick.
        QVERIFY(timers.timeout.isActive());
        rig.invoke("onTimeoutTimer");
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        QVERIFY(!timers.timeout.isActive());
    }

    void stoppingGivesUpAfterItsTimeLimit()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second}));
        QVERIFY(rig.startRunning());
        rig.model().stop();
        rig.model().timers().stop.setInterval(anHour);
        rig.model().timers().timeout.setInterval(anHour);
        QVERIFY(rig.deliverFrom(second, Radio::calibReady()));
        QCOMPARE(rig.stateName(), QStringLiteral("Stopping"));

        rig.invoke("onTimeoutTimer");
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        // A stop tick left over from the sequence is stopped, not obeyed.
        rig.invoke("onStopTimer");
        QVERIFY(!rig.model().timers().stop.isActive());
        expectNothingWritten(rig);
    }

    void startingSendsOneTimingCommandPerModule()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second, third}));
        Model &model = rig.model();
        Model::Timers &timers = model.timers();
        model.setDataInterval(14);

        model.run();
        QCOMPARE(rig.stateName(), QStringLiteral("Starting"));
        QVERIFY(model.isStarting());
        QVERIFY(model.canBeginLogging());
        QVERIFY(timers.start.isActive());
        QCOMPARE(timers.start.interval(), 100);
        timers.start.setInterval(anHour);
        expectNothingWritten(rig);

        for (const qint64 address : {first, second, third}) {
            QCOMPARE(rig.stateName(), QStringLiteral("Starting"));
            rig.invoke("onStartTimer");
            expectOnlyFrame(rig, address, bytes({0x23, 0x84, 0x0E, 0xE4, 0x0D}));
        }
        QCOMPARE(rig.stateName(), QStringLiteral("Running"));
        QVERIFY(!model.isPendingStateSet());

        // The start timer still runs; its next tick is ignored and stops it.
        QVERIFY(timers.start.isActive());
        rig.invoke("onStartTimer");
        QVERIFY(!timers.start.isActive());
        expectNothingWritten(rig);
    }

    void acquiringFromStoppedStartsTheKnownModulesFirst()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second}));
        rig.model().acquire();
        QCOMPARE(rig.stateName(), QStringLiteral("Starting"));
        rig.model().timers().start.setInterval(anHour);
        rig.invoke("onStartTimer");
        expectOnlyFrame(rig, first, bytes({0x23, 0x84, 0x02, 0xE4, 0x0D}));
        rig.invoke("onStartTimer");
        expectOnlyFrame(rig, second, bytes({0x23, 0x84, 0x02, 0xE4, 0x0D}));
        QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
    }

    void singleModuleAnnouncesEveryMessage()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first}));
        QVERIFY(rig.startRunning());
        Model &model = rig.model();
        DataSets sets(model);

        const QDateTime before = QDateTime::currentDateTime();
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 0, 10001)));
        QCOMPARE(sets.seen, QStringList{"12:00:00/1000.1"});
        QVERIFY(sets.times[0] >= before && sets.times[0] <= QDateTime::currentDateTime());

        // The same time again is a set of its own; the timer never announces one.
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 0, 10002)));
        rig.invoke("onSingleShotTimer");
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 2, 10003)));
        QCOMPARE(sets.seen,
                 QStringList({"12:00:00/1000.1", "12:00:00/1000.2", "12:00:02/1000.3"}));

        model.stop();
        QCOMPARE(sets.count(), 3);
        QCOMPARE(rig.stateName(), QStringLiteral("Stopping"));
    }

    void severalModulesFormSetsByTime()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second}));
        QVERIFY(rig.startRunning());
        Model &model = rig.model();
        DataSets sets(model);

        // The first time of a run opens a set without announcing anything.
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 0, 10001)));
        QVERIFY(rig.deliverFrom(second, Radio::dataAt(12, 0, 0, 10002)));
        QCOMPARE(sets.count(), 0);
        QCOMPARE(cell(model, 1, 2), QStringLiteral("1000.2"));

        // A new time closes the set before its own values reach the table...
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 2, 10003)));
        QCOMPARE(sets.seen, QStringList{"12:00:00/1000.1 12:00:00/1000.2"});
        QCOMPARE(cell(model, 0, 2), QStringLiteral("1000.3"));
        // ...and opens no set itself: there is nothing for the timer to close.
        rig.invoke("onSingleShotTimer");
        QCOMPARE(sets.count(), 1);

        // The next message with that time opens the set, which the timer closes.
        QVERIFY(rig.deliverFrom(second, Radio::dataAt(12, 0, 2, 10004)));
        QCOMPARE(sets.count(), 1);
        rig.invoke("onSingleShotTimer");
        QCOMPARE(sets.seen.last(), QStringLiteral("12:00:02/1000.3 12:00:02/1000.4"));
        rig.invoke("onSingleShotTimer");
        QCOMPARE(sets.count(), 2);

        // After a set closed by the timer the next time opens a set at once.
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 4, 10005)));
        QCOMPARE(sets.count(), 2);
        rig.invoke("onSingleShotTimer");
        QCOMPARE(sets.seen.last(), QStringLiteral("12:00:04/1000.5 12:00:02/1000.4"));

        // A set still open when the run stops is announced before the stop sequence.
        QVERIFY(rig.deliverFrom(second, Radio::dataAt(12, 0, 6, 10006)));
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 6, 10007)));
        QCOMPARE(sets.count(), 3);
        model.stop();
        QCOMPARE(sets.count(), 4);
        QCOMPARE(sets.seen.last(), QStringLiteral("12:00:06/1000.7 12:00:06/1000.6"));
        QVERIFY(sets.announcedWhileRunning.last());
        QCOMPARE(rig.stateName(), QStringLiteral("Stopping"));
        rig.invoke("onSingleShotTimer");
        QCOMPARE(sets.count(), 4);
    }

    void newRunStartsWithoutATime()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second}));
        QVERIFY(rig.startRunning());
        DataSets sets(rig.model());
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 0)));
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 2)));
        QCOMPARE(sets.count(), 1);
        rig.model().stop();
        QCOMPARE(sets.count(), 2);

        // A new run starts without a time: its first message opens a set.
        rig.model().timers().stop.stop();
        rig.invoke("onTimeoutTimer");
        QVERIFY(rig.startRunning());
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 4)));
        QCOMPARE(sets.count(), 2);
        rig.invoke("onSingleShotTimer");
        QCOMPARE(sets.count(), 3);
    }

    void openSetClosesHalfASecondAfterItsLastMessage()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second}));
        QVERIFY(rig.startRunning());
        QSignalSpy sets(&rig.model(), &Model::dataSetReady);
        QVERIFY(rig.deliverFrom(first, Radio::dataAt(12, 0, 0)));
        QVERIFY(rig.deliverFrom(second, Radio::dataAt(12, 0, 0)));
        QElapsedTimer sinceLastMessage;
        sinceLastMessage.start();
        QVERIFY(sets.wait(2000));
        QVERIFY(sinceLastMessage.elapsed() >= 450);
        QCOMPARE(sets.count(), 1);
    }

    void xdataIsAnnouncedOnlyWhileRunning()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second}));
        QVERIFY(rig.startRunning());
        Model &model = rig.model();
        QSignalSpy sets(&model, &Model::dataSetReady);
        QStringList announced;
        QObject::connect(&model, &Model::xdataReady, [&](const QDateTime &time, int row) {
            QVERIFY(time.isValid());
            announced << QString::number(row) + QLatin1Char(' ') + cell(model, row, 13);
        });

        QVERIFY(rig.deliverFrom(second, Radio::xdata("T=12.5")));
        QCOMPARE(announced, QStringList{"1 xdata=T=12.5"});
        QCOMPARE(sets.count(), 0);

        model.stop();
        rig.invoke("onTimeoutTimer");
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        QVERIFY(rig.deliverFrom(first, Radio::xdata("T=13.0")));
        QCOMPARE(announced.size(), 1);
    }

    void highWindAlert_data()
    {
        QTest::addColumn<int>("windUnits");
        QTest::addColumn<int>("modules");
        QTest::addColumn<int>("windSpeed"); // tenths of a metre per second, as sent
        QTest::addColumn<int>("threshold");
        QTest::addColumn<bool>("armed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("alert"); // -1: none

        QTest::newRow("9.5 m/s rounds up to 10") << 1 << 1 << 95 << 10 << true << "9.5" << 10;
        QTest::newRow("9.4 m/s stays below 10") << 1 << 1 << 94 << 10 << true << "9.4" << -1;
        QTest::newRow("disarmed") << 1 << 1 << 95 << 10 << false << "9.5" << -1;
        QTest::newRow("8.5 m/s rounds away from zero")
            << 1 << 1 << 85 << 9 << true << "8.5" << 9;
        QTest::newRow("above the threshold") << 1 << 1 << 123 << 10 << true << "12.3" << 12;
        QTest::newRow("9.52 knots") << 0 << 1 << 49 << 10 << true << "9.52" << 10;
        QTest::newRow("9.33 knots") << 0 << 1 << 48 << 10 << true << "9.33" << -1;
        QTest::newRow("two modules, 9.5 m/s") << 1 << 2 << 95 << 10 << true << "9.5" << 10;
        QTest::newRow("two modules, 9.4 m/s") << 1 << 2 << 94 << 10 << true << "9.4" << -1;
    }

    void highWindAlert()
    {
        QFETCH(int, windUnits);
        QFETCH(int, modules);
        QFETCH(int, windSpeed);
        QFETCH(int, threshold);
        QFETCH(bool, armed);
        QFETCH(QString, shown);
        QFETCH(int, alert);

        ModelRig rig(windUnits);
        const QList<qint64> addresses = QList<qint64>({first, second}).mid(0, modules);
        QVERIFY(rig.loadAndStop(addresses));
        QVERIFY(rig.startRunning());
        Model &model = rig.model();
        model.setHighWindThreshold(threshold);
        model.setHighWindAlertActive(armed);
        QSignalSpy alerts(&model, &Model::highWindAlertDetected);

        Radio::Reading reading;
        reading.windSpeed = quint16(windSpeed);
        reading.hours = 12;
        QVERIFY(rig.deliverFrom(addresses.last(), Radio::data(reading)));
        QCOMPARE(cell(model, modules - 1, 6), shown);
        if (alert < 0) {
            QCOMPARE(alerts.count(), 0);
        } else {
            QCOMPARE(alerts.count(), 1);
            QCOMPARE(alerts[0][0].toInt(), alert);
        }
    }

    void stoppedModulesAreToldToStopAgain()
    {
        ModelRig rig;
        QVERIFY(rig.acquireAndStop({first, second}));
        Model &model = rig.model();
        const QString shown = cell(model, 1, 2);

        QVERIFY(rig.deliverFrom(second, Radio::dataAt(12, 0, 8, 9999)));
        expectOnlyFrame(rig, second, stopPacket);
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        QCOMPARE(cell(model, 1, 2), shown);

        // Unknown modules are not listened to.
        QVERIFY(rig.deliverFrom(stranger, Radio::hello('P', "TX00FF")));
        QCOMPARE(model.newModuleList().count(), 0);
        expectNothingWritten(rig);
    }

    void runningIgnoresUnknownModules()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first}));
        QVERIFY(rig.startRunning());
        QVERIFY(rig.deliverFrom(stranger, Radio::hello('P', "TX00FF")));
        QVERIFY(rig.deliverFrom(stranger, Radio::calibReady()));
        QCOMPARE(rig.model().newModuleList().count(), 0);
        expectNothingWritten(rig);
    }

    void resetSavesTheModulesAndConfiguresAgain()
    {
        ModelRig rig;
        QVERIFY(rig.acquireAndStop({first, second}));
        Model &model = rig.model();
        QVERIFY(model.canReset());
        QVERIFY(!hasSavedModules());
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

        model.reset();
        QVERIFY(hasSavedModules());
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(rig.stateName(), QStringLiteral("Configuring"));
        QCOMPARE(rig.pty().slaveBaudRate(), 57600);
        QVERIFY(rig.configure());
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));

        QVERIFY(model.canLoadSavedModules());
        model.loadSavedModules();
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(cell(model, 0, 0), QStringLiteral("TX0001"));
        QCOMPARE(cell(model, 1, 0), QStringLiteral("TX0002"));
        QCOMPARE(cell(model, 0, 8), QStringLiteral("12:00:00"));

        // The restored modules run like acquired ones.
        QVERIFY(rig.startRunning());
        QVERIFY(rig.deliverFrom(second, Radio::dataAt(12, 0, 2, 10005)));
        QCOMPARE(cell(model, 1, 2), QStringLiteral("1000.5"));
    }

    void savedModulesAreClearedAndNotLoaded()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first}));
        Model &model = rig.model();
        QVERIFY(model.canClearSavedModules());
        QSignalSpy status(&model, &Model::statusChanged);
        model.clearSavedModules();
        QCOMPARE(status.count(), 1);
        QVERIFY(!hasSavedModules());
        QVERIFY(!model.canClearSavedModules());

        // Removing the last module leaves an empty table with nothing to load.
        model.clearModule();
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));
        QVERIFY(!model.canLoadSavedModules());
        model.loadSavedModules();
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));

        // Saved records that do not parse restore nothing.
        {
            QSettings settings;
            settings.setValue(QStringLiteral("FlightModuleList/records"),
                              QStringLiteral("TX0001;0"));
        }
        QVERIFY(model.canLoadSavedModules());
        model.loadSavedModules();
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));
        QCOMPARE(model.rowCount(), 0);
    }

    void currentModuleIsChosenAndRemoved()
    {
        ModelRig rig;
        QVERIFY(rig.loadAndStop({first, second, third}));
        Model &model = rig.model();
        QSignalSpy status(&model, &Model::statusChanged);

        QCOMPARE(model.currentModuleText(), QStringLiteral("TX0003"));
        QVERIFY(!model.canNextModule());
        QVERIFY(model.canPreviousModule());
        model.previousModule();
        model.previousModule();
        QCOMPARE(model.currentModuleText(), QStringLiteral("TX0001"));
        QVERIFY(!model.canPreviousModule());
        model.nextModule();
        QCOMPARE(model.currentModuleText(), QStringLiteral("TX0002"));
        QCOMPARE(status.count(), 3);

        QVERIFY(model.canClearModule());
        model.clearModule();
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(cell(model, 1, 0), QStringLiteral("TX0003"));
        QCOMPARE(model.currentModuleText(), QStringLiteral("TX0003"));
        QCOMPARE(status.count(), 4);
        model.clearModule();
        QCOMPARE(model.currentModuleText(), QStringLiteral("TX0001"));
        QCOMPARE(rig.stateName(), QStringLiteral("Stopped"));
        model.clearModule();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(rig.stateName(), QStringLiteral("Unacquired"));
    }
};

VENTROLLA_TEST_MAIN(TestRunStates)
#include "tst_RunStates.moc"
