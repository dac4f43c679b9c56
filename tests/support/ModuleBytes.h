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
    for (const char c : raw) {
        if (c == '#' || c == '!') {
            out.append('!');
            out.append(char(c ^ 0x20));
        } else {
            out.append(c);
        }
    }
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
    DataFields d;
    d.flags = 0xFF;
    d.hours = 7;
    d.minutes = 5;
    d.seconds = 59;
    d.latitude = {4807, 2500, 'N'};
    d.longitude = {1131, 0, 'W'};
    d.altitude = -5;
    d.course = 359;
    d.groundSpeed = 123;
    return d;
}

inline QByteArray position(const Position &p)
{
    return word(p.degreesMinutes) + word(p.tenThousandths) + p.hemisphere;
}

// The unescaped payload of a Data message, after its type byte; flagsOnWire lets a test send a
// contents flags byte that differs from the groups actually appended.
inline QByteArray dataPayload(const DataFields &d, int flagsOnWire)
{
    QByteArray p;
    p.append('\0');
    p += word(d.pressure) + word(d.temperature) + word(d.humidity) + word(d.windDirection)
         + word(d.windSpeed) + word(d.supply);
    p.append(char(flagsOnWire));
    if (d.flags & 0x80)
        p.append(char(d.hours));
    if (d.flags & 0x40)
        p.append(char(d.minutes));
    if (d.flags & 0x20)
        p.append(char(d.seconds));
    if (d.flags & 0x10)
        p += position(d.latitude);
    if (d.flags & 0x08)
        p += position(d.longitude);
    if (d.flags & 0x04)
        p += word(d.altitude);
    if (d.flags & 0x02)
        p += word(d.course);
    if (d.flags & 0x01)
        p += word(d.groundSpeed);
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
    return wrapApiFrame(char(0x90) + bigEndianBytes64(source) + bytes({0xFF, 0xFE, 0x01})
                        + payload);
}

} // namespace ModuleBytes

#endif
