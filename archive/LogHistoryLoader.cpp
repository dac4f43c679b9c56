#include "LogHistoryLoader.h"

#include "archive/LogReader.h"
#include "core/SoundingHistory.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <limits>

namespace {

// The wall clock a log writes, read as this computer's local time, as the live history does.
qint64 localMsecs(const LogEntry &entry)
{
    return QDateTime(entry.date, entry.time, Qt::LocalTime).toMSecsSinceEpoch();
}

} // namespace

LogHistoryLoader::LogHistoryLoader() = default;
LogHistoryLoader::~LogHistoryLoader() = default;

bool LogHistoryLoader::open(const QStringList &fileNames, SoundingHistory *target)
{
    readers.clear();
    current = 0;
    lastUtcTime.clear();
    lastTime = std::numeric_limits<qint64>::min();
    outOfOrder = 0;
    history = target;
    history->clear();

    // Each file's first data line decides the order; the reader is opened again to start over.
    std::vector<std::pair<qint64, QString>> starts;
    for (const QString &name : fileNames) {
        LogReader reader(name);
        if (!reader.open()) {
            error = QCoreApplication::translate("LogHistoryLoader", "%1: %2")
                        .arg(name, reader.errorString());
            return false;
        }
        LogEntry entry;
        qint64 start = std::numeric_limits<qint64>::max();
        while (reader.next(entry)) {
            if (entry.isData()) {
                start = localMsecs(entry);
                break;
            }
        }
        starts.emplace_back(start, name);
    }
    std::stable_sort(starts.begin(), starts.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &start : starts) {
        auto reader = std::make_unique<LogReader>(start.second);
        if (!reader->open()) {
            error = QCoreApplication::translate("LogHistoryLoader", "%1: %2")
                        .arg(start.second, reader->errorString());
            readers.clear();
            return false;
        }
        readers.push_back(std::move(reader));
    }
    return true;
}

bool LogHistoryLoader::isDone() const
{
    return current >= readers.size();
}

qint64 LogHistoryLoader::skippedLineCount() const
{
    qint64 skipped = outOfOrder;
    for (const auto &reader : readers)
        skipped += reader->skippedLineCount();
    return skipped;
}

bool LogHistoryLoader::readSome(int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    LogEntry entry;
    while (!isDone()) {
        LogReader &reader = *readers[current];
        for (int line = 0; line < 256; ++line) {
            if (!reader.next(entry)) {
                reader.takeWarnings();
                ++current;
                break;
            }
            if (!entry.isData())
                continue;
            const qint64 time = localMsecs(entry);
            if (time < lastTime) {
                ++outOfOrder;
                continue;
            }
            lastTime = time;
            history->appendSet(time);
            for (const LogModuleGroup &group : entry.modules) {
                QString &last = lastUtcTime[group.moduleId];
                const QString &utc = group.text(LogColumn::UtcTime);
                if (!utc.isEmpty() && utc == last)
                    continue;
                last = utc;
                SoundingHistory::Sample sample;
                sample[SoundingHistory::Altitude] = float(group.value(LogColumn::Altitude));
                sample[SoundingHistory::Pressure] = float(group.value(LogColumn::Pressure));
                sample[SoundingHistory::Temperature] = float(group.value(LogColumn::Temperature));
                sample[SoundingHistory::Humidity] = float(group.value(LogColumn::Humidity));
                sample[SoundingHistory::WindDirection] = float(group.value(LogColumn::WindDirection));
                sample[SoundingHistory::WindSpeed] = float(group.windSpeedMetresPerSecond(reader.windUnit()));
                history->setSample(history->moduleIndex(group.moduleId), sample);
            }
        }
        reader.takeWarnings();
        if (clock.elapsed() >= budgetMs)
            break;
    }
    return !isDone();
}
