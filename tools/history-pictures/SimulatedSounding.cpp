#include "SimulatedSounding.h"

#include "Atmosphere.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QTextStream>

#include <cmath>

SimulatedSounding::SimulatedSounding(const Atmosphere &atmosphere, int moduleCount, double lowestM,
                                     double spacingM)
    : atmosphere(atmosphere), moduleCount(moduleCount), lowest(lowestM), spacing(spacingM)
{
}

QString SimulatedSounding::moduleId(int module) const
{
    return QStringLiteral("TX%1").arg(1001 + module);
}

SoundingHistory::Sample SimulatedSounding::sample(int module, qint64 msecs) const
{
    const double height = lowest + spacing * module;
    const Atmosphere::Conditions air = atmosphere.at(height, msecs);
    SoundingHistory::Sample s;
    s[SoundingHistory::Altitude] = float(atmosphere.groundElevation() + height);
    s[SoundingHistory::Pressure] = float(air.pressureHpa);
    s[SoundingHistory::Temperature] = float(air.temperatureK - 273.15);
    s[SoundingHistory::Humidity] = float(air.humidityPercent);
    s[SoundingHistory::WindDirection] = float(air.windDirectionDeg);
    s[SoundingHistory::WindSpeed] = float(air.windSpeedMs);
    return s;
}

void SimulatedSounding::fill(SoundingHistory &history, qint64 startMs, qint64 endMs,
                             qint64 stepMs) const
{
    for (qint64 t = startMs; t < endMs; t += stepMs) {
        history.appendSet(t);
        for (int m = 0; m < moduleCount; ++m)
            history.setSample(history.moduleIndex(moduleId(m)), sample(m, t));
    }
}

bool SimulatedSounding::writeLog(const QString &fileName, qint64 startMs, qint64 endMs,
                                 qint64 stepMs) const
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    const QLocale c = QLocale::c();
    out << "Ventrolla log file\n"
        << "Date " << c.toString(QDateTime::fromMSecsSinceEpoch(startMs).date(), QStringLiteral("M/dd/yyyy"))
        << "\n\nTime,Comment";
    for (int m = 0; m < moduleCount; ++m) {
        out << ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (m/s),Supply (V),"
               "UTC Time,Latitude (deg),Longitude (deg),Course (deg),Speed (m/s)";
    }
    out << '\n';
    for (qint64 t = startMs; t < endMs; t += stepMs) {
        out << c.toString(QDateTime::fromMSecsSinceEpoch(t).time(), QStringLiteral("hh:mm:ss")) << ',';
        const QString utc =
            c.toString(QDateTime::fromMSecsSinceEpoch(t, Qt::UTC).time(), QStringLiteral("hh:mm:ss"));
        for (int m = 0; m < moduleCount; ++m) {
            const SoundingHistory::Sample s = sample(m, t);
            out << ',' << moduleId(m) << ',' << QString::number(s[SoundingHistory::Altitude], 'f', 1)
                << ',' << QString::number(s[SoundingHistory::Pressure], 'f', 1) << ','
                << QString::number(s[SoundingHistory::Temperature], 'f', 3) << ','
                << QString::number(s[SoundingHistory::Humidity], 'f', 1) << ','
                << int(std::lround(s[SoundingHistory::WindDirection])) % 360 << ','
                << QString::number(s[SoundingHistory::WindSpeed], 'f', 1) << ",3.30," << utc
                << ",,,,";
        }
        out << '\n';
    }
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}
