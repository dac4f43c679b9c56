#ifndef VENTROLLA_LINK_STATE_CONFIGURING_H
#define VENTROLLA_LINK_STATE_CONFIGURING_H

#include "core/State.h"

#include <QByteArray>

// Puts the base station's radio into escaped API mode at 57600 baud and learns its address.
// It finds the radio's rate by trying 57600, 9600 and 115200 in turn: after a second of silence
// the guard sequence "+++" must be answered "OK\r" within three seconds of the rate being set;
// then the configuration script must be answered line by line within 3.1 seconds.
class State_Configuring final : public State
{
public:
    using State::State;

    static const QByteArray script;

    void enter() override;
    void onFastTimer() override;
    bool isConfiguring() override;
    bool isBaseStationReady() override;
    int configurationProgress() override;
    void handleBaseStationData(const QByteArray &bytes) override;

private:
    void restartStopwatch();
    void switchBaudRate(qint32 rate);
    bool answersCheckOut();

    int step = 2;
    qint64 stopwatchStart = 0;
    QByteArray responseBuffer;
    int progress = 0;
};

#endif
