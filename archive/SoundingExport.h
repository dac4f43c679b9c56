#ifndef VENTROLLA_ARCHIVE_SOUNDINGEXPORT_H
#define VENTROLLA_ARCHIVE_SOUNDINGEXPORT_H

#include "archive/LogReader.h"
#include "archive/SoundingRow.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

class NetCdfWriter;
class TidyTableWriter;

// What to export and where.
struct ExportSettings
{
    QStringList logFiles; // the logs of one sounding, in any order
    QString netcdfFile; // empty: none
    QString csvFile; // empty: none
    bool hasUtcOffset = false;
    int utcOffsetSeconds = 0; // local minus UTC
    double siteLatitude = std::numeric_limits<double>::quiet_NaN();
    double siteLongitude = std::numeric_limits<double>::quiet_NaN();
    double siteElevation = std::numeric_limits<double>::quiet_NaN();
    QString source; // program and version
    QString history; // the command line or the action that made the export
};

// Exports the logs of one sounding to a NetCDF file and/or a tidy table, and sums it up.
//
// The work is done a slice at a time by step(), so a window can run it from its event loop and
// show progress; a program simply calls step() until it returns false. The logs are read as
// streams, in the time order of their first lines. Every readable line is exported; unreadable
// ones come out of takeWarnings(). Nothing is left under an output's name unless the whole
// export succeeded.
class SoundingExport
{
public:
    // The exit statuses of the programs that export.
    enum Status {
        Success = 0,
        BadUsage = 2,
        LogUnreadable = 3, // a log could not be opened or is not a log
        NothingReadable = 4, // no data or XData line in any log
        OutputFailed = 5, // an output could not be written
    };

    explicit SoundingExport(const ExportSettings &settings);
    ~SoundingExport();
    SoundingExport(const SoundingExport &) = delete;
    SoundingExport &operator=(const SoundingExport &) = delete;

    // Opens the logs, finds the time offset and creates the outputs; false with status() and
    // errorString() set on failure.
    bool start();
    // Exports up to `lines` more lines; false once finished or failed (see status()).
    bool step(int lines = 2000);
    // Runs start() and every step(); handy for programs. Warnings go to `warn` as they come.
    Status run(const std::function<void(const QString &)> &warn);

    Status status() const { return status_; }
    QString errorString() const { return error; }
    // Read so far, from 0 to 1.
    double progress() const;
    // Warnings since the last call, each as "file: line N: message".
    QStringList takeWarnings();
    qint64 warningCount() const { return warningTotal; }

    // Modules, data sets, time span and the range of every quantity.
    QString summary() const;
    int dataSetCount() const { return dataSets; }
    // How the times were made: the UTC offset and where it came from, or local time.
    QString timeNote() const;

private:
    struct Source
    {
        std::unique_ptr<LogReader> reader;
        LogEntry entry; // the next entry, read ahead
        bool hasEntry = false;
    };
    struct Range
    {
        double low = std::numeric_limits<double>::infinity();
        double high = -std::numeric_limits<double>::infinity();
    };

    bool fail(Status status, const QString &message);
    bool checkOutput(const QString &fileName);
    void findUtcOffset();
    void collectWarnings(Source &source);
    bool exportEntry(const Source &source);
    bool finish();
    QString timeText(qint64 seconds, bool withZone) const;

    ExportSettings settings;
    Status status_ = Success;
    QString error;
    std::vector<Source> sources;
    size_t current = 0;
    qint64 finishedBytes = 0;
    qint64 totalBytes = 0;
    bool started = false;
    bool done = false;

    bool utc = false;
    int offsetSeconds = 0;
    QString offsetOrigin;

    std::unique_ptr<NetCdfWriter> netcdf;
    std::unique_ptr<TidyTableWriter> table;

    QHash<QString, int> moduleIndex;
    QStringList moduleIds;
    int dataSets = 0;
    qint64 rows = 0;
    qint64 xdataRecords = 0;
    qint64 firstTime = 0;
    qint64 lastTime = 0;
    std::array<Range, SoundingRow::QuantityCount> ranges;
    QStringList warnings;
    qint64 warningTotal = 0;
};

#endif
