#include "core/State_Stopping.h"

#include "core/Model.h"
#include "core/State_Stopped.h"

namespace {

constexpr int stopSpacingMs = 100;
constexpr int answerTimeoutMs = 4000;

} // namespace

void State_Stopping::enter()
{
    answered.clear();
    nextIndex = 0;
    model->timers().stop.start(stopSpacingMs);
    model->timers().timeout.setSingleShot(true);
    model->timers().timeout.start(answerTimeoutMs);
    State::enter();
}

void State_Stopping::onStopTimer()
{
    model->sendStop(nextIndex);
    ++nextIndex;
    if (nextIndex >= model->moduleCount())
        model->timers().stop.stop();
}

void State_Stopping::onTimeoutTimer()
{
    model->states().stopped->enter();
}

void State_Stopping::handleCalibReadyMessage(int moduleNumber)
{
    answered.insert(moduleNumber);
    if (answered.size() >= model->moduleCount())
        model->states().stopped->enter();
}

void State_Stopping::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, false);
}

bool State_Stopping::canBeginLogging()
{
    return true;
}

bool State_Stopping::isStopping()
{
    return true;
}
