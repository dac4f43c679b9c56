#ifndef VENTROLLA_CORE_STATE_STOPPING_H
#define VENTROLLA_CORE_STATE_STOPPING_H

#include "core/State.h"

#include <QSet>

// The stop sequence: every module gets the stop packet, one per 100 ms, and the state waits for
// each to answer with CalibReady, for at most 4 seconds.
class State_Stopping final : public State
{
public:
    using State::State;

    void enter() override;
    void onStopTimer() override;
    void onTimeoutTimer() override;
    void handleCalibReadyMessage(int moduleNumber) override;
    void handleBaseStationData(const QByteArray &bytes) override;
    bool canBeginLogging() override;
    bool isStopping() override;

private:
    QSet<int> answered;
    int nextIndex = 0;
};

#endif
