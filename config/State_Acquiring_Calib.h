#ifndef VENTROLLA_CONFIG_STATE_ACQUIRING_CALIB_H
#define VENTROLLA_CONFIG_STATE_ACQUIRING_CALIB_H

#include "core/State.h"

// Acquisition for the module configuration window: each new module that announces itself has
// its radio pointed at the base station and joins the table on its CalibReady, without being
// started. Nothing is sent on entry.
class State_Acquiring_Calib final : public State
{
public:
    using State::State;

    bool isAcquiring() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleNewModuleHelloMessage(int moduleNumber) override;
    void handleNewModuleCalibReadyMessage(int moduleNumber) override;
    void stopAcquiring() override;
    QString currentModuleText() override;
    bool showsProgress() override;
    QString progressText() override;
};

#endif
