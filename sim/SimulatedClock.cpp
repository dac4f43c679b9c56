#include "SimulatedClock.h"

#include <QtMath>

SimulatedClock::SimulatedClock(const QDateTime &startUtc, double speed)
    : startMs(startUtc.toMSecsSinceEpoch()), speed_(speed > 0 ? speed : 1.0)
{
    elapsed.start();
}

double SimulatedClock::speed() const
{
    return speed_;
}

qint64 SimulatedClock::nowMs() const
{
    return startMs + qint64(double(elapsed.nsecsElapsed()) / 1e6 * speed_);
}

QDateTime SimulatedClock::now() const
{
    return QDateTime::fromMSecsSinceEpoch(nowMs(), Qt::UTC);
}

int SimulatedClock::realDelay(qint64 simulatedMs) const
{
    if (simulatedMs <= 0)
        return 0;
    return int(qCeil(double(simulatedMs) / speed_));
}
