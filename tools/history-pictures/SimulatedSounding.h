#ifndef VENTROLLA_TOOLS_SIMULATEDSOUNDING_H
#define VENTROLLA_TOOLS_SIMULATEDSOUNDING_H

#include "core/SoundingHistory.h"

#include <QString>

class Atmosphere;

// A long tethered sounding made straight from the simulator's atmosphere, without radio or
// clock: modules hanging at fixed heights on the line, a set every few seconds, for the
// history's pictures, benchmark and tests. The same sounding goes into a history or into a log
// written as the program writes logs (wind in m/s).
class SimulatedSounding
{
public:
    SimulatedSounding(const Atmosphere &atmosphere, int moduleCount, double lowestM, double spacingM);

    // One module's values at a time (milliseconds since the epoch), as the history keeps them.
    SoundingHistory::Sample sample(int module, qint64 msecs) const;
    QString moduleId(int module) const;

    // Every set from start up to (not including) end, stepMs apart.
    void fill(SoundingHistory &history, qint64 startMs, qint64 endMs, qint64 stepMs) const;
    bool writeLog(const QString &fileName, qint64 startMs, qint64 endMs, qint64 stepMs) const;

private:
    const Atmosphere &atmosphere;
    int moduleCount;
    double lowest;
    double spacing;
};

#endif
