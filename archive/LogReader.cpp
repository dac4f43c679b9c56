#include "archive/LogReader.h"

namespace {

const QString titleLine = QStringLiteral("Ventrolla log file");
const QString xdataMarker = QStringLiteral("<XDATA>");
constexpr int groupWidth = 1 + logColumnCount; // "Module ID" and the twelve values
constexpr int clockSetBackLimit = 2 * 3600;
// A thousand modules make lines of about 80 kB.
constexpr qint64 maxLineBytes = 1 << 20;

// The thirteen headers of a module group; the wind and ground-speed ones carry the unit.
const QString groupHeaders[groupWidth] = {
    QStringLiteral("Module ID"),     QStringLiteral("Alt (m)"),        QStringLiteral("P (mbar)"),
    QStringLiteral("T (deg C)"),     QStringLiteral("%RH"),            QStringLiteral("Wind (degrees)"),
    QString(),                       QStringLiteral("Supply (V)"),     QStringLiteral("UTC Time"),
    QStringLiteral("Latitude (deg)"), QStringLiteral("Longitude (deg)"), QStringLiteral("Course (deg)"),
    QString(),
};
constexpr int windHeader = 1 + static_cast<int>(LogColumn::WindSpeed);
constexpr int speedHeader = 1 + static_cast<int>(LogColumn::GroundSpeed);

const QString columnNames[logColumnCount] = {
    QStringLiteral("Alt (m)"),    QStringLiteral("P (mbar)"),       QStringLiteral("T (deg C)"),
    QStringLiteral("%RH"),        QStringLiteral("Wind (degrees)"), QStringLiteral("wind speed"),
    QStringLiteral("Supply (V)"), QStringLiteral("UTC Time"),       QStringLiteral("Latitude (deg)"),
    QStringLiteral("Longitude (deg)"), QStringLiteral("Course (deg)"), QStringLiteral("ground speed"),
};

void split(QStringView line, QVector<QStringView> &fields)
{
    fields.resize(0); // keeps the capacity, unlike clear()
    qsizetype start = 0;
    for (;;) {
        const qsizetype comma = line.indexOf(QLatin1Char(','), start);
        if (comma < 0) {
            fields.append(line.mid(start));
            return;
        }
        fields.append(line.mid(start, comma - start));
        start = comma + 1;
    }
}

int decimalsOf(const QString &text)
{
    const int point = text.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : text.size() - point - 1;
}

} // namespace

LogReader::LogReader(const QString &fileName) : file(fileName) {}

bool LogReader::open()
{
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    QString line;
    if (readLine(line) == LineEnd::EndOfFile) {
        error = QStringLiteral("%1 is empty, not a Ventrolla log").arg(file.fileName());
        return false;
    }
    if (line.startsWith(QChar(0xFEFF)))
        line.remove(0, 1);
    if (line != titleLine) {
        error = QStringLiteral("%1 is not a Ventrolla log: its first line is not \"%2\"")
                    .arg(file.fileName(), titleLine);
        return false;
    }
    const LineEnd dateEnd = readLine(line);
    logDate = line.startsWith(QLatin1String("Date "))
                  ? QDate::fromString(line.mid(5), QStringLiteral("M/d/yyyy"))
                  : QDate();
    if (dateEnd == LineEnd::EndOfFile || !logDate.isValid()) {
        error = QStringLiteral("%1 is not a Ventrolla log: line 2 is not a date line "
                               "such as \"Date 7/04/2026\"")
                    .arg(file.fileName());
        return false;
    }
    // A log cut short before its header holds no data: it is a log, just an empty one.
    if (readLine(line) != LineEnd::Complete || readLine(line) != LineEnd::Complete)
        return true;

    split(line, fields);
    const bool headed = fields.size() >= 2 && fields[0] == QLatin1String("Time")
                        && fields[1] == QLatin1String("Comment")
                        && (fields.size() - 2) % groupWidth == 0;
    if (!headed) {
        error = QStringLiteral("%1 is not a Ventrolla log: line 4 is not the column header "
                               "(\"Time,Comment\" and thirteen columns per module)")
                    .arg(file.fileName());
        return false;
    }
    headerModules = int((fields.size() - 2) / groupWidth);
    for (int module = 0; module < headerModules; ++module) {
        const qsizetype first = 2 + qsizetype(module) * groupWidth;
        for (int column = 0; column < groupWidth; ++column) {
            const QStringView name = fields[first + column];
            bool known = name == groupHeaders[column];
            if (column == windHeader || column == speedHeader) {
                const bool knots = name.endsWith(QLatin1String("(knots)"));
                const bool metric = name.endsWith(QLatin1String("(m/s)"));
                known = (knots || metric)
                        && name.startsWith(column == windHeader ? QLatin1String("Wind (")
                                                                : QLatin1String("Speed ("));
                if (known && column == windHeader)
                    unit = knots ? LogWindUnit::Knots : LogWindUnit::MetresPerSecond;
            }
            if (!known) {
                error = QStringLiteral("%1 is not a Ventrolla log: column %2 of its header is "
                                       "\"%3\", not a module column")
                            .arg(file.fileName())
                            .arg(first + column + 1)
                            .arg(name.toString());
                return false;
            }
        }
    }
    return true;
}

bool LogReader::next(LogEntry &entry)
{
    QString line;
    for (;;) {
        const LineEnd end = readLine(line);
        if (end == LineEnd::EndOfFile)
            return false;
        if (end == LineEnd::Cut) {
            skip(QStringLiteral("the last line is cut short (the program or the computer "
                                "stopped while writing it); dropped"));
            return false;
        }
        if (end == LineEnd::TooLong) {
            skip(QStringLiteral("longer than a megabyte, which no log line is; skipped"));
            continue;
        }
        split(line, fields);
        const int secondsOfDay = LogValues::toSecondsOfDay(fields[0]);
        if (secondsOfDay < 0) {
            skip(line.isEmpty() ? QStringLiteral("empty line skipped")
                                : QStringLiteral("no time \"hh:mm:ss\" at the start; skipped"));
            continue;
        }
        if (fields.size() < 2) {
            skip(QStringLiteral("a time and nothing else; skipped"));
            continue;
        }
        entry.lineNumber = lineNumber;
        // A comment may itself read "<XDATA>": such a data line has whole module groups and
        // no "xdata=" text where an XData record has its text.
        const bool groupsFit = (fields.size() - 2) % groupWidth == 0;
        if (fields[1] == xdataMarker && fields.size() >= 4
            && (!groupsFit || fields[3].startsWith(QLatin1String("xdata=")))) {
            parseXData(line, fields, entry);
        } else if (!groupsFit) {
            skip(QStringLiteral("%1 fields, where a data line has two and thirteen per module; "
                                "skipped")
                     .arg(fields.size()));
            continue;
        } else if (!parseData(fields, entry)) {
            continue;
        }
        resolveDate(secondsOfDay, entry);
        return true;
    }
}

QVector<LogWarning> LogReader::takeWarnings()
{
    QVector<LogWarning> taken;
    taken.swap(warnings);
    return taken;
}

LogReader::LineEnd LogReader::readLine(QString &line)
{
    lineBytes = file.readLine(maxLineBytes);
    if (lineBytes.isEmpty())
        return LineEnd::EndOfFile;
    ++lineNumber;
    if (!lineBytes.endsWith('\n') && !file.atEnd()) {
        // Longer than any line the program writes (a file without line ends, say): passed over
        // in pieces, so it never sits in memory whole.
        while (!lineBytes.endsWith('\n') && !file.atEnd())
            lineBytes = file.readLine(maxLineBytes);
        line.clear();
        return LineEnd::TooLong;
    }
    const bool complete = lineBytes.endsWith('\n');
    int length = lineBytes.size() - (complete ? 1 : 0);
    if (length > 0 && lineBytes[length - 1] == '\r')
        --length;
    line = QString::fromUtf8(lineBytes.constData(), length);
    return complete ? LineEnd::Complete : LineEnd::Cut;
}

void LogReader::warn(const QString &message)
{
    ++warningTotal;
    warnings.append({lineNumber, message});
}

void LogReader::skip(const QString &reason)
{
    ++skippedLines;
    warn(reason);
}

bool LogReader::parseData(const QVector<QStringView> &fields, LogEntry &entry)
{
    entry.kind = LogEntry::Kind::Data;
    entry.comment = fields[1].toString();
    entry.moduleId.clear();
    entry.xdataText.clear();
    const int moduleCount = int((fields.size() - 2) / groupWidth);
    entry.modules.resize(moduleCount);
    for (int module = 0; module < moduleCount; ++module) {
        LogModuleGroup &group = entry.modules[module];
        const qsizetype first = 2 + qsizetype(module) * groupWidth;
        group.moduleId = fields[first].toString();
        for (int column = 0; column < logColumnCount; ++column) {
            const QStringView text = fields[first + 1 + column];
            group.texts[column] = text.toString();
            if (column == static_cast<int>(LogColumn::UtcTime)) {
                const int seconds = LogValues::toSecondsOfDay(text);
                group.values[column] = seconds < 0 ? LogValues::missing : seconds;
            } else {
                group.values[column] = LogValues::toNumber(text);
            }
            if (!text.isEmpty() && std::isnan(group.values[column])) {
                warn(QStringLiteral("module %1: %2 \"%3\" is not a number; read as empty")
                         .arg(group.moduleId, columnNames[column], text.toString()));
            }
        }
        if (unit == LogWindUnit::Unknown)
            guessUnit(group);
    }
    return true;
}

void LogReader::parseXData(QStringView line, const QVector<QStringView> &fields, LogEntry &entry)
{
    entry.kind = LogEntry::Kind::XData;
    entry.comment.clear();
    entry.modules.clear();
    entry.moduleId = fields[2].toString();
    // The record's text runs to the end of the line, commas and all.
    const qsizetype textStart = fields[0].size() + fields[1].size() + fields[2].size() + 3;
    entry.xdataText = line.mid(textStart).toString();
}

void LogReader::resolveDate(int secondsOfDay, LogEntry &entry)
{
    if (lastSecondsOfDay >= 0 && secondsOfDay < lastSecondsOfDay) {
        if (lastSecondsOfDay - secondsOfDay > clockSetBackLimit) {
            ++dayOffset;
        } else {
            warn(QStringLiteral("the clock went back from %1 to %2; read as the same day "
                                "(the computer's clock was set back)")
                     .arg(QTime(0, 0).addSecs(lastSecondsOfDay).toString(QStringLiteral("hh:mm:ss")),
                          QTime(0, 0).addSecs(secondsOfDay).toString(QStringLiteral("hh:mm:ss"))));
        }
    }
    lastSecondsOfDay = secondsOfDay;
    entry.date = logDate.addDays(dayOffset);
    entry.time = QTime(0, 0).addSecs(secondsOfDay);
}

void LogReader::guessUnit(const LogModuleGroup &group)
{
    const QString &wind = group.text(LogColumn::WindSpeed);
    if (wind.isEmpty())
        return;
    unit = decimalsOf(wind) == 2 ? LogWindUnit::Knots : LogWindUnit::MetresPerSecond;
    warn(QStringLiteral("the header names no wind unit; read as %1 from the wind speed \"%2\"")
             .arg(unit == LogWindUnit::Knots ? QStringLiteral("knots") : QStringLiteral("m/s"),
                  wind));
}
