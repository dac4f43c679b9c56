#ifndef VENTROLLA_CONFIG_STATE_CALIBRATIONDELAY_H
#define VENTROLLA_CONFIG_STATE_CALIBRATIONDELAY_H

#include "core/State_CommonModuleConfig.h"

// The ten seconds the module takes before it streams compass samples, while the user picks it
// up. Packets that arrive meanwhile are discarded.
class State_CalibrationDelay final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    void enter() override;
    void onFastTimer() override;
    bool showsProgress() override;
    QString progressText() override;
    int progressValue() override;
    int progressMaximum() override;

private:
    const int delay = 9900; // milliseconds
    int progress = 0;       // percent
    qint64 stopwatchStart = 0;
};

#endif
