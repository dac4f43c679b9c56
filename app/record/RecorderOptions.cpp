#include "RecorderOptions.h"

#include "core/Version.h"

#include <QCommandLineParser>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace {

bool parseRange(const QCommandLineParser &parser, const QString &name, int low, int high,
                int &value, QString &error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int parsed = parser.value(name).toInt(&ok);
    if (!ok || parsed < low || parsed > high) {
        error = QStringLiteral("--%1 must be a whole number from %2 to %3.").arg(name).arg(low).arg(high);
        return false;
    }
    value = parsed;
    return true;
}

// The twelve lengths of each unit; "30s" is index 11, "30m" index 23.
constexpr int intervalLengths[12] = {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60};

QString intervalValues()
{
    QStringList seconds;
    QStringList minutes;
    for (const int length : intervalLengths) {
        seconds << QStringLiteral("%1s").arg(length);
        minutes << QStringLiteral("%1m").arg(length);
    }
    return seconds.join(QLatin1Char(' ')) + QStringLiteral(", ") + minutes.join(QLatin1Char(' '));
}

// An interval as a person says it ("10s", "5m"), or the bare index 1 to 24 the modules know.
bool parseInterval(const QString &text, int &index)
{
    const QString value = text.trimmed();
    bool ok = false;
    const int bare = value.toInt(&ok);
    if (ok) {
        if (bare < 1 || bare > 24)
            return false;
        index = bare;
        return true;
    }
    const QChar unit = value.isEmpty() ? QChar() : value.back();
    if (unit != QLatin1Char('s') && unit != QLatin1Char('m'))
        return false;
    const int length = value.chopped(1).toInt(&ok);
    for (int position = 0; ok && position < 12; ++position) {
        if (intervalLengths[position] == length) {
            index = position + (unit == QLatin1Char('s') ? 1 : 13);
            return true;
        }
    }
    return false;
}

} // namespace

bool RecorderOptions::parse(const QStringList &arguments, QString &error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs a whole sounding without a display: configures the base station, acquires the "
        "flight modules, runs them, writes the log file and serves the live data stream."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {QStringLiteral("port"), QStringLiteral("The base station's serial port or device path (required)."),
         QStringLiteral("NAME")},
        {QStringLiteral("interval"),
         QStringLiteral("Data interval: %1 (or its index, 1 to 24; default: the saved "
                        "interval). The modules send no position, course or speed at 1s.")
             .arg(intervalValues()),
         QStringLiteral("INTERVAL")},
        {QStringLiteral("wind-units"), QStringLiteral("Wind and speed units: knots or mps (default knots)."),
         QStringLiteral("UNITS"), QStringLiteral("knots")},
        {QStringLiteral("ground-elevation"),
         QStringLiteral("Metres subtracted from the altitudes (default 0: altitude above sea level)."),
         QStringLiteral("METRES")},
        {QStringLiteral("gps"),
         QStringLiteral("Comma list of GPS fields to ask for: latitude, longitude, course, speed (default none)."),
         QStringLiteral("FIELDS")},
        {QStringLiteral("modules"), QStringLiteral("End acquisition as soon as N modules are in the table."),
         QStringLiteral("N")},
        {QStringLiteral("acquire-time"), QStringLiteral("End acquisition after this many seconds at the latest (default 60)."),
         QStringLiteral("SECONDS"), QStringLiteral("60")},
        {QStringLiteral("log"), QStringLiteral("Write the log file there."), QStringLiteral("FILE")},
        {QStringLiteral("netcdf"), QStringLiteral("When the run ends, export the log to this NetCDF file (needs --log)."),
         QStringLiteral("FILE")},
        {QStringLiteral("comment"), QStringLiteral("A comment repeated on every data line of the log."),
         QStringLiteral("TEXT")},
        {QStringLiteral("duration"), QStringLiteral("Run that long, then stop (default: until SIGINT or SIGTERM)."),
         QStringLiteral("SECONDS")},
        {QStringLiteral("no-server"), QStringLiteral("Do not open the local data server.")},
        {QStringLiteral("mqtt"),
         QStringLiteral("Publish every data set to this MQTT broker: mqtt://host:port or "
                        "mqtts://host:port (TLS, the broker's certificate checked)."),
         QStringLiteral("URL")},
        {QStringLiteral("station"),
         QStringLiteral("Station name in the broker's topics: letters, digits, '-' and '_' "
                        "(default: this computer's name)."),
         QStringLiteral("NAME")},
        {QStringLiteral("mqtt-user"), QStringLiteral("User name at the broker."), QStringLiteral("NAME")},
        {QStringLiteral("mqtt-password-file"),
         QStringLiteral("Read the broker password from the first line of this file."),
         QStringLiteral("FILE")},
        {QStringLiteral("mqtt-cafile"),
         QStringLiteral("Certificate authority that signed the broker's certificate (default: the "
                        "system's)."),
         QStringLiteral("FILE")},
        {QStringLiteral("mqtt-queue"),
         QStringLiteral("Data sets kept while the broker cannot be reached (default: one hour of "
                        "them)."),
         QStringLiteral("SETS")},
    });

    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) {
        // Program, package, version: the form manual pages and packaging tools read.
        std::printf("ventrolla-record (Ventrolla) %s\n", Version::text);
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first());
        return false;
    }

    port = parser.value(QStringLiteral("port"));
    if (port.isEmpty()) {
        error = QStringLiteral("--port is required.");
        return false;
    }

    const QString units = parser.value(QStringLiteral("wind-units"));
    if (units == QLatin1String("knots")) {
        windUnits = 0;
    } else if (units == QLatin1String("mps")) {
        windUnits = 1;
    } else {
        error = QStringLiteral("--wind-units must be knots or mps.");
        return false;
    }

    if (parser.isSet(QStringLiteral("gps"))) {
        const QStringList fields =
            parser.value(QStringLiteral("gps")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &field : fields) {
            const QString name = field.trimmed();
            if (name == QLatin1String("latitude"))
                latitude = true;
            else if (name == QLatin1String("longitude"))
                longitude = true;
            else if (name == QLatin1String("course"))
                course = true;
            else if (name == QLatin1String("speed"))
                speed = true;
            else {
                error = QStringLiteral("Unknown GPS field: %1").arg(name);
                return false;
            }
        }
    }

    const int maxSeconds = 2000000; // what one timer can count in milliseconds
    if (parser.isSet(QStringLiteral("interval"))
        && !parseInterval(parser.value(QStringLiteral("interval")), interval)) {
        error = QStringLiteral("--interval must be one of %1 (or an index from 1 to 24).")
                    .arg(intervalValues());
        return false;
    }
    if (!parseRange(parser, QStringLiteral("ground-elevation"), -1000, 9000, groundElevation, error)
        || !parseRange(parser, QStringLiteral("modules"), 1, 1000, moduleTarget, error)
        || !parseRange(parser, QStringLiteral("acquire-time"), 1, maxSeconds, acquireSeconds, error)
        || !parseRange(parser, QStringLiteral("duration"), 1, maxSeconds, durationSeconds, error))
        return false;

    logFile = parser.value(QStringLiteral("log"));
    netcdfFile = parser.value(QStringLiteral("netcdf"));
    if (!netcdfFile.isEmpty() && logFile.isEmpty()) {
        error = QStringLiteral("--netcdf needs --log.");
        return false;
    }
    comment = parser.value(QStringLiteral("comment"));
    server = !parser.isSet(QStringLiteral("no-server"));
    return parseBroker(parser, error);
}

bool RecorderOptions::parseBroker(const QCommandLineParser &parser, QString &error)
{
    const QString url = parser.value(QStringLiteral("mqtt"));
    if (url.isEmpty()) {
        for (const char *name : {"station", "mqtt-user", "mqtt-password-file", "mqtt-cafile", "mqtt-queue"}) {
            if (parser.isSet(QString::fromLatin1(name))) {
                error = QStringLiteral("--%1 needs --mqtt.").arg(QString::fromLatin1(name));
                return false;
            }
        }
        return true;
    }
    broker.enabled = true;
    broker.url = url;
    broker.station = parser.isSet(QStringLiteral("station")) ? parser.value(QStringLiteral("station"))
                                                              : BrokerSettings::defaultStation();
    broker.user = parser.value(QStringLiteral("mqtt-user"));
    broker.caFile = parser.value(QStringLiteral("mqtt-cafile"));
    if (!parseRange(parser, QStringLiteral("mqtt-queue"), 1, 10000000, broker.queueSets, error)
        || !broker.validate(error))
        return false;
    if (parser.isSet(QStringLiteral("mqtt-password-file"))) {
        // A file, so the password is never seen in the process list or a shell's history.
        QFile file(parser.value(QStringLiteral("mqtt-password-file")));
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("Could not read the password file %1: %2")
                        .arg(file.fileName(), file.errorString());
            return false;
        }
        broker.password = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    }
    if (!broker.caFile.isEmpty() && !QFile::exists(broker.caFile)) {
        error = QStringLiteral("No certificate authority file %1.").arg(broker.caFile);
        return false;
    }
    return true;
}
