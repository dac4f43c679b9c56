#include "core/State_Unacquired.h"

#include "config/State_Acquiring_Calib.h"
#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "core/State_Acquiring.h"
#include "core/State_Stopped.h"

bool State_Unacquired::canAcquire()
{
    return true;
}

void State_Unacquired::acquire()
{
    if (model->configMode() == ModuleConfigSettings::ConfigurationWindowMode)
        model->states().acquiringCalib->enter();
    else
        model->states().acquiring->enter();
}

bool State_Unacquired::canLoadSavedModules()
{
    return model->moduleList().canRestoreModules();
}

void State_Unacquired::loadSavedModules()
{
    QList<FlightModule *> restored;
    model->moduleList().restoreModules(restored, model->windUnits());
    model->appendModules(restored);
    if (model->moduleCount() > 0)
        model->states().stopped->enter();
}

bool State_Unacquired::canClearSavedModules()
{
    return model->moduleList().hasSavedModules();
}

void State_Unacquired::clearSavedModules()
{
    model->moduleList().forgetSavedModules();
    model->emitStatusChanged();
}
