#include "archive/SoundingExport.h"

#include "archive/NetCdfWriter.h"
#include "archive/TidyTableWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

constexpr int day = 86400;
constexpr int quarterHour = 900;

QString offsetText(int seconds)
{
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString number(double value, int decimals)
{
    return QLocale::c().toString(value, 'f', decimals);
}

} // namespace

SoundingExport::SoundingExport(const ExportSettings &settings_) : settings(settings_) {}

SoundingExport::~SoundingExport() = default;

bool SoundingExport::fail(Status status, const QString &message)
{
    status_ = status;
    error = message;
    done = true;
    netcdf.reset();
    table.reset();
    return false;
}

bool SoundingExport::start()
{
    started = true;
    for (const QString &fileName : settings.logFiles) {
        Source source;
        source.reader = std::make_unique<LogReader>(fileName);
        if (!source.reader->open())
            return fail(LogUnreadable, source.reader->errorString());
        source.hasEntry = source.reader->next(source.entry);
        totalBytes += source.reader->size();
        sources.push_back(std::move(source));
    }
    // A log begun again continues the sounding: the logs go in the order of their first lines,
    // and a log with no line at all last.
    std::stable_sort(sources.begin(), sources.end(), [](const Source &a, const Source &b) {
        if (a.hasEntry != b.hasEntry)
            return a.hasEntry;
        return a.hasEntry && a.entry.wallClockSeconds() < b.entry.wallClockSeconds();
    });

    findUtcOffset();

    const QStringList names = [this] {
        QStringList list;
        for (const Source &source : sources)
            list << QFileInfo(source.reader->fileName()).fileName();
        return list;
    }();
    for (const QString &output : {settings.netcdfFile, settings.csvFile}) {
        if (!output.isEmpty() && !checkOutput(output))
            return false;
    }
    if (!settings.netcdfFile.isEmpty()) {
        NetCdfWriter::Metadata metadata;
        const QDate date = sources.empty() || !sources.front().hasEntry ? QDate()
                                                                         : sources.front().entry.date;
        metadata.title = QStringLiteral("Ventrolla sounding of %1").arg(date.toString(Qt::ISODate));
        metadata.source = settings.source;
        metadata.history = QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + QLatin1Char(' ')
                           + settings.history;
        metadata.logFiles = names;
        metadata.utc = utc;
        metadata.timeNote = timeNote();
        metadata.siteLatitude = settings.siteLatitude;
        metadata.siteLongitude = settings.siteLongitude;
        metadata.siteElevation = settings.siteElevation;
        netcdf = std::make_unique<NetCdfWriter>(settings.netcdfFile);
        if (!netcdf->create(metadata))
            return fail(OutputFailed, netcdf->errorString());
    }
    if (!settings.csvFile.isEmpty()) {
        table = std::make_unique<TidyTableWriter>(settings.csvFile);
        if (!table->create())
            return fail(OutputFailed, table->errorString());
    }
    return true;
}

bool SoundingExport::checkOutput(const QString &fileName)
{
    // The finished file is renamed over the target: that would replace a device or a pipe
    // (/dev/null, /dev/stdout) by a plain file.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return fail(OutputFailed, QStringLiteral("cannot write %1: it is not a plain file").arg(fileName));
    if (!info.absoluteDir().exists()) {
        return fail(OutputFailed, QStringLiteral("cannot write %1: the folder %2 does not exist")
                                      .arg(fileName, info.absolutePath()));
    }
    if (settings.netcdfFile == settings.csvFile)
        return fail(OutputFailed, QStringLiteral("cannot write %1 twice").arg(fileName));
    return true;
}

void SoundingExport::findUtcOffset()
{
    if (settings.hasUtcOffset) {
        utc = true;
        offsetSeconds = settings.utcOffsetSeconds;
        offsetOrigin = QStringLiteral("given");
        return;
    }
    // The first data line with a module's UTC time tells the offset: local minus UTC, to the
    // quarter hour, between -12 h and +14 h since UTC may be on the day before or after. A time
    // of 00:00:00 is what a module without a clock reports, so it tells nothing.
    for (const Source &source : sources) {
        if (!source.hasEntry)
            continue;
        LogReader reader(source.reader->fileName());
        if (!reader.open())
            continue;
        LogEntry entry;
        while (reader.next(entry)) {
            for (const LogModuleGroup &group : entry.modules) {
                const double utcSeconds = group.value(LogColumn::UtcTime);
                if (std::isnan(utcSeconds) || utcSeconds == 0)
                    continue;
                const int local = entry.time.msecsSinceStartOfDay() / 1000;
                int offset = local - int(utcSeconds);
                offset = int(std::lround(double(offset) / quarterHour)) * quarterHour;
                if (offset > 14 * 3600)
                    offset -= day;
                else if (offset < -12 * 3600)
                    offset += day;
                utc = true;
                offsetSeconds = offset;
                offsetOrigin = QStringLiteral("derived from the modules' UTC time on line %1 of %2")
                                   .arg(entry.lineNumber)
                                   .arg(QFileInfo(reader.fileName()).fileName());
                return;
            }
        }
    }
}

QString SoundingExport::timeNote() const
{
    if (!utc) {
        return QStringLiteral("times are the local time of the logging computer: no UTC offset "
                              "was given and no module reported its UTC time");
    }
    return QStringLiteral("times are UTC; the logging computer's clock was UTC%1 (%2)")
        .arg(offsetText(offsetSeconds), offsetOrigin);
}

bool SoundingExport::step(int lines)
{
    if (!started && !start())
        return false;
    if (done)
        return false;
    for (int line = 0; line < lines; ++line) {
        while (current < sources.size() && !sources[current].hasEntry) {
            collectWarnings(sources[current]);
            finishedBytes += sources[current].reader->size();
            ++current;
        }
        if (current == sources.size())
            return finish();
        Source &source = sources[current];
        if (!exportEntry(source))
            return false;
        source.hasEntry = source.reader->next(source.entry);
    }
    collectWarnings(sources[current]);
    return true;
}

SoundingExport::Status SoundingExport::run(const std::function<void(const QString &)> &warn)
{
    while (step()) {
        for (const QString &warning : takeWarnings())
            warn(warning);
    }
    for (const QString &warning : takeWarnings())
        warn(warning);
    return status_;
}

bool SoundingExport::exportEntry(const Source &source)
{
    const LogEntry &entry = source.entry;
    const qint64 time = entry.wallClockSeconds() - (utc ? offsetSeconds : 0);
    if (dataSets == 0 && xdataRecords == 0)
        firstTime = time;
    firstTime = std::min(firstTime, time);
    lastTime = std::max(lastTime, time);

    if (!entry.isData()) {
        ++xdataRecords;
        if (netcdf && !netcdf->addXData(double(time), entry.moduleId, entry.xdataText))
            return fail(OutputFailed, netcdf->errorString());
        return true;
    }

    ++dataSets;
    const LogWindUnit unit = source.reader->windUnit();
    std::vector<SoundingRow> rowValues;
    rowValues.reserve(size_t(entry.modules.size()));
    std::vector<std::pair<int, const SoundingRow *>> placed;
    placed.reserve(size_t(entry.modules.size()));
    double latitudeSum = 0;
    double longitudeSum = 0;
    int positions = 0;
    for (const LogModuleGroup &group : entry.modules) {
        auto known = moduleIndex.constFind(group.moduleId);
        if (known == moduleIndex.cend()) {
            known = moduleIndex.insert(group.moduleId, moduleIds.size());
            moduleIds << group.moduleId;
            if (netcdf && !netcdf->addModule(group.moduleId))
                return fail(OutputFailed, netcdf->errorString());
        }
        rowValues.emplace_back(group, unit);
        const SoundingRow &row = rowValues.back();
        for (int quantity = 0; quantity < SoundingRow::QuantityCount; ++quantity) {
            const double value = row.values[size_t(quantity)];
            if (!std::isnan(value)) {
                ranges[size_t(quantity)].low = std::min(ranges[size_t(quantity)].low, value);
                ranges[size_t(quantity)].high = std::max(ranges[size_t(quantity)].high, value);
            }
        }
        if (!std::isnan(row[SoundingRow::Latitude]) && !std::isnan(row[SoundingRow::Longitude])) {
            latitudeSum += row[SoundingRow::Latitude];
            longitudeSum += row[SoundingRow::Longitude];
            ++positions;
        }
        placed.emplace_back(*known, &row);
    }
    rows += qint64(rowValues.size());

    if (netcdf) {
        const double latitude = positions > 0 ? latitudeSum / positions : settings.siteLatitude;
        const double longitude = positions > 0 ? longitudeSum / positions : settings.siteLongitude;
        if (!netcdf->addProfile(double(time), entry.comment, latitude, longitude, placed))
            return fail(OutputFailed, netcdf->errorString());
    }
    if (table) {
        const QByteArray timeField = timeText(time, utc).toLatin1();
        for (const SoundingRow &row : rowValues) {
            if (!table->addRow(timeField, entry.comment, row, unit))
                return fail(OutputFailed, table->errorString());
        }
    }
    return true;
}

bool SoundingExport::finish()
{
    done = true;
    if (dataSets == 0 && xdataRecords == 0) {
        QStringList names;
        for (const Source &source : sources)
            names << source.reader->fileName();
        return fail(NothingReadable, QStringLiteral("nothing readable in %1").arg(names.join(QStringLiteral(", "))));
    }
    if (netcdf && !netcdf->commit())
        return fail(OutputFailed, netcdf->errorString());
    if (table && !table->commit())
        return fail(OutputFailed, table->errorString());
    status_ = Success;
    return false;
}

void SoundingExport::collectWarnings(Source &source)
{
    const QString name = QFileInfo(source.reader->fileName()).fileName();
    for (const LogWarning &warning : source.reader->takeWarnings()) {
        ++warningTotal;
        warnings << QStringLiteral("%1: line %2: %3").arg(name).arg(warning.lineNumber).arg(warning.message);
    }
}

QStringList SoundingExport::takeWarnings()
{
    QStringList taken;
    taken.swap(warnings);
    return taken;
}

double SoundingExport::progress() const
{
    if (done)
        return 1.0;
    qint64 read = finishedBytes;
    if (current < sources.size())
        read += sources[current].reader->position();
    return totalBytes > 0 ? double(read) / double(totalBytes) : 0.0;
}

QString SoundingExport::timeText(qint64 seconds, bool withZone) const
{
    const QDateTime time = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    return withZone ? time.toString(Qt::ISODate)
                    : time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QString SoundingExport::summary() const
{
    QString text;
    QTextStream out(&text);
    out << "Logs: " << settings.logFiles.join(QStringLiteral(", ")) << '\n';
    out << "Modules: " << moduleIds.size();
    if (!moduleIds.isEmpty())
        out << " (" << moduleIds.join(QStringLiteral(", ")) << ')';
    out << '\n';
    out << "Data sets: " << dataSets << " (" << rows << " module rows), XData records: " << xdataRecords
        << '\n';
    if (dataSets + xdataRecords > 0) {
        out << "Time span: " << timeText(firstTime, utc) << " to " << timeText(lastTime, utc) << " ("
            << (lastTime - firstTime) << " s)\n";
    }
    out << "Time: " << timeNote() << '\n';
    const int decimals[SoundingRow::QuantityCount] = {1, 1, 3, 1, 3, 0, 2, 0, 6, 6, 0, 3, 3, 3, 6, 3, 3};
    for (int quantity = 0; quantity < SoundingRow::QuantityCount; ++quantity) {
        const Range &range = ranges[size_t(quantity)];
        out << "  " << SoundingRow::columnName(SoundingRow::Quantity(quantity)) << ": ";
        if (range.low > range.high) {
            out << "no value\n";
        } else if (quantity == SoundingRow::ModuleUtcTime) {
            out << QTime(0, 0).addSecs(int(range.low)).toString(QStringLiteral("hh:mm:ss")) << " to "
                << QTime(0, 0).addSecs(int(range.high)).toString(QStringLiteral("hh:mm:ss")) << '\n';
        } else {
            out << number(range.low, decimals[quantity]) << " to " << number(range.high, decimals[quantity])
                << '\n';
        }
    }
    if (warningTotal > 0)
        out << "Warnings: " << warningTotal << '\n';
    out.flush();
    return text;
}
