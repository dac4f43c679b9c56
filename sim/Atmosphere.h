#ifndef VENTROLLA_TOOLS_ATMOSPHERE_H
#define VENTROLLA_TOOLS_ATMOSPHERE_H

#include <QtGlobal>

#include <array>

// The launch site and the air the simulated modules fly in: the standard atmosphere above the
// site, a little humidity lapse and a wind that grows with height and veers slowly, all drifting
// with the weather over tens of minutes. Over the day the ground warms the air far up in the
// afternoon and cools a shallow layer at night: a night inversion with a low-level jet above
// it. It is smooth and noise-free; each module adds its own sensor noise. Every module reads the
// same atmosphere, so the profile across the line is coherent.
class Atmosphere
{
public:
    struct Conditions
    {
        double pressureHpa = 0;
        double temperatureK = 0;
        double humidityPercent = 0;
        double windDirectionDeg = 0; // where the wind blows from, 0 to 360
        double windSpeedMs = 0;
    };

    Atmosphere(double groundElevationM, double latitudeDeg, double longitudeDeg, quint32 seed);

    // Where the line is anchored: metres above sea level, degrees north and east.
    double groundElevation() const;
    double latitude() const;
    double longitude() const;

    // Conditions at a height above the ground at a simulated time (ms since the epoch).
    Conditions at(double heightAboveGroundM, qint64 simulatedMs) const;

private:
    enum Channel { Pressure, Temperature, Humidity, WindSpeed, WindDirection, ChannelCount };

    // 1 in the warmest hour of the afternoon, -1 twelve hours later, by the site's solar time.
    double daylight(qint64 simulatedMs) const;
    // A slow, smooth excursion between -1 and 1 for one quantity.
    double drift(Channel channel, qint64 simulatedMs) const;

    double groundElevation_;
    double latitude_;
    double longitude_;
    std::array<double, ChannelCount * 2> phases {};
};

#endif
