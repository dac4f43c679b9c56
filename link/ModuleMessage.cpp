#include "link/ModuleMessage.h"

namespace {

constexpr quint8 startCharacter = '#';
constexpr quint8 escapeCharacter = '!';
constexpr int helloTextLength = 12;
constexpr int dataFixedLength = 14; // fixed part of a Data message, contents flags last
constexpr int compassSampleSize = 28;

void setScaled(ModuleMessage &message, int slot, qint32 raw, int decimals)
{
    message.rawValues[slot] = raw;
    message.values[slot] = decimalText(raw, decimals);
}

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
    for (int i = 0; i < decimals; ++i) {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (decimals > 0)
        *--p = '.';
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (negative)
        *--p = '-';
    return QString::fromLatin1(p, int(end - p));
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
        if (step != Step::Idle)
            consume(byte);
    }
}

bool ModuleMessageParser::hasMessage() const
{
    return !messages.empty();
}

ModuleMessage ModuleMessageParser::takeMessage()
{
    if (messages.empty())
        return ModuleMessage();
    ModuleMessage oldest = std::move(messages.front());
    messages.pop_front();
    return oldest;
}

void ModuleMessageParser::setFlagsOverride(bool enabled, quint8 value)
{
    overrideEnabled = enabled;
    overrideValue = value;
}

void ModuleMessageParser::complete()
{
    messages.push_back(std::move(message));
    message = ModuleMessage();
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
    case Step::DataFixed:
        consumeDataFixed(byte);
        break;
    case Step::DataGroup:
        consumeDataGroup(byte);
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
        step = Step::DataFixed;
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

void ModuleMessageParser::consumeDataFixed(quint8 byte)
{
    const int position = byteCount++;
    if (position == dataFixedLength - 1) {
        contentsFlags = overrideEnabled ? overrideValue : byte;
        beginNextDataGroup();
        return;
    }
    if (position == 0)
        return; // not used by this program
    word[(position - 1) % 2] = byte;
    if ((position - 1) % 2 == 0)
        return;

    const quint16 value = word16(word);
    switch (position) {
    case 2:
        setScaled(message, ModuleMessage::PressureSlot, value, 1);
        break;
    case 4:
        setScaled(message, ModuleMessage::TemperatureSlot, value, 1);
        break;
    case 6:
        setScaled(message, ModuleMessage::HumiditySlot, value, 1);
        break;
    case 8:
        setScaled(message, ModuleMessage::WindDirectionSlot, value, 0);
        break;
    case 10:
        setScaled(message, ModuleMessage::WindSpeedSlot, value, 1);
        break;
    case 12:
        setScaled(message, ModuleMessage::SupplySlot, value, 2);
        break;
    default:
        break;
    }
}

void ModuleMessageParser::beginNextDataGroup()
{
    if (contentsFlags == 0) {
        complete();
        return;
    }
    currentGroup = 7;
    while (!(contentsFlags & (1 << currentGroup)))
        --currentGroup;
    contentsFlags = quint8(contentsFlags & ~(1 << currentGroup));
    byteCount = 0;
    step = Step::DataGroup;
}

void ModuleMessageParser::consumeDataGroup(quint8 byte)
{
    word[byteCount++] = byte;
    if (byteCount < groupSize(currentGroup))
        return;

    auto &values = message.values;
    switch (currentGroup) {
    case 7:
        values[ModuleMessage::HoursSlot] = int(word[0]);
        message.rawValues[ModuleMessage::HoursSlot] = word[0];
        break;
    case 6:
        values[ModuleMessage::MinutesSlot] = int(word[0]);
        message.rawValues[ModuleMessage::MinutesSlot] = word[0];
        break;
    case 5:
        values[ModuleMessage::SecondsSlot] = int(word[0]);
        message.rawValues[ModuleMessage::SecondsSlot] = word[0];
        break;
    case 4:
        values[ModuleMessage::LatitudeSlot] = positionText(word, 'S');
        break;
    case 3:
        values[ModuleMessage::LongitudeSlot] = positionText(word, 'W');
        break;
    case 2:
    {
        // Whole metres, written with one decimal.
        const qint16 metres = qint16(word16(word));
        message.rawValues[ModuleMessage::AltitudeSlot] = metres;
        values[ModuleMessage::AltitudeSlot] = decimalText(qint64(metres) * 10, 1);
        break;
    }
    case 1:
        values[ModuleMessage::CourseSlot] = int(word16(word));
        break;
    case 0:
        setScaled(message, ModuleMessage::GroundSpeedSlot, word16(word), 1);
        break;
    default:
        break;
    }
    beginNextDataGroup();
}
