// The model: its settings and port, the configuration of the base station's radio, every command
// to a flight module, acquiring, stopping, starting and running. The test plays the base station
// and the modules on the far side of a pseudo-terminal and gives the timer ticks by hand.

#include "ModelHarness.h"
#include "TestSupport.h"

#include "config/CompassCalibrator.h"
#include "link/FlightModule.h"
#include "link/State_Configuring.h"

#include <QIdentityProxyModel>
#include <QSettings>
#include <QtTest>

#include <functional>

using ModuleBytes::bytes;
using ModuleBytes::hello;
using ModuleBytes::message;
using Command = std::function<void(Model &)>;
Q_DECLARE_METATYPE(Command)

namespace {

// Holds 0x13 and 0x7E, which the frame layer must escape.
constexpr qint64 address = 0x0013A2004012347E;

constexpr qint64 first = 0x0013A20040000001;
constexpr qint64 second = 0x0013A20040000002;
constexpr qint64 third = 0x0013A20040000003;
constexpr qint64 stranger = 0x0013A200400000FF;
constexpr int anHour = 3600 * 1000;
const QByteArray calibReady = message(0x91);

// Compass sample records (accelerometer and temperature zero) on a sphere of radius 0.5 about
// (0.1, 0, 0), spread evenly over it, in CalibData messages of four as modules send them,
// delivered a few at a time: the pseudo-terminal holds about 4 KB.
bool deliverSamples(ModelRig &rig, int from, int count)
{
    const auto word = [](double value) {
        return QByteArray::number(quint16(qint16(std::lround(value / 2 * 32767))), 16).toUpper().rightJustified(4, '0');
    };
    QByteArray messages;
    for (int i = from; i < from + count; i += 4) {
        QByteArray records;
        for (int k = i; k < i + 4; ++k) {
            const double z = 1 - 2 * (k + 0.5) / 1000;
            const double phi = k * M_PI * (3 - std::sqrt(5.0));
            const double r = std::sqrt(1 - z * z);
            records += QByteArray(16, '0') + word(0.1 + 0.5 * r * std::cos(phi)) + word(0.5 * r * std::sin(phi))
                       + word(0.5 * z);
        }
        messages += ModuleBytes::receiveFrame(first, ModuleBytes::compassSamples(records));
        if (messages.size() > 1500 || i + 4 >= from + count) {
            if (!rig.deliver(messages))
                return false;
            messages.clear();
        }
    }
    return true;
}

// The table as the item-model tester sees it: the model's root has the flag Qt::ItemIsEnabled,
// which the tester takes for a fault; all else passes through unchanged.
class RootWithoutFlags : public QIdentityProxyModel
{
public:
    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? QIdentityProxyModel::flags(index) : Qt::NoItemFlags;
    }
};

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

class TestModel : public SettingsTestCase
{
    Q_OBJECT

private slots:
    // The interval and the port are read at start and written back at the end. Outside 1 to 24
    // (hand-edited or corrupt settings) the default serves; 263 is 7 in a byte.
    void dataInterval()
    {
        const std::pair<QVariant, const char *> stored[] = {{1, "1 seconds"}, {7, "10 seconds"}, {"13", "1 minutes"},
            {24, "60 minutes"}, {0, "2 seconds"}, {263, "2 seconds"}, {"often", "2 seconds"}};
        for (const auto &[value, text] : stored) {
            QSettings().setValue(QStringLiteral("Data/delayByte"), value);
            int interval = 0;
            {
                Model model(0, 0, false, false, false, false);
                QCOMPARE(model.dataIntervalText(), QString(text));
                interval = model.dataInterval();
                QVERIFY(model.setPortName(QStringLiteral("/dev/ttyVENTROLLA7")));
            }
            QCOMPARE(QSettings().value(QStringLiteral("Data/delayByte")).toInt(), interval);
            Model model(0, 0, false, false, false, false);
            QCOMPARE(model.serialPort()->portName(), QStringLiteral("ttyVENTROLLA7"));
            model.setDataInterval(interval + 24);
            QCOMPARE(model.dataIntervalText(), QString());
        }
    }

    void portOpensOnceAndGoesAwayOnce()
    {
        ModelRig rig;
        Model &model = rig.model();
        QCOMPARE(model.serialPort()->portName(), QStringLiteral("COM1"));
        QSignalSpy lost(&model, &Model::baseStationLost);
        QVERIFY(model.setPortName(QStringLiteral("/nonexistent/ttyVENTROLLA")));
        QVERIFY(!model.openPort() && !model.isPendingStateSet());
        QVERIFY(rig.open());
        QVERIFY(model.serialPort()->openMode() == QIODevice::ReadWrite && model.isPendingStateSet());
        // No other state closes the port or renames it, nor changes the interval.
        QVERIFY(!model.setPortName(QStringLiteral("/dev/ttyVENTROLLA7")) && model.serialPort()->isOpen());
        model.setDataInterval(9);
        QCOMPARE(model.dataInterval(), 2);
        rig.pty().closeMaster();
        QVERIFY(lost.wait(2000) && !model.serialPort()->isOpen());
        // The port does not keep reporting its error, and Acquire opens it again once the
        // device is back.
        QTest::qWait(50);
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QVERIFY(rig.open());
        QCOMPARE(rig.stateName(), QStringLiteral("Configuring"));
        QCOMPARE(lost.count(), 1);
    }

    void configuration_data()
    {
        QTest::addColumn<int>("answering"); // index of the rate the radio answers at
        QTest::addColumn<QString>("answers"); // '|' for each carriage return
        QTest::addColumn<quint64>("address"); // the radio's, high and low halves; 0: the configuration fails
        const QString good = "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK|";
        QTest::newRow("57600") << 0 << good << 0x12AB0040B1C2D3ull;
        QTest::newRow("9600") << 1 << good << 0x12AB0040B1C2D3ull;
        QTest::newRow("115200") << 2 << good << 0x12AB0040B1C2D3ull;
        QTest::newRow("silent") << 3 << good << 0ull;
        QTest::newRow("top, lower case") << 0 << "OK|OK|OK|OK|ffffffff|FFFFFFFF|OK|OK|" << ~0ull;
        QTest::newRow("error for the fourth OK") << 0 << "OK|OK|OK|ERROR|12AB00|40B1C2D3|OK|OK|" << 0ull;
        QTest::newRow("high half not hexadecimal") << 0 << "OK|OK|OK|OK|12AG00|40B1C2D3|OK|OK|" << 0ull;
        QTest::newRow("low half wider than 32 bits") << 0 << "OK|OK|OK|OK|12AB00|100000000|OK|OK|" << 0ull;
        QTest::newRow("one answer missing") << 0 << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|" << 0ull;
        QTest::newRow("one answer too many") << 0 << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK|OK|" << 0ull;
        QTest::newRow("last answer not ended") << 0 << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK" << 0ull;
    }

    // At each rate: "+++" after a second of silence, three seconds for the "OK", then the next
    // rate. After the script the radio is left at 57600 (ATBD6) whatever rate it answered at;
    // wrong answers fail the configuration 3.1 seconds after the script.
    void configuration()
    {
        QFETCH(int, answering);
        QFETCH(QString, answers);
        QFETCH(quint64, address);
        ModelRig rig;
        const auto progress = [&] { return rig.model().states().configuring->configurationProgress(); };
        QVERIFY(rig.open());
        // Before the guard sequence a module's frame is no frame, and an "OK" answers nothing.
        QVERIFY(rig.deliverFrom(0x0013A20040000001, ModuleBytes::hello('P', "TX0001") + "OK\r"));
        const int rates[] = {57600, 9600, 115200};
        qint64 start = 0;
        for (int i = 0; i < 3; ++i, start += 3001) {
            QCOMPARE(rig.pty().slaveBaudRate(), rates[i]);
            rig.tick(start + 620);
            QCOMPARE(progress(), 20);
            rig.tick(start + 1000);
            QVERIFY(rig.wroteNothing());
            rig.tick(start + 1001);
            QCOMPARE(rig.takeBytes(3), QByteArray("+++"));
            rig.tick(start + 1100);
            QVERIFY(rig.wroteNothing());
            if (i == answering)
                break;
            rig.tick(start + 3000);
            QCOMPARE(rig.pty().slaveBaudRate(), rates[i]);
            rig.tick(start + 3001);
        }
        if (answering == 3) {
            QVERIFY(rig.model().isConfiguring());
            rig.tick(start + 10);
            QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
            QCOMPARE(progress(), 0);
            QVERIFY(rig.pty().received().isEmpty());
            // The port stays open until it is chosen again, which closes it; opening it then
            // starts a new configuration at 57600.
            QVERIFY(rig.model().serialPort()->isOpen() && rig.model().setPortName(rig.pty().slavePath()));
            QVERIFY(!rig.model().serialPort()->isOpen() && rig.model().openPort());
            QCOMPARE(rig.pty().slaveBaudRate(), 57600);
            QVERIFY(rig.configure());
            return;
        }
        QVERIFY(rig.deliver("OK\r"));
        rig.tick(start + 1200);
        QCOMPARE(rig.takeBytes(State_Configuring::script),
                 QByteArray("ATRE\rATAP2\rATRR 0xF\rATBD6\rATSH\rATSL\rATWR\rATCN\r"));
        QCOMPARE(rig.model().newModuleList().count(), 0);
        // Half the answers are not enough yet.
        const QByteArray reply = answers.toLatin1().replace('|', '\r');
        QVERIFY(rig.deliver(reply.left(12)));
        rig.tick(start + 2000);
        QVERIFY(rig.model().isConfiguring());
        QVERIFY(rig.deliver(reply.mid(12)));
        rig.tick(start + 3100);
        rig.tick(start + 3100);
        if (address) {
            QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
            QCOMPARE(progress(), 100);
            QCOMPARE(rig.pty().slaveBaudRate(), 57600);
            const Model &model = rig.model();
            QCOMPARE(quint64(model.baseStationAddressHigh()) << 32 | model.baseStationAddressLow(), address);
            return;
        }
        QVERIFY(rig.model().isConfiguring());
        rig.tick(start + 3101);
        rig.tick(start + 3120);
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QVERIFY(rig.wroteNothing());
    }

    void commands_data()
    {
        QTest::addColumn<int>("gps"); // 8 latitude, 4 longitude, 2 course, 1 speed
        QTest::addColumn<int>("interval");
        QTest::addColumn<char>("kind");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QByteArray>("payload");
        const Command fast = [](Model &m) { m.sendTiming(address, true); };
        const Command timing = [](Model &m) { m.sendTiming(address, false); };
        QTest::newRow("fast, no GPS") << 0 << 2 << 'P' << fast << bytes({0x23, 0x84, 0x01, 0xE4, 0x0D});
        QTest::newRow("fast, all GPS") << 15 << 35 << 'P' << fast << bytes({0x23, 0x84, 0x01, 0xFF, 0x0D});
        QTest::newRow("latitude, course") << 10 << 2 << 'P' << timing << bytes({0x23, 0x84, 0x02, 0xF6, 0x0D});
        QTest::newRow("longitude, speed") << 5 << 2 << 'P' << timing << bytes({0x23, 0x84, 0x02, 0xED, 0x0D});
        QTest::newRow("1 min is sent as 12") << 0 << 13 << 'P' << timing << bytes({0x23, 0x84, 0x0C, 0xE4, 0x0D});
        QTest::newRow("60 min") << 0 << 24 << 'P' << timing << bytes({0x23, 0x84, 0x18, 0xE4, 0x0D});
        QTest::newRow("'!' escaped") << 0 << 0x21 << 'P' << timing << bytes({0x23, 0x84, 0x21, 0x01, 0xE4, 0x0D});
        QTest::newRow("'#' escaped") << 0 << 0x23 << 'P' << timing << bytes({0x23, 0x84, 0x21, 0x03, 0xE4, 0x0D});
        const auto plain = [](void (Model::*send)(qint64)) { return Command([=](Model &m) { (m.*send)(address); }); };
        QTest::newRow("compass") << 0 << 2 << 'P' << plain(&Model::sendCompassCalibrationStart)
                                 << bytes({0x23, 0x92, 0x0D});
        QTest::newRow("indoor on") << 0 << 2 << 'P' << plain(&Model::sendIndoorOn) << bytes({0x23, 0x9B, 0x0D});
        QTest::newRow("indoor off") << 0 << 2 << 'P' << plain(&Model::sendIndoorOff) << bytes({0x23, 0x9C, 0x0D});
        QTest::newRow("internal thermistor") << 0 << 2 << 'P' << plain(&Model::sendInternalThermistorCalibration)
                                             << bytes({0x23, 0x9F, 0x0D});
        // Arguments of calibration commands are sent as they are, '#' and '!' included.
        QTest::newRow("reference") << 0 << 2 << 'P'
            << Command([](Model &m) { m.setReferenceTemperature(0x2321); m.sendThermistorReference(address); })
            << bytes({0x23, 0xA1, 0x23, 0x21, 0x0D});
        QTest::newRow("Beta") << 0 << 2 << 'P'
            << Command([](Model &m) { m.setBeta(0x2123); m.sendThermistorBeta(address); })
            << bytes({0x23, 0xA3, 0x21, 0x23, 0x0D});
        // The kind of the current module decides between cup and pitot.
        const Command anemometer = [](Model &m) {
            m.setCalibrationType(1);
            m.setCupCalibration(0x2321, -2);
            m.sendAnemometerCalibration(address);
        };
        QTest::newRow("cup") << 0 << 2 << 'C' << anemometer << bytes({0x23, 0x99, 0x23, 0x21, 0xFE, 0x0D});
        QTest::newRow("pitot") << 0 << 2 << 'P' << anemometer << bytes({0x23, 0x97, 0x0D});
    }

    void commands()
    {
        QFETCH(int, gps);
        QFETCH(int, interval);
        QFETCH(char, kind);
        QFETCH(Command, command);
        QFETCH(QByteArray, payload);
        ModelRig rig(0, gps);
        rig.model().setDataInterval(interval);
        QVERIFY(rig.open());
        rig.model().appendModule(new FlightModule(savedRecord("TX0001", address, kind), 0));
        command(rig.model());
        const QByteArray expected = buildTransmitRequest(address, payload);
        QCOMPARE(rig.takeBytes(expected).toHex(' '), expected.toHex(' '));
    }

    // Acquisition, the stop sequence, reset and the saved modules, with one module heard but
    // never taken into the table; and what each state answers on the way.
    void acquisitionStopAndReset()
    {
        ModelRig rig;
        Model &model = rig.model();
        // Every insertion, refresh and removal of the whole sounding checked as views rely on them.
        RootWithoutFlags table;
        table.setSourceModel(&model);
        QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
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
        QVERIFY(!model.timers().stop.isActive() && rig.wroteNothing());
    }

    // What the calibrations of the configuration window take from a module, and when they give up:
    // samples during the ten-second delay are dropped; the solution goes out in two halves, at
    // the first and second tick 100 ms apart, once each; samples after the fit, or no verdict
    // within 10 s, fail the compass; a thermistor acknowledgement of another option counts for
    // nothing; a module heard but not adopted is forgotten when the acquisition is done.
    void calibrationsHearOnlyWhatCounts()
    {
        ModelRig rig;
        Model &model = rig.model();
        QVERIFY(rig.loadAndStop({first}));
        model.setConfigMode(1);
        Model::Timers &timers = model.timers();
        const auto calibrateCompass = [&](qint64 at) {
            rig.tick(at);
            model.setCalibrationType(0);
            model.startCalibration();
            QCOMPARE(rig.stateName(), QStringLiteral("CalibrationDelay"));
            QVERIFY(deliverSamples(rig, 0, 8));
            rig.tick(at + 9900);
            QCOMPARE(rig.stateName(), QStringLiteral("Calibrating_Compass"));
            QCOMPARE(model.progressText(), QStringLiteral("Calibrating module compass..."));
            QVERIFY(deliverSamples(rig, 0, 4));
            QCOMPARE(model.compassCalibrator()->sampleCount(), 4);
            QVERIFY(deliverSamples(rig, 4, 996));
            QCOMPARE(model.progressValue(), 100);
            QVERIFY(timers.calibSolution.isActive() && !timers.calibSolution.isSingleShot());
            QCOMPARE(timers.calibSolution.interval(), 100);
            QVERIFY(timers.timeout.isActive() && timers.timeout.isSingleShot());
            QCOMPARE(timers.timeout.interval(), 10000);
            timers.calibSolution.setInterval(anHour);
        };

        calibrateCompass(100000);
        rig.pty().clearReceived();
        const QByteArray solution = model.compassCalibrator()->solutionText();
        rig.invoke("onCalibSolutionTimer");
        const QByteArray firstHalf = buildTransmitRequest(first, QByteArray("#\x94", 2) + solution.left(36));
        QCOMPARE(rig.takeBytes(firstHalf), firstHalf);
        rig.invoke("onCalibSolutionTimer");
        const QByteArray secondHalf = buildTransmitRequest(first, solution.mid(36) + '\r');
        QCOMPARE(rig.takeBytes(secondHalf), secondHalf);
        QVERIFY(!timers.calibSolution.isActive());
        rig.invoke("onCalibSolutionTimer");
        QVERIFY(rig.wroteNothing());
        QVERIFY(deliverSamples(rig, 0, 4));
        QVERIFY(model.hasOutcome() && !model.lastCalibrationSucceeded());
        model.acknowledgeOutcome();

        calibrateCompass(200000);
        rig.invoke("onTimeoutTimer");
        QVERIFY(model.hasOutcome() && !model.lastCalibrationSucceeded());
        model.acknowledgeOutcome();

        model.setCalibrationType(2);
        model.setThermistorOption(0);
        model.startCalibration();
        QVERIFY(rig.deliverFrom(first, message(0xA4, ModuleBytes::word(3950)) + calibReady)); // Beta: not asked
        QCOMPARE(rig.stateName(), QStringLiteral("Calibrating_Thermistor"));
        QVERIFY(rig.deliverFrom(first, message(0xA0) + calibReady));
        QVERIFY(model.hasOutcome() && model.lastCalibrationSucceeded());
        model.acknowledgeOutcome();

        model.acquire();
        QCOMPARE(rig.stateName(), QStringLiteral("Acquiring_Calib"));
        QVERIFY(rig.deliverFrom(stranger, hello('P', "TX00FF")));
        QCOMPARE(model.newModuleList().count(), 1);
        model.stopAcquiring();
        QCOMPARE(model.newModuleList().count(), 0);
        QCOMPARE(model.rowCount(), 1);
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
        QVERIFY(rig.loadAndStop(QList<qint64>({first, second}).mid(0, modules)) && rig.startRunning());
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
            QVERIFY(rig.loadAndStop(QList<qint64>({first, second}).mid(0, modules)) && rig.startRunning());
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

VENTROLLA_TEST_MAIN(TestModel)
#include "tst_Model.moc"
