#ifndef VENTROLLA_ARCHIVE_LOGHISTORYLOADER_H
#define VENTROLLA_ARCHIVE_LOGHISTORYLOADER_H

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>

#include <memory>
#include <vector>

class LogReader;
class SoundingHistory;

// Reads the logs of one past sounding (one file or several) into a history, a slice at a time
// so the window stays responsive and can draw before the last line is read. The files are read
// in the order of their first data line; a line older than one already read (files that
// overlap) is left out, so the history's times only grow. As during a live sounding, a module
// whose UTC time did not move since its previous line was silent: the log repeats its old
// values, the history gets a gap.
class LogHistoryLoader
{
public:
    LogHistoryLoader();
    ~LogHistoryLoader();
    LogHistoryLoader(const LogHistoryLoader &) = delete;
    LogHistoryLoader &operator=(const LogHistoryLoader &) = delete;

    // Opens every file; false, with errorString() naming the file and the reason, if one cannot
    // be read as a log. The history is cleared.
    bool open(const QStringList &fileNames, SoundingHistory *history);
    // Reads lines for about budgetMs milliseconds; true while lines remain.
    bool readSome(int budgetMs);
    bool isDone() const;

    QString errorString() const { return error; }
    // Lines skipped as unreadable by the readers, and lines left out as out of order.
    qint64 skippedLineCount() const;

private:
    std::vector<std::unique_ptr<LogReader>> readers;
    size_t current = 0;
    SoundingHistory *history = nullptr;
    QHash<QString, QString> lastUtcTime;
    qint64 lastTime = 0;
    qint64 outOfOrder = 0;
    QString error;
};

#endif
