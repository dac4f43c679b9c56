#include "core/State_CommonModuleConfig.h"

#include "core/Model.h"
#include "link/FlightModule.h"

bool State_CommonModuleConfig::canBeginLogging()
{
    return true;
}

QString State_CommonModuleConfig::currentModuleText()
{
    const FlightModule *module = model->moduleList().currentModule();
    return module ? module->moduleId() : State::currentModuleText();
}

QString State_CommonModuleConfig::indoorStatusText()
{
    const FlightModule *module = model->moduleList().currentModule();
    return module && module->isIndoor() ? QStringLiteral("ON") : QStringLiteral("OFF");
}
