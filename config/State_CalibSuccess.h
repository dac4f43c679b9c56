#ifndef VENTROLLA_CONFIG_STATE_CALIBSUCCESS_H
#define VENTROLLA_CONFIG_STATE_CALIBSUCCESS_H

#include "core/State_CommonModuleConfig.h"

// A calibration succeeded; the result dialog shows it until the user acknowledges.
class State_CalibSuccess final : public State_CommonModuleConfig
{
public:
    using State_CommonModuleConfig::State_CommonModuleConfig;

    bool hasOutcome() override;
    QString outcomeTitle() override;
    QString outcomeMessage() override;
    void acknowledgeOutcome() override;
};

#endif
