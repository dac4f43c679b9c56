#include "config/State_Calibrating_Compass.h"

#include "config/CompassCalibrator.h"
#include "config/State_CalibFailure.h"
#include "config/State_CalibSuccess.h"
#include "core/Model.h"
#include "link/FlightModule.h"

namespace {

constexpr int collectingTimeoutMs = 35000;
constexpr int verdictTimeoutMs = 10000;
constexpr int fitSampleCount = 1000;
constexpr int leastSampleCount = 750;

} // namespace

void State_Calibrating_Compass::enter()
{
    model->timers().timeout.setSingleShot(false);
    model->timers().timeout.start(collectingTimeoutMs);
    model->renewCompassCalibrator();
    model->setLastCalibrationSucceeded(false);
    sampleCount = 0;
    progress = 0;
    solutionPhase = 0;
    fitting = false;
    confirmed = false;
    State_CommonModuleConfig::enter();
}

void State_Calibrating_Compass::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, false);
}

void State_Calibrating_Compass::handleCalibDataMessage(int moduleNumber)
{
    model->timers().timeout.stop();
    // Taken in any case: samples left with the module would open its next calibration.
    FlightModule *module = model->moduleList().module(moduleNumber);
    const QByteArray *text = module ? &module->takeCalibData() : nullptr;
    // Samples after the fit has started mean the module did not take the solution.
    if (fitting || sampleCount >= fitSampleCount) {
        finishCalibration(false);
        return;
    }
    if (text)
        sampleCount += model->compassCalibrator()->addSamples(text->constData(), text->size());
    progress = sampleCount / 10; // 100 at 1000 samples, when the fit starts

    if (sampleCount >= fitSampleCount) {
        if (!startFit())
            finishCalibration(false);
        return;
    }
    model->timers().timeout.start(collectingTimeoutMs);
    model->emitStatusChanged();
}

void State_Calibrating_Compass::onTimeoutTimer()
{
    model->timers().timeout.stop();
    // A quiet stream still fits what it gave when that is enough.
    if (!fitting && sampleCount >= leastSampleCount && startFit())
        return;
    finishCalibration(false);
}

bool State_Calibrating_Compass::startFit()
{
    CompassCalibrator *calibrator = model->compassCalibrator();
    if (!calibrator->fit())
        return false;
    const CompassCalibrator::Results results = calibrator->computeResults();
    model->setCompassResults(results.meanMagnitude, results.meanDeviation, results.distortion);
    solutionPhase = 1;
    model->timers().calibSolution.start(100);
    fitting = true;
    model->timers().timeout.setSingleShot(true);
    model->timers().timeout.start(verdictTimeoutMs);
    model->emitStatusChanged();
    return true;
}

void State_Calibrating_Compass::onCalibSolutionTimer()
{
    const FlightModule *module = model->moduleList().currentModule();
    if (solutionPhase == 1) {
        if (module)
            model->sendCompassSolutionFirstPart(module->radioAddress());
        solutionPhase = 2;
    } else if (solutionPhase == 2) {
        model->timers().calibSolution.stop();
        if (module)
            model->sendCompassSolutionSecondPart(module->radioAddress());
        solutionPhase = 0;
    }
}

void State_Calibrating_Compass::handleCalibOkMessage(int)
{
    confirmed = true;
}

// CalibErr is not handled: the module stays unconfirmed, and its CalibReady (or the time
// limit) fails the calibration.
void State_Calibrating_Compass::handleCalibReadyMessage(int)
{
    finishCalibration(confirmed);
}

void State_Calibrating_Compass::finishCalibration(bool success)
{
    model->destroyCompassCalibrator();
    model->setLastCalibrationSucceeded(success);
    if (success)
        model->states().calibSuccess->enter();
    else
        model->states().calibFailure->enter();
}

bool State_Calibrating_Compass::isCalibrating()
{
    return true;
}

bool State_Calibrating_Compass::showsProgress()
{
    return true;
}

QString State_Calibrating_Compass::progressText()
{
    return QStringLiteral("Calibrating module compass...");
}

int State_Calibrating_Compass::progressValue()
{
    return progress;
}

int State_Calibrating_Compass::progressMaximum()
{
    return 100;
}
