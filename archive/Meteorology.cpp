#include "archive/Meteorology.h"

#include <cmath>
#include <limits>

namespace {

constexpr double magnusBase = 6.112;
constexpr double magnusA = 17.67;
constexpr double magnusB = 243.5;
constexpr double celsiusZero = 273.15;
constexpr double referencePressure = 1000.0;
constexpr double kappa = 0.2857;
constexpr double molarMassRatio = 0.62197;
constexpr double degree = 3.14159265358979323846 / 180.0;
constexpr double missing = std::numeric_limits<double>::quiet_NaN();

double vapourPressure(double temperatureDegC, double relativeHumidityPercent)
{
    return relativeHumidityPercent / 100.0
           * Meteorology::saturationVapourPressure(temperatureDegC);
}

} // namespace

namespace Meteorology {

double saturationVapourPressure(double temperatureDegC)
{
    return magnusBase * std::exp(magnusA * temperatureDegC / (temperatureDegC + magnusB));
}

double dewPoint(double temperatureDegC, double relativeHumidityPercent)
{
    if (!(relativeHumidityPercent > 0.0))
        return missing;
    const double g = std::log(vapourPressure(temperatureDegC, relativeHumidityPercent) / magnusBase);
    return magnusB * g / (magnusA - g);
}

double potentialTemperature(double temperatureDegC, double pressureHPa)
{
    if (!(pressureHPa > 0.0))
        return missing;
    return (temperatureDegC + celsiusZero) * std::pow(referencePressure / pressureHPa, kappa);
}

double mixingRatio(double temperatureDegC, double relativeHumidityPercent, double pressureHPa)
{
    const double e = vapourPressure(temperatureDegC, relativeHumidityPercent);
    if (!(pressureHPa > e))
        return missing;
    return molarMassRatio * e / (pressureHPa - e);
}

double eastwardWind(double speed, double directionDeg)
{
    return -speed * std::sin(directionDeg * degree);
}

double northwardWind(double speed, double directionDeg)
{
    return -speed * std::cos(directionDeg * degree);
}

} // namespace Meteorology
