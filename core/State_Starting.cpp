#include "core/State_Starting.h"

#include "core/Model.h"
#include "core/State_Acquiring.h"

void State_Starting::enter()
{
    nextIndex = 0;
    model->timers().start.setInterval(100);
    model->timers().start.start();
    State::enter();
}

void State_Starting::onStartTimer()
{
    model->sendTimingToModule(nextIndex, false);
    ++nextIndex;
    // The timer keeps running: the next state's tick handler stops it.
    if (nextIndex >= model->moduleCount()) {
        if (model->isPendingStateSet())
            model->enterPendingState();
        else
            model->states().acquiring->enter();
    }
}

bool State_Starting::canBeginLogging()
{
    return true;
}

bool State_Starting::isStarting()
{
    return true;
}
