#include "ExportOptions.h"

#include "core/Version.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool parseNumber(const QCommandLineParser &parser, const QString &name, double low, double high,
                 double &value, QString &error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double parsed = parser.value(name).toDouble(&ok);
    if (!ok || !(parsed >= low && parsed <= high)) {
        error = QStringLiteral("--%1 must be a number from %2 to %3.").arg(name).arg(low).arg(high);
        return false;
    }
    value = parsed;
    return true;
}

} // namespace

bool ExportOptions::parseUtcOffset(const QString &text, int &seconds)
{
    static const QRegularExpression form(QStringLiteral("^([+-])(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    const int hours = match.captured(2).toInt();
    const int minutes = match.captured(3).toInt();
    const int magnitude = hours * 3600 + minutes * 60;
    const int value = match.captured(1) == QLatin1String("-") ? -magnitude : magnitude;
    if (minutes > 59 || value < -12 * 3600 || value > 14 * 3600)
        return false;
    seconds = value;
    return true;
}

bool ExportOptions::parse(const QStringList &arguments, QString &error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exports the log files of one sounding to a NetCDF-4 file (CF-1.8 profiles) and/or a tidy "
        "comma-separated table, with dew point, potential temperature, mixing ratio and wind "
        "components. Several logs of one sounding become one file, in time order. Without an "
        "output option it prints a summary of the sounding.\n\n"
        "Exit status: 0 success (unreadable lines are skipped with a warning), 2 bad usage, "
        "3 a log could not be opened or is not a Ventrolla log, 4 nothing readable in the logs, "
        "5 an output could not be written (no partial file is left)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("LOG"), QStringLiteral("The log files of the sounding."),
                                 QStringLiteral("LOG..."));
    parser.addOptions({
        {QStringLiteral("netcdf"), QStringLiteral("Write a NetCDF-4 file there."), QStringLiteral("OUT.nc")},
        {QStringLiteral("csv"), QStringLiteral("Write the tidy table there."), QStringLiteral("OUT.csv")},
        {QStringLiteral("utc-offset"),
         QStringLiteral("The logging computer's offset from UTC, +HH:MM or -HH:MM (default: derived "
                        "from the modules' UTC time, else local time is kept)."),
         QStringLiteral("+HH:MM")},
        {QStringLiteral("site-latitude"), QStringLiteral("The site's latitude in degrees north."),
         QStringLiteral("D")},
        {QStringLiteral("site-longitude"), QStringLiteral("The site's longitude in degrees east."),
         QStringLiteral("D")},
        {QStringLiteral("site-elevation"), QStringLiteral("The site's elevation in metres."),
         QStringLiteral("M")},
    });

    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return false;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) {
        // Program, package, version: the form manual pages and packaging tools read.
        std::printf("ventrolla-export (Ventrolla) %s\n", Version::text);
        std::exit(0);
    }

    settings.logFiles = parser.positionalArguments();
    if (settings.logFiles.isEmpty()) {
        error = QStringLiteral("No log file given.");
        return false;
    }
    settings.netcdfFile = parser.value(QStringLiteral("netcdf"));
    settings.csvFile = parser.value(QStringLiteral("csv"));
    if (parser.isSet(QStringLiteral("utc-offset"))) {
        if (!parseUtcOffset(parser.value(QStringLiteral("utc-offset")), settings.utcOffsetSeconds)) {
            error = QStringLiteral("--utc-offset must be +HH:MM or -HH:MM, from -12:00 to +14:00.");
            return false;
        }
        settings.hasUtcOffset = true;
    }
    if (!parseNumber(parser, QStringLiteral("site-latitude"), -90, 90, settings.siteLatitude, error)
        || !parseNumber(parser, QStringLiteral("site-longitude"), -180, 180, settings.siteLongitude, error)
        || !parseNumber(parser, QStringLiteral("site-elevation"), -500, 9000, settings.siteElevation, error))
        return false;
    const int siteParts = int(!std::isnan(settings.siteLatitude)) + int(!std::isnan(settings.siteLongitude));
    if (siteParts == 1) {
        error = QStringLiteral("--site-latitude and --site-longitude go together.");
        return false;
    }
    QStringList quoted;
    for (const QString &argument : arguments)
        quoted << (argument.contains(QLatin1Char(' ')) ? QLatin1Char('\'') + argument + QLatin1Char('\'') : argument);
    settings.history = quoted.join(QLatin1Char(' '));
    return true;
}
