#include "core/State_Stopped.h"

#include "config/State_Acquiring_Calib.h"
#include "config/State_Calibrating_Anemometer.h"
#include "config/State_Calibrating_Thermistor.h"
#include "config/State_CalibrationDelay.h"
#include "config/State_ChangingModuleIndoorMode.h"
#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "core/State_Running.h"
#include "core/State_Starting.h"
#include "core/State_Unacquired.h"
#include "link/FlightModule.h"
#include "link/State_Configuring.h"

bool State_Stopped::canAcquire()
{
    return true;
}

void State_Stopped::acquire()
{
    if (model->configMode() == ModuleConfigSettings::ConfigurationWindowMode) {
        model->states().acquiringCalib->enter();
        return;
    }
    // Without a pending state the start sequence ends in acquisition: the known modules are
    // told the interval, then new modules are looked for.
    model->states().starting->enter();
}

bool State_Stopped::canRun()
{
    return model->moduleCount() > 0;
}

void State_Stopped::run()
{
    model->setPendingState(model->states().running);
    model->states().starting->enter();
}

bool State_Stopped::canReset()
{
    return true;
}

void State_Stopped::reset()
{
    model->moduleList().saveModules();
    model->clearModules();
    model->setPendingState(model->states().unacquired);
    model->states().configuring->enter();
}

bool State_Stopped::canClearSavedModules()
{
    return model->moduleList().hasSavedModules();
}

void State_Stopped::clearSavedModules()
{
    model->moduleList().forgetSavedModules();
    model->emitStatusChanged();
}

bool State_Stopped::canChangeDataInterval()
{
    return true;
}

void State_Stopped::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, false);
}

void State_Stopped::handleDataMessage(int moduleNumber)
{
    // A module that sends data while stopped missed its stop packet.
    model->sendStop(moduleNumber);
}

void State_Stopped::handleIndoorAckMessage(int)
{
    model->emitStatusChanged();
}

bool State_Stopped::canClearModule()
{
    return model->moduleCount() > 0;
}

void State_Stopped::clearModule()
{
    model->removeModule(model->moduleList().currentIndex());
    if (model->moduleCount() > 0)
        model->emitStatusChanged();
    else
        model->states().unacquired->enter();
}

bool State_Stopped::canNextModule()
{
    return model->moduleList().currentIndex() < model->moduleCount() - 1;
}

bool State_Stopped::canPreviousModule()
{
    return model->moduleList().currentIndex() > 0;
}

void State_Stopped::nextModule()
{
    model->moduleList().setCurrentIndex(model->moduleList().currentIndex() + 1);
    model->emitStatusChanged();
}

void State_Stopped::previousModule()
{
    model->moduleList().setCurrentIndex(model->moduleList().currentIndex() - 1);
    model->emitStatusChanged();
}

bool State_Stopped::canToggleIndoor()
{
    return true;
}

void State_Stopped::toggleIndoor()
{
    const FlightModule *module = model->moduleList().currentModule();
    if (!module)
        return;
    if (module->isIndoor())
        model->sendIndoorOff(module->radioAddress());
    else
        model->sendIndoorOn(module->radioAddress());
    model->states().changingModuleIndoorMode->enter();
}

bool State_Stopped::canCalibrate()
{
    return model->moduleCount() > 0;
}

bool State_Stopped::canCalibrateThermistor()
{
    const FlightModule *module = model->moduleList().currentModule();
    return module && module->hasDirectTemperature();
}

void State_Stopped::startCalibration()
{
    const FlightModule *module = model->moduleList().currentModule();
    if (!module)
        return;
    const qint64 address = module->radioAddress();
    switch (model->calibrationType()) {
    case ModuleConfigSettings::CompassCalibration:
        model->sendCompassCalibrationStart(address);
        model->states().calibrationDelay->enter();
        break;
    case ModuleConfigSettings::AnemometerCalibration:
        model->sendAnemometerCalibration(address);
        model->states().calibratingAnemometer->enter();
        break;
    case ModuleConfigSettings::ThermistorCalibration:
        switch (model->thermistorOption()) {
        case ModuleConfigSettings::AutomaticThermistor:
            model->sendInternalThermistorCalibration(address);
            break;
        case ModuleConfigSettings::ReferenceThermistor:
            model->sendThermistorReference(address);
            break;
        case ModuleConfigSettings::BetaThermistor:
            model->sendThermistorBeta(address);
            break;
        default:
            break;
        }
        model->states().calibratingThermistor->enter();
        break;
    default:
        break;
    }
}
