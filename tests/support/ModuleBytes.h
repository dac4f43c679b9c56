#ifndef VENTROLLA_TESTS_MODULEBYTES_H
#define VENTROLLA_TESTS_MODULEBYTES_H

// Byte strings as a flight module and the base station put them on the wire, for tests, the
// golden-capture generator and the benchmarks. Header only; frames are wrapped with the
// application's own wrapApiFrame.

#include "link/ApiFrame.h"

#include <QByteArray>
#include <QtGlobal>

#include <initializer_list>

namespace ModuleBytes {

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

inline QByteArray word(int value)
{
    return bytes({(value >> 8) & 0xFF, value & 0xFF});
}

// '#' and '!' inside a message are sent as '!' followed by the byte XOR 0x20.
inline QByteArray escape(const QByteArray &raw)
{
    QByteArray out;
    for (const char c : raw)
        out.append(c == '#' || c == '!' ? QByteArray(1, '!') + char(c ^ 0x20) : QByteArray(1, c));
    return out;
}

inline QByteArray message(int type, const QByteArray &payload = QByteArray())
{
    return QByteArray("#") + char(type) + escape(payload);
}

// Hello: kind letter, then the identifier padded with zero bytes to twelve.
inline QByteArray hello(char kind, const QByteArray &identifier)
{
    QByteArray text = identifier.left(12);
    text.append(QByteArray(12 - text.size(), '\0'));
    return message(0x08, kind + text);
}

struct Position
{
    int degreesMinutes = 0;   // ddmm or dddmm
    int tenThousandths = 0;   // of a minute
    char hemisphere = 'N';
};

// A Data message: raw wire values (tenths, hundredths) and the optional groups named by flags.
struct DataFields
{
    int pressure = 10132;     // 0.1 mbar
    int temperature = 2953;   // 0.1 K
    int humidity = 456;       // 0.1 %
    int windDirection = 270;  // degrees
    int windSpeed = 50;       // 0.1 m/s
    int supply = 1205;        // 0.01 V
    int flags = 0x00;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    Position latitude;
    Position longitude;
    int altitude = 0;         // metres, signed
    int course = 0;           // degrees
    int groundSpeed = 0;      // 0.1 knots
};

// The default fields with every optional group: 07:05:59, 48.120833, -11.516667, -5 m,
// course 359, 12.3 knots.
inline DataFields allGroups()
{
    return {10132, 2953, 456, 270, 50, 1205, 0xFF, 7, 5, 59, {4807, 2500, 'N'}, {1131, 0, 'W'}, -5, 359, 123};
}

inline QByteArray position(const Position &p)
{
    return word(p.degreesMinutes) + word(p.tenThousandths) + p.hemisphere;
}

// The unescaped payload of a Data message, after its type byte; flagsOnWire lets a test send a
// contents flags byte that differs from the groups actually appended.
inline QByteArray dataPayload(const DataFields &d, int flagsOnWire)
{
    const QByteArray groups[] = {bytes({d.hours}), bytes({d.minutes}), bytes({d.seconds}),
                                 position(d.latitude), position(d.longitude), word(d.altitude),
                                 word(d.course), word(d.groundSpeed)};
    QByteArray p = '\0' + word(d.pressure) + word(d.temperature) + word(d.humidity)
                   + word(d.windDirection) + word(d.windSpeed) + word(d.supply) + char(flagsOnWire);
    for (int bit = 7; bit >= 0; --bit) // from the hours (bit 7) to the ground speed (bit 0)
        p += d.flags & (1 << bit) ? groups[7 - bit] : QByteArray();
    return p;
}

inline QByteArray data(const DataFields &d)
{
    return message(0x09, dataPayload(d, d.flags));
}

inline QByteArray xdata(const QByteArray &text)
{
    return message(0x9E, text + "\r\n");
}

inline QByteArray compassSamples(const QByteArray &samples)
{
    return message(0x93, char(samples.size() / 28) + samples);
}

// A receive frame (0x90) from the radio at source carrying payload, escaped and checksummed.
inline QByteArray receiveFrame(qint64 source, const QByteArray &payload)
{
    return wrapApiFrame(char(0x90) + bigEndianBytes64(source) + bytes({0xFF, 0xFE, 0x01}) + payload);
}

} // namespace ModuleBytes

#endif
