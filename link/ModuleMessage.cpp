#include "link/ModuleMessage.h"

#include <algorithm>

namespace {

constexpr quint8 startCharacter = '#';
constexpr quint8 escapeCharacter = '!';
constexpr int helloTextLength = 12;
constexpr int dataFixedLength = 14; // fixed part of a Data message, contents flags last
constexpr int compassSampleSize = 28;

quint16 word16(const quint8 *bytes)
{
    return quint16((bytes[0] << 8) | bytes[1]);
}

int groupSize(int bit)
{
    if (bit >= 5)
        return 1; // hours, minutes, seconds
    if (bit >= 3)
        return 5; // latitude, longitude
    return 2;     // altitude, course, ground speed
}

// Degrees and minutes as ddmm in a, ten-thousandths of a minute in b; the value in degrees
// with six decimals. Worked in whole numbers: millionths of a degree are the
// ten-thousandth of a minute times 10/6, so the exact value never falls halfway between two
// millionths and rounding it gives the same text as the floating-point sum would.
QVariant positionText(const quint8 *bytes, char negativeHemisphere)
{
    const qint64 a = word16(bytes);
    const qint64 b = word16(bytes + 2);
    const qint64 tenThousandthsOfMinute = (a % 100) * 10000 + b;
    qint64 micro = (a / 100) * 1000000 + (tenThousandthsOfMinute * 10 + 3) / 6;
    if (bytes[4] == quint8(negativeHemisphere))
        micro = -micro;
    return decimalText(micro, 6);
}

} // namespace

QString decimalText(qint64 scaled, int decimals)
{
    char digits[32];
    char *end = digits + sizeof digits;
    char *p = end;
    const bool negative = scaled < 0;
    quint64 magnitude = negative ? quint64(-(scaled + 1)) + 1 : quint64(scaled);
    // Record values fit in 32 bits, whose division by 10 is a cheap multiplication.
    const auto writeDigits = [&p, decimals](auto value) {
        for (int i = 0; i < decimals; ++i) {
            *--p = char('0' + value % 10);
            value /= 10;
        }
        if (decimals > 0)
            *--p = '.';
        do {
            *--p = char('0' + value % 10);
            value /= 10;
        } while (value);
    };
    if (magnitude <= 0xFFFFFFFFu)
        writeDigits(quint32(magnitude));
    else
        writeDigits(magnitude);
    if (negative)
        *--p = '-';
    QString text(int(end - p), Qt::Uninitialized);
    ushort *out = reinterpret_cast<ushort *>(text.data());
    while (p != end)
        *out++ = quint8(*p++);
    return text;
}

void ModuleMessageParser::feed(const QByteArray &payload)
{
    for (const char c : payload) {
        quint8 byte = quint8(c);
        if (byte == startCharacter) {
            escape = false;
            message = ModuleMessage();
            step = Step::Type;
            continue;
        }
        if (escape) {
            escape = false;
            byte ^= 0x20;
        } else if (byte == escapeCharacter) {
            escape = true;
            continue;
        }
        // Data bytes, most of the stream, go straight to their step.
        if (step == Step::Data)
            consumeData(byte);
        else if (step != Step::Idle)
            consume(byte);
    }
}

bool ModuleMessageParser::hasMessage() const
{
    return head < messages.size();
}

ModuleMessage ModuleMessageParser::takeMessage()
{
    ModuleMessage *oldest = nextMessage();
    return oldest ? std::move(*oldest) : ModuleMessage();
}

ModuleMessage *ModuleMessageParser::nextMessage()
{
    if (head < messages.size())
        return &messages[head++];
    messages.clear();
    head = 0;
    return nullptr;
}

void ModuleMessageParser::setTextlessSlots(quint32 mask)
{
    textlessSlots = mask;
}

void ModuleMessageParser::setFlagsOverride(bool enabled, quint8 value)
{
    overrideEnabled = enabled;
    overrideValue = value;
}

void ModuleMessageParser::complete()
{
    // The moved-from message is renewed by the '#' that starts the next one.
    messages.push_back(std::move(message));
    step = Step::Idle;
}

void ModuleMessageParser::consume(quint8 byte)
{
    switch (step) {
    case Step::Idle:
        break;
    case Step::Type:
        consumeType(byte);
        break;
    case Step::HelloKind:
        message.kindLetter = byte;
        step = Step::HelloText;
        byteCount = 0;
        break;
    case Step::HelloText:
        // Non-zero bytes become characters, sign-extended as the module's firmware does.
        if (byte != 0)
            message.text.append(QChar(ushort(qint16(qint8(byte)))));
        if (++byteCount == helloTextLength)
            complete();
        break;
    case Step::Data:
        consumeData(byte);
        break;
    case Step::XDataText:
        if (byte == '\r')
            break;
        if (byte == '\n') {
            const int end = xdataText.indexOf('\0');
            message.values[ModuleMessage::XDataSlot] =
                QString::fromLatin1(end < 0 ? xdataText : xdataText.left(end));
            xdataText.clear();
            complete();
            break;
        }
        if (xdataText.size() >= maxXDataLength) {
            xdataText.clear();
            message = ModuleMessage();
            step = Step::Idle;
            break;
        }
        xdataText.append(char(byte));
        break;
    case Step::CompassCount:
        expectedSampleBytes = byte * compassSampleSize;
        message.sampleBytes.reserve(expectedSampleBytes);
        step = Step::CompassSamples;
        break;
    case Step::CompassSamples:
        // A count of 0 never completes: the message waits for the next '#'.
        if (message.sampleBytes.size() < expectedSampleBytes) {
            message.sampleBytes.append(char(byte));
            if (message.sampleBytes.size() == expectedSampleBytes)
                complete();
        }
        break;
    case Step::IndoorCodeByte:
        message.indoorCode = byte;
        complete();
        break;
    case Step::TempEchoWord:
    case Step::AckWordWord:
        word[byteCount++] = byte;
        if (byteCount == 2) {
            if (step == Step::TempEchoWord)
                message.tempEcho = word16(word);
            else
                message.ackWord = word16(word);
            complete();
        }
        break;
    }
}

void ModuleMessageParser::consumeType(quint8 byte)
{
    message.type = byte;
    byteCount = 0;
    switch (byte) {
    case ModuleMessage::Hello:
        step = Step::HelloKind;
        break;
    case ModuleMessage::Data:
        step = Step::Data;
        expectedDataBytes = dataFixedLength; // until the contents flags tell
        break;
    case ModuleMessage::XData:
        xdataText = QByteArrayLiteral("xdata=");
        step = Step::XDataText;
        break;
    case ModuleMessage::CalibReady:
    case ModuleMessage::CalibOk:
    case ModuleMessage::CalibErr:
    case ModuleMessage::CalibDonePitot:
    case ModuleMessage::CalibCupOk:
    case ModuleMessage::IntThermCalDone:
        complete();
        break;
    case ModuleMessage::CalibDataCompass:
        step = Step::CompassCount;
        break;
    case ModuleMessage::IndoorAck:
        step = Step::IndoorCodeByte;
        break;
    case ModuleMessage::ExtThermCalOk:
        step = Step::TempEchoWord;
        break;
    case ModuleMessage::ChangeBetaOk:
        step = Step::AckWordWord;
        break;
    default:
        message = ModuleMessage();
        step = Step::Idle;
        break;
    }
}

void ModuleMessageParser::consumeData(quint8 byte)
{
    dataBytes[byteCount++] = byte;
    if (byteCount == dataFixedLength) {
        const quint8 flags = overrideEnabled ? overrideValue : byte;
        dataBytes[dataFixedLength - 1] = flags;
        expectedDataBytes = dataFixedLength;
        for (int bit = 0; bit < 8; ++bit) {
            if (flags & (1 << bit))
                expectedDataBytes += groupSize(bit);
        }
    }
    if (byteCount == expectedDataBytes)
        decodeData();
}

// The whole message is in dataBytes: its fields are decoded in one pass, in slot order.
void ModuleMessageParser::decodeData()
{
    const quint8 *bytes = dataBytes;
    const auto scaled = [this](int slot, qint32 raw, int decimals) {
        message.rawValues[slot] = raw;
        if (!(textlessSlots & (1u << slot)))
            message.values[slot] = decimalText(raw, decimals);
    };
    scaled(ModuleMessage::PressureSlot, word16(bytes + 1), 1);
    scaled(ModuleMessage::TemperatureSlot, word16(bytes + 3), 1);
    scaled(ModuleMessage::HumiditySlot, word16(bytes + 5), 1);
    scaled(ModuleMessage::WindDirectionSlot, word16(bytes + 7), 0);
    scaled(ModuleMessage::WindSpeedSlot, word16(bytes + 9), 1);
    scaled(ModuleMessage::SupplySlot, word16(bytes + 11), 2);

    const quint8 flags = bytes[dataFixedLength - 1];
    bytes += dataFixedLength;
    auto &values = message.values;
    for (int bit = 7; bit >= 0; --bit) {
        if (!(flags & (1 << bit)))
            continue;
        switch (bit) {
        case 7:
        case 6:
        case 5:
        {
            // Hours, minutes, seconds: slots 6, 7 and 8.
            const int slot = ModuleMessage::HoursSlot + 7 - bit;
            values[slot] = int(bytes[0]);
            message.rawValues[slot] = bytes[0];
            break;
        }
        case 4:
            values[ModuleMessage::LatitudeSlot] = positionText(bytes, 'S');
            break;
        case 3:
            values[ModuleMessage::LongitudeSlot] = positionText(bytes, 'W');
            break;
        case 2:
            // Whole metres, written with one decimal.
            message.rawValues[ModuleMessage::AltitudeSlot] = qint16(word16(bytes));
            if (!(textlessSlots & (1u << ModuleMessage::AltitudeSlot))) {
                values[ModuleMessage::AltitudeSlot] =
                    decimalText(qint64(qint16(word16(bytes))) * 10, 1);
            }
            break;
        case 1:
            values[ModuleMessage::CourseSlot] = int(word16(bytes));
            break;
        case 0:
            scaled(ModuleMessage::GroundSpeedSlot, word16(bytes), 1);
            break;
        default:
            break;
        }
        bytes += groupSize(bit);
    }
    complete();
}
