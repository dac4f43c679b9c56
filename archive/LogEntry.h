#ifndef VENTROLLA_ARCHIVE_LOGENTRY_H
#define VENTROLLA_ARCHIVE_LOGENTRY_H

#include "link/FlightModule.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QVector>

#include <array>
#include <cmath>
#include <limits>

// The twelve value columns of a module group in a log line, after its "Module ID": "Alt (m)"
// to the ground-speed column, in the order the log writes them.
enum class LogColumn {
    Altitude,
    Pressure,
    Temperature,
    Humidity,
    WindDirection,
    WindSpeed,
    Supply,
    UtcTime,
    Latitude,
    Longitude,
    Course,
    GroundSpeed,
};
constexpr int logColumnCount = 12;

// The unit of the wind and ground-speed columns, as the log's header names it.
enum class LogWindUnit { Unknown, Knots, MetresPerSecond };

// One module's group in a data line: its identifier and the twelve texts exactly as logged (an
// empty text for an empty cell), with each read once as a number. A number is NaN where the cell
// is empty or holds no number; the UTC time reads as seconds since midnight.
class LogModuleGroup
{
public:
    QString moduleId;
    std::array<QString, logColumnCount> texts;
    std::array<double, logColumnCount> values;

    const QString &text(LogColumn column) const { return texts[static_cast<int>(column)]; }
    double value(LogColumn column) const { return values[static_cast<int>(column)]; }
    bool hasValue(LogColumn column) const { return !std::isnan(value(column)); }

    // Wind and ground speed in metres per second whatever the log's unit; NaN when the unit
    // is unknown or the cell is empty.
    double windSpeedMetresPerSecond(LogWindUnit unit) const;
    double groundSpeedMetresPerSecond(LogWindUnit unit) const;
};

// One line of a log: a data line with its module groups, or an XData record.
class LogEntry
{
public:
    enum class Kind { Data, XData };

    Kind kind = Kind::Data;
    qint64 lineNumber = 0;
    // The computer's local clock, the day advanced past every midnight the log crossed. The
    // log knows no time zone, so this is a wall-clock date and time with no offset attached.
    QDate date;
    QTime time;

    // Data lines
    QString comment;
    QVector<LogModuleGroup> modules;

    // XData lines
    QString moduleId;
    QString xdataText;

    bool isData() const { return kind == Kind::Data; }
    // Seconds since 1970-01-01 00:00:00 of the same wall clock; differences are true durations
    // as long as the clock was not set in between.
    qint64 wallClockSeconds() const;
    // The wall-clock date and time as a QDateTime carrying the given offset from UTC in seconds.
    QDateTime dateTime(int utcOffsetSeconds) const;
    // The "hh:mm:ss" the log holds for this line.
    QString timeText() const;
};

// A line the reader skipped or read with doubts, with its number (1 for the title line).
struct LogWarning
{
    qint64 lineNumber = 0;
    QString message;
};

namespace LogValues {

constexpr double missing = std::numeric_limits<double>::quiet_NaN();
constexpr double knotsPerMetrePerSecond = FlightModule::knotsPerMetrePerSecond;

// Reads a cell's text as a number the way the log writes them (optional sign, digits, optional
// decimals); NaN for an empty text or one that is not a number.
double toNumber(QStringView text);
// Reads "hh:mm:ss" as seconds since midnight; -1 for anything else.
int toSecondsOfDay(QStringView text);

} // namespace LogValues

#endif
