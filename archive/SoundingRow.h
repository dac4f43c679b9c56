#ifndef VENTROLLA_ARCHIVE_SOUNDINGROW_H
#define VENTROLLA_ARCHIVE_SOUNDINGROW_H

#include "archive/LogEntry.h"

#include <QStringList>

#include <array>

// One module's values in one data set, in SI-friendly units, with the derived quantities: what
// both export formats and the summary write, computed once per module group. NaN is missing.
class SoundingRow
{
public:
    // The quantities, in the order of the tidy table's numeric columns.
    enum Quantity {
        Altitude,
        Pressure,
        Temperature,
        Humidity,
        WindSpeed,
        WindDirection,
        Supply,
        ModuleUtcTime, // seconds since midnight UTC
        Latitude,
        Longitude,
        Course,
        GroundSpeed,
        DewPoint,
        PotentialTemperature,
        MixingRatio,
        EastwardWind,
        NorthwardWind,
        QuantityCount
    };

    SoundingRow(const LogModuleGroup &group, LogWindUnit unit);

    const LogModuleGroup &group;
    std::array<double, QuantityCount> values;

    double operator[](Quantity quantity) const { return values[quantity]; }

    // The tidy table's column names, in order; other outputs of the same rows use them too.
    static const QStringList &columnNames();
    // The name of a quantity's column in the tidy table ("altitude_m").
    static QString columnName(Quantity quantity);
};

#endif
