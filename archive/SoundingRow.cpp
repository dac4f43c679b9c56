#include "archive/SoundingRow.h"

#include "archive/Meteorology.h"

SoundingRow::SoundingRow(const LogModuleGroup &group_, LogWindUnit unit) : group(group_)
{
    const double temperature = group.value(LogColumn::Temperature);
    const double humidity = group.value(LogColumn::Humidity);
    const double pressure = group.value(LogColumn::Pressure);
    const double speed = group.windSpeedMetresPerSecond(unit);
    const double direction = group.value(LogColumn::WindDirection);
    values = {
        group.value(LogColumn::Altitude),
        pressure,
        temperature,
        humidity,
        speed,
        direction,
        group.value(LogColumn::Supply),
        group.value(LogColumn::UtcTime),
        group.value(LogColumn::Latitude),
        group.value(LogColumn::Longitude),
        group.value(LogColumn::Course),
        group.groundSpeedMetresPerSecond(unit),
        Meteorology::dewPoint(temperature, humidity),
        Meteorology::potentialTemperature(temperature, pressure),
        Meteorology::mixingRatio(temperature, humidity, pressure),
        Meteorology::eastwardWind(speed, direction),
        Meteorology::northwardWind(speed, direction),
    };
}

const QStringList &SoundingRow::columnNames()
{
    static const QStringList names = {
        QStringLiteral("time"),
        QStringLiteral("module_id"),
        QStringLiteral("altitude_m"),
        QStringLiteral("pressure_hPa"),
        QStringLiteral("temperature_degC"),
        QStringLiteral("relative_humidity_percent"),
        QStringLiteral("wind_speed_m_s"),
        QStringLiteral("wind_direction_deg"),
        QStringLiteral("supply_V"),
        QStringLiteral("module_utc_time"),
        QStringLiteral("latitude_deg"),
        QStringLiteral("longitude_deg"),
        QStringLiteral("course_deg"),
        QStringLiteral("ground_speed_m_s"),
        QStringLiteral("dew_point_degC"),
        QStringLiteral("potential_temperature_K"),
        QStringLiteral("mixing_ratio_kg_kg"),
        QStringLiteral("eastward_wind_m_s"),
        QStringLiteral("northward_wind_m_s"),
        QStringLiteral("comment"),
    };
    return names;
}

QString SoundingRow::columnName(Quantity quantity)
{
    return columnNames().at(2 + quantity);
}
