#include "core/State.h"

#include "core/Model.h"

State::State(Model *model) : model(model) {}

void State::enter()
{
    model->setCurrentState(this);
    model->emitStatusChanged();
}

void State::onFastTimer()
{
    model->timers().fast.stop();
}

void State::onSingleShotTimer()
{
}

void State::onStartTimer()
{
    model->timers().start.stop();
}

void State::onStopTimer()
{
    model->timers().stop.stop();
}

bool State::canOpenPort()
{
    return false;
}

bool State::openPort()
{
    return false;
}

bool State::setPortName(const QString &)
{
    return false;
}

bool State::isConfiguring()
{
    return false;
}

bool State::isBaseStationReady()
{
    return true;
}

int State::configurationProgress()
{
    return 0;
}

bool State::canAcquire()
{
    return false;
}

bool State::isAcquiring()
{
    return false;
}

void State::acquire()
{
}

void State::stopAcquiring()
{
}

bool State::canBeginLogging()
{
    return false;
}

bool State::canReset()
{
    return false;
}

void State::reset()
{
}

bool State::canLoadSavedModules()
{
    return false;
}

void State::loadSavedModules()
{
}

bool State::canClearSavedModules()
{
    return false;
}

void State::clearSavedModules()
{
}

bool State::canRun()
{
    return false;
}

void State::run()
{
}

bool State::isStarting()
{
    return false;
}

bool State::isRunning()
{
    return false;
}

bool State::canStop()
{
    return false;
}

bool State::isStopping()
{
    return false;
}

void State::stop()
{
}

bool State::canChangeDataInterval()
{
    return false;
}

void State::handleBaseStationData(const QByteArray &)
{
}

void State::handleHelloMessage(int)
{
}

void State::handleDataMessage(int)
{
}

void State::handleXDataMessage(int)
{
}

void State::handleNewModuleHelloMessage(int)
{
}

void State::handleNewModuleDataMessage(int)
{
}

bool State::showsProgress()
{
    return false;
}

QString State::progressText()
{
    return QString();
}

int State::progressValue()
{
    return 0;
}

int State::progressMaximum()
{
    return 0;
}

void State::onTimeoutTimer()
{
    model->timers().timeout.stop();
}

bool State::canClearModule()
{
    return false;
}

void State::clearModule()
{
}

bool State::canNextModule()
{
    return false;
}

bool State::canPreviousModule()
{
    return false;
}

void State::nextModule()
{
}

void State::previousModule()
{
}

QString State::currentModuleText()
{
    return QStringLiteral("<None>");
}

QString State::indoorStatusText()
{
    return QStringLiteral("OFF");
}

bool State::canToggleIndoor()
{
    return false;
}

void State::toggleIndoor()
{
}

bool State::canCalibrate()
{
    return false;
}

bool State::isCalibrating()
{
    return false;
}

void State::startCalibration()
{
}

bool State::canCalibrateThermistor()
{
    return false;
}

void State::onCalibSolutionTimer()
{
    model->timers().calibSolution.stop();
}

bool State::hasOutcome()
{
    return false;
}

QString State::outcomeTitle()
{
    return QString();
}

QString State::outcomeMessage()
{
    return QString();
}

void State::finishCalibration(bool)
{
}

void State::acknowledgeOutcome()
{
}

void State::handleNewModuleCalibReadyMessage(int)
{
}

void State::handleCalibReadyMessage(int)
{
}

void State::handleCalibDataMessage(int)
{
}

void State::handleCalibOkMessage(int)
{
}

void State::handleCalibErrMessage(int)
{
}

void State::handleCalibDonePitotMessage(int)
{
}

void State::handleCalibCupOkMessage(int)
{
}

void State::handleIndoorAckMessage(int)
{
}

void State::handleIntThermCalDoneMessage(int)
{
}

void State::handleExtThermCalOkMessage(int, quint16)
{
}

void State::handleChangeBetaOkMessage(int)
{
}
