// The bytes of every command to a flight module, as they reach the base station.

#include "ModelHarness.h"
#include "TestSupport.h"

#include "link/FlightModule.h"

#include <QtTest>

namespace {

// Holds 0x13 and 0x7E, which the frame layer must escape.
constexpr qint64 moduleAddress = 0x0013A2004012347E;
constexpr qint64 otherAddress = 0x0013A20040ABCDEF;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int value : values)
        out.append(char(value));
    return out;
}

enum Command {
    CompassStart,
    IndoorOn,
    IndoorOff,
    InternalThermistor,
    ThermistorReference,
    ThermistorBeta,
    Anemometer,
};

} // namespace

Q_DECLARE_METATYPE(Command)

class TestModuleCommands : public SettingsTestCase
{
    Q_OBJECT

private:
    // One transmit request with frame id 0, no 16-bit address, radius and options 0.
    void expectTransmitRequest(const SentFrame &frame, qint64 destination, const QByteArray &data)
    {
        QCOMPARE(frame.type, quint8(0x10));
        QCOMPARE(frame.frameId, quint8(0));
        QCOMPARE(frame.destination, destination);
        QCOMPARE(frame.networkAddress, QByteArray("\xFF\xFE"));
        QCOMPARE(frame.radius, quint8(0));
        QCOMPARE(frame.options, quint8(0));
        QCOMPARE(frame.data.toHex(' '), data.toHex(' '));
    }

private slots:
    void timingCommand_data()
    {
        QTest::addColumn<bool>("fast");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("gpsFields"); // bits: 8 latitude, 4 longitude, 2 course, 1 speed
        QTest::addColumn<QByteArray>("payload");

        QTest::newRow("fast, no GPS") << true << 2 << 0 << bytes({0x23, 0x84, 0x01, 0xE4, 0x0D});
        QTest::newRow("fast whatever the interval")
            << true << 35 << 15 << bytes({0x23, 0x84, 0x01, 0xFF, 0x0D});
        QTest::newRow("2 s, latitude only")
            << false << 2 << 8 << bytes({0x23, 0x84, 0x02, 0xF4, 0x0D});
        QTest::newRow("2 s, longitude and speed")
            << false << 2 << 5 << bytes({0x23, 0x84, 0x02, 0xED, 0x0D});
        QTest::newRow("2 s, latitude and course")
            << false << 2 << 10 << bytes({0x23, 0x84, 0x02, 0xF6, 0x0D});
        QTest::newRow("60 s, all GPS")
            << false << 12 << 15 << bytes({0x23, 0x84, 0x0C, 0xFF, 0x0D});
        QTest::newRow("1 min is sent as 12")
            << false << 13 << 15 << bytes({0x23, 0x84, 0x0C, 0xFF, 0x0D});
        QTest::newRow("2 min") << false << 14 << 0 << bytes({0x23, 0x84, 0x0E, 0xE4, 0x0D});
        QTest::newRow("60 min") << false << 24 << 0 << bytes({0x23, 0x84, 0x18, 0xE4, 0x0D});
        QTest::newRow("interval byte '!' is escaped")
            << false << 0x21 << 0 << bytes({0x23, 0x84, 0x21, 0x01, 0xE4, 0x0D});
        QTest::newRow("interval byte '#' is escaped")
            << false << 0x23 << 0 << bytes({0x23, 0x84, 0x21, 0x03, 0xE4, 0x0D});
    }

    void timingCommand()
    {
        QFETCH(bool, fast);
        QFETCH(int, interval);
        QFETCH(int, gpsFields);
        QFETCH(QByteArray, payload);

        ModelRig rig(0, gpsFields & 8, gpsFields & 4, gpsFields & 2, gpsFields & 1);
        rig.model().setDataInterval(interval);
        QVERIFY(rig.open());

        rig.model().sendTiming(moduleAddress, fast);
        const QList<SentFrame> frames = rig.takeFrames(1);
        QCOMPARE(frames.size(), 1);
        expectTransmitRequest(frames[0], moduleAddress, payload);
    }

    void commandsByModuleNumberGoToThatModule()
    {
        ModelRig rig;
        rig.model().setDataInterval(7);
        QVERIFY(rig.open());
        rig.model().appendModule(new FlightModule(moduleAddress, 0, 0));
        rig.model().appendModule(new FlightModule(otherAddress, 0, 0));

        rig.model().sendTimingToModule(1, false);
        rig.model().sendStop(0);
        rig.model().sendStop(1);
        const QList<SentFrame> frames = rig.takeFrames(3);
        QCOMPARE(frames.size(), 3);
        expectTransmitRequest(frames[0], otherAddress, bytes({0x23, 0x84, 0x07, 0xE4, 0x0D}));
        expectTransmitRequest(frames[1], moduleAddress, "*\r");
        expectTransmitRequest(frames[2], otherAddress, "*\r");
    }

    void moduleRadioIsConfiguredInOneWrite()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        rig.model().setBaseStationAddress(0x0013A200, 0x40B1C2D3);

        rig.model().configureModuleRadio(moduleAddress);
        // Everything is handed to the port before the call returns.
        const qint64 queued = rig.model().serialPort()->bytesToWrite();
        const QByteArray written = rig.takeBytes(int(queued));
        QCOMPARE(written.size(), int(queued));

        QList<SentFrame> frames;
        QByteArray rest;
        QString error;
        QVERIFY2(parseSentFrames(written, frames, rest, error), qPrintable(error));
        QVERIFY(rest.isEmpty());
        QCOMPARE(frames.size(), 6);

        const QList<QByteArray> commands{"DH", "DL", "RR", "RO", "WR"};
        const QList<QByteArray> parameters{bytes({0x00, 0x13, 0xA2, 0x00}),
                                           bytes({0x40, 0xB1, 0xC2, 0xD3}), bytes({0x0F}),
                                           bytes({0x09}), QByteArray()};
        for (int i = 0; i < commands.size(); ++i) {
            const SentFrame &frame = frames[i];
            QCOMPARE(frame.type, quint8(0x17));
            QCOMPARE(frame.frameId, quint8(0));
            QCOMPARE(frame.destination, moduleAddress);
            QCOMPARE(frame.networkAddress, QByteArray("\xFF\xFE"));
            QCOMPARE(frame.options, quint8(0x02));
            QCOMPARE(frame.command, commands[i]);
            QCOMPARE(frame.data.toHex(' '), parameters[i].toHex(' '));
        }
        expectTransmitRequest(frames[5], moduleAddress, bytes({0x23, 0x90, 0x0D}));
    }

    void calibrationCommands_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<char>("kind");  // kind letter of the current module
        QTest::addColumn<int>("first");  // slope, reference temperature or Beta
        QTest::addColumn<int>("second"); // cup offset
        QTest::addColumn<QByteArray>("payload");

        QTest::newRow("compass start")
            << CompassStart << 'P' << 0 << 0 << bytes({0x23, 0x92, 0x0D});
        QTest::newRow("indoor on") << IndoorOn << 'P' << 0 << 0 << bytes({0x23, 0x9B, 0x0D});
        QTest::newRow("indoor off") << IndoorOff << 'P' << 0 << 0 << bytes({0x23, 0x9C, 0x0D});
        QTest::newRow("internal thermistor")
            << InternalThermistor << 'P' << 0 << 0 << bytes({0x23, 0x9F, 0x0D});
        QTest::newRow("reference 298.15 K")
            << ThermistorReference << 'P' << 29815 << 0 << bytes({0x23, 0xA1, 0x74, 0x77, 0x0D});
        QTest::newRow("reference bytes not escaped")
            << ThermistorReference << 'P' << 0x2321 << 0 << bytes({0x23, 0xA1, 0x23, 0x21, 0x0D});
        QTest::newRow("Beta 3950")
            << ThermistorBeta << 'P' << 3950 << 0 << bytes({0x23, 0xA3, 0x0F, 0x6E, 0x0D});
        QTest::newRow("Beta bytes not escaped")
            << ThermistorBeta << 'P' << 0x2123 << 0 << bytes({0x23, 0xA3, 0x21, 0x23, 0x0D});
        QTest::newRow("cup") << Anemometer << 'C' << 0x03E8 << 0x19
                             << bytes({0x23, 0x99, 0x03, 0xE8, 0x19, 0x0D});
        QTest::newRow("cup bytes not escaped") << Anemometer << 'C' << 0x2321 << 0x23
                                               << bytes({0x23, 0x99, 0x23, 0x21, 0x23, 0x0D});
        QTest::newRow("cup, negative offset")
            << Anemometer << 'C' << 1000 << -2 << bytes({0x23, 0x99, 0x03, 0xE8, 0xFE, 0x0D});
        QTest::newRow("pitot whatever the slope")
            << Anemometer << 'P' << 0x03E8 << 0x19 << bytes({0x23, 0x97, 0x0D});
    }

    void calibrationCommands()
    {
        QFETCH(Command, command);
        QFETCH(char, kind);
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QByteArray, payload);

        ModelRig rig;
        QVERIFY(rig.open());
        Model &model = rig.model();
        const QString record = Radio::savedRecord(QStringLiteral("TX0001"), moduleAddress, kind);
        auto *module = new FlightModule(record, 0);
        QVERIFY(module->isValid());
        model.appendModule(module);

        switch (command) {
        case CompassStart:
            model.sendCompassCalibrationStart(moduleAddress);
            break;
        case IndoorOn:
            model.sendIndoorOn(moduleAddress);
            break;
        case IndoorOff:
            model.sendIndoorOff(moduleAddress);
            break;
        case InternalThermistor:
            model.sendInternalThermistorCalibration(moduleAddress);
            break;
        case ThermistorReference:
            model.setReferenceTemperature(quint16(first));
            model.sendThermistorReference(moduleAddress);
            break;
        case ThermistorBeta:
            model.setBeta(quint16(first));
            model.sendThermistorBeta(moduleAddress);
            break;
        case Anemometer:
            // The kind of the current module decides between cup and pitot.
            model.setCalibrationType(1);
            QCOMPARE(model.cupAnemometer(), kind == 'C' ? 1 : 0);
            model.setCupCalibration(qint16(first), qint8(second));
            model.sendAnemometerCalibration(moduleAddress);
            break;
        }
        const QList<SentFrame> frames = rig.takeFrames(1);
        QCOMPARE(frames.size(), 1);
        expectTransmitRequest(frames[0], moduleAddress, payload);
    }
};

VENTROLLA_TEST_MAIN(TestModuleCommands)
#include "tst_ModuleCommands.moc"
