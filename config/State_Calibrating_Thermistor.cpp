#include "config/State_Calibrating_Thermistor.h"

#include "config/State_CalibFailure.h"
#include "config/State_CalibSuccess.h"
#include "core/Model.h"
#include "core/ModuleConfigSettings.h"

namespace {

constexpr int answerTimeoutMs = 4000;

} // namespace

void State_Calibrating_Thermistor::enter()
{
    acknowledged = false;
    model->timers().timeout.setSingleShot(true);
    model->timers().timeout.start(answerTimeoutMs);
    State_CommonModuleConfig::enter();
}

void State_Calibrating_Thermistor::onTimeoutTimer()
{
    finishCalibration(false);
}

void State_Calibrating_Thermistor::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, false);
}

// Only the acknowledgement of the command that was sent counts.
void State_Calibrating_Thermistor::handleIntThermCalDoneMessage(int)
{
    if (model->thermistorOption() == ModuleConfigSettings::AutomaticThermistor)
        acknowledged = true;
}

void State_Calibrating_Thermistor::handleExtThermCalOkMessage(int, quint16 tempEcho)
{
    // The module echoes the reference it stored; another value is a garbled command.
    if (model->thermistorOption() == ModuleConfigSettings::ReferenceThermistor
        && tempEcho == model->referenceTemperature())
        acknowledged = true;
}

void State_Calibrating_Thermistor::handleChangeBetaOkMessage(int)
{
    if (model->thermistorOption() == ModuleConfigSettings::BetaThermistor)
        acknowledged = true;
}

void State_Calibrating_Thermistor::handleCalibReadyMessage(int)
{
    if (acknowledged)
        finishCalibration(true);
}

void State_Calibrating_Thermistor::finishCalibration(bool success)
{
    model->setLastCalibrationSucceeded(success);
    if (success)
        model->states().calibSuccess->enter();
    else
        model->states().calibFailure->enter();
}

bool State_Calibrating_Thermistor::isCalibrating()
{
    return true;
}

bool State_Calibrating_Thermistor::showsProgress()
{
    return true;
}

QString State_Calibrating_Thermistor::progressText()
{
    return QStringLiteral("Calibrating module thermistor...");
}
