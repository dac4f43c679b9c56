#ifndef VENTROLLA_CONFIG_STATE_CHANGINGMODULEINDOORMODE_H
#define VENTROLLA_CONFIG_STATE_CHANGINGMODULEINDOORMODE_H

#include "core/State_CommonModuleConfig.h"

// Waits up to 3 s for the module's CalibReady after an indoor-mode command. There is no outcome
// either way: the indoor status shows whatever the module last acknowledged.
class State_ChangingModuleIndoorMode final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    void enter() override;
    void onTimeoutTimer() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleCalibReadyMessage(int moduleNumber) override;
    bool showsProgress() override;
    QString progressText() override;
};

#endif
