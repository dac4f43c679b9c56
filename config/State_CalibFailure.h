#ifndef VENTROLLA_CONFIG_STATE_CALIBFAILURE_H
#define VENTROLLA_CONFIG_STATE_CALIBFAILURE_H

#include "core/State_CommonModuleConfig.h"

// A calibration failed; the result dialog shows it until the user acknowledges.
class State_CalibFailure final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    bool hasOutcome() override;
    QString outcomeTitle() override;
    QString outcomeMessage() override;
    void acknowledgeOutcome() override;
};

#endif
