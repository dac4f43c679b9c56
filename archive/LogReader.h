#ifndef VENTROLLA_ARCHIVE_LOGREADER_H
#define VENTROLLA_ARCHIVE_LOGREADER_H

#include "archive/LogEntry.h"

#include <QFile>
#include <QString>
#include <QVector>

// Reads a log file as the program writes it, one line at a time, never the whole file at
// once: open() reads the title, date and header lines, then each next() gives the following
// data or XData line in file order.
//
// Every field keeps its text exactly as logged. A line that cannot be read is skipped with a
// warning naming its line number and the rest of the file is still read; a last line without
// its line end was cut short by a power loss or a killed program, and is dropped with a
// warning. The clock going back starts the next day (the log passed midnight), unless it went
// back by no more than two hours: that is the computer's clock being set back (a change from
// summer time), read as the same day with a warning.
class LogReader
{
public:
    explicit LogReader(const QString &fileName);
    LogReader(const LogReader &) = delete;
    LogReader &operator=(const LogReader &) = delete;

    // Opens the file and reads its first four lines; false, with errorString() saying why,
    // for a file that cannot be opened or is not a log.
    bool open();
    // The next data or XData line; false at the end of the file.
    bool next(LogEntry &entry);

    QString fileName() const { return file.fileName(); }
    QString errorString() const { return error; }
    // The date of the date line: the day the log was opened.
    QDate date() const { return logDate; }
    // The wind unit the header names; Unknown when the log was opened with no module, in which
    // case the first data line's wind text tells it (knots carry two decimals, m/s one).
    LogWindUnit windUnit() const { return unit; }
    // Module groups the header line announces.
    int headerModuleCount() const { return headerModules; }

    // Warnings since the last call; they are handed over rather than kept, so a long file full
    // of bad lines holds no more of them in memory than the caller lets pile up.
    QVector<LogWarning> takeWarnings();
    qint64 warningCount() const { return warningTotal; }
    qint64 skippedLineCount() const { return skippedLines; }
    qint64 lineCount() const { return lineNumber; }

    // For progress: bytes read so far and the file's size.
    qint64 position() const { return file.pos(); }
    qint64 size() const { return file.size(); }

private:
    enum class LineEnd { Complete, Cut, TooLong, EndOfFile };

    LineEnd readLine(QString &line);
    void warn(const QString &message);
    void skip(const QString &reason);
    bool parseData(const QVector<QStringView> &fields, LogEntry &entry);
    void parseXData(QStringView line, const QVector<QStringView> &fields, LogEntry &entry);
    void resolveDate(int secondsOfDay, LogEntry &entry);
    void guessUnit(const LogModuleGroup &group);

    QFile file;
    QString error;
    QDate logDate;
    LogWindUnit unit = LogWindUnit::Unknown;
    int headerModules = 0;
    qint64 lineNumber = 0;
    qint64 warningTotal = 0;
    qint64 skippedLines = 0;
    QVector<LogWarning> warnings;

    int dayOffset = 0;
    int lastSecondsOfDay = -1;
    QByteArray lineBytes;
    QVector<QStringView> fields;
};

#endif
