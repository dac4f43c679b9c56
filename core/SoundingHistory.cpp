#include "SoundingHistory.h"

#include "archive/Meteorology.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float missing = std::numeric_limits<float>::quiet_NaN();
constexpr qsizetype blockFloats = SoundingHistory::blockSets * SoundingHistory::StoredQuantityCount;
constexpr qsizetype blockBytes = blockFloats * qsizetype(sizeof(float));

float mean(float a, float b)
{
    if (std::isnan(a))
        return b;
    if (std::isnan(b))
        return a;
    return 0.5f * (a + b);
}

// The mean of two directions across north: 350 and 10 give 0, not 180.
float meanDirection(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return mean(a, b);
    if (b - a > 180.0f)
        a += 360.0f;
    else if (a - b > 180.0f)
        b += 360.0f;
    return std::fmod(0.5f * (a + b), 360.0f);
}

} // namespace

SoundingHistory::SoundingHistory(qsizetype byteBound) : byteBound_(byteBound)
{
}

SoundingHistory::~SoundingHistory() = default;

void SoundingHistory::clear()
{
    times.clear();
    times.shrink_to_fit();
    tracks.clear();
    allocatedBlocks = 0;
    thinnings = 0;
}

int SoundingHistory::moduleIndex(const QString &moduleId)
{
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i].id == moduleId)
            return int(i);
    }
    Track track;
    track.id = moduleId;
    track.lastKnown.fill(missing);
    track.blocks.resize(size_t(blockCount()));
    tracks.push_back(std::move(track));
    return int(tracks.size()) - 1;
}

int SoundingHistory::moduleCount() const
{
    return int(tracks.size());
}

QString SoundingHistory::moduleId(int module) const
{
    return tracks[size_t(module)].id;
}

qsizetype SoundingHistory::blockCount() const
{
    return (qsizetype(times.size()) + blockSets - 1) / blockSets;
}

void SoundingHistory::appendSet(qint64 msecsSinceEpoch)
{
    if (qsizetype(times.size()) % blockSets == 0) {
        const auto bytesNeeded = [this] {
            const qsizetype timeBytes = (blockCount() + 1) * blockSets * qsizetype(sizeof(qint64));
            return (allocatedBlocks + qsizetype(tracks.size())) * blockBytes + timeBytes;
        };
        // Each thinning frees a quarter of the sets; a tiny bound may need more than one.
        while (times.size() >= 4 && bytesNeeded() > byteBound_)
            thinOlderHalf();
        times.reserve(size_t((blockCount() + 1) * blockSets));
    }
    times.push_back(msecsSinceEpoch);
    if (qsizetype(times.size()) % blockSets == 1) {
        for (Track &track : tracks)
            track.blocks.emplace_back();
    }
}

void SoundingHistory::setSample(int module, const Sample &sample)
{
    Q_ASSERT(!times.empty());
    Track &track = tracks[size_t(module)];
    std::copy(sample.begin(), sample.end(), writable(qsizetype(times.size()) - 1, track));
    for (size_t q = 0; q < sample.size(); ++q) {
        if (!std::isnan(sample[q]))
            track.lastKnown[q] = sample[q];
    }
}

float *SoundingHistory::writable(qsizetype set, Track &track)
{
    Block &block = track.blocks[size_t(set / blockSets)];
    if (!block) {
        block.reset(new float[size_t(blockFloats)]);
        std::fill_n(block.get(), blockFloats, missing);
        ++allocatedBlocks;
    }
    return block.get() + (set % blockSets) * StoredQuantityCount;
}

float SoundingHistory::stored(qsizetype set, const Track &track, int quantity) const
{
    const Block &block = track.blocks[size_t(set / blockSets)];
    return block ? block[size_t((set % blockSets) * StoredQuantityCount + quantity)] : missing;
}

qsizetype SoundingHistory::setCount() const
{
    return qsizetype(times.size());
}

qint64 SoundingHistory::setTime(qsizetype set) const
{
    return times[size_t(set)];
}

qsizetype SoundingHistory::lowerBound(qint64 msecs) const
{
    return qsizetype(std::lower_bound(times.begin(), times.end(), msecs) - times.begin());
}

float SoundingHistory::value(qsizetype set, int module, Quantity quantity) const
{
    const Track &track = tracks[size_t(module)];
    switch (quantity) {
    case DewPoint:
        return float(Meteorology::dewPoint(stored(set, track, Temperature),
                                           stored(set, track, Humidity)));
    case PotentialTemperature:
        return float(Meteorology::potentialTemperature(stored(set, track, Temperature),
                                                       stored(set, track, Pressure)));
    case WindEast:
        return float(Meteorology::eastwardWind(stored(set, track, WindSpeed),
                                               stored(set, track, WindDirection)));
    case WindNorth:
        return float(Meteorology::northwardWind(stored(set, track, WindSpeed),
                                                stored(set, track, WindDirection)));
    default:
        return stored(set, track, quantity);
    }
}

float SoundingHistory::lastKnown(int module, Quantity quantity) const
{
    return quantity < StoredQuantityCount ? tracks[size_t(module)].lastKnown[size_t(quantity)]
                                          : missing;
}

int SoundingHistory::thinningCount() const
{
    return thinnings;
}

qsizetype SoundingHistory::byteCount() const
{
    return allocatedBlocks * blockBytes + qsizetype(times.capacity() * sizeof(qint64));
}

void SoundingHistory::thinOlderHalf()
{
    const qsizetype count = qsizetype(times.size());
    const qsizetype half = (count / 2) & ~qsizetype(1);
    const qsizetype kept = count - half / 2;

    // Every destination index is at or below its source, so one forward pass works in place.
    for (qsizetype from = 0; from < count;) {
        const qsizetype to = from < half ? from / 2 : from - half / 2;
        const bool pair = from < half;
        times[size_t(to)] = pair ? times[size_t(from)] + (times[size_t(from) + 1] - times[size_t(from)]) / 2
                                 : times[size_t(from)];
        for (Track &track : tracks) {
            Sample merged;
            for (int q = 0; q < StoredQuantityCount; ++q) {
                const float a = stored(from, track, q);
                merged[size_t(q)] = !pair                ? a
                                    : q == WindDirection ? meanDirection(a, stored(from + 1, track, q))
                                                         : mean(a, stored(from + 1, track, q));
            }
            const bool silent = std::all_of(merged.begin(), merged.end(),
                                            [](float v) { return std::isnan(v); });
            if (!silent || track.blocks[size_t(to / blockSets)])
                std::copy(merged.begin(), merged.end(), writable(to, track));
        }
        from += pair ? 2 : 1;
    }

    times.resize(size_t(kept));
    times.shrink_to_fit();
    const size_t blocks = size_t(blockCount());
    for (Track &track : tracks) {
        for (size_t b = blocks; b < track.blocks.size(); ++b)
            allocatedBlocks -= track.blocks[b] ? 1 : 0;
        track.blocks.resize(blocks);
    }
    ++thinnings;
}

QString SoundingHistory::unitText(Quantity quantity)
{
    switch (quantity) {
    case Altitude:
        return QStringLiteral("m");
    case Pressure:
        return QStringLiteral("hPa");
    case Temperature:
    case DewPoint:
        return QStringLiteral("deg C");
    case PotentialTemperature:
        return QStringLiteral("K");
    case Humidity:
        return QStringLiteral("%RH");
    case WindDirection:
        return QStringLiteral("degrees");
    case WindSpeed:
    case WindEast:
    case WindNorth:
        return QStringLiteral("m/s");
    case QuantityCount:
        break;
    }
    return QString();
}

QString SoundingHistory::nameText(Quantity quantity)
{
    switch (quantity) {
    case Altitude:
        return QCoreApplication::translate("SoundingHistory", "Altitude");
    case Pressure:
        return QCoreApplication::translate("SoundingHistory", "Pressure");
    case Temperature:
        return QCoreApplication::translate("SoundingHistory", "Temperature");
    case Humidity:
        return QCoreApplication::translate("SoundingHistory", "Humidity");
    case WindDirection:
        return QCoreApplication::translate("SoundingHistory", "Wind direction");
    case WindSpeed:
        return QCoreApplication::translate("SoundingHistory", "Wind speed");
    case DewPoint:
        return QCoreApplication::translate("SoundingHistory", "Dew point");
    case PotentialTemperature:
        return QCoreApplication::translate("SoundingHistory", "Potential temperature");
    case WindEast:
        return QCoreApplication::translate("SoundingHistory", "Wind toward east");
    case WindNorth:
        return QCoreApplication::translate("SoundingHistory", "Wind toward north");
    case QuantityCount:
        break;
    }
    return QString();
}
