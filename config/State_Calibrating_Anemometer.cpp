#include "config/State_Calibrating_Anemometer.h"

#include "config/State_CalibFailure.h"
#include "config/State_CalibSuccess.h"
#include "core/Model.h"

namespace {

// Milliseconds per percent of the time allowed.
constexpr qint64 pitotMsPerPercent = 800;
constexpr qint64 cupMsPerPercent = 30;

} // namespace

void State_Calibrating_Anemometer::enter()
{
    pitot = !model->cupAnemometer();
    progress = 0;
    acknowledged = false;
    stopwatchStart = model->elapsedMs();
    model->timers().fast.start();
    State_CommonModuleConfig::enter();
}

void State_Calibrating_Anemometer::onFastTimer()
{
    const qint64 elapsed = model->elapsedMs() - stopwatchStart;
    progress = int(qMin<qint64>(elapsed / (pitot ? pitotMsPerPercent : cupMsPerPercent), 100));
    if (progress == 100)
        finishCalibration(false);
    model->emitStatusChanged();
}

void State_Calibrating_Anemometer::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, false);
}

// Either acknowledgement counts, whatever the anemometer kind.
void State_Calibrating_Anemometer::handleCalibDonePitotMessage(int)
{
    acknowledged = true;
}

void State_Calibrating_Anemometer::handleCalibCupOkMessage(int)
{
    acknowledged = true;
}

void State_Calibrating_Anemometer::handleCalibReadyMessage(int)
{
    finishCalibration(acknowledged);
}

void State_Calibrating_Anemometer::finishCalibration(bool success)
{
    model->setLastCalibrationSucceeded(success);
    if (success)
        model->states().calibSuccess->enter();
    else
        model->states().calibFailure->enter();
}

bool State_Calibrating_Anemometer::isCalibrating()
{
    return true;
}

bool State_Calibrating_Anemometer::showsProgress()
{
    return true;
}

QString State_Calibrating_Anemometer::progressText()
{
    return QStringLiteral("Calibrating module anemometer...");
}

int State_Calibrating_Anemometer::progressValue()
{
    return progress;
}

int State_Calibrating_Anemometer::progressMaximum()
{
    return 100;
}
