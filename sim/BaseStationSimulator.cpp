#include "BaseStationSimulator.h"

#include "ReplayConductor.h"

#include "link/ApiFrame.h"
#include "link/ModuleMessage.h"

namespace {

constexpr int baudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int baudRateCount = int(sizeof baudRates / sizeof baudRates[0]);

constexpr quint8 startDelimiter = 0x7E;
constexpr quint8 escapeByte = 0x7D;
constexpr quint8 transmitRequest = 0x10;
constexpr quint8 remoteAtCommandRequest = 0x17;
constexpr quint8 receivePacket = 0x90;
constexpr int transmitHeaderSize = 14;   // type, id, 8 address bytes, 2 network bytes, radius, options
constexpr int remoteAtHeaderSize = 13;   // type, id, 8 address bytes, 2 network bytes, options
constexpr quint8 acknowledgedOption = 0x01;
constexpr quint8 broadcastOption = 0x02;

constexpr int maxCommandLineLength = 64;
constexpr int pieceIntervalMs = 3;
constexpr qint64 defaultModuleAddress = 0x0013A20041500001LL;

int baudCodeOf(int rate)
{
    for (int code = 0; code < baudRateCount; ++code) {
        if (baudRates[code] == rate)
            return code;
    }
    return 6; // 57600
}

qint64 address64(const QByteArray &bytes, int offset)
{
    quint64 value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | quint8(bytes.at(offset + i));
    return qint64(value);
}

QByteArray hexText(quint64 value)
{
    return QByteArray::number(value, 16).toUpper();
}

} // namespace

BaseStationSimulator::BaseStationSimulator(const Settings &settings, QObject *parent)
    : QObject(parent),
      settings(settings),
      clock_(settings.startTime.isValid() ? settings.startTime : QDateTime::currentDateTimeUtc(),
             settings.speed),
      atmosphere(settings.groundElevation, settings.latitude, settings.longitude, settings.seed),
      random(settings.seed)
{
    active.baudCode = baudCodeOf(settings.baudRate);
    active.apiMode = settings.apiMode ? 2 : 0;
    mode_ = settings.apiMode ? Mode::Api : Mode::Transparent;
    reader.setEscaping(active.apiMode == 2);

    for (int i = 0; i < settings.modules.size(); ++i) {
        SimulatedModule::Settings moduleSettings = settings.modules.at(i);
        if (moduleSettings.address == 0)
            moduleSettings.address = defaultModuleAddress + i;
        if (moduleSettings.identifier.isEmpty())
            moduleSettings.identifier = QStringLiteral("TX%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        auto *module = new SimulatedModule(moduleSettings, clock_, atmosphere,
                                           settings.seed * 7919u + quint32(i) + 1u, this);
        connect(module, &SimulatedModule::transmitted, this,
                [this, module](qint64 destination, const QByteArray &payload) {
                    onModuleTransmitted(module, destination, payload);
                });
        connect(module, &SimulatedModule::event, this, &BaseStationSimulator::logMessage);
        modules.append(module);
    }
    if (settings.replay)
        new ReplayConductor(settings.replay, settings.loop, clock_, modules, this);

    guardTimer.setSingleShot(true);
    connect(&guardTimer, &QTimer::timeout, this, [this] {
        guardCharacters = 0;
        if (this->settings.faults.ignoreGuardSequence) {
            emit logMessage(QStringLiteral("guard sequence ignored (fault)"));
            return;
        }
        enterCommandMode();
    });
    commandTimer.setSingleShot(true);
    connect(&commandTimer, &QTimer::timeout, this, [this] { leaveCommandMode(false); });
    pieceTimer.setInterval(pieceIntervalMs);
    connect(&pieceTimer, &QTimer::timeout, this, &BaseStationSimulator::writeNextPiece);
}

bool BaseStationSimulator::start()
{
    if (!line.open())
        return false;
    connect(&line, &PseudoTerminal::bytesReceived, this, &BaseStationSimulator::onHostBytes);
    silence.start();
    emit logMessage(QStringLiteral("radio %1 at %2 baud, %3")
                        .arg(quint64(settings.address), 16, 16, QLatin1Char('0'))
                        .arg(baudRate())
                        .arg(mode_ == Mode::Api ? QStringLiteral("API mode")
                                                : QStringLiteral("transparent mode")));
    if (mode_ == Mode::Api)
        startPowerOnSequence();
    return true;
}

QString BaseStationSimulator::portName() const
{
    return line.slavePath();
}

qint64 BaseStationSimulator::address() const
{
    return settings.address;
}

BaseStationSimulator::Mode BaseStationSimulator::mode() const
{
    return mode_;
}

int BaseStationSimulator::baudRate() const
{
    return baudRates[active.baudCode];
}

const SimulatedClock &BaseStationSimulator::clock() const
{
    return clock_;
}

int BaseStationSimulator::moduleCount() const
{
    return modules.size();
}

SimulatedModule *BaseStationSimulator::module(int index) const
{
    return modules.value(index);
}

bool BaseStationSimulator::hostRateMatches() const
{
    return line.slaveBaudRate() == baudRate();
}

void BaseStationSimulator::onHostBytes(const QByteArray &bytes)
{
    // At another rate the radio's UART makes nothing of the host's bytes.
    if (!hostRateMatches())
        return;
    watchGuardSequence(bytes);

    for (int i = 0; i < bytes.size(); ++i) {
        if (mode_ == Mode::Api) {
            reader.feed(bytes.mid(i));
            while (reader.hasFrame())
                handleHostFrame(reader.takeFrame());
            return;
        }
        if (mode_ == Mode::Transparent)
            return; // on the air to DH/DL, where nobody listens
        const char c = bytes.at(i);
        if (c == '\r') {
            handleCommandLine(commandLine);
            commandLine.clear();
        } else if (commandLine.size() < maxCommandLineLength) {
            commandLine.append(c);
        }
    }
}

void BaseStationSimulator::watchGuardSequence(const QByteArray &bytes)
{
    // "+++" counts only after a guard time of silence; the radio's timer is coarse, so a silence
    // a twentieth shorter still counts. Any byte before the guard time after it ends the sequence.
    const qint64 quiet = silence.restart();
    const qint64 threshold = settings.guardTimeMs - settings.guardTimeMs / 20;
    for (int i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) != '+')
            guardCharacters = 0;
        else if (i == 0 && quiet >= threshold)
            guardCharacters = 1;
        else if (guardCharacters > 0 && guardCharacters < 3)
            ++guardCharacters;
        else
            guardCharacters = 0;
    }
    if (guardCharacters == 3)
        guardTimer.start(settings.guardTimeMs);
    else
        guardTimer.stop();
}

void BaseStationSimulator::enterCommandMode()
{
    if (mode_ != Mode::Command)
        pending = active;
    mode_ = Mode::Command;
    commandLine.clear();
    reader.reset();
    commandTimer.start(settings.commandModeTimeoutMs);
    emit logMessage(QStringLiteral("command mode"));
    sendToHost("OK\r");
}

void BaseStationSimulator::leaveCommandMode(bool apply)
{
    commandTimer.stop();
    if (apply)
        active = pending;
    mode_ = active.apiMode == 0 ? Mode::Transparent : Mode::Api;
    reader.setEscaping(active.apiMode == 2);
    emit logMessage(QStringLiteral("%1 at %2 baud")
                        .arg(mode_ == Mode::Api ? QStringLiteral("API mode")
                                                : QStringLiteral("transparent mode"))
                        .arg(baudRate()));
    if (mode_ == Mode::Api)
        startPowerOnSequence();
}

void BaseStationSimulator::handleCommandLine(const QByteArray &text)
{
    commandTimer.start(settings.commandModeTimeoutMs);
    const QByteArray line = text.trimmed().toUpper();
    QByteArray answer = "ERROR";
    QByteArray command;
    if (line.startsWith("AT")) {
        command = line.mid(2, 2);
        answer = answerCommand(command, line.mid(4).trimmed());
    }
    emit logMessage(QStringLiteral("%1 -> %2").arg(QString::fromLatin1(text.trimmed()),
                                                   QString::fromLatin1(answer)));
    sendToHost(answer + '\r');
    // The answer still goes out at the old rate; the new settings apply after it.
    if (command == "CN" && answer == "OK")
        leaveCommandMode(true);
}

QByteArray BaseStationSimulator::answerCommand(const QByteArray &command,
                                               const QByteArray &parameter)
{
    if (!command.isEmpty() && command == settings.faults.wrongAnswerCommand)
        return "ERROR";
    if (command.isEmpty() || command == "WR" || command == "CN")
        return "OK";
    if (command == "RE") {
        pending = Parameters();
        return "OK";
    }
    if (command == "SH")
        return hexText(quint64(settings.address) >> 32);
    if (command == "SL")
        return hexText(quint64(settings.address) & 0xFFFFFFFFu);

    struct Register
    {
        const char *name;
        quint64 maximum;
        quint64 current;
    };
    const Register registers[] = {
        {"AP", 2, quint64(pending.apiMode)},
        {"BD", quint64(baudRateCount - 1), quint64(pending.baudCode)},
        {"RR", 0xFF, quint64(pending.retries)},
        {"RO", 0xFF, quint64(pending.packetizationTimeout)},
        {"DH", 0xFFFFFFFFu, pending.destinationHigh},
        {"DL", 0xFFFFFFFFu, pending.destinationLow},
    };
    for (const Register &reg : registers) {
        if (command != reg.name)
            continue;
        if (parameter.isEmpty())
            return hexText(reg.current);
        const QByteArray digits = parameter.startsWith("0X") ? parameter.mid(2) : parameter;
        bool ok = false;
        const quint64 value = digits.toULongLong(&ok, 16);
        if (!ok || value > reg.maximum)
            return "ERROR";
        if (command == "AP")
            pending.apiMode = int(value);
        else if (command == "BD")
            pending.baudCode = int(value);
        else if (command == "RR")
            pending.retries = int(value);
        else if (command == "RO")
            pending.packetizationTimeout = int(value);
        else if (command == "DH")
            pending.destinationHigh = quint32(value);
        else
            pending.destinationLow = quint32(value);
        return "OK";
    }
    return "ERROR";
}

void BaseStationSimulator::handleHostFrame(const QByteArray &frameData)
{
    const quint8 type = quint8(frameData.at(0));
    if (type == transmitRequest && frameData.size() >= transmitHeaderSize) {
        const qint64 destination = address64(frameData, 2);
        const QByteArray payload = frameData.mid(transmitHeaderSize);
        for (SimulatedModule *module : qAsConst(modules)) {
            if (destination == SimulatedModule::broadcastAddress || destination == module->address())
                module->receive(payload);
        }
    } else if (type == remoteAtCommandRequest && frameData.size() >= remoteAtHeaderSize + 2) {
        const qint64 destination = address64(frameData, 2);
        const QByteArray command = frameData.mid(remoteAtHeaderSize, 2);
        const QByteArray parameter = frameData.mid(remoteAtHeaderSize + 2);
        for (SimulatedModule *module : qAsConst(modules)) {
            if (destination == SimulatedModule::broadcastAddress || destination == module->address())
                module->applyRemoteAtCommand(command, parameter);
        }
    }
    // Frame ids are 0 in everything the ground station sends, so no status frame is owed.
}

void BaseStationSimulator::startPowerOnSequence()
{
    if (modulesSwitchedOn)
        return;
    modulesSwitchedOn = true;
    for (int i = 0; i < modules.size(); ++i) {
        waitingForPower.append(false);
        reported.append(false);
        QTimer::singleShot(settings.powerOnDelayMs + i * settings.powerOnIntervalMs,
                           modules.at(i), [this, i] { powerOn(i); });
    }
}

void BaseStationSimulator::powerOn(int index)
{
    // A replayed log names its modules in the order the ground station took them into its
    // table, which is the order of their first reports: each waits for the one before it.
    if (settings.replay && index > 0 && !reported.at(index - 1)) {
        waitingForPower[index] = true;
        return;
    }
    waitingForPower[index] = false;
    modules.at(index)->setPowered(true);
}

void BaseStationSimulator::onModuleTransmitted(SimulatedModule *source, qint64 destination,
                                               const QByteArray &payload)
{
    const int index = modules.indexOf(source);
    if (index < reported.size() && payload.startsWith(SimulatedModule::radioMessage(ModuleMessage::Data))) {
        reported[index] = true;
        if (waitingForPower.value(index + 1))
            QTimer::singleShot(0, modules.at(index + 1), [this, index] { powerOn(index + 1); });
    }
    // In command mode the radio holds no conversation on the air; in transparent mode the
    // ground station never listens to modules.
    if (mode_ != Mode::Api)
        return;
    const bool broadcast = destination == SimulatedModule::broadcastAddress;
    if (!broadcast && destination != settings.address)
        return;
    QByteArray frameData(1, char(receivePacket));
    frameData += bigEndianBytes64(source->address());
    frameData += char(0xFF);
    frameData += char(0xFE);
    frameData += char(broadcast ? broadcastOption : acknowledgedOption);
    frameData += payload;
    sendToHost(frameBytes(frameData));
}

QByteArray BaseStationSimulator::frameBytes(const QByteArray &frameData)
{
    quint8 sum = 0;
    for (const char c : frameData)
        sum = quint8(sum + quint8(c));
    quint8 checksum = quint8(0xFF - sum);
    if (chance(settings.faults.corruptChecksumRate))
        checksum ^= quint8(1 + random.bounded(255));

    QByteArray content;
    content += char(frameData.size() >> 8);
    content += char(frameData.size() & 0xFF);
    content += frameData;
    content += char(checksum);

    QByteArray out;
    if (chance(settings.faults.garbageRate)) {
        // Line noise between frames: anything but a start delimiter or an escape, which would
        // cost the frame behind it.
        const int count = 1 + int(random.bounded(8));
        while (out.size() < count) {
            const quint8 byte = quint8(random.bounded(256));
            if (byte != startDelimiter && byte != escapeByte)
                out += char(byte);
        }
    }
    out += char(startDelimiter);
    out += active.apiMode == 2 ? escapeApiBytes(content) : content;
    return out;
}

void BaseStationSimulator::sendToHost(const QByteArray &bytes)
{
    // At another rate the host's UART makes nothing of them either.
    if (!hostRateMatches())
        return;
    if (!settings.faults.splitWrites) {
        line.write(bytes);
        return;
    }
    int from = 0;
    const int cuts = bytes.size() > 2 ? 1 + int(random.bounded(2)) : 0;
    for (int i = 0; i < cuts && bytes.size() - from >= 2; ++i) {
        const int at = from + 1 + int(random.bounded(quint32(bytes.size() - from - 1)));
        pieces.enqueue(bytes.mid(from, at - from));
        from = at;
    }
    pieces.enqueue(bytes.mid(from));
    if (!pieceTimer.isActive())
        pieceTimer.start();
}

void BaseStationSimulator::writeNextPiece()
{
    if (!pieces.isEmpty())
        line.write(pieces.dequeue());
    if (pieces.isEmpty())
        pieceTimer.stop();
}

bool BaseStationSimulator::chance(double rate)
{
    return rate > 0 && random.generateDouble() < rate;
}
