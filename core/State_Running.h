#ifndef VENTROLLA_CORE_STATE_RUNNING_H
#define VENTROLLA_CORE_STATE_RUNNING_H

#include "core/State.h"

#include <QTimer>
#include <QVariant>

// Modules are sending: their Data messages are grouped by UTC time into data sets.
class State_Running final : public State
{
public:
    explicit State_Running(Model *model);

    void enter() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleDataMessage(int moduleNumber) override;
    void handleXDataMessage(int moduleNumber) override;
    void onSingleShotTimer() override;
    bool canBeginLogging() override;
    bool isRunning() override;
    bool canStop() override;
    void stop() override;
    bool canClearSavedModules() override;
    void clearSavedModules() override;

    // Announces, as one more set, the values that reached the table since the last set, if any.
    void closeDataSet();

private:
    void announceDataSet();
    void refreshTable();
    void checkWindSpeed(int moduleNumber);

    QTimer dataSetTimer; // closes a set 500 ms after its last Data message
    QVariant lastTime;   // UTC time of the open set; null when none
    int moduleCountAtEntry = 0;
    bool dataSetOpen = false;
    bool unannouncedData = false; // a Data message reached the table after the last set
};

#endif
