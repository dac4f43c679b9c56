#ifndef VENTROLLA_ARCHIVE_METEOROLOGY_H
#define VENTROLLA_ARCHIVE_METEOROLOGY_H

// The quantities a meteorologist derives first from one module's values. Every input and
// output is NaN when missing: a missing input gives a missing output, never 0.
namespace Meteorology {

// Saturation vapour pressure over water in hPa (Magnus form: 6.112 hPa, 17.67, 243.5 degC).
double saturationVapourPressure(double temperatureDegC);
// Dew point in degC; missing for a relative humidity of 0 or less, which has none.
double dewPoint(double temperatureDegC, double relativeHumidityPercent);
// Potential temperature in K for a reference pressure of 1000 hPa (Rd/cp = 0.2857).
double potentialTemperature(double temperatureDegC, double pressureHPa);
// Water-vapour mixing ratio in kg/kg: 0.62197 e / (p - e).
double mixingRatio(double temperatureDegC, double relativeHumidityPercent, double pressureHPa);
// Wind components from the speed and the direction the wind blows from, in degrees.
double eastwardWind(double speed, double directionDeg);
double northwardWind(double speed, double directionDeg);

} // namespace Meteorology

#endif
