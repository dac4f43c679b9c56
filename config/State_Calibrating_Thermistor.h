#ifndef VENTROLLA_CONFIG_STATE_CALIBRATING_THERMISTOR_H
#define VENTROLLA_CONFIG_STATE_CALIBRATING_THERMISTOR_H

#include "core/State_CommonModuleConfig.h"

// Waits up to 4 s for the module to acknowledge the thermistor command it was sent (automatic
// calibration, reference temperature or Beta) and then report CalibReady.
class State_Calibrating_Thermistor final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    void enter() override;
    void onTimeoutTimer() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleIntThermCalDoneMessage(int moduleNumber) override;
    void handleExtThermCalOkMessage(int moduleNumber, quint16 tempEcho) override;
    void handleChangeBetaOkMessage(int moduleNumber) override;
    void handleCalibReadyMessage(int moduleNumber) override;
    void finishCalibration(bool success) override;
    bool isCalibrating() override;
    bool showsProgress() override;
    QString progressText() override;

private:
    bool acknowledged = false;
};

#endif
