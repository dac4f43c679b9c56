#include "core/State_Unconfigured.h"

#include "config/State_Acquiring_Calib.h"
#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "core/State_Acquiring.h"
#include "link/State_Configuring.h"

bool State_Unconfigured::canOpenPort()
{
    return true;
}

bool State_Unconfigured::openPort()
{
    if (!model->serialPort()->open(QIODevice::ReadWrite))
        return false;
    // The configuration window acquires without starting the modules.
    if (model->configMode() == ModuleConfigSettings::ConfigurationWindowMode)
        model->setPendingState(model->states().acquiringCalib);
    else
        model->setPendingState(model->states().acquiring);
    model->states().configuring->enter();
    return true;
}

bool State_Unconfigured::setPortName(const QString &name)
{
    model->serialPort()->close();
    model->serialPort()->setPortName(name);
    return true;
}

bool State_Unconfigured::isBaseStationReady()
{
    return false;
}

bool State_Unconfigured::canClearSavedModules()
{
    return model->moduleList().hasSavedModules();
}

void State_Unconfigured::clearSavedModules()
{
    model->moduleList().forgetSavedModules();
    model->emitStatusChanged();
}

bool State_Unconfigured::canChangeDataInterval()
{
    return true;
}
