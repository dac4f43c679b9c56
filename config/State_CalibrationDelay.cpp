#include "config/State_CalibrationDelay.h"

#include "config/State_Calibrating_Compass.h"
#include "core/Model.h"

void State_CalibrationDelay::enter()
{
    progress = 0;
    stopwatchStart = model->elapsedMs();
    model->timers().fast.start();
    State_CommonModuleConfig::enter();
}

void State_CalibrationDelay::onFastTimer()
{
    progress = int(qMin<qint64>((model->elapsedMs() - stopwatchStart) * 100 / delay, 100));
    model->emitStatusChanged();
    if (progress == 100)
        model->states().calibratingCompass->enter();
}

bool State_CalibrationDelay::showsProgress()
{
    return true;
}

QString State_CalibrationDelay::progressText()
{
    return QStringLiteral("Waiting 10 seconds...");
}

int State_CalibrationDelay::progressValue()
{
    return progress;
}

int State_CalibrationDelay::progressMaximum()
{
    return 100;
}
