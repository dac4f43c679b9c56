#ifndef VENTROLLA_CONFIG_STATE_CALIBRATING_ANEMOMETER_H
#define VENTROLLA_CONFIG_STATE_CALIBRATING_ANEMOMETER_H

#include "core/State_CommonModuleConfig.h"

// Waits for the module to acknowledge its anemometer calibration and then report CalibReady:
// at most 80 s for a pitot tube (it zeroes itself), 3 s for a cup anemometer (it only stores
// the constants).
class State_Calibrating_Anemometer final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    void enter() override;
    void onFastTimer() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleCalibDonePitotMessage(int moduleNumber) override;
    void handleCalibCupOkMessage(int moduleNumber) override;
    void handleCalibReadyMessage(int moduleNumber) override;
    void finishCalibration(bool success) override;
    bool isCalibrating() override;
    bool showsProgress() override;
    QString progressText() override;
    int progressValue() override;
    int progressMaximum() override;

private:
    qint64 stopwatchStart = 0;
    bool pitot = false;
    int progress = 0; // percent
    bool acknowledged = false;
};

#endif
