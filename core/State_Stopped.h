#ifndef VENTROLLA_CORE_STATE_STOPPED_H
#define VENTROLLA_CORE_STATE_STOPPED_H

#include "core/State_CommonModuleConfig.h"

// Modules in the table, none sending: a run may start, modules may be acquired, reset or removed,
// and the configuration window may calibrate the current module or toggle its indoor mode.
class State_Stopped final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    bool canAcquire() override;
    void acquire() override;
    bool canRun() override;
    void run() override;
    bool canReset() override;
    void reset() override;
    bool canClearSavedModules() override;
    void clearSavedModules() override;
    bool canChangeDataInterval() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleDataMessage(int moduleNumber) override;
    void handleIndoorAckMessage(int moduleNumber) override;
    bool canClearModule() override;
    void clearModule() override;
    bool canNextModule() override;
    bool canPreviousModule() override;
    void nextModule() override;
    void previousModule() override;
    bool canToggleIndoor() override;
    void toggleIndoor() override;
    bool canCalibrate() override;
    bool canCalibrateThermistor() override;
    void startCalibration() override;
};

#endif
