#include "SimulatedModule.h"

#include "Atmosphere.h"
#include "ReplayEncoder.h"
#include "SimulatedClock.h"
#include "link/FlightModule.h"

#include <QDateTime>
#include <QtMath>

#include <cmath>
#include <random>

namespace {

// Module message codes.
constexpr quint8 helloCode = 0x08;
constexpr quint8 dataCode = 0x09;
constexpr quint8 xdataCode = 0x9E;
constexpr quint8 calibReadyCode = 0x91;
constexpr quint8 calibDataCompassCode = 0x93;
constexpr quint8 calibOkCode = 0x95;
constexpr quint8 calibErrCode = 0x96;
constexpr quint8 calibDonePitotCode = 0x98;
constexpr quint8 calibCupOkCode = 0x9A;
constexpr quint8 indoorAckCode = 0x9D;
constexpr quint8 intThermCalDoneCode = 0xA0;
constexpr quint8 extThermCalOkCode = 0xA2;
constexpr quint8 changeBetaOkCode = 0xA4;

// Command codes of the ground station.
constexpr quint8 timingCommand = 0x84;
constexpr quint8 configuredCommand = 0x90;
constexpr quint8 compassStartCommand = 0x92;
constexpr quint8 compassSolutionCommand = 0x94;
constexpr quint8 pitotCommand = 0x97;
constexpr quint8 cupCommand = 0x99;
constexpr quint8 indoorOnCommand = 0x9B;
constexpr quint8 indoorOffCommand = 0x9C;
constexpr quint8 internalThermistorCommand = 0x9F;
constexpr quint8 thermistorReferenceCommand = 0xA1;
constexpr quint8 thermistorBetaCommand = 0xA3;

constexpr quint8 indoorOnCode = 155;
constexpr quint8 indoorOffCode = 156;

constexpr quint8 startCharacter = '#';
constexpr quint8 escapeCharacter = '!';
constexpr quint8 stopCharacter = '*';
constexpr quint8 carriageReturn = 0x0D;

// Firmware timing, in simulated milliseconds.
constexpr qint64 bootMs = 800;
constexpr qint64 helloIntervalMs = 3000;
constexpr qint64 replyMs = 150;
constexpr qint64 compassSettleMs = 10000; // the user picks the module up and starts turning it
constexpr qint64 compassBatchMs = 160;    // 1000 samples in 40 s
constexpr int compassSamplesPerMessage = 4;
constexpr qint64 compassVerdictMs = 1000; // the module checks and stores the solution
constexpr qint64 pitotZeroingMs = 5000;
constexpr qint64 cupStoringMs = 1000;
constexpr qint64 thermistorSelfCalibrationMs = 2000;
constexpr qint64 thermistorReferenceMs = 1000;
constexpr qint64 betaStoringMs = 500;
constexpr qint64 indoorSwitchMs = 500;
constexpr quint16 wrongReferenceOffset = 100; // one kelvin, in hundredths

// How close a solution must come to the module's own magnetometer: offset in full-scale units
// (the noise is 0.004), and W A against the identity. A correct fit of 1000 samples comes within
// about 0.0005 and 0.002; these leave it room, and refuse a fit or an encoding gone wrong.
constexpr double offsetTolerance = 0.003;
constexpr double matrixTolerance = 0.01;

constexpr int helloTextLength = 12;
constexpr int maxSolutionLength = 128;
constexpr double knotsPerMs = FlightModule::knotsPerMetrePerSecond;
constexpr double metresPerDegree = 111320.0;

// Optional groups of a Data report, by bit of the contents flags.
constexpr quint8 timeGroups = 0xE0;     // hours, minutes, seconds
constexpr quint8 altitudeGroup = 0x04;  // GPS altitude, or the barometric one without GPS
constexpr quint8 gpsGroups = 0x1B;      // latitude, longitude, course, speed over ground

// Interval positions of the timing command: codes 1 to 12 in seconds, 13 to 24 in minutes.
constexpr int intervalSteps[12] = {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60};

int intervalSeconds(quint8 code)
{
    if (code >= 1 && code <= 12)
        return intervalSteps[code - 1];
    if (code >= 13 && code <= 24)
        return intervalSteps[code - 13] * 60;
    return 0;
}

// Arguments that follow a command code: a fixed count, or text up to the carriage return
// (argumentBytes -1). Only the timing command escapes its arguments; the raw arguments of the
// calibration commands may hold any byte, '#' included.
struct CommandShape
{
    int argumentBytes = 0;
    bool escaped = false;
    bool known = false;
};

CommandShape commandShape(quint8 code)
{
    switch (code) {
    case timingCommand: return {2, true, true};
    case compassSolutionCommand: return {-1, false, true};
    case cupCommand: return {3, false, true};
    case thermistorReferenceCommand:
    case thermistorBetaCommand: return {2, false, true};
    case configuredCommand:
    case compassStartCommand:
    case pitotCommand:
    case indoorOnCommand:
    case indoorOffCommand:
    case internalThermistorCommand: return {0, false, true};
    default: return {};
    }
}

// A module message on the air: '#', then type and payload with '#' and '!' escaped.
QByteArray moduleMessage(quint8 type, const QByteArray &payload = QByteArray())
{
    QByteArray out(1, char(startCharacter));
    const QByteArray body = char(type) + payload;
    for (const char c : body) {
        const quint8 byte = quint8(c);
        if (byte == startCharacter || byte == escapeCharacter) {
            out.append(char(escapeCharacter));
            out.append(char(byte ^ 0x20));
        } else {
            out.append(c);
        }
    }
    return out;
}

void appendWord(QByteArray &out, int value)
{
    const quint16 word = quint16(value);
    out.append(char(word >> 8));
    out.append(char(word & 0xFF));
}

// Degrees and minutes as ddmm, ten-thousandths of a minute, and the hemisphere letter.
void appendPosition(QByteArray &out, double value, char positive, char negative)
{
    const double magnitude = std::abs(value);
    int degrees = int(magnitude);
    const double minutes = (magnitude - degrees) * 60.0;
    int wholeMinutes = int(minutes);
    int fraction = int(std::lround((minutes - wholeMinutes) * 10000.0));
    if (fraction >= 10000) {
        fraction -= 10000;
        if (++wholeMinutes == 60) {
            wholeMinutes = 0;
            ++degrees;
        }
    }
    appendWord(out, degrees * 100 + wholeMinutes);
    appendWord(out, fraction);
    out.append(value < 0 ? negative : positive);
}

int tenths(double value, double low, double high)
{
    return int(std::lround(qBound(low, value, high) * 10.0));
}

// The module's 32-bit form of a value: exponent field, sign, then 23 fraction bits.
double solutionValue(const QByteArray &digits)
{
    const quint32 word = digits.toUInt(nullptr, 16);
    if (word == 0)
        return 0;
    const int exponent = int(word >> 24) - 127;
    const double magnitude = std::ldexp(1.0 + double(word & 0x7FFFFF) / 8388608.0, exponent);
    return (word & 0x800000) ? -magnitude : magnitude;
}

bool isSolutionText(const QByteArray &text)
{
    if (text.size() != 72)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

} // namespace

SimulatedModule::SimulatedModule(const Settings &settings, const SimulatedClock &clock,
                                 const Atmosphere &atmosphere, quint32 seed, QObject *parent)
    : QObject(parent),
      settings_(settings),
      clock(clock),
      atmosphere(atmosphere),
      random(seed),
      indoor(settings.indoor)
{
    transmitOffsetMs = 40 + int(random.bounded(200));
    swayPhase = random.generateDouble() * 2 * M_PI;
    // A random rotation (a uniformly drawn unit quaternion) of three random radii.
    const double u1 = random.generateDouble();
    const double u2 = random.generateDouble() * 2 * M_PI;
    const double u3 = random.generateDouble() * 2 * M_PI;
    const double w = std::sqrt(1 - u1) * std::sin(u2), x = std::sqrt(1 - u1) * std::cos(u2),
                 y = std::sqrt(u1) * std::sin(u3), z = std::sqrt(u1) * std::cos(u3);
    const double rotation[3][3] = {
        {1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
        {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
        {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)},
    };
    double radius[3];
    for (int axis = 0; axis < 3; ++axis) {
        compassOffset[axis] = random.generateDouble() * 0.2 - 0.1;
        radius[axis] = 0.4 + random.generateDouble() * 0.2;
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            compassShape[i][j] = 0;
            for (int k = 0; k < 3; ++k)
                compassShape[i][j] += rotation[i][k] * radius[k] * rotation[j][k];
        }
    }

    helloTimer.setSingleShot(true);
    reportTimer.setSingleShot(true);
    reportTimer.setTimerType(Qt::PreciseTimer);
    taskTimer.setSingleShot(true);
    connect(&helloTimer, &QTimer::timeout, this, &SimulatedModule::sendHello);
    connect(&reportTimer, &QTimer::timeout, this, &SimulatedModule::report);
    connect(&taskTimer, &QTimer::timeout, this, [this] {
        const std::function<void()> step = task;
        task = nullptr;
        if (step)
            step();
    });
}

QByteArray SimulatedModule::radioMessage(quint8 type, const QByteArray &payload)
{
    return moduleMessage(type, payload);
}

const SimulatedModule::Settings &SimulatedModule::settings() const
{
    return settings_;
}

qint64 SimulatedModule::address() const
{
    return settings_.address;
}

bool SimulatedModule::isPowered() const
{
    return powered;
}

bool SimulatedModule::isAnnouncing() const
{
    return powered && !configured;
}

SimulatedModule::Activity SimulatedModule::activity() const
{
    return activity_;
}

bool SimulatedModule::isIndoor() const
{
    return indoor;
}

int SimulatedModule::reportIntervalSeconds() const
{
    return reportInterval;
}

quint8 SimulatedModule::fieldSelection() const
{
    return selection;
}

bool SimulatedModule::hasReported() const
{
    return reported;
}

bool SimulatedModule::isReplayReporting() const
{
    return !settings_.replayPayload.isEmpty() && inRun && activity_ == Activity::Reporting;
}

void SimulatedModule::transmit(const QByteArray &message)
{
    send(radio.destination, message);
}

qint64 SimulatedModule::destination() const
{
    return radio.destination;
}

int SimulatedModule::retries() const
{
    return radio.retries;
}

int SimulatedModule::packetizationTimeout() const
{
    return radio.packetizationTimeout;
}

void SimulatedModule::setPowered(bool on)
{
    if (on == powered)
        return;
    powered = on;
    helloTimer.stop();
    reportTimer.stop();
    taskTimer.stop();
    task = nullptr;
    configured = false;
    reported = false;
    inRun = false;
    commandStep = CommandStep::Idle;
    radio = storedRadio;
    reportInterval = 0;
    if (!on) {
        activity_ = Activity::Off;
        emit event(QStringLiteral("%1 switched off").arg(settings_.identifier));
        return;
    }
    activity_ = Activity::Idle;
    poweredAtMs = clock.nowMs();
    helloTimer.start(clock.realDelay(bootMs));
    emit event(QStringLiteral("%1 switched on").arg(settings_.identifier));
}

void SimulatedModule::applyRemoteAtCommand(const QByteArray &command, const QByteArray &parameter)
{
    if (!powered)
        return;
    quint64 value = 0;
    for (const char c : parameter)
        value = (value << 8) | quint8(c);

    if (command == "DH") {
        radio.destination = qint64((value << 32) | (quint64(radio.destination) & 0xFFFFFFFFu));
    } else if (command == "DL") {
        radio.destination = qint64((quint64(radio.destination) & ~quint64(0xFFFFFFFFu))
                                   | (value & 0xFFFFFFFFu));
    } else if (command == "RR") {
        radio.retries = int(value);
    } else if (command == "RO") {
        radio.packetizationTimeout = int(value);
    } else if (command == "WR") {
        storedRadio = radio;
    }
}

void SimulatedModule::receive(const QByteArray &payload)
{
    if (!powered)
        return;
    for (const char c : payload)
        consume(quint8(c));
}

void SimulatedModule::consume(quint8 byte)
{
    const bool rawArguments = commandStep == CommandStep::Arguments
                              && commandShape(commandCode).argumentBytes > 0
                              && !commandShape(commandCode).escaped;
    if (byte == startCharacter && !rawArguments) {
        commandStep = CommandStep::Code;
        commandArguments.clear();
        commandEscape = false;
        return;
    }

    switch (commandStep) {
    case CommandStep::Idle:
        if (byte == stopCharacter)
            commandStep = CommandStep::StopTerminator;
        break;
    case CommandStep::StopTerminator:
        commandStep = CommandStep::Idle;
        if (byte == carriageReturn)
            stop();
        break;
    case CommandStep::Code: {
        commandCode = byte;
        const CommandShape shape = commandShape(byte);
        if (!shape.known)
            commandStep = CommandStep::Idle;
        else
            commandStep = shape.argumentBytes == 0 ? CommandStep::Terminator : CommandStep::Arguments;
        break;
    }
    case CommandStep::Arguments: {
        const CommandShape shape = commandShape(commandCode);
        if (shape.argumentBytes < 0) {
            if (byte == carriageReturn) {
                commandStep = CommandStep::Idle;
                execute();
            } else if (commandArguments.size() < maxSolutionLength) {
                commandArguments.append(char(byte));
            } else {
                commandStep = CommandStep::Idle;
            }
            break;
        }
        if (shape.escaped) {
            if (commandEscape) {
                commandEscape = false;
                byte ^= 0x20;
            } else if (byte == escapeCharacter) {
                commandEscape = true;
                break;
            }
        }
        commandArguments.append(char(byte));
        if (commandArguments.size() == shape.argumentBytes)
            commandStep = CommandStep::Terminator;
        break;
    }
    case CommandStep::Terminator:
        commandStep = CommandStep::Idle;
        if (byte == carriageReturn)
            execute();
        break;
    }
}

void SimulatedModule::execute()
{
    const QByteArray &args = commandArguments;
    if (commandCode == timingCommand) {
        startReporting(quint8(args.at(0)), quint8(args.at(1)));
        return;
    }

    // Every other command ends the reports and whatever the module was busy with.
    reportTimer.stop();
    taskTimer.stop();
    task = nullptr;
    activity_ = Activity::Idle;
    const QByteArray calibReady = moduleMessage(calibReadyCode);

    switch (commandCode) {
    case configuredCommand:
        configured = true;
        helloTimer.stop();
        emit event(QStringLiteral("%1 configured, sends to %2")
                       .arg(settings_.identifier)
                       .arg(radio.destination, 16, 16, QLatin1Char('0')));
        reply(replyMs, {calibReady});
        break;
    case compassStartCommand:
        if (settings_.calibrationFault == CalibrationFault::Silent) {
            emit event(QStringLiteral("%1 ignores the compass calibration").arg(settings_.identifier));
            break;
        }
        startCompassCalibration();
        break;
    case compassSolutionCommand: {
        const bool ok = solutionFits(args);
        emit event(QStringLiteral("%1 compass solution %2")
                       .arg(settings_.identifier, ok ? QStringLiteral("fits")
                                                     : QStringLiteral("does not fit")));
        answerCalibration(compassVerdictMs, ok ? moduleMessage(calibOkCode)
                                               : moduleMessage(calibErrCode));
        break;
    }
    case pitotCommand:
        activity_ = Activity::CalibratingAnemometer;
        emit event(QStringLiteral("%1 zeroes its pitot tube").arg(settings_.identifier));
        answerCalibration(pitotZeroingMs, moduleMessage(calibDonePitotCode));
        break;
    case cupCommand:
        activity_ = Activity::CalibratingAnemometer;
        emit event(QStringLiteral("%1 stores cup constants: slope %2, offset %3")
                       .arg(settings_.identifier)
                       .arg((quint8(args.at(0)) << 8) | quint8(args.at(1)))
                       .arg(qint8(args.at(2))));
        answerCalibration(cupStoringMs, moduleMessage(calibCupOkCode));
        break;
    case indoorOnCommand:
    case indoorOffCommand: {
        if (settings_.calibrationFault == CalibrationFault::Silent) {
            emit event(QStringLiteral("%1 ignores the indoor command").arg(settings_.identifier));
            break;
        }
        indoor = commandCode == indoorOnCommand;
        const quint8 code = indoor ? indoorOnCode : indoorOffCode;
        emit event(QStringLiteral("%1 indoor mode %2")
                       .arg(settings_.identifier, indoor ? QStringLiteral("on")
                                                         : QStringLiteral("off")));
        reply(indoorSwitchMs, {moduleMessage(indoorAckCode, QByteArray(1, char(code))), calibReady});
        break;
    }
    case internalThermistorCommand:
        answerCalibration(thermistorSelfCalibrationMs, moduleMessage(intThermCalDoneCode));
        break;
    case thermistorReferenceCommand: {
        quint16 echo = quint16((quint8(args.at(0)) << 8) | quint8(args.at(1)));
        if (settings_.calibrationFault == CalibrationFault::WrongReference)
            echo = quint16(echo + wrongReferenceOffset);
        QByteArray echoed;
        appendWord(echoed, echo);
        answerCalibration(thermistorReferenceMs, moduleMessage(extThermCalOkCode, echoed));
        break;
    }
    case thermistorBetaCommand:
        answerCalibration(betaStoringMs, moduleMessage(changeBetaOkCode, args));
        break;
    default:
        break;
    }
}

void SimulatedModule::stop()
{
    if (settings_.ignoresStop) {
        emit event(QStringLiteral("%1 ignores the stop packet").arg(settings_.identifier));
        return;
    }
    reportTimer.stop();
    taskTimer.stop();
    task = nullptr;
    activity_ = Activity::Idle;
    emit event(QStringLiteral("%1 stopped").arg(settings_.identifier));
    reply(replyMs, {moduleMessage(calibReadyCode)});
    emit reportingChanged();
}

void SimulatedModule::startReporting(quint8 intervalCode, quint8 fieldSelection)
{
    const int seconds = intervalSeconds(intervalCode);
    if (seconds == 0)
        return;
    taskTimer.stop();
    task = nullptr;
    reportInterval = seconds;
    selection = fieldSelection;
    inRun = reported;
    activity_ = Activity::Reporting;
    emit event(QStringLiteral("%1 reports every %2 s, fields %3")
                   .arg(settings_.identifier)
                   .arg(seconds)
                   .arg(fieldSelection, 2, 16, QLatin1Char('0')));
    // Replaying, the conductor sends the run's reports; one still due from the acquisition
    // (a module the ground station's stop never reached) must not go out.
    if (isReplayReporting())
        reportTimer.stop();
    else
        scheduleReport();
    emit reportingChanged();
}

void SimulatedModule::scheduleReport()
{
    // Reports fall on whole multiples of the interval in UTC (the epoch is a midnight and every
    // interval divides a day), so all modules stamp the same second.
    const qint64 intervalMs = qint64(reportInterval) * 1000;
    const qint64 now = clock.nowMs();
    pendingStampMs = (qMax(now, lastStampMs) / intervalMs + 1) * intervalMs;
    reportTimer.start(clock.realDelay(pendingStampMs - now + transmitOffsetMs));
}

void SimulatedModule::report()
{
    lastStampMs = pendingStampMs;
    reported = true;
    if (!settings_.replayPayload.isEmpty()) {
        send(radio.destination, moduleMessage(dataCode, ReplayEncoder::selected(settings_.replayPayload, selection)));
        scheduleReport();
        return;
    }
    send(radio.destination, dataMessage(lastStampMs));
    if (settings_.xdata)
        send(radio.destination, xdataMessage(lastStampMs));
    scheduleReport();
}

void SimulatedModule::startCompassCalibration()
{
    activity_ = Activity::CalibratingCompass;
    compassSamplesLeft = settings_.compassSamples;
    emit event(QStringLiteral("%1 starts a compass calibration").arg(settings_.identifier));
    task = [this] { sendCompassSamples(); };
    taskTimer.start(qMax(clock.realDelay(compassSettleMs), settings_.compassWaitMs));
}

void SimulatedModule::sendCompassSamples()
{
    const int count = qMin(compassSamplesPerMessage, compassSamplesLeft);
    compassSamplesLeft -= count;
    send(radio.destination, compassMessage(count));
    if (compassSamplesLeft > 0) {
        schedule(compassBatchMs, [this] { sendCompassSamples(); });
    } else {
        // All samples are out; the module waits for the solution.
        emit event(QStringLiteral("%1 has sent its compass samples").arg(settings_.identifier));
    }
}

void SimulatedModule::schedule(qint64 delayMs, const std::function<void()> &step)
{
    task = step;
    taskTimer.start(clock.realDelay(delayMs));
}

void SimulatedModule::reply(qint64 delayMs, const QList<QByteArray> &messages)
{
    schedule(delayMs, [this, messages] {
        for (const QByteArray &message : messages)
            send(radio.destination, message);
        activity_ = Activity::Idle;
    });
}

// The acknowledgement of a calibration, then CalibReady, unless a fault has the module answer
// otherwise.
void SimulatedModule::answerCalibration(qint64 delayMs, const QByteArray &acknowledgement)
{
    const QByteArray calibReady = moduleMessage(calibReadyCode);
    switch (settings_.calibrationFault) {
    case CalibrationFault::Silent:
        emit event(QStringLiteral("%1 does not answer").arg(settings_.identifier));
        break;
    case CalibrationFault::Error:
        reply(delayMs, {moduleMessage(calibErrCode), calibReady});
        break;
    default:
        reply(delayMs, {acknowledgement, calibReady});
        break;
    }
}

// A solution fits when it maps the module's own magnetometer ellipsoid onto the unit sphere:
// its offset is the ellipsoid's centre and W = A^-1, so W A is the identity.
bool SimulatedModule::solutionFits(const QByteArray &text) const
{
    if (!isSolutionText(text))
        return false;
    double v[9];
    for (int i = 0; i < 9; ++i)
        v[i] = solutionValue(text.mid(8 * i, 8));
    const double w[3][3] = {{v[3], v[4], v[5]}, {v[4], v[6], v[7]}, {v[5], v[7], v[8]}};
    for (int i = 0; i < 3; ++i) {
        if (!(std::abs(v[i] - compassOffset[i]) <= offsetTolerance))
            return false;
        for (int j = 0; j < 3; ++j) {
            double product = 0;
            for (int k = 0; k < 3; ++k)
                product += w[i][k] * compassShape[k][j];
            if (!(std::abs(product - (i == j ? 1.0 : 0.0)) <= matrixTolerance))
                return false;
        }
    }
    return true;
}

void SimulatedModule::sendHello()
{
    QByteArray payload(1, settings_.kind);
    payload += settings_.identifier.toLatin1().left(helloTextLength);
    payload += QByteArray(helloTextLength + 1 - payload.size(), '\0');
    // Before configuration the module knows no base station: it calls everybody in range.
    send(broadcastAddress, moduleMessage(helloCode, payload));
    helloTimer.start(clock.realDelay(helloIntervalMs));
}

void SimulatedModule::send(qint64 destinationAddress, const QByteArray &message)
{
    emit transmitted(destinationAddress, message);
}

double SimulatedModule::noise(double sigma)
{
    std::normal_distribution<double> distribution(0.0, sigma);
    return distribution(random);
}

QByteArray SimulatedModule::dataMessage(qint64 stampMs)
{
    // The line sways slowly in the wind: height and distance downwind breathe a little.
    const double swayPeriodMs = 90000.0;
    const double swayAngle = 2 * M_PI * double(stampMs) / swayPeriodMs + swayPhase;
    const double height = settings_.heightAboveGround + 2.0 * std::sin(swayAngle);
    const Atmosphere::Conditions air = atmosphere.at(height, stampMs);

    const double pressure = air.pressureHpa + noise(0.05);
    const double hoursOn = double(stampMs - poweredAtMs) / 3.6e6;
    const double supply = qMax(3.4, 4.15 - 0.08 * hoursOn) + noise(0.005);

    QByteArray payload(1, char(sequence++));
    appendWord(payload, tenths(pressure, 0, 6553.5));
    appendWord(payload, tenths(air.temperatureK + noise(0.05), 0, 6553.5));
    appendWord(payload, tenths(air.humidityPercent + noise(0.4), 0, 100));
    appendWord(payload, int(std::lround(std::fmod(air.windDirectionDeg + noise(4.0) + 360.0, 360.0)))
                            % 360);
    appendWord(payload, tenths(air.windSpeedMs * (1.0 + noise(0.08)), 0, 6553.5));
    appendWord(payload, int(std::lround(supply * 100.0)));

    // At the one-second interval the module has no time to read position, course and speed
    // from its GPS receiver: those four groups stay out whatever the selection asks for.
    const bool gpsGroupsSent = settings_.gps && reportInterval != 1;
    const quint8 available = timeGroups | altitudeGroup | (gpsGroupsSent ? gpsGroups : 0);
    const quint8 contents = selection & available;
    payload.append(char(contents));
    // Indoors the contents byte still tells what would be sent, but no group follows it.
    if (indoor)
        return moduleMessage(dataCode, payload);

    const QTime time = QDateTime::fromMSecsSinceEpoch(stampMs, Qt::UTC).time();
    const double downwindBearing = qDegreesToRadians(air.windDirectionDeg + 180.0);
    const double downwind = height * 0.6 + 5.0 * std::sin(swayAngle);
    const double latitude = atmosphere.latitude()
                            + downwind * std::cos(downwindBearing) / metresPerDegree + noise(2e-6);
    const double longitude =
        atmosphere.longitude()
        + downwind * std::sin(downwindBearing)
              / (metresPerDegree * std::cos(qDegreesToRadians(atmosphere.latitude())))
        + noise(2e-6);
    const double swaySpeed = 5.0 * 2 * M_PI / (swayPeriodMs / 1000.0) * std::cos(swayAngle);
    // Without GPS the module works its altitude out from pressure.
    const double altitude = settings_.gps ? atmosphere.groundElevation() + height + noise(1.0)
                                          : 44330.8 * (1.0 - std::pow(pressure / 1013.25, 0.190263));

    if (contents & 0x80)
        payload.append(char(time.hour()));
    if (contents & 0x40)
        payload.append(char(time.minute()));
    if (contents & 0x20)
        payload.append(char(time.second()));
    if (contents & 0x10)
        appendPosition(payload, latitude, 'N', 'S');
    if (contents & 0x08)
        appendPosition(payload, longitude, 'E', 'W');
    if (contents & 0x04)
        appendWord(payload, int(std::lround(altitude)));
    if (contents & 0x02) {
        const double course = air.windDirectionDeg + (swaySpeed >= 0 ? 180.0 : 0.0);
        appendWord(payload, int(std::lround(std::fmod(course, 360.0))) % 360);
    }
    if (contents & 0x01)
        appendWord(payload, tenths(std::abs(swaySpeed) * knotsPerMs + std::abs(noise(0.1)), 0, 6553.5));
    return moduleMessage(dataCode, payload);
}

QByteArray SimulatedModule::xdataMessage(qint64 stampMs)
{
    // An auxiliary thermometer and hygrometer on the module's expansion port.
    const Atmosphere::Conditions air = atmosphere.at(settings_.heightAboveGround, stampMs);
    const QString text = QStringLiteral("T2=%1,RH2=%2")
                             .arg(air.temperatureK - 273.15 + noise(0.05), 0, 'f', 2)
                             .arg(qBound(0.0, air.humidityPercent + noise(0.5), 100.0), 0, 'f', 1);
    return moduleMessage(xdataCode, text.toLatin1() + "\r\n");
}

QByteArray SimulatedModule::compassMessage(int samples)
{
    QByteArray payload(1, char(samples));
    for (int i = 0; i < samples; ++i) {
        // The user turns the module every way: directions spread over the whole sphere. The
        // magnetometer sees the field on an ellipsoid (hard-iron offset, soft-iron scaling).
        const double z = random.generateDouble() * 2 - 1;
        const double phi = random.generateDouble() * 2 * M_PI;
        const double r = std::sqrt(1 - z * z);
        const double direction[3] = {r * std::cos(phi), r * std::sin(phi), z};

        quint16 words[7];
        for (int axis = 0; axis < 3; ++axis) {
            // Accelerometer, in thousandths of g: gravity along the turned axes.
            words[axis] = quint16(qint16(std::lround(-direction[axis] * 1000.0)));
            double field = compassOffset[axis] + noise(0.004);
            for (int k = 0; k < 3; ++k)
                field += compassShape[axis][k] * direction[k];
            words[4 + axis] = quint16(qint16(qBound(-32768L, std::lround(field / 2.0 * 32767.0),
                                                    32767L)));
        }
        words[3] = quint16(std::lround(atmosphere.at(0, clock.nowMs()).temperatureK * 10 - 2731.5));
        for (const quint16 word : words)
            payload += QByteArray::number(word, 16).toUpper().rightJustified(4, '0');
    }
    return moduleMessage(calibDataCompassCode, payload);
}
