#ifndef VENTROLLA_TOOLS_APIREQUESTREADER_H
#define VENTROLLA_TOOLS_APIREQUESTREADER_H

#include <QByteArray>
#include <QQueue>
#include <QtGlobal>

// The radio's side of API mode: reads the frames the host writes (of any type: transmit
// requests, remote AT command requests, ...) and hands out the frame data of each frame whose
// checksum holds. Frames with a bad checksum or an impossible length are dropped, as the radio
// drops them, without any answer.
class ApiRequestReader
{
public:
    // With escaping (API mode 2) 0x7D escapes the next byte and a raw 0x7E always starts a new
    // frame; without it (API mode 1) every byte is taken as it is.
    void setEscaping(bool escaping);
    void reset();

    void feed(const QByteArray &bytes);
    bool hasFrame() const;
    QByteArray takeFrame(); // frame data of the oldest frame, from the type byte on; or empty

private:
    enum class Step { Hunting, LengthHigh, LengthLow, Data, Checksum };

    QQueue<QByteArray> frames;
    QByteArray frameData;
    Step step = Step::Hunting;
    int length = 0;
    quint8 sum = 0;
    bool escaping = true;
    bool escapePending = false;
};

#endif
