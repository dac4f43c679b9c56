#include "core/State_Running.h"

#include "core/Model.h"
#include "core/State_Stopping.h"
#include "link/FlightModule.h"

#include <QDateTime>

#include <cmath>

namespace {

constexpr int dataSetCloseMs = 500;

} // namespace

State_Running::State_Running(Model *model) : State(model)
{
    dataSetTimer.setSingleShot(true);
    // Through the model, so the tick only acts while this state is current.
    QObject::connect(&dataSetTimer, SIGNAL(timeout()), model, SLOT(onSingleShotTimer()));
}

void State_Running::enter()
{
    lastTime.clear();
    moduleCountAtEntry = model->moduleCount();
    dataSetOpen = false;
    unannouncedData = false;
    State::enter();
}

void State_Running::handleBaseStationData(const QByteArray &bytes)
{
    model->processBaseStationData(bytes, false);
}

void State_Running::handleDataMessage(int moduleNumber)
{
    if (moduleCountAtEntry == 1) {
        // Each message is a whole set: show it first, so the set holds the message itself.
        refreshTable();
        announceDataSet();
        checkWindSpeed(moduleNumber);
        return;
    }

    const FlightModule *module = model->moduleList().module(moduleNumber);
    const QVariant time = module ? module->field(FlightModule::UtcTimeColumn) : QVariant();
    bool openSet = true;
    if (time != lastTime) {
        const bool hadTime = lastTime.toBool();
        lastTime = time;
        if (hadTime) {
            // A new time closes the set of the previous one before its values reach the table;
            // the next message with the new time opens the new set.
            announceDataSet();
            openSet = false;
        }
    }
    if (openSet) {
        dataSetOpen = true;
        dataSetTimer.start(dataSetCloseMs);
    }
    refreshTable();
    unannouncedData = true;
    checkWindSpeed(moduleNumber);
}

void State_Running::handleXDataMessage(int moduleNumber)
{
    // Refresh first, so listeners reading the row get the record that just arrived.
    refreshTable();
    model->emitXDataReady(QDateTime::currentDateTime(), moduleNumber);
}

void State_Running::onSingleShotTimer()
{
    if (!dataSetOpen)
        return;
    lastTime.clear();
    announceDataSet();
}

void State_Running::announceDataSet()
{
    // The set is closed before it is announced: a listener that stops the run from inside the
    // announcement (a modal dialog's nested event loop, a failed log write) finds nothing left
    // to announce, so no line goes out twice.
    dataSetTimer.stop();
    dataSetOpen = false;
    unannouncedData = false;
    model->emitDataSetReady(QDateTime::currentDateTime());
}

void State_Running::refreshTable()
{
    model->moduleList().refreshRecords();
    model->refreshTable();
}

void State_Running::checkWindSpeed(int moduleNumber)
{
    if (!model->isHighWindAlertActive())
        return;
    const FlightModule *module = model->moduleList().module(moduleNumber);
    if (!module)
        return;
    // Nearest whole number, halves away from zero: 9.5 knots counts as 10.
    const long windspeed =
        std::lround(module->field(FlightModule::WindSpeedColumn).toDouble());
    if (windspeed >= model->highWindThreshold())
        model->emitHighWindAlert(int(windspeed));
}

bool State_Running::canBeginLogging()
{
    return true;
}

bool State_Running::isRunning()
{
    return true;
}

bool State_Running::canStop()
{
    return true;
}

void State_Running::stop()
{
    // Values that reached the table since the last set (a set still open, or the first message
    // of a new time, which closes the old set but opens none) would otherwise never be logged
    // nor streamed: they go out as one last set.
    closeDataSet();
    if (model->currentState() != this)
        return; // a listener has stopped the run already
    model->states().stopping->enter();
}

void State_Running::closeDataSet()
{
    dataSetTimer.stop();
    if (unannouncedData) {
        lastTime.clear();
        announceDataSet();
    }
}

bool State_Running::canClearSavedModules()
{
    return model->moduleList().hasSavedModules();
}

void State_Running::clearSavedModules()
{
    model->moduleList().forgetSavedModules();
    model->emitStatusChanged();
}
