#ifndef VENTROLLA_CORE_STATE_ACQUIRING_H
#define VENTROLLA_CORE_STATE_ACQUIRING_H

#include "core/State.h"

// Looking for flight modules. A new module's Hello points its radio at the base station, its
// CalibReady gets the fast timing command, and its first Data message moves it into the table.
class State_Acquiring final : public State
{
public:
    using State::State;

    bool isAcquiring() override;
    void handleBaseStationData(const QByteArray &bytes) override;
    void handleNewModuleHelloMessage(int moduleNumber) override;
    void handleNewModuleCalibReadyMessage(int moduleNumber) override;
    void handleNewModuleDataMessage(int moduleNumber) override;
    void handleHelloMessage(int moduleNumber) override;
    void handleDataMessage(int moduleNumber) override;
    void stopAcquiring() override;
};

#endif
