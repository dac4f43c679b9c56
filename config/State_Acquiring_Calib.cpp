#include "config/State_Acquiring_Calib.h"

#include "core/Model.h"
#include "core/State_Stopped.h"
#include "core/State_Unacquired.h"
#include "link/FlightModule.h"

bool State_Acquiring_Calib::isAcquiring()
{
    return true;
}

void State_Acquiring_Calib::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, true);
}

void State_Acquiring_Calib::handleNewModuleHelloMessage(int moduleNumber)
{
    // The radio configuration ends with a command the module answers with CalibReady.
    if (const FlightModule *module = model->newModuleList().module(moduleNumber))
        model->configureModuleRadio(module->radioAddress());
}

void State_Acquiring_Calib::handleNewModuleCalibReadyMessage(int moduleNumber)
{
    model->adoptNewModule(moduleNumber);
}

void State_Acquiring_Calib::stopAcquiring()
{
    // Modules heard but not adopted are forgotten.
    if (model->newModuleList().count() > 0)
        model->newModuleList().clear();
    if (model->moduleCount() == 0)
        model->states().unacquired->enter();
    else
        model->states().stopped->enter();
}

QString State_Acquiring_Calib::currentModuleText()
{
    const FlightModule *module = model->moduleList().currentModule();
    return module ? module->moduleId() : State::currentModuleText();
}

bool State_Acquiring_Calib::showsProgress()
{
    return true;
}

QString State_Acquiring_Calib::progressText()
{
    return QStringLiteral("Searching for new modules...");
}
