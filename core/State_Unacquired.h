#ifndef VENTROLLA_CORE_STATE_UNACQUIRED_H
#define VENTROLLA_CORE_STATE_UNACQUIRED_H

#include "core/State.h"

// Base station configured, table empty: modules may be acquired or loaded from the settings.
class State_Unacquired final : public State
{
public:
    using State::State;

    bool canAcquire() override;
    void acquire() override;
    bool canLoadSavedModules() override;
    void loadSavedModules() override;
    bool canClearSavedModules() override;
    void clearSavedModules() override;
};

#endif
