#include "Atmosphere.h"

#include <QRandomGenerator>
#include <QtMath>

#include <cmath>

namespace {

// Standard atmosphere, troposphere.
constexpr double seaLevelPressureHpa = 1013.25;
constexpr double seaLevelTemperatureK = 288.15;
constexpr double lapseRateKPerM = 0.0065;
constexpr double pressureExponent = 5.25588; // g M / (R L)

constexpr double surfaceHumidityPercent = 72.0;
constexpr double humidityLapsePerM = 0.02;
constexpr double referenceWindMs = 5.0; // at 10 m above ground
constexpr double windShearExponent = 1.0 / 7.0;
constexpr double prevailingWindDeg = 250.0;
constexpr double veeringDegPerM = 0.03;

// The day's warming reaches far up; the night's cooling from the ground stays in a shallow
// layer, so an inversion forms over the site every night and breaks in the morning.
constexpr double dayWarmingK = 5.0;
constexpr double dayDepthM = 800.0;
constexpr double nightCoolingK = 8.0;
constexpr double nightDepthM = 150.0;
constexpr double warmestSolarHour = 15.0;
constexpr double humidityPerKelvin = 2.5; // relative humidity rises as the air cools
constexpr double jetHeightM = 300.0;      // the night's low-level jet
constexpr double jetDepthM = 120.0;

// Weather changes over a few tens of minutes; two incommensurate periods avoid a visible cycle.
constexpr double slowPeriodMs = 23.0 * 60 * 1000;
constexpr double fastPeriodMs = 7.3 * 60 * 1000;

} // namespace

Atmosphere::Atmosphere(double groundElevationM, double latitudeDeg, double longitudeDeg,
                       quint32 seed)
    : groundElevation_(groundElevationM), latitude_(latitudeDeg), longitude_(longitudeDeg)
{
    QRandomGenerator random(seed);
    for (double &phase : phases)
        phase = random.generateDouble() * 2 * M_PI;
}

double Atmosphere::groundElevation() const
{
    return groundElevation_;
}

double Atmosphere::latitude() const
{
    return latitude_;
}

double Atmosphere::longitude() const
{
    return longitude_;
}

double Atmosphere::drift(Channel channel, qint64 simulatedMs) const
{
    const double t = double(simulatedMs);
    return 0.7 * std::sin(2 * M_PI * t / slowPeriodMs + phases[size_t(channel) * 2])
           + 0.3 * std::sin(2 * M_PI * t / fastPeriodMs + phases[size_t(channel) * 2 + 1]);
}

double Atmosphere::daylight(qint64 simulatedMs) const
{
    const double solarHour = std::fmod(double(simulatedMs) / 3.6e6 + longitude_ / 15.0 + 48.0, 24.0);
    return std::cos(2 * M_PI * (solarHour - warmestSolarHour) / 24.0);
}

Atmosphere::Conditions Atmosphere::at(double heightAboveGroundM, qint64 simulatedMs) const
{
    const double height = qMax(0.0, heightAboveGroundM);
    const double altitude = groundElevation_ + height;

    const double seaLevelTemperature = seaLevelTemperatureK + 0.6 * drift(Temperature, simulatedMs);
    const double seaLevelPressure = seaLevelPressureHpa + 3.0 * drift(Pressure, simulatedMs);

    const double day = daylight(simulatedMs);
    const double night = qMax(0.0, -day);
    const double diurnalK = day > 0 ? dayWarmingK * day * std::exp(-height / dayDepthM)
                                    : nightCoolingK * day * std::exp(-height / nightDepthM);

    Conditions c;
    const double standardK = seaLevelTemperature - lapseRateKPerM * altitude;
    c.pressureHpa = seaLevelPressure * std::pow(standardK / seaLevelTemperature, pressureExponent);
    c.temperatureK = standardK + diurnalK;
    c.humidityPercent = qBound(3.0,
                               surfaceHumidityPercent - humidityLapsePerM * height
                                   + 8.0 * drift(Humidity, simulatedMs)
                                   - humidityPerKelvin * diurnalK,
                               100.0);

    const double reference = qMax(0.5, referenceWindMs + 2.0 * drift(WindSpeed, simulatedMs));
    const double jet = (height - jetHeightM) / jetDepthM;
    c.windSpeedMs = reference * std::pow(qMax(height, 1.0) / 10.0, windShearExponent)
                    * (1.0 + night * (0.8 * std::exp(-jet * jet) - 0.4 * std::exp(-height / 80.0)));
    c.windDirectionDeg = std::fmod(prevailingWindDeg + veeringDegPerM * height
                                       + 20.0 * drift(WindDirection, simulatedMs) + 360.0,
                                   360.0);
    return c;
}
