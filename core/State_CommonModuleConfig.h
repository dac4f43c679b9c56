#ifndef VENTROLLA_CORE_STATE_COMMONMODULECONFIG_H
#define VENTROLLA_CORE_STATE_COMMONMODULECONFIG_H

#include "core/State.h"

// Base of the idle state and the module configuration states: logging may begin, and the
// configuration window shows the current module and its indoor mode.
class State_CommonModuleConfig : public State
{
public:
    using State::State;

    bool canBeginLogging() override;
    QString currentModuleText() override;
    QString indoorStatusText() override;

protected:
    ~State_CommonModuleConfig() = default;
};

#endif
