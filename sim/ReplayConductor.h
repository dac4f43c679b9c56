#ifndef VENTROLLA_SIM_REPLAYCONDUCTOR_H
#define VENTROLLA_SIM_REPLAYCONDUCTOR_H

#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

class ReplayScript;
class SimulatedClock;
class SimulatedModule;

// Leads the simulated modules through a recorded log. A run begins when every module the
// ground station has stopped since switching it on has been told to report again; from the
// next whole report interval on, each report sends one data set of the log through the modules
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

    bool isRunning() const;
    int stepsSent() const;

private:
    void onReportingChanged();
    void sendStep();
    void scheduleStep();

    std::shared_ptr<const ReplayScript> script;
    bool loop;
    const SimulatedClock &clock;
    QList<SimulatedModule *> modules;
    QTimer stepTimer;
    bool running = false;
    int steps = 0;
    qint64 intervalMs = 0;
    qint64 nextStampMs = 0;
};

#endif
