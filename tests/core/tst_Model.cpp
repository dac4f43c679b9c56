// The model: its settings and port, the configuration of the base station's radio and the bytes
// of every command to a flight module, with the test as the radio on a pseudo-terminal.

#include "ModelHarness.h"
#include "TestSupport.h"

#include "link/FlightModule.h"
#include "link/State_Configuring.h"

#include <QSettings>
#include <QtTest>

#include <functional>

using ModuleBytes::bytes;
using Command = std::function<void(Model &)>;
Q_DECLARE_METATYPE(Command)

// Holds 0x13 and 0x7E, which the frame layer must escape.
static constexpr qint64 address = 0x0013A2004012347E;

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
        QCOMPARE(model.highWindThreshold(), 10);
        QVERIFY(!model.isHighWindAlertActive());
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
        QVERIFY(lost.wait(2000));
        QVERIFY(!model.serialPort()->isOpen());
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
        QTest::addColumn<quint32>("high");    // 0: the configuration fails
        QTest::addColumn<quint32>("low");
        const QString good = "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK|";
        QTest::newRow("57600") << 0 << good << 0x12AB00u << 0x40B1C2D3u;
        QTest::newRow("9600") << 1 << good << 0x12AB00u << 0x40B1C2D3u;
        QTest::newRow("115200") << 2 << good << 0x12AB00u << 0x40B1C2D3u;
        QTest::newRow("silent") << 3 << good << 0u << 0u;
        QTest::newRow("top, lower case") << 0 << "OK|OK|OK|OK|ffffffff|FFFFFFFF|OK|OK|" << 0xFFFFFFFFu << 0xFFFFFFFFu;
        QTest::newRow("error for the fourth OK") << 0 << "OK|OK|OK|ERROR|12AB00|40B1C2D3|OK|OK|" << 0u << 0u;
        QTest::newRow("high half not hexadecimal") << 0 << "OK|OK|OK|OK|12AG00|40B1C2D3|OK|OK|" << 0u << 0u;
        QTest::newRow("low half wider than 32 bits") << 0 << "OK|OK|OK|OK|12AB00|100000000|OK|OK|" << 0u << 0u;
        QTest::newRow("one answer missing") << 0 << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|" << 0u << 0u;
        QTest::newRow("one answer too many") << 0 << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK|OK|" << 0u << 0u;
        QTest::newRow("last answer not ended") << 0 << "OK|OK|OK|OK|12AB00|40B1C2D3|OK|OK" << 0u << 0u;
    }

    // At each rate: "+++" after a second of silence, three seconds for the "OK", then the next
    // rate. After the script the radio is left at 57600 (ATBD6) whatever rate it answered at;
    // wrong answers fail the configuration 3.1 seconds after the script.
    void configuration()
    {
        QFETCH(int, answering);
        QFETCH(QString, answers);
        QFETCH(quint32, high);
        QFETCH(quint32, low);
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
        if (high) {
            QCOMPARE(rig.stateName(), QStringLiteral("Acquiring"));
            QCOMPARE(progress(), 100);
            QCOMPARE(rig.pty().slaveBaudRate(), 57600);
            QCOMPARE(rig.model().baseStationAddressHigh(), high);
            QCOMPARE(rig.model().baseStationAddressLow(), low);
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
};

VENTROLLA_TEST_MAIN(TestModel)
#include "tst_Model.moc"
