#include "link/ApiFrame.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr quint8 startDelimiter = 0x7E;
constexpr quint8 escapeByte = 0x7D;
constexpr quint8 escapeXor = 0x20;
constexpr quint8 receiveFrameType = 0x90;
constexpr int receiveFrameHeaderSize = 12; // type, 8 address bytes, 2 network bytes, options

bool needsEscape(quint8 byte)
{
    return byte == 0x7E || byte == 0x7D || byte == 0x11 || byte == 0x13;
}

ApiFrame decodeReceiveFrame(const QByteArray &frameData)
{
    ApiFrame frame;
    frame.frameData = frameData;
    quint64 address = 0;
    for (int i = 1; i <= 8; ++i)
        address = (address << 8) | quint8(frameData.at(i));
    frame.sourceAddress = qint64(address);
    frame.payload = frameData.mid(receiveFrameHeaderSize);
    return frame;
}

} // namespace

void ApiFrameParser::feed(const QByteArray &bytes)
{
    const char *next = bytes.constData();
    const char *const end = next + bytes.size();
    while (next != end) {
        // Inside a frame's data, a run of bytes that are neither delimiter nor escape is stored
        // in one tight loop: most bytes of a frame take this path.
        if (step == Step::Data && !escapePending && frameEnd) {
            const int room = declaredLength - filled;
            const char *const runEnd = next + std::min<std::ptrdiff_t>(room, end - next);
            const char *run = next;
            while (run != runEnd && quint8(*run) != startDelimiter && quint8(*run) != escapeByte) {
                sum = quint8(sum + quint8(*run));
                *frameEnd++ = *run++;
            }
            filled += int(run - next);
            next = run;
            if (filled == declaredLength)
                step = Step::Checksum;
            if (next == end)
                break;
        }
        quint8 byte = quint8(*next++);

        if (byte == startDelimiter) {
            // Raw start delimiter: a frame begins here, whatever was being read.
            startFrame();
            continue;
        }
        if (byte == escapeByte) {
            escapePending = true;
            continue;
        }
        if (escapePending) {
            byte ^= escapeXor;
            escapePending = false;
        }

        switch (step) {
        case Step::Hunting:
            // An escaped 0x7E (0x7D 0x5E) also counts as a start delimiter while hunting.
            if (byte == startDelimiter)
                startFrame();
            break;
        case Step::LengthHigh:
            declaredLength = byte << 8;
            step = Step::LengthLow;
            break;
        case Step::LengthLow:
            declaredLength |= byte;
            // A length of 0 or with the top bit set (negative as a signed 16-bit number) can
            // never be met: such a frame is invalid at its first data byte. The buffer is
            // sized once, so that each byte is a plain store rather than a call to append.
            if (declaredLength > 0 && declaredLength < 0x8000) {
                frameData.resize(declaredLength);
                frameEnd = frameData.data();
            }
            step = Step::Data;
            break;
        case Step::Data:
            if (declaredLength == 0 || declaredLength >= 0x8000) {
                finishFrame(false);
                break;
            }
            *frameEnd++ = char(byte);
            sum = quint8(sum + byte);
            if (++filled == declaredLength)
                step = Step::Checksum;
            break;
        case Step::Checksum:
            finishFrame(quint8(sum + byte) == 0xFF);
            break;
        }
    }
}

void ApiFrameParser::startFrame()
{
    step = Step::LengthHigh;
    declaredLength = 0;
    sum = 0;
    escapePending = false;
    filled = 0;
    frameEnd = nullptr;
}

void ApiFrameParser::finishFrame(bool valid)
{
    if (valid && filled > receiveFrameHeaderSize && quint8(frameData.at(0)) == receiveFrameType)
        frames.push_back(decodeReceiveFrame(frameData));
    // A dropped frame leaves its buffer to the next one; a delivered one shares it with its
    // ApiFrame, and the next frame's resize takes a fresh one.
    step = Step::Hunting;
    filled = 0;
    frameEnd = nullptr;
}

bool ApiFrameParser::hasFrame() const
{
    return !frames.empty();
}

ApiFrame ApiFrameParser::takeFrame()
{
    if (frames.empty())
        return ApiFrame();
    ApiFrame oldest = std::move(frames.front());
    frames.pop_front();
    return oldest;
}

int ApiFrameParser::bufferedByteCount() const
{
    return filled;
}

QByteArray escapeApiBytes(const QByteArray &bytes)
{
    QByteArray escaped;
    escaped.reserve(bytes.size() + bytes.size() / 8 + 2);
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        if (needsEscape(byte)) {
            escaped.append(char(escapeByte));
            escaped.append(char(byte ^ escapeXor));
        } else {
            escaped.append(c);
        }
    }
    return escaped;
}

QByteArray wrapApiFrame(const QByteArray &frameData)
{
    quint8 sum = 0;
    for (const char c : frameData)
        sum = quint8(sum + quint8(c));

    QByteArray content;
    content.reserve(frameData.size() + 3);
    content.append(char((frameData.size() >> 8) & 0xFF));
    content.append(char(frameData.size() & 0xFF));
    content.append(frameData);
    content.append(char(0xFF - sum));

    return char(startDelimiter) + escapeApiBytes(content);
}

QByteArray buildTransmitRequest(qint64 destination, const QByteArray &payload)
{
    QByteArray data;
    data.reserve(14 + payload.size());
    data.append(char(0x10)); // transmit request
    data.append(char(0x00)); // frame id: no transmit status wanted
    data.append(bigEndianBytes64(destination));
    data.append(char(0xFF)); // 16-bit network address unknown
    data.append(char(0xFE));
    data.append(char(0x00)); // broadcast radius
    data.append(char(0x00)); // options
    data.append(payload);
    return wrapApiFrame(data);
}

QByteArray buildRemoteAtCommand(qint64 destination, const QByteArray &commandAndParameters)
{
    QByteArray data;
    data.reserve(13 + commandAndParameters.size());
    data.append(char(0x17)); // remote AT command request
    data.append(char(0x00)); // frame id: no response wanted
    data.append(bigEndianBytes64(destination));
    data.append(char(0xFF)); // 16-bit network address unknown
    data.append(char(0xFE));
    data.append(char(0x02)); // apply changes at once
    data.append(commandAndParameters);
    return wrapApiFrame(data);
}

QByteArray bigEndianBytes64(qint64 value)
{
    const quint64 bits = quint64(value);
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[i] = char((bits >> (56 - 8 * i)) & 0xFF);
    return bytes;
}

QByteArray bigEndianBytes32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (24 - 8 * i)) & 0xFF);
    return bytes;
}
