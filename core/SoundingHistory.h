#ifndef VENTROLLA_CORE_SOUNDINGHISTORY_H
#define VENTROLLA_CORE_SOUNDINGHISTORY_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <array>
#include <memory>
#include <vector>

// Every data set of a sounding, per module, kept for hours: the time series and the time-height
// section are drawn from it. Values are single-precision numbers in fixed units (metres, hPa,
// degrees C, %RH, degrees, m/s), NaN where a module was silent or a field was not sent; the
// derived quantities are computed when read, so they cost no memory.
//
// Storage grows in blocks of blockSets sets per module, so a day at one set a second costs
// about 104 MB for 50 modules and never twice that while growing. When the memory bound would
// be passed, the older half of the sets is thinned: neighbouring pairs become their mean, so old
// weather stays visible at half the time resolution instead of being dropped.
class SoundingHistory
{
public:
    enum Quantity {
        Altitude,
        Pressure,
        Temperature,
        Humidity,
        WindDirection,
        WindSpeed,
        StoredQuantityCount,
        DewPoint = StoredQuantityCount,
        PotentialTemperature,
        WindEast,
        WindNorth,
        QuantityCount
    };

    using Sample = std::array<float, StoredQuantityCount>;

    static constexpr qsizetype defaultByteBound = 150 * 1024 * 1024;
    static constexpr qsizetype blockSets = 4096;

    explicit SoundingHistory(qsizetype byteBound = defaultByteBound);
    SoundingHistory(const SoundingHistory &) = delete;
    SoundingHistory &operator=(const SoundingHistory &) = delete;
    ~SoundingHistory();

    void clear();

    // The index of the module with this ID, added (silent in every earlier set) when new.
    int moduleIndex(const QString &moduleId);
    int moduleCount() const;
    QString moduleId(int module) const;

    // Opens a new set at this time (milliseconds since the epoch, UTC), every module silent;
    // setSample() then fills the modules that reported. May thin older sets first.
    void appendSet(qint64 msecsSinceEpoch);
    void setSample(int module, const Sample &sample);

    qsizetype setCount() const;
    qint64 setTime(qsizetype set) const;
    // The first set whose time is at or after msecs (setCount() when none).
    qsizetype lowerBound(qint64 msecs) const;

    // A stored or derived value; NaN when the module was silent or a needed field is missing.
    float value(qsizetype set, int module, Quantity quantity) const;
    // The module's latest known altitude and pressure: where it hangs on the line.
    float lastKnown(int module, Quantity quantity) const;

    // How many times older sets have been thinned since the last clear().
    int thinningCount() const;
    // The memory the values and times hold (not counting the few bytes per module).
    qsizetype byteCount() const;

    static QString unitText(Quantity quantity);
    static QString nameText(Quantity quantity);

private:
    using Block = std::unique_ptr<float[]>;
    struct Track
    {
        QString id;
        std::vector<Block> blocks; // null: every set of the block silent
        Sample lastKnown;
    };

    float stored(qsizetype set, const Track &track, int quantity) const;
    float *writable(qsizetype set, Track &track);
    qsizetype blockCount() const;
    void thinOlderHalf();

    qsizetype byteBound_;
    std::vector<qint64> times;
    std::vector<Track> tracks;
    qsizetype allocatedBlocks = 0;
    int thinnings = 0;
};

#endif
