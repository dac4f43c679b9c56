#ifndef VENTROLLA_TOOLS_SIMULATEDCLOCK_H
#define VENTROLLA_TOOLS_SIMULATEDCLOCK_H

#include <QDateTime>
#include <QElapsedTimer>

// The UTC clock the simulated flight modules share (their GPS time). It starts at a chosen
// moment and runs `speed` times faster than the wall clock, so demos and tests can compress
// minutes of flight into seconds; every module reads the same clock, so all of them stamp a
// report with the same UTC second.
class SimulatedClock
{
public:
    SimulatedClock(const QDateTime &startUtc, double speed);

    double speed() const;

    // Simulated milliseconds since the epoch, and the same as a UTC date and time.
    qint64 nowMs() const;
    QDateTime now() const;

    // Wall-clock milliseconds that pass while the simulated clock advances by simulatedMs.
    int realDelay(qint64 simulatedMs) const;

private:
    qint64 startMs;
    double speed_;
    QElapsedTimer elapsed;
};

#endif
