#include "config/State_CalibSuccess.h"

#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "core/State_Stopped.h"

#include <QChar>

bool State_CalibSuccess::hasOutcome()
{
    return true;
}

QString State_CalibSuccess::outcomeTitle()
{
    return QStringLiteral("Calibration Succeeded");
}

QString State_CalibSuccess::outcomeMessage()
{
    switch (model->calibrationType()) {
    case ModuleConfigSettings::CompassCalibration:
    case ModuleConfigSettings::AnemometerCalibration:
        return QStringLiteral("The module was successfully calibrated.");
    case ModuleConfigSettings::ThermistorCalibration:
        break;
    default:
        return QString();
    }
    switch (model->thermistorOption()) {
    case ModuleConfigSettings::AutomaticThermistor:
        return QStringLiteral("The module's thermistor was successfully calibrated.");
    case ModuleConfigSettings::ReferenceThermistor: {
        // The reference is held in hundredths of a kelvin.
        const double celsius = model->referenceTemperature() / 100.0 - 273.15;
        return QStringLiteral("The module's thermistor was successfull calibrated with a "
                              "reference temperature of %1 %2C")
            .arg(celsius, 0, 'f', 2)
            .arg(QChar(0x00B0));
    }
    case ModuleConfigSettings::BetaThermistor:
        return QStringLiteral("The module's thermistor Beta value was successfully changed to %1.")
            .arg(model->beta());
    default:
        return QString();
    }
}

void State_CalibSuccess::acknowledgeOutcome()
{
    model->states().stopped->enter();
}
