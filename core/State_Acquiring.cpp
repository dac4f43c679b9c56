#include "core/State_Acquiring.h"

#include "core/Model.h"
#include "core/State_Stopping.h"
#include "core/State_Unacquired.h"
#include "link/FlightModule.h"

bool State_Acquiring::isAcquiring()
{
    return true;
}

void State_Acquiring::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, true);
}

void State_Acquiring::handleNewModuleHelloMessage(int moduleNumber)
{
    if (const FlightModule *module = model->newModuleList().module(moduleNumber))
        model->configureModuleRadio(module->radioAddress());
}

void State_Acquiring::handleNewModuleCalibReadyMessage(int moduleNumber)
{
    if (const FlightModule *module = model->newModuleList().module(moduleNumber))
        model->sendTiming(module->radioAddress(), true);
}

void State_Acquiring::handleNewModuleDataMessage(int moduleNumber)
{
    model->adoptNewModule(moduleNumber);
}

void State_Acquiring::handleHelloMessage(int moduleNumber)
{
    if (const FlightModule *module = model->moduleList().module(moduleNumber))
        model->configureModuleRadio(module->radioAddress());
    model->moduleList().refreshRecords();
    model->refreshTable();
}

void State_Acquiring::handleDataMessage(int)
{
    model->moduleList().refreshRecords();
    model->refreshTable();
}

void State_Acquiring::stopAcquiring()
{
    if (model->newModuleList().count() > 0)
        model->newModuleList().clear();
    if (model->moduleCount() > 0) {
        model->moduleList().refreshRecords();
        model->refreshTable();
        model->states().stopping->enter();
    } else {
        model->states().unacquired->enter();
    }
}
