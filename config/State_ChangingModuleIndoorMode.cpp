#include "config/State_ChangingModuleIndoorMode.h"

#include "core/Model.h"
#include "core/State_Stopped.h"

namespace {

constexpr int answerTimeoutMs = 3000;

} // namespace

void State_ChangingModuleIndoorMode::enter()
{
    model->timers().timeout.setSingleShot(true);
    model->timers().timeout.start(answerTimeoutMs);
    State_CommonModuleConfig::enter();
}

void State_ChangingModuleIndoorMode::onTimeoutTimer()
{
    model->states().stopped->enter();
}

void State_ChangingModuleIndoorMode::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, false);
}

void State_ChangingModuleIndoorMode::handleCalibReadyMessage(int)
{
    model->states().stopped->enter();
}

bool State_ChangingModuleIndoorMode::showsProgress()
{
    return true;
}

QString State_ChangingModuleIndoorMode::progressText()
{
    return QStringLiteral("Toggling indoor mode...");
}
