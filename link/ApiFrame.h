#ifndef VENTROLLA_LINK_APIFRAME_H
#define VENTROLLA_LINK_APIFRAME_H

#include <QByteArray>
#include <QtGlobal>

#include <deque>

// One API frame received from the base station's radio.
struct ApiFrame
{
    QByteArray frameData;    // unescaped, from the frame type byte up to the checksum (excluded)
    qint64 sourceAddress = 0; // sender's radio address, for a decoded receive frame (0x90)
    QByteArray payload;       // radio data of a decoded receive frame
};

// Extracts receive frames (type 0x90) from the escaped byte stream of the base station.
//
// The parser works incrementally: every byte is looked at once, and only the frame being read is
// kept, so memory stays bounded and the cost is linear in the bytes received. A raw 0x7E always
// starts a new frame: with escaping on it never occurs inside an intact frame, so meeting one
// means the radio lost bytes and the damaged frame is dropped without swallowing the next one.
class ApiFrameParser
{
public:
    void feed(const QByteArray &bytes);
    bool hasFrame() const;
    ApiFrame takeFrame(); // the oldest queued frame, or an empty frame

    // Bytes of the frame currently being read (the whole of what the parser holds between feeds).
    int bufferedByteCount() const;

private:
    enum class Step { Hunting, LengthHigh, LengthLow, Data, Checksum };

    void startFrame();
    void finishFrame(bool valid);

    std::deque<ApiFrame> frames;
    // Sized to the declared length when it is read; filled byte by byte through frameEnd.
    QByteArray frameData;
    char *frameEnd = nullptr;
    int filled = 0;
    Step step = Step::Hunting;
    int declaredLength = 0;
    quint8 sum = 0;
    bool escapePending = false;
};

// Escapes 0x7E, 0x7D, 0x11 and 0x13 as 0x7D followed by the byte XOR 0x20.
QByteArray escapeApiBytes(const QByteArray &bytes);

// A complete API frame: 0x7E, then the escaped length, data and checksum.
QByteArray wrapApiFrame(const QByteArray &frameData);

// A transmit request (0x10, frame id 0) carrying payload to the radio at destination.
QByteArray buildTransmitRequest(qint64 destination, const QByteArray &payload);

// A remote AT command request (0x17, frame id 0, changes applied at once); commandAndParameters
// holds the two command letters followed by the parameter bytes.
QByteArray buildRemoteAtCommand(qint64 destination, const QByteArray &commandAndParameters);

// Big-endian byte forms used on the wire.
QByteArray bigEndianBytes64(qint64 value);
QByteArray bigEndianBytes32(quint32 value);

#endif
