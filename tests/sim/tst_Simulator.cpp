#include "BaseStationSimulator.h"
#include "SimulatorCommandLine.h"
#include "TestSupport.h"
#include "link/ApiFrame.h"
#include "link/FlightModule.h"
#include "link/ModuleMessage.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QSerialPort>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

constexpr int guardMs = 30;
const QByteArray script = "ATRE\rATAP2\rATRR 0xF\rATBD6\rATSH\rATSL\rATWR\rATCN\r";

struct Received
{
    qint64 source;
    quint8 receiveOptions;
    ModuleMessage message;
};

// The ground station's end of the line: a real serial port on the simulator's pseudo-terminal,
// decoding what arrives with the program's own frame and message parsers.
class Host : public QObject
{
public:
    Host(const QString &portName, int baudRate)
    {
        port.setPortName(portName);
        port.setBaudRate(baudRate);
        opened = port.open(QIODevice::ReadWrite);
        connect(&port, &QSerialPort::readyRead, this, &Host::read);
    }

    void read()
    {
        const QByteArray bytes = port.readAll();
        if (bytes.isEmpty())
            return;
        ++reads;
        raw += bytes;
        frameParser.feed(bytes);
        while (frameParser.hasFrame()) {
            const ApiFrame frame = frameParser.takeFrame();
            frames.append(frame);
            ModuleMessageParser &parser = parsers[frame.sourceAddress];
            parser.feed(frame.payload);
            while (parser.hasMessage())
                messages.append({frame.sourceAddress, quint8(frame.frameData.at(11)),
                                 parser.takeMessage()});
        }
    }

    void write(const QByteArray &bytes)
    {
        port.write(bytes);
        port.flush();
    }

    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 3000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!condition() && !deadline.hasExpired())
            QTest::qWait(2);
        return condition();
    }

    QList<ModuleMessage> messagesOf(qint64 source, quint8 type) const
    {
        QList<ModuleMessage> out;
        for (const Received &r : messages) {
            if (r.source == source && r.message.type == type)
                out.append(r.message);
        }
        return out;
    }

    QList<quint8> typesFrom(qint64 source) const
    {
        QList<quint8> out;
        for (const Received &r : messages) {
            if (r.source == source)
                out.append(r.message.type);
        }
        return out;
    }

    void clear()
    {
        raw.clear();
        frames.clear();
        messages.clear();
        reads = 0;
    }

    QSerialPort port;
    bool opened = false;
    QByteArray raw;
    int reads = 0;
    QList<ApiFrame> frames;
    QList<Received> messages;

private:
    ApiFrameParser frameParser;
    QHash<qint64, ModuleMessageParser> parsers;
};

BaseStationSimulator::Settings quickSettings(int moduleCount = 0)
{
    BaseStationSimulator::Settings settings;
    settings.guardTimeMs = guardMs;
    settings.commandModeTimeoutMs = 2000;
    settings.powerOnDelayMs = 0;
    settings.powerOnIntervalMs = 0;
    settings.speed = 25;
    settings.startTime = QDateTime(QDate(2024, 6, 1), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < moduleCount; ++i) {
        SimulatedModule::Settings module;
        module.heightAboveGround = 50 + 200 * i;
        settings.modules.append(module);
    }
    return settings;
}

// Guard time of silence, "+++", and the radio's "OK\r" (after the guard time behind it).
// Where no answer is expected, waiting a few guard times is proof enough.
bool enterCommandMode(Host &host, int timeoutMs = 2000)
{
    QTest::qWait(guardMs + 15);
    host.clear();
    host.write("+++");
    return host.waitFor([&] { return host.raw == "OK\r"; }, timeoutMs);
}

constexpr int noAnswerMs = 4 * guardMs;

bool configureRadio(Host &host)
{
    if (!enterCommandMode(host))
        return false;
    host.clear();
    host.write(script);
    return host.waitFor([&] { return host.raw.count('\r') == 8; });
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// What the ground station writes when it answers a Hello: the module's radio is pointed at the
// base station, then the module is told it is configured.
QByteArray configureModule(qint64 module, qint64 baseStation)
{
    return buildRemoteAtCommand(module, "DH" + bigEndianBytes32(quint32(quint64(baseStation) >> 32)))
           + buildRemoteAtCommand(module, "DL" + bigEndianBytes32(quint32(baseStation)))
           + buildRemoteAtCommand(module, bytes({'R', 'R', 0x0F}))
           + buildRemoteAtCommand(module, bytes({'R', 'O', 0x09}))
           + buildRemoteAtCommand(module, "WR") + buildTransmitRequest(module, "#\x90\r");
}

QByteArray timing(quint8 intervalCode, quint8 selection)
{
    return bytes({'#', 0x84, intervalCode, selection, '\r'});
}

int secondOfDay(const ModuleMessage &data)
{
    return data.values[ModuleMessage::HoursSlot].toInt() * 3600
           + data.values[ModuleMessage::MinutesSlot].toInt() * 60
           + data.values[ModuleMessage::SecondsSlot].toInt();
}

double slot(const ModuleMessage &message, int index)
{
    return message.values[size_t(index)].toString().toDouble();
}

// A running simulator whose radio is in API mode, with its modules configured.
struct Rig
{
    explicit Rig(const BaseStationSimulator::Settings &settings) : simulator(settings)
    {
        started = simulator.start();
        host = std::make_unique<Host>(simulator.portName(), 57600);
    }

    bool configureAll()
    {
        if (!host->opened || !configureRadio(*host))
            return false;
        for (int i = 0; i < simulator.moduleCount(); ++i) {
            SimulatedModule *module = simulator.module(i);
            if (!host->waitFor([&] { return module->isPowered(); }))
                return false;
            host->write(configureModule(module->address(), simulator.address()));
            if (!host->waitFor([&] {
                    return !host->messagesOf(module->address(), ModuleMessage::CalibReady).isEmpty();
                }))
                return false;
        }
        host->clear();
        return true;
    }

    void send(int moduleIndex, const QByteArray &payload)
    {
        host->write(buildTransmitRequest(simulator.module(moduleIndex)->address(), payload));
    }

    qint64 address(int moduleIndex) const { return simulator.module(moduleIndex)->address(); }

    BaseStationSimulator simulator;
    bool started = false;
    std::unique_ptr<Host> host;
};

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void guardSequenceNeedsMatchingRateAndSilence();
    void radioAnswersAtItsStoredRate_data();
    void radioAnswersAtItsStoredRate();
    void scriptAnswersCarryTheAddress_data();
    void scriptAnswersCarryTheAddress();
    void commandModeFaultsAndTimeout();
    void modulesAnnounceOnlyOnceTheRadioSpeaksApi();
    void handshakePointsTheModuleAtTheBaseStation();
    void reportsFollowTheTimingCommand();
    void stopEndsReportsUnlessTheModuleIgnoresIt();
    void commandsAreAnswered_data();
    void commandsAreAnswered();
    void indoorReportsCarryNoGroups();
    void compassCalibrationStreamsSamplesThenTakesTheSolution();
    void frameFaults();
    void commandLine();
    void commandLineErrors_data();
    void commandLineErrors();
};

void TestSimulator::guardSequenceNeedsMatchingRateAndSilence()
{
    BaseStationSimulator simulator(quickSettings());
    QVERIFY(simulator.start());
    Host host(simulator.portName(), 9600);
    QVERIFY(host.opened);

    // At 9600 baud the radio at 57600 hears nothing.
    QVERIFY(!enterCommandMode(host, noAnswerMs));
    QVERIFY(host.raw.isEmpty());
    QCOMPARE(simulator.mode(), BaseStationSimulator::Mode::Transparent);

    QVERIFY(host.port.setBaudRate(57600));
    // Without silence before it, "+++" is only data.
    QTest::qWait(guardMs + 15);
    host.write("x");
    host.write("+++");
    QTest::qWait(3 * guardMs);
    QVERIFY(host.raw.isEmpty());
    // A byte within the guard time after "+++" cancels it.
    QTest::qWait(guardMs + 15);
    host.write("+++");
    QTest::qWait(guardMs / 3);
    host.write("A");
    QTest::qWait(3 * guardMs);
    QVERIFY(host.raw.isEmpty());

    QVERIFY(enterCommandMode(host));
    QCOMPARE(simulator.mode(), BaseStationSimulator::Mode::Command);
}

void TestSimulator::radioAnswersAtItsStoredRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::newRow("9600") << 9600;
    QTest::newRow("115200") << 115200;
}

void TestSimulator::radioAnswersAtItsStoredRate()
{
    QFETCH(int, rate);
    BaseStationSimulator::Settings settings = quickSettings();
    settings.baudRate = rate;
    BaseStationSimulator simulator(settings);
    QVERIFY(simulator.start());
    Host host(simulator.portName(), 57600);
    QVERIFY(!enterCommandMode(host, noAnswerMs));

    QVERIFY(host.port.setBaudRate(rate));
    QVERIFY(configureRadio(host));
    // ATCN is answered at the old rate; after it the radio speaks API frames at 57600 (ATBD6).
    QVERIFY(host.raw.endsWith("OK\rOK\r"));
    QCOMPARE(simulator.mode(), BaseStationSimulator::Mode::Api);
    QCOMPARE(simulator.baudRate(), 57600);
}

void TestSimulator::scriptAnswersCarryTheAddress_data()
{
    QTest::addColumn<qint64>("address");
    QTest::addColumn<QByteArray>("high");
    QTest::addColumn<QByteArray>("low");
    QTest::newRow("default") << qint64(0x0013A20040B1C2D3LL) << QByteArray("13A200")
                             << QByteArray("40B1C2D3");
    // The ground station cannot take a low half above 7FFFFFFF; the radio still reports it.
    QTest::newRow("high low half") << qint64(0x0013A200C0FFEE01LL) << QByteArray("13A200")
                                   << QByteArray("C0FFEE01");
}

void TestSimulator::scriptAnswersCarryTheAddress()
{
    QFETCH(qint64, address);
    QFETCH(QByteArray, high);
    QFETCH(QByteArray, low);
    BaseStationSimulator::Settings settings = quickSettings();
    settings.address = address;
    BaseStationSimulator simulator(settings);
    QVERIFY(simulator.start());
    Host host(simulator.portName(), 57600);
    QVERIFY(configureRadio(host));
    QCOMPARE(host.raw.split('\r'),
             QList<QByteArray>({"OK", "OK", "OK", "OK", high, low, "OK", "OK", ""}));
}

void TestSimulator::commandModeFaultsAndTimeout()
{
    {
        BaseStationSimulator::Settings settings = quickSettings();
        settings.faults.ignoreGuardSequence = true;
        BaseStationSimulator simulator(settings);
        QVERIFY(simulator.start());
        Host host(simulator.portName(), 57600);
        QVERIFY(!enterCommandMode(host, noAnswerMs));
        QVERIFY(host.raw.isEmpty());
    }
    {
        // The refused ATBD6 leaves the factory rate that ATRE restored: 9600 after ATCN.
        BaseStationSimulator::Settings settings = quickSettings();
        settings.faults.wrongAnswerCommand = "BD";
        BaseStationSimulator simulator(settings);
        QVERIFY(simulator.start());
        Host host(simulator.portName(), 57600);
        QVERIFY(configureRadio(host));
        QCOMPARE(host.raw.split('\r').value(3), QByteArray("ERROR"));
        QCOMPARE(simulator.mode(), BaseStationSimulator::Mode::Api);
        QCOMPARE(simulator.baudRate(), 9600);
    }
    {
        BaseStationSimulator::Settings settings = quickSettings();
        settings.commandModeTimeoutMs = 100;
        BaseStationSimulator simulator(settings);
        QVERIFY(simulator.start());
        Host host(simulator.portName(), 57600);
        QVERIFY(enterCommandMode(host));
        host.write("ATAP2\r"); // not applied: the radio leaves command mode by itself
        QVERIFY(host.waitFor([&] { return simulator.mode() != BaseStationSimulator::Mode::Command; }));
        QCOMPARE(simulator.mode(), BaseStationSimulator::Mode::Transparent);
    }
}

void TestSimulator::modulesAnnounceOnlyOnceTheRadioSpeaksApi()
{
    BaseStationSimulator::Settings settings = quickSettings(2);
    settings.modules[0].kind = 'Q';
    settings.modules[0].identifier = QStringLiteral("TX0001");
    settings.modules[1].kind = 'C';
    settings.powerOnDelayMs = 20;
    settings.powerOnIntervalMs = 150;
    Rig rig(settings);
    QVERIFY(rig.started);

    QTest::qWait(100);
    QVERIFY(!rig.simulator.module(0)->isPowered());
    QVERIFY(configureRadio(*rig.host));
    QVERIFY(rig.host->waitFor([&] { return rig.host->messages.size() >= 2; }));

    // The first module is switched on first and calls everybody in range.
    const Received first = rig.host->messages.first();
    QCOMPARE(first.source, rig.address(0));
    QCOMPARE(first.receiveOptions, quint8(0x02));
    QCOMPARE(first.message.type, quint8(ModuleMessage::Hello));

    FlightModule decoded(rig.address(0), 1, 0);
    QSignalSpy hello(&decoded, &FlightModule::hello);
    decoded.processPayload(rig.host->frames.first().payload);
    QCOMPARE(hello.count(), 1);
    QCOMPARE(decoded.moduleId(), QStringLiteral("TX0001"));
    QVERIFY(decoded.hasDirectTemperature());

    QVERIFY(rig.host->waitFor([&] { return !rig.host->messagesOf(rig.address(1), ModuleMessage::Hello).isEmpty(); }));
    const ModuleMessage second = rig.host->messagesOf(rig.address(1), ModuleMessage::Hello).first();
    QCOMPARE(second.kindLetter, quint8('C'));
    QCOMPARE(second.text, QStringLiteral("TX0002"));
    // Hello keeps coming every few (simulated) seconds until the module is configured.
    QVERIFY(rig.host->waitFor([&] { return rig.host->messagesOf(rig.address(0), ModuleMessage::Hello).size() >= 3; }));
}

void TestSimulator::handshakePointsTheModuleAtTheBaseStation()
{
    Rig rig(quickSettings(2));
    QVERIFY(rig.started);
    QVERIFY(configureRadio(*rig.host));
    SimulatedModule *first = rig.simulator.module(0);
    SimulatedModule *second = rig.simulator.module(1);
    QVERIFY(rig.host->waitFor([&] { return first->isPowered() && second->isPowered(); }));

    // Told it is configured without being pointed at the base station, the module's answer
    // goes nowhere.
    rig.send(1, "#\x90\r");
    QTest::qWait(20);
    rig.host->write(configureModule(first->address(), rig.simulator.address()));
    QVERIFY(rig.host->waitFor([&] { return !rig.host->messagesOf(rig.address(0), ModuleMessage::CalibReady).isEmpty(); }));
    QCOMPARE(first->destination(), rig.simulator.address());
    QCOMPARE(first->retries(), 15);
    QCOMPARE(first->packetizationTimeout(), 9);
    QVERIFY(!first->isAnnouncing());
    QCOMPARE(rig.host->messages.last().receiveOptions, quint8(0x01));

    rig.host->clear();
    QTest::qWait(rig.simulator.clock().realDelay(7000));
    QVERIFY(rig.host->typesFrom(rig.address(0)).isEmpty());
    QVERIFY(rig.host->typesFrom(rig.address(1)).isEmpty());
    QCOMPARE(second->destination(), qint64(0));

    // The stored radio settings survive a power cycle; the firmware announces itself again.
    first->setPowered(false);
    first->setPowered(true);
    QCOMPARE(first->destination(), rig.simulator.address());
    QVERIFY(first->isAnnouncing());
    QVERIFY(rig.host->waitFor([&] { return !rig.host->messagesOf(rig.address(0), ModuleMessage::Hello).isEmpty(); }));
}

void TestSimulator::reportsFollowTheTimingCommand()
{
    BaseStationSimulator::Settings settings = quickSettings(2);
    settings.modules[0].gps = true;
    settings.modules[0].kind = 'P';
    settings.modules[1].xdata = true;
    Rig rig(settings);
    QVERIFY(rig.started);
    QVERIFY(rig.configureAll());

    rig.host->write(buildTransmitRequest(rig.address(0), timing(1, 0xFF))
                    + buildTransmitRequest(rig.address(1), timing(1, 0xFF)));
    const auto reports = [&](int module) { return rig.host->messagesOf(rig.address(module), ModuleMessage::Data); };
    QVERIFY(rig.host->waitFor([&] { return reports(0).size() >= 3 && reports(1).size() >= 3; }));

    const QList<ModuleMessage> low = reports(0);
    const QList<ModuleMessage> high = reports(1);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(secondOfDay(low.at(i)), secondOfDay(high.at(i)));
    QCOMPARE((secondOfDay(low.at(1)) - secondOfDay(low.at(0)) + 86400) % 86400, 1);
    const QDateTime now = rig.simulator.clock().now();
    QVERIFY(qAbs(now.time().msecsSinceStartOfDay() / 1000 - secondOfDay(low.at(2))) <= 2);

    // The lower module sits 200 m below the other: more pressure, warmer air.
    QVERIFY(slot(low.at(0), ModuleMessage::PressureSlot) > slot(high.at(0), ModuleMessage::PressureSlot) + 15);
    QVERIFY(slot(low.at(0), ModuleMessage::PressureSlot) < 1030);
    QVERIFY(slot(low.at(0), ModuleMessage::TemperatureSlot) > slot(high.at(0), ModuleMessage::TemperatureSlot));
    QVERIFY(qAbs(slot(low.at(0), ModuleMessage::TemperatureSlot) - 287.5) < 5);
    QVERIFY(qAbs(slot(low.at(0), ModuleMessage::SupplySlot) - 4.1) < 0.1);
    QVERIFY(slot(low.at(0), ModuleMessage::WindSpeedSlot) > 0);

    // Only the GPS module has position, course and speed; both report an altitude.
    QVERIFY(qAbs(slot(low.at(0), ModuleMessage::LatitudeSlot) - settings.latitude) < 0.01);
    QVERIFY(qAbs(slot(low.at(0), ModuleMessage::LongitudeSlot) - settings.longitude) < 0.01);
    QVERIFY(qAbs(slot(low.at(0), ModuleMessage::AltitudeSlot) - (100 + 50)) < 10);
    QVERIFY(low.at(0).values[ModuleMessage::CourseSlot].isValid());
    QVERIFY(!high.at(0).values[ModuleMessage::LatitudeSlot].isValid());
    QVERIFY(!high.at(0).values[ModuleMessage::GroundSpeedSlot].isValid());
    QVERIFY(qAbs(slot(high.at(0), ModuleMessage::AltitudeSlot) - (100 + 250)) < 60);
    const QList<ModuleMessage> xdata = rig.host->messagesOf(rig.address(1), ModuleMessage::XData);
    QVERIFY(!xdata.isEmpty());
    QVERIFY(xdata.first().values[ModuleMessage::XDataSlot].toString().startsWith(QLatin1String("xdata=T2=")));
    QVERIFY(rig.host->messagesOf(rig.address(0), ModuleMessage::XData).isEmpty());

    // A slower interval: reports on whole multiples of 2 s, 2 s apart.
    rig.send(0, timing(2, 0xE4));
    rig.host->clear();
    QVERIFY(rig.host->waitFor([&] { return reports(0).size() >= 2; }));
    const QList<ModuleMessage> slow = reports(0);
    QCOMPARE(secondOfDay(slow.at(0)) % 2, 0);
    QCOMPARE((secondOfDay(slow.at(1)) - secondOfDay(slow.at(0)) + 86400) % 86400, 2);
    QVERIFY(!slow.at(0).values[ModuleMessage::LatitudeSlot].isValid());
    QCOMPARE(rig.simulator.module(0)->reportIntervalSeconds(), 2);
}

void TestSimulator::stopEndsReportsUnlessTheModuleIgnoresIt()
{
    BaseStationSimulator::Settings settings = quickSettings(2);
    settings.modules[1].ignoresStop = true;
    Rig rig(settings);
    QVERIFY(rig.started);
    QVERIFY(rig.configureAll());
    rig.host->write(buildTransmitRequest(rig.address(0), timing(1, 0xE4))
                    + buildTransmitRequest(rig.address(1), timing(1, 0xE4)));
    QVERIFY(rig.host->waitFor([&] { return rig.host->messages.size() >= 4; }));

    rig.host->write(buildTransmitRequest(rig.address(0), "*\r")
                    + buildTransmitRequest(rig.address(1), "*\r"));
    QVERIFY(rig.host->waitFor([&] { return !rig.host->messagesOf(rig.address(0), ModuleMessage::CalibReady).isEmpty(); }));
    QTest::qWait(rig.simulator.clock().realDelay(400)); // a report already on the air may land
    rig.host->clear();
    QTest::qWait(rig.simulator.clock().realDelay(4000));
    QVERIFY(rig.host->typesFrom(rig.address(0)).isEmpty());
    const QList<quint8> stubborn = rig.host->typesFrom(rig.address(1));
    QVERIFY(stubborn.size() >= 3);
    QVERIFY(!stubborn.contains(quint8(ModuleMessage::CalibReady)));
}

void TestSimulator::commandsAreAnswered_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QList<quint8>>("answers");
    QTest::addColumn<QByteArray>("payload"); // of the first answer: indoor code or echoed word

    const quint8 ready = ModuleMessage::CalibReady;
    QTest::newRow("configured") << QByteArray("#\x90\r") << QList<quint8>{ready} << QByteArray();
    QTest::newRow("pitot") << bytes({'#', 0x97, '\r'})
                           << QList<quint8>{ModuleMessage::CalibDonePitot, ready} << QByteArray();
    // Slope and offset are sent unescaped: '#' and CR among them are plain data.
    QTest::newRow("cup") << bytes({'#', 0x99, 0x23, 0x0D, 0x21, '\r'})
                         << QList<quint8>{ModuleMessage::CalibCupOk, ready} << QByteArray();
    QTest::newRow("indoor on") << bytes({'#', 0x9B, '\r'})
                               << QList<quint8>{ModuleMessage::IndoorAck, ready} << bytes({155});
    QTest::newRow("indoor off") << bytes({'#', 0x9C, '\r'})
                                << QList<quint8>{ModuleMessage::IndoorAck, ready} << bytes({156});
    QTest::newRow("internal thermistor")
        << bytes({'#', 0x9F, '\r'}) << QList<quint8>{ModuleMessage::IntThermCalDone, ready}
        << QByteArray();
    QTest::newRow("thermistor reference")
        << bytes({'#', 0xA1, 0x0B, 0x23, '\r'}) << QList<quint8>{ModuleMessage::ExtThermCalOk, ready}
        << bytes({0x0B, 0x23});
    QTest::newRow("beta") << bytes({'#', 0xA3, 0x0F, 0x6E, '\r'})
                          << QList<quint8>{ModuleMessage::ChangeBetaOk, ready} << bytes({0x0F, 0x6E});
    QTest::newRow("solution") << "#\x94" + QByteArray(36, 'A') + QByteArray(35, '0') + "F\r"
                              << QList<quint8>{ModuleMessage::CalibOk, ready} << QByteArray();
    QTest::newRow("short solution") << "#\x94" + QByteArray(70, 'A') + "\r"
                                    << QList<quint8>{ModuleMessage::CalibErr, ready} << QByteArray();
    QTest::newRow("unknown code") << bytes({'#', 0x55, '\r'}) << QList<quint8>{} << QByteArray();
    QTest::newRow("missing terminator") << bytes({'#', 0x9F, 'x'}) << QList<quint8>{} << QByteArray();
}

void TestSimulator::commandsAreAnswered()
{
    QFETCH(QByteArray, command);
    QFETCH(QList<quint8>, answers);
    QFETCH(QByteArray, payload);
    BaseStationSimulator::Settings settings = quickSettings(1);
    settings.speed = 100; // the pitot tube takes five simulated seconds
    Rig rig(settings);
    QVERIFY(rig.started);
    QVERIFY(rig.configureAll());

    rig.send(0, command);
    if (answers.isEmpty()) {
        QTest::qWait(rig.simulator.clock().realDelay(6000));
        QVERIFY(rig.host->messages.isEmpty());
        return;
    }
    QVERIFY(rig.host->waitFor([&] { return rig.host->messages.size() >= answers.size(); }));
    QTest::qWait(rig.simulator.clock().realDelay(500));
    QCOMPARE(rig.host->typesFrom(rig.address(0)), answers);
    const ModuleMessage first = rig.host->messages.first().message;
    if (first.type == ModuleMessage::IndoorAck)
        QCOMPARE(first.indoorCode, quint8(payload.at(0)));
    if (first.type == ModuleMessage::ExtThermCalOk)
        QCOMPARE(first.tempEcho, quint16((quint8(payload.at(0)) << 8) | quint8(payload.at(1))));
    if (first.type == ModuleMessage::ChangeBetaOk)
        QCOMPARE(first.ackWord, quint16((quint8(payload.at(0)) << 8) | quint8(payload.at(1))));
}

void TestSimulator::indoorReportsCarryNoGroups()
{
    Rig rig(quickSettings(1));
    QVERIFY(rig.started);
    QVERIFY(rig.configureAll());
    rig.send(0, bytes({'#', 0x9B, '\r'}));
    QVERIFY(rig.host->waitFor([&] { return rig.host->messages.size() >= 2; }));
    rig.send(0, timing(1, 0xE4));
    QVERIFY(rig.host->waitFor([&] { return rig.host->frames.size() >= 3; }));

    // The contents byte still names the selected groups, but none follows: only a parser that
    // overrides the flags, as the program's does for an indoor module, completes the report.
    const QByteArray report = rig.host->frames.at(2).payload;
    ModuleMessageParser plain;
    plain.feed(report);
    QVERIFY(!plain.hasMessage());
    ModuleMessageParser overridden;
    overridden.setFlagsOverride(true, 0);
    overridden.feed(report);
    QVERIFY(overridden.hasMessage());
    const ModuleMessage data = overridden.takeMessage();
    QVERIFY(data.values[ModuleMessage::PressureSlot].isValid());
    QVERIFY(!data.values[ModuleMessage::HoursSlot].isValid());
}

void TestSimulator::compassCalibrationStreamsSamplesThenTakesTheSolution()
{
    BaseStationSimulator::Settings settings = quickSettings(1);
    settings.speed = 200;
    Rig rig(settings);
    QVERIFY(rig.started);
    QVERIFY(rig.configureAll());
    FlightModule decoded(rig.address(0), 1, 0);

    rig.send(0, bytes({'#', 0x92, '\r'}));
    QVERIFY(rig.host->waitFor(
        [&] {
            return rig.simulator.module(0)->activity() == SimulatedModule::Activity::CalibratingCompass
                   && rig.host->messages.size() * 4 >= SimulatedModule::compassSampleCount;
        },
        5000));
    QTest::qWait(rig.simulator.clock().realDelay(1000));
    const QList<ModuleMessage> batches = rig.host->messagesOf(rig.address(0), ModuleMessage::CalibDataCompass);
    QCOMPARE(batches.size(), rig.host->messages.size());

    // 28 upper-case hex digits per sample; the magnetometer words (the last three) spread
    // over an ellipsoid around a small offset.
    int samples = 0;
    double lowest[3] = {2, 2, 2};
    double highest[3] = {-2, -2, -2};
    for (const ModuleMessage &batch : batches) {
        QCOMPARE(batch.sampleBytes.size() % 28, 0);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]*$")).match(QString::fromLatin1(batch.sampleBytes)).hasMatch());
        for (int at = 0; at < batch.sampleBytes.size(); at += 28) {
            ++samples;
            for (int axis = 0; axis < 3; ++axis) {
                const double value = qint16(batch.sampleBytes.mid(at + 16 + 4 * axis, 4).toUShort(nullptr, 16)) * 2.0 / 32768.0;
                lowest[axis] = qMin(lowest[axis], value);
                highest[axis] = qMax(highest[axis], value);
            }
        }
    }
    QCOMPARE(samples, SimulatedModule::compassSampleCount);
    for (int axis = 0; axis < 3; ++axis) {
        QVERIFY(highest[axis] - lowest[axis] > 0.6);
        QVERIFY(qAbs(highest[axis] + lowest[axis]) < 0.4);
    }

    // The program's own decoder collects every sample text.
    QSignalSpy collected(&decoded, &FlightModule::calibDataCompass);
    for (const ApiFrame &frame : rig.host->frames)
        decoded.processPayload(frame.payload);
    QCOMPARE(collected.count(), batches.size());
    QCOMPARE(decoded.takeCalibData().size(), SimulatedModule::compassSampleCount * 28);

    // The solution travels in two transmit requests; the second has no '#' of its own.
    rig.host->clear();
    rig.send(0, "#\x94" + QByteArray(36, '7'));
    rig.send(0, QByteArray(36, 'F') + "\r");
    QVERIFY(rig.host->waitFor([&] { return rig.host->messages.size() >= 2; }));
    QCOMPARE(rig.host->typesFrom(rig.address(0)),
             QList<quint8>({ModuleMessage::CalibOk, ModuleMessage::CalibReady}));
}

void TestSimulator::frameFaults()
{
    const auto radioWith = [](const BaseStationSimulator::Faults &faults) {
        BaseStationSimulator::Settings settings = quickSettings(1);
        settings.faults = faults;
        return std::make_unique<Rig>(settings);
    };
    {
        BaseStationSimulator::Faults faults;
        faults.corruptChecksumRate = 1;
        const std::unique_ptr<Rig> rig = radioWith(faults);
        QVERIFY(rig->started && configureRadio(*rig->host));
        rig->host->clear();
        QTest::qWait(rig->simulator.clock().realDelay(4000));
        QVERIFY(rig->host->raw.count('\x7E') >= 1);
        QVERIFY(rig->host->frames.isEmpty());
    }
    {
        BaseStationSimulator::Faults faults;
        faults.garbageRate = 1;
        faults.splitWrites = true;
        const std::unique_ptr<Rig> rig = radioWith(faults);
        QVERIFY(rig->started && configureRadio(*rig->host));
        Host &host = *rig->host;
        host.clear();
        QVERIFY(host.waitFor([&] { return host.frames.size() >= 4; }));
        // Every frame arrives intact, behind noise and cut into pieces.
        int framed = 0;
        for (const ApiFrame &frame : host.frames)
            framed += frame.frameData.size() + 4;
        QVERIFY(host.raw.size() >= framed + host.frames.size());
        QVERIFY(host.reads > host.frames.size());
        for (const Received &r : host.messages)
            QCOMPARE(r.message.type, quint8(ModuleMessage::Hello));
    }
}

void TestSimulator::commandLine()
{
    SimulatorCommandLine commandLine;
    QCOMPARE(commandLine.parse({"ventrolla-sim", "--address-low", "C0FFEE01", "--baud", "9600",
                                "--module", "D:AB12:gps:height=80", "--module", "p:CD34:xdata",
                                "--ignore-stop", "CD34", "--speed", "10", "--wrong-answer",
                                "atbd", "--start-time", "2024-05-01T12:00:00Z"}),
             SimulatorCommandLine::Outcome::Run);
    const BaseStationSimulator::Settings settings = commandLine.settings();
    QCOMPARE(settings.address, qint64(0x0013A200C0FFEE01LL));
    QCOMPARE(settings.baudRate, 9600);
    QCOMPARE(settings.speed, 10.0);
    QCOMPARE(settings.faults.wrongAnswerCommand, QByteArray("BD"));
    QCOMPARE(settings.startTime, QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC));
    QCOMPARE(settings.modules.size(), 2);
    QCOMPARE(settings.modules[0].kind, 'D');
    QCOMPARE(settings.modules[0].identifier, QStringLiteral("AB12"));
    QVERIFY(settings.modules[0].gps);
    QCOMPARE(settings.modules[0].heightAboveGround, 80.0);
    QVERIFY(!settings.modules[0].ignoresStop);
    QCOMPARE(settings.modules[1].kind, 'P');
    QVERIFY(settings.modules[1].xdata);
    QVERIFY(settings.modules[1].ignoresStop);

    QCOMPARE(commandLine.parse({"ventrolla-sim", "--modules", "5", "--kinds", "QC", "--gps"}),
             SimulatorCommandLine::Outcome::Run);
    const QList<SimulatedModule::Settings> modules = commandLine.settings().modules;
    QCOMPARE(modules.size(), 5);
    QCOMPARE(modules[3].kind, 'C');
    QCOMPARE(modules[4].identifier, QStringLiteral("TX0005"));
    QVERIFY(modules[4].gps);
    QVERIFY(modules[4].heightAboveGround > modules[3].heightAboveGround);

    QCOMPARE(commandLine.parse({"ventrolla-sim", "--help"}), SimulatorCommandLine::Outcome::Help);
    QVERIFY(commandLine.helpText().contains(QLatin1String("--split-writes")));
}

void TestSimulator::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("odd baud rate") << QStringList{"--baud", "1234"};
    QTest::newRow("long address half") << QStringList{"--address-low", "1C0FFEE01"};
    QTest::newRow("unknown kind") << QStringList{"--module", "X:TX0001"};
    QTest::newRow("long identifier") << QStringList{"--module", "Q:ABCDEFGHIJKLM"};
    QTest::newRow("unknown flag") << QStringList{"--module", "Q:TX0001:wings"};
    QTest::newRow("stop for nobody") << QStringList{"--ignore-stop", "NOPE"};
    QTest::newRow("rate above one") << QStringList{"--corrupt-rate", "1.5"};
    QTest::newRow("three-letter command") << QStringList{"--wrong-answer", "ABC"};
}

void TestSimulator::commandLineErrors()
{
    QFETCH(QStringList, arguments);
    SimulatorCommandLine commandLine;
    QCOMPARE(commandLine.parse(QStringList{"ventrolla-sim"} + arguments),
             SimulatorCommandLine::Outcome::Error);
    QVERIFY(!commandLine.errorText().isEmpty());
}

VENTROLLA_TEST_MAIN(TestSimulator)
#include "tst_Simulator.moc"
