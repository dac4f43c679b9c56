#include "config/State_CalibSuccess.h"

#include "core/Model.h"
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
    case 0:
    case 1:
        return QStringLiteral("The module was successfully calibrated.");
    case 2:
        break;
    default:
        return QString();
    }
    switch (model->thermistorOption()) {
    case 0:
        return QStringLiteral("The module's thermistor was successfully calibrated.");
    case 1: {
        // The reference is held in hundredths of a kelvin.
        const double celsius = model->referenceTemperature() / 100.0 - 273.15;
        return QStringLiteral("The module's thermistor was successfull calibrated with a "
                              "reference temperature of %1 %2C")
            .arg(celsius, 0, 'f', 2)
            .arg(QChar(0x00B0));
    }
    case 2:
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
