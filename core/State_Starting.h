#ifndef VENTROLLA_CORE_STATE_STARTING_H
#define VENTROLLA_CORE_STATE_STARTING_H

#include "core/State.h"

// The start sequence: every module in the table gets the timing command, one per 100 ms.
class State_Starting final : public State
{
public:
    using State::State;

    void enter() override;
    void onStartTimer() override;
    bool canBeginLogging() override;
    bool isStarting() override;

private:
    int nextIndex = 0;
};

#endif
