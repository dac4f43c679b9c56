#ifndef VENTROLLA_CORE_STATE_UNCONFIGURED_H
#define VENTROLLA_CORE_STATE_UNCONFIGURED_H

#include "core/State.h"

// Before a base station is ready: the serial port is closed or its configuration failed.
class State_Unconfigured final : public State
{
public:
    using State::State;

    bool canOpenPort() override;
    bool openPort() override;
    bool setPortName(const QString &name) override;
    bool isBaseStationReady() override;
    bool canClearSavedModules() override;
    void clearSavedModules() override;
    bool canChangeDataInterval() override;
};

#endif
