#ifndef VENTROLLA_CONFIG_STATE_CALIBRATING_COMPASS_H
#define VENTROLLA_CONFIG_STATE_CALIBRATING_COMPASS_H

#include "core/State_CommonModuleConfig.h"

// Collects the compass samples the module streams while it is turned, fits them once 1000
// have come (or at least 750 when the stream goes quiet for 35 s), sends the solution in two
// halves 100 ms apart and waits for the module's verdict: CalibOk, then CalibReady.
class State_Calibrating_Compass final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    void enter() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleCalibDataMessage(int moduleNumber) override;
    void handleCalibOkMessage(int moduleNumber) override;
    void handleCalibReadyMessage(int moduleNumber) override;
    void onTimeoutTimer() override;
    void onCalibSolutionTimer() override;
    void finishCalibration(bool success) override;
    bool isCalibrating() override;
    bool showsProgress() override;
    QString progressText() override;
    int progressValue() override;
    int progressMaximum() override;

private:
    bool startFit();

    int solutionPhase = 0; // 0 nothing to send, 1 first half due, 2 second half due
    int sampleCount = 0;
    int progress = 0; // percent
    bool fitting = false;
    bool confirmed = false;
};

#endif
