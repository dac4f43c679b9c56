#ifndef VENTROLLA_CORE_STATE_H
#define VENTROLLA_CORE_STATE_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class Model;

// One state of the acquisition state machine. The model forwards every event and every user
// request to its current state; each operation has a harmless default, so a state overrides
// only what it handles. States are owned by the model and deleted through their concrete types.
class State
{
public:
    explicit State(Model *model);
    State(const State &) = delete;
    State &operator=(const State &) = delete;

    virtual void enter();
    virtual void onFastTimer();
    virtual void onSingleShotTimer();
    virtual void onStartTimer();
    virtual void onStopTimer();
    virtual bool canOpenPort();
    virtual bool openPort();
    virtual bool setPortName(const QString &name);
    virtual bool isConfiguring();
    virtual bool isBaseStationReady();
    virtual int configurationProgress();
    virtual bool canAcquire();
    virtual bool isAcquiring();
    virtual void acquire();
    virtual void stopAcquiring();
    virtual bool canBeginLogging();
    virtual bool canReset();
    virtual void reset();
    virtual bool canLoadSavedModules();
    virtual void loadSavedModules();
    virtual bool canClearSavedModules();
    virtual void clearSavedModules();
    virtual bool canRun();
    virtual void run();
    virtual bool isStarting();
    virtual bool isRunning();
    virtual bool canStop();
    virtual bool isStopping();
    virtual void stop();
    virtual bool canChangeDataInterval();
    virtual void handleBaseStationData(const QByteArray &bytes);
    virtual void handleHelloMessage(int moduleNumber);
    virtual void handleDataMessage(int moduleNumber);
    virtual void handleXDataMessage(int moduleNumber);
    virtual void handleNewModuleHelloMessage(int moduleNumber);
    virtual void handleNewModuleDataMessage(int moduleNumber);
    virtual bool showsProgress();
    virtual QString progressText();
    virtual int progressValue();
    virtual int progressMaximum();
    virtual void onTimeoutTimer();
    virtual bool canClearModule();
    virtual void clearModule();
    virtual bool canNextModule();
    virtual bool canPreviousModule();
    virtual void nextModule();
    virtual void previousModule();
    virtual QString currentModuleText();
    virtual QString indoorStatusText();
    virtual bool canToggleIndoor();
    virtual void toggleIndoor();
    virtual bool canCalibrate();
    virtual bool isCalibrating();
    virtual void startCalibration();
    virtual bool canCalibrateThermistor();
    virtual void onCalibSolutionTimer();
    virtual bool hasOutcome();
    virtual QString outcomeTitle();
    virtual QString outcomeMessage();
    virtual void finishCalibration(bool success);
    virtual void acknowledgeOutcome();
    virtual void handleNewModuleCalibReadyMessage(int moduleNumber);
    virtual void handleCalibReadyMessage(int moduleNumber);
    virtual void handleCalibDataMessage(int moduleNumber);
    virtual void handleCalibOkMessage(int moduleNumber);
    virtual void handleCalibErrMessage(int moduleNumber);
    virtual void handleCalibDonePitotMessage(int moduleNumber);
    virtual void handleCalibCupOkMessage(int moduleNumber);
    virtual void handleIndoorAckMessage(int moduleNumber);
    virtual void handleIntThermCalDoneMessage(int moduleNumber);
    virtual void handleExtThermCalOkMessage(int moduleNumber, quint16 tempEcho);
    virtual void handleChangeBetaOkMessage(int moduleNumber);

protected:
    // Not virtual: the model deletes every state through its concrete type.
    ~State() = default;

    Model *model;
};

#endif
