#ifndef VENTROLLA_SIM_REPLAYCONDUCTOR_H
#define VENTROLLA_SIM_REPLAYCONDUCTOR_H

#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class ReplayScript;
class SimulatedClock;
class SimulatedModule;

// Leads the simulated modules through a recorded log. A run begins when every module that has
// reported (to be acquired) has been told to report again, or half a second after the last
// module told so when some never are (acquired too late to make the table); from the next
// whole report interval on, each report sends one data set of the log through the modules
// (those that report anew in it), then the set's XData lines. After the last set the modules
// fall silent, or start over with the first when looping. A stop ends the run; the next run
// begins again with the first data set.
class ReplayConductor : public QObject
{
    Q_OBJECT

public:
    ReplayConductor(std::shared_ptr<const ReplayScript> script, bool loop,
                    const SimulatedClock &clock, const QList<SimulatedModule *> &modules,
                    QObject *parent = nullptr);

private:
    void onReportingChanged();
    void sendStep();
    void scheduleStep();
    void startRun();

    std::shared_ptr<const ReplayScript> script;
    bool loop;
    const SimulatedClock &clock;
    QList<SimulatedModule *> modules;
    QTimer stepTimer;
    QTimer startTimer; // the ground station tells one module after another, 100 ms apart
    bool running = false;
    int steps = 0;
    qint64 intervalMs = 0;
    qint64 nextStampMs = 0;
};

#endif
