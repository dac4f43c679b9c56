#ifndef VENTROLLA_LINK_MODULEMESSAGE_H
#define VENTROLLA_LINK_MODULEMESSAGE_H

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <array>
#include <vector>

// One message of a flight module's own protocol ('#', type byte, payload).
struct ModuleMessage
{
    enum Type : quint8 {
        Hello = 0x08,
        Data = 0x09,
        XData = 0x9E,
        CalibReady = 0x91,
        CalibDataCompass = 0x93,
        CalibOk = 0x95,
        CalibErr = 0x96,
        CalibDonePitot = 0x98,
        CalibCupOk = 0x9A,
        IndoorAck = 0x9D,
        IntThermCalDone = 0xA0,
        ExtThermCalOk = 0xA2,
        ChangeBetaOk = 0xA4,
    };

    // Value slots of Data and XData messages.
    enum Slot {
        PressureSlot = 0,
        TemperatureSlot = 1,
        HumiditySlot = 2,
        WindDirectionSlot = 3,
        WindSpeedSlot = 4,
        SupplySlot = 5,
        HoursSlot = 6,
        MinutesSlot = 7,
        SecondsSlot = 8,
        LatitudeSlot = 9,
        LongitudeSlot = 10,
        AltitudeSlot = 11,
        CourseSlot = 12,
        GroundSpeedSlot = 13,
        XDataSlot = 14,
        SlotCount = 15
    };

    quint8 type = 0;
    QString text;                          // identifier of a Hello message
    std::array<QVariant, SlotCount> values; // decoded fields; absent ones stay invalid
    // The whole numbers behind the numeric slots (tenths, hundredths or units as sent), so the
    // flight module computes with them instead of reading its texts back.
    std::array<qint32, SlotCount> rawValues {};
    QByteArray sampleBytes;                // raw samples of a CalibDataCompass message
    quint8 indoorCode = 0;
    quint8 kindLetter = 0;
    quint16 tempEcho = 0;
    quint16 ackWord = 0;
};

// The text of scaled / 10^decimals with exactly that many decimals: what
// QString::arg(double, 0, 'f', decimals) gives for the value, without going through a double.
QString decimalText(qint64 scaled, int decimals);

// Turns the radio data of one flight module into module messages. '#' always starts a new
// message (an unfinished one is dropped); '!' escapes the next byte (XOR 0x20).
class ModuleMessageParser
{
public:
    // XData text longer than this (no line feed in sight) is dropped, so that a stream without
    // a line feed cannot make the parser's memory grow without bound.
    static constexpr int maxXDataLength = 4096;

    void feed(const QByteArray &payload);
    bool hasMessage() const;
    ModuleMessage takeMessage(); // the oldest completed message, or an empty one
    // The oldest completed message, in place and consumed (the caller may take its texts);
    // null when none is left. It stays valid until the parser is next called.
    ModuleMessage *nextMessage();

    void setFlagsOverride(bool enabled, quint8 value);
    // Data slots (bits by slot number) left without a text: only their raw value is given. For
    // a reader that writes its own text of them from the number.
    void setTextlessSlots(quint32 mask);

private:
    enum class Step {
        Idle,
        Type,
        HelloKind,
        HelloText,
        Data,
        XDataText,
        CompassCount,
        CompassSamples,
        IndoorCodeByte,
        TempEchoWord,
        AckWordWord,
    };

    void consume(quint8 byte);
    void consumeType(quint8 byte);
    void consumeData(quint8 byte);
    void decodeData();
    void complete();

    // Completed messages from head on; the vector keeps its room, so a steady stream of
    // messages allocates nothing for the queue.
    std::vector<ModuleMessage> messages;
    std::size_t head = 0;
    ModuleMessage message;
    Step step = Step::Idle;
    bool escape = false;

    int byteCount = 0;       // bytes consumed in the current step
    quint8 word[2] = {};     // assembly of the 16-bit payloads of acknowledgements
    // A Data message is collected whole (14 fixed bytes and at most 19 of groups), then decoded.
    quint8 dataBytes[33] = {};
    int expectedDataBytes = 0;
    quint32 textlessSlots = 0;
    bool overrideEnabled = false;
    quint8 overrideValue = 0;
    int expectedSampleBytes = 0;
    QByteArray xdataText;
};

#endif
