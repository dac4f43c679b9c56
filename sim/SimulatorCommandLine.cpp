#include "SimulatorCommandLine.h"

#include "ReplayScript.h"

#include <QPair>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int defaultModuleCount = 3;
constexpr double defaultSpacingM = 50;
constexpr int shortCompassSamples = 600; // too few for the ground station's fit

bool readHex32(const QString &text, quint32 &value)
{
    bool ok = false;
    const qulonglong v = text.toULongLong(&ok, 16);
    if (!ok || v > 0xFFFFFFFFu || text.size() > 8)
        return false;
    value = quint32(v);
    return true;
}

} // namespace

SimulatorCommandLine::SimulatorCommandLine()
{
    parser.setApplicationDescription(QStringLiteral(
        "Stands in for the Ventrolla base station and its flight modules on a pseudo-terminal.\n"
        "Prints the device to open as the serial port on the first line of standard output and\n"
        "serves until killed. The radio starts in transparent mode and answers \"+++\" after a\n"
        "guard time of silence; once the ground station has put it into API mode the modules\n"
        "are switched on one after another."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        QCommandLineOption(QStringLiteral("baud"),
                    QStringLiteral("Stored baud rate the radio starts with: 9600, 57600 or 115200 "
                                   "(or 1200 to 38400). Default 57600."),
                    QStringLiteral("rate"), QStringLiteral("57600")),
        {QStringLiteral("api-mode"),
         QStringLiteral("Start in API mode with escaping, as a radio configured before.")},
        QCommandLineOption(QStringLiteral("address-high"),
                    QStringLiteral("High half of the radio address (ATSH), hex. Default 0013A200."),
                    QStringLiteral("hex"), QStringLiteral("0013A200")),
        QCommandLineOption(QStringLiteral("address-low"),
                    QStringLiteral("Low half of the radio address (ATSL), hex. Default 40B1C2D3."),
                    QStringLiteral("hex"), QStringLiteral("40B1C2D3")),
        QCommandLineOption(QStringLiteral("modules"),
                    QStringLiteral("Number of flight modules when no --module is given. "
                                   "Default 3."),
                    QStringLiteral("count"), QString::number(defaultModuleCount)),
        QCommandLineOption(QStringLiteral("kinds"),
                    QStringLiteral("Kind letters (Q, D, P, C) given in turn to those modules. "
                                   "Default Q."),
                    QStringLiteral("letters"), QStringLiteral("Q")),
        {QStringLiteral("gps"), QStringLiteral("Those modules report position, course and speed.")},
        {QStringLiteral("xdata"), QStringLiteral("Those modules follow each report with XData.")},
        QCommandLineOption(QStringLiteral("spacing"),
                    QStringLiteral("Metres between those modules on the line (the first hangs "
                                   "this high). Default 50."),
                    QStringLiteral("metres"), QString::number(defaultSpacingM)),
        QCommandLineOption(QStringLiteral("module"),
                    QStringLiteral("A module, repeatable; replaces the ones above. "
                                   "KIND:ID[:FLAG...] with flags gps, xdata, indoor, height=M, "
                                   "address=HEX (16 digits). Example: Q:TX0001:gps:height=80."),
                    QStringLiteral("module")),
        QCommandLineOption(QStringLiteral("replay"),
                    QStringLiteral("Replay this log of a recorded sounding: one module for each "
                                   "of its Module IDs, each report one of its data sets and its "
                                   "XData lines. Record it with the wind unit, GPS fields and "
                                   "ground elevation of the original."),
                    QStringLiteral("log")),
        {QStringLiteral("loop"),
         QStringLiteral("With --replay: start over from the first data set after the last.")},
        QCommandLineOption(QStringLiteral("ground-elevation"),
                    QStringLiteral("Height of the launch site above sea level, metres. "
                                   "Default 100; with --replay, the ground elevation the log's "
                                   "altitudes were recorded with, default 0."),
                    QStringLiteral("metres"), QStringLiteral("100")),
        QCommandLineOption(QStringLiteral("position"),
                    QStringLiteral("Launch site, degrees north and east. Default 47.25,8.5."),
                    QStringLiteral("lat,lon"), QStringLiteral("47.25,8.5")),
        QCommandLineOption(QStringLiteral("power-on-delay"),
                    QStringLiteral("Milliseconds from the first API mode to the first module "
                                   "switched on. Default 3000."),
                    QStringLiteral("ms"), QStringLiteral("3000")),
        QCommandLineOption(QStringLiteral("power-on-interval"),
                    QStringLiteral("Milliseconds between switching on one module and the next. "
                                   "Default 3000."),
                    QStringLiteral("ms"), QStringLiteral("3000")),
        QCommandLineOption(QStringLiteral("speed"),
                    QStringLiteral("How much faster the modules' clocks run (reports, Hello "
                                   "period, calibrations). Default 1."),
                    QStringLiteral("factor"), QStringLiteral("1")),
        QCommandLineOption(QStringLiteral("start-time"),
                    QStringLiteral("UTC start of the modules' clock, ISO 8601. Default now."),
                    QStringLiteral("time")),
        QCommandLineOption(QStringLiteral("seed"),
                    QStringLiteral("Seed of all randomness (noise, weather, faults). Default 1."),
                    QStringLiteral("n"), QStringLiteral("1")),
        QCommandLineOption(QStringLiteral("guard-time"),
                    QStringLiteral("Silence before and after \"+++\", milliseconds. Default 1000."),
                    QStringLiteral("ms"), QStringLiteral("1000")),
        QCommandLineOption(QStringLiteral("command-timeout"),
                    QStringLiteral("Command mode ends after this many idle milliseconds. "
                                   "Default 10000."),
                    QStringLiteral("ms"), QStringLiteral("10000")),
        {QStringLiteral("no-guard-answer"), QStringLiteral("Fault: never answer \"+++\".")},
        QCommandLineOption(QStringLiteral("wrong-answer"),
                    QStringLiteral("Fault: answer ERROR to this AT command, e.g. BD."),
                    QStringLiteral("command")),
        QCommandLineOption(QStringLiteral("corrupt-rate"),
                    QStringLiteral("Fault: share (0 to 1) of frames sent with a wrong checksum."),
                    QStringLiteral("share"), QStringLiteral("0")),
        QCommandLineOption(QStringLiteral("garbage-rate"),
                    QStringLiteral("Fault: share (0 to 1) of frames preceded by noise bytes."),
                    QStringLiteral("share"), QStringLiteral("0")),
        {QStringLiteral("split-writes"),
         QStringLiteral("Fault: every output reaches the host in pieces split at random "
                        "points.")},
        QCommandLineOption(QStringLiteral("ignore-stop"),
                    QStringLiteral("Fault: the module with this identifier ignores the stop "
                                   "packet. Repeatable."),
                    QStringLiteral("id")),
        QCommandLineOption(QStringLiteral("compass-wait"),
                    QStringLiteral("Wall-clock milliseconds at least from the start of a compass "
                                   "calibration to the first sample; the ground station ignores "
                                   "the module for its first ten seconds whatever --speed says. "
                                   "Default 10500."),
                    QStringLiteral("ms"), QStringLiteral("10500")),
        QCommandLineOption(QStringLiteral("silent-calibration"),
                    QStringLiteral("Fault: the module with this identifier never answers a "
                                   "calibration or indoor-mode command. Repeatable."),
                    QStringLiteral("id")),
        QCommandLineOption(QStringLiteral("calibration-error"),
                    QStringLiteral("Fault: the module with this identifier answers every "
                                   "calibration with CalibErr. Repeatable."),
                    QStringLiteral("id")),
        QCommandLineOption(QStringLiteral("short-compass"),
                    QStringLiteral("Fault: the compass data of the module with this identifier "
                                   "stops after 600 samples. Repeatable."),
                    QStringLiteral("id")),
        QCommandLineOption(QStringLiteral("wrong-reference"),
                    QStringLiteral("Fault: the module with this identifier echoes a reference "
                                   "temperature one kelvin off. Repeatable."),
                    QStringLiteral("id")),
        {QStringLiteral("verbose"), QStringLiteral("Log what the radio and the modules do on "
                                                   "standard error.")},
    });
}

SimulatorCommandLine::Outcome SimulatorCommandLine::parse(const QStringList &arguments)
{
    settings_ = BaseStationSimulator::Settings();
    error.clear();
    warnings_.clear();
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return Outcome::Error;
    }
    if (parser.isSet(QStringLiteral("help")))
        return Outcome::Help;
    if (parser.isSet(QStringLiteral("version")))
        return Outcome::Version;
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return Outcome::Error;
    }

    bool ok = false;
    const int baud = parser.value(QStringLiteral("baud")).toInt(&ok);
    const QList<int> rates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    if (!ok || !rates.contains(baud)) {
        fail(QStringLiteral("--baud: not a rate of the radio"));
        return Outcome::Error;
    }
    settings_.baudRate = baud;
    settings_.apiMode = parser.isSet(QStringLiteral("api-mode"));

    quint32 high = 0;
    quint32 low = 0;
    if (!readHex32(parser.value(QStringLiteral("address-high")), high)
        || !readHex32(parser.value(QStringLiteral("address-low")), low)) {
        fail(QStringLiteral("--address-high/--address-low: up to 8 hexadecimal digits each"));
        return Outcome::Error;
    }
    settings_.address = qint64((quint64(high) << 32) | low);

    const auto number = [this](const char *name, double minimum, double maximum, double &out) {
        bool valid = false;
        const double value = parser.value(QLatin1String(name)).toDouble(&valid);
        if (!valid || value < minimum || value > maximum)
            return fail(QStringLiteral("--%1: expected a number from %2 to %3")
                            .arg(QLatin1String(name))
                            .arg(minimum)
                            .arg(maximum));
        out = value;
        return true;
    };
    double groundElevation = 0, delay = 0, interval = 0, speed = 0, seed = 0, guard = 0,
           timeout = 0, corrupt = 0, garbage = 0, compassWait = 0;
    if (!number("ground-elevation", -500, 9000, groundElevation)
        || !number("power-on-delay", 0, 3.6e6, delay)
        || !number("power-on-interval", 0, 3.6e6, interval)
        || !number("speed", 0.01, 1000, speed) || !number("seed", 0, 4294967295.0, seed)
        || !number("guard-time", 1, 60000, guard) || !number("command-timeout", 1, 3.6e6, timeout)
        || !number("corrupt-rate", 0, 1, corrupt) || !number("garbage-rate", 0, 1, garbage)
        || !number("compass-wait", 0, 600000, compassWait))
        return Outcome::Error;
    compassWaitMs = int(compassWait);
    settings_.groundElevation = groundElevation;
    if (parser.isSet(QStringLiteral("replay")) && !parser.isSet(QStringLiteral("ground-elevation")))
        settings_.groundElevation = 0;
    settings_.powerOnDelayMs = int(delay);
    settings_.powerOnIntervalMs = int(interval);
    settings_.speed = speed;
    settings_.seed = quint32(seed);
    settings_.guardTimeMs = int(guard);
    settings_.commandModeTimeoutMs = int(timeout);
    settings_.faults.corruptChecksumRate = corrupt;
    settings_.faults.garbageRate = garbage;
    settings_.faults.ignoreGuardSequence = parser.isSet(QStringLiteral("no-guard-answer"));
    settings_.faults.splitWrites = parser.isSet(QStringLiteral("split-writes"));
    if (parser.isSet(QStringLiteral("wrong-answer"))) {
        QByteArray command = parser.value(QStringLiteral("wrong-answer")).toLatin1().toUpper();
        if (command.startsWith("AT"))
            command.remove(0, 2);
        if (command.size() != 2) {
            fail(QStringLiteral("--wrong-answer: expected two command letters, e.g. BD"));
            return Outcome::Error;
        }
        settings_.faults.wrongAnswerCommand = command;
    }

    const QStringList position = parser.value(QStringLiteral("position")).split(QLatin1Char(','));
    bool latOk = false, lonOk = false;
    if (position.size() == 2) {
        settings_.latitude = position.at(0).toDouble(&latOk);
        settings_.longitude = position.at(1).toDouble(&lonOk);
    }
    if (!latOk || !lonOk || qAbs(settings_.latitude) > 85 || qAbs(settings_.longitude) > 180) {
        fail(QStringLiteral("--position: expected latitude,longitude in degrees"));
        return Outcome::Error;
    }

    if (parser.isSet(QStringLiteral("start-time"))) {
        QDateTime start = QDateTime::fromString(parser.value(QStringLiteral("start-time")),
                                                Qt::ISODateWithMs);
        if (!start.isValid()) {
            fail(QStringLiteral("--start-time: expected an ISO 8601 date and time"));
            return Outcome::Error;
        }
        if (start.timeSpec() == Qt::LocalTime)
            start.setTimeSpec(Qt::UTC);
        settings_.startTime = start.toUTC();
    }

    return readModules() ? Outcome::Run : Outcome::Error;
}

bool SimulatorCommandLine::readModules()
{
    const QStringList descriptions = parser.values(QStringLiteral("module"));
    if (parser.isSet(QStringLiteral("replay"))) {
        if (!readReplay())
            return false;
    } else if (parser.isSet(QStringLiteral("loop"))) {
        return fail(QStringLiteral("--loop: only with --replay"));
    } else if (!descriptions.isEmpty()) {
        for (const QString &description : descriptions) {
            SimulatedModule::Settings module;
            if (!readModuleDescription(description, module))
                return false;
            settings_.modules.append(module);
        }
    } else {
        bool ok = false;
        const int count = parser.value(QStringLiteral("modules")).toInt(&ok);
        if (!ok || count < 0 || count > 64)
            return fail(QStringLiteral("--modules: expected a count from 0 to 64"));
        const QString kinds = parser.value(QStringLiteral("kinds")).toUpper();
        const auto isKind = [](QChar c) { return QStringLiteral("QDPC").contains(c); };
        if (kinds.isEmpty() || !std::all_of(kinds.begin(), kinds.end(), isKind))
            return fail(QStringLiteral("--kinds: expected letters among Q, D, P and C"));
        const double spacing = parser.value(QStringLiteral("spacing")).toDouble(&ok);
        if (!ok || spacing <= 0)
            return fail(QStringLiteral("--spacing: expected a positive number of metres"));
        for (int i = 0; i < count; ++i) {
            SimulatedModule::Settings module;
            module.kind = kinds.at(i % kinds.size()).toLatin1();
            module.heightAboveGround = spacing * (i + 1);
            module.gps = parser.isSet(QStringLiteral("gps"));
            module.xdata = parser.isSet(QStringLiteral("xdata"));
            settings_.modules.append(module);
        }
    }

    // Identifiers and addresses left open get the simulator's defaults; name them here already
    // so that the fault options can refer to them.
    for (int i = 0; i < settings_.modules.size(); ++i) {
        SimulatedModule::Settings &module = settings_.modules[i];
        if (module.identifier.isEmpty())
            module.identifier = QStringLiteral("TX%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        module.compassWaitMs = compassWaitMs;
    }

    using Fault = SimulatedModule::CalibrationFault;
    const QList<QPair<QString, std::function<void(SimulatedModule::Settings &)>>> faults = {
        {QStringLiteral("ignore-stop"), [](auto &m) { m.ignoresStop = true; }},
        {QStringLiteral("silent-calibration"), [](auto &m) { m.calibrationFault = Fault::Silent; }},
        {QStringLiteral("calibration-error"), [](auto &m) { m.calibrationFault = Fault::Error; }},
        {QStringLiteral("wrong-reference"),
         [](auto &m) { m.calibrationFault = Fault::WrongReference; }},
        {QStringLiteral("short-compass"),
         [](auto &m) { m.compassSamples = shortCompassSamples; }},
    };
    for (const auto &[option, mark] : faults) {
        for (const QString &id : parser.values(option)) {
            bool found = false;
            for (SimulatedModule::Settings &module : settings_.modules) {
                if (module.identifier == id) {
                    mark(module);
                    found = true;
                }
            }
            if (!found)
                return fail(QStringLiteral("--%1: no module %2").arg(option, id));
        }
    }
    return true;
}

bool SimulatorCommandLine::readModuleDescription(const QString &description, SimulatedModule::Settings &module)
{
    const QStringList parts = description.split(QLatin1Char(':'));
    const auto bad = [this, &description](const QString &why) {
        return fail(QStringLiteral("--module %1: %2").arg(description, why));
    };
    if (parts.size() < 2 || parts.at(0).size() != 1
        || !QStringLiteral("QDPC").contains(parts.at(0).toUpper()))
        return bad(QStringLiteral("expected KIND:ID with KIND one of Q, D, P, C"));
    module.kind = parts.at(0).toUpper().at(0).toLatin1();
    module.identifier = parts.at(1);
    if (module.identifier.isEmpty() || module.identifier.size() > 12)
        return bad(QStringLiteral("the identifier has 1 to 12 characters"));

    for (int i = 2; i < parts.size(); ++i) {
        const QString &flag = parts.at(i);
        bool ok = true;
        if (flag == QLatin1String("gps")) {
            module.gps = true;
        } else if (flag == QLatin1String("xdata")) {
            module.xdata = true;
        } else if (flag == QLatin1String("indoor")) {
            module.indoor = true;
        } else if (flag.startsWith(QLatin1String("height="))) {
            module.heightAboveGround = flag.mid(7).toDouble(&ok);
            ok = ok && module.heightAboveGround >= 0 && module.heightAboveGround < 5000;
        } else if (flag.startsWith(QLatin1String("address="))) {
            const QString hex = flag.mid(8);
            module.address = qint64(hex.toULongLong(&ok, 16));
            ok = ok && hex.size() <= 16 && module.address != 0;
        } else {
            ok = false;
        }
        if (!ok)
            return bad(QStringLiteral("unknown or bad flag %1").arg(flag));
    }
    return true;
}

bool SimulatorCommandLine::readReplay()
{
    if (parser.isSet(QStringLiteral("module")) || parser.isSet(QStringLiteral("modules")))
        return fail(QStringLiteral("--replay: the modules are the log's; no --module or --modules"));
    if (settings_.groundElevation != std::floor(settings_.groundElevation))
        return fail(QStringLiteral("--ground-elevation: whole metres with --replay, as the log's"));
    auto script = std::make_shared<ReplayScript>();
    QString why;
    const QString fileName = parser.value(QStringLiteral("replay"));
    if (!script->load(fileName, int(settings_.groundElevation), &why, &warnings_))
        return fail(QStringLiteral("--replay: %1").arg(why));
    for (const ReplayScript::Module &logged : script->modules()) {
        SimulatedModule::Settings module;
        module.kind = logged.kind;
        module.identifier = logged.identifier;
        module.gps = logged.gps;
        module.replayPayload = logged.acquisitionPayload;
        settings_.modules.append(module);
    }
    settings_.replay = script;
    settings_.loop = parser.isSet(QStringLiteral("loop"));
    return true;
}

QStringList SimulatorCommandLine::warnings() const
{
    return warnings_;
}

BaseStationSimulator::Settings SimulatorCommandLine::settings() const
{
    return settings_;
}

bool SimulatorCommandLine::isVerbose() const
{
    return parser.isSet(QStringLiteral("verbose"));
}

QString SimulatorCommandLine::helpText() const
{
    return parser.helpText();
}

QString SimulatorCommandLine::errorText() const
{
    return error;
}

bool SimulatorCommandLine::fail(const QString &text)
{
    error = text;
    return false;
}
