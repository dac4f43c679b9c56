#include "ApiRequestReader.h"

namespace {

constexpr quint8 startDelimiter = 0x7E;
constexpr quint8 escapeByte = 0x7D;

} // namespace

void ApiRequestReader::setEscaping(bool enabled)
{
    escaping = enabled;
    reset();
}

void ApiRequestReader::reset()
{
    frameData.clear();
    step = Step::Hunting;
    escapePending = false;
}

void ApiRequestReader::feed(const QByteArray &bytes)
{
    for (const char c : bytes) {
        quint8 byte = quint8(c);
        if (escaping) {
            if (byte == startDelimiter) {
                reset();
                step = Step::LengthHigh;
                continue;
            }
            if (byte == escapeByte) {
                escapePending = true;
                continue;
            }
            if (escapePending) {
                escapePending = false;
                byte ^= 0x20;
            }
        }

        switch (step) {
        case Step::Hunting:
            if (byte == startDelimiter)
                step = Step::LengthHigh;
            break;
        case Step::LengthHigh:
            length = byte << 8;
            step = Step::LengthLow;
            break;
        case Step::LengthLow:
            length |= byte;
            frameData.clear();
            sum = 0;
            step = length > 0 ? Step::Data : Step::Hunting;
            break;
        case Step::Data:
            frameData.append(char(byte));
            sum = quint8(sum + byte);
            if (frameData.size() == length)
                step = Step::Checksum;
            break;
        case Step::Checksum:
            if (quint8(sum + byte) == 0xFF)
                frames.enqueue(frameData);
            reset();
            break;
        }
    }
}

bool ApiRequestReader::hasFrame() const
{
    return !frames.isEmpty();
}

QByteArray ApiRequestReader::takeFrame()
{
    return frames.isEmpty() ? QByteArray() : frames.dequeue();
}
