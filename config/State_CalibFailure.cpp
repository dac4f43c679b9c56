#include "config/State_CalibFailure.h"

#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "core/State_Stopped.h"

bool State_CalibFailure::hasOutcome()
{
    return true;
}

QString State_CalibFailure::outcomeTitle()
{
    return QStringLiteral("Calibration Failed");
}

QString State_CalibFailure::outcomeMessage()
{
    switch (model->calibrationType()) {
    case ModuleConfigSettings::CompassCalibration:
        // A module whose compass calibration broke off may be left waiting for a solution.
        return QStringLiteral(
            "Calibration of the module failed. Please remove and power cycle the module.");
    case ModuleConfigSettings::AnemometerCalibration:
        return QStringLiteral("Calibration of the module failed.");
    case ModuleConfigSettings::ThermistorCalibration:
        return model->thermistorOption() == ModuleConfigSettings::BetaThermistor
                   ? QStringLiteral("Ventrolla failed to change the module's Beta value.")
                   : QStringLiteral("Calibration of the module's thermistor failed.");
    default:
        return QString();
    }
}

void State_CalibFailure::acknowledgeOutcome()
{
    model->states().stopped->enter();
}
