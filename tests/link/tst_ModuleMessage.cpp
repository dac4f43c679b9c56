#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/ModuleMessage.h"

#include <QtTest>

using namespace ModuleBytes;

namespace {

QList<ModuleMessage> parse(ModuleMessageParser &parser, const QByteArray &payload)
{
    parser.feed(payload);
    QList<ModuleMessage> messages;
    while (parser.hasMessage())
        messages.append(parser.takeMessage());
    return messages;
}

QList<ModuleMessage> parse(const QByteArray &payload)
{
    ModuleMessageParser parser;
    return parse(parser, payload);
}

// Every value slot as text; "-" marks an invalid slot.
QStringList slotTexts(const ModuleMessage &message)
{
    QStringList texts;
    for (const QVariant &value : message.values)
        texts.append(value.isValid() ? value.toString() : QStringLiteral("-"));
    return texts;
}

QStringList fixedSlots(const QStringList &first, const QString &xdata = QStringLiteral("-"))
{
    QStringList texts = first;
    while (texts.size() < ModuleMessage::XDataSlot)
        texts.append(QStringLiteral("-"));
    texts.append(xdata);
    return texts;
}

} // namespace

class TestModuleMessage : public QObject
{
    Q_OBJECT

private slots:
    void helloCompletesAfterTwelveTextBytes();
    void helloTextSignExtendsHighBytes();
    void dataFixedPartTexts_data();
    void dataFixedPartTexts();
    void dataWithAllGroups();
    void groupsFollowFlagsFromBitSevenDown();
    void positions_data();
    void positions();
    void signedAltitudeAndUnsignedWords();
    void flagsOverride();
    void escapes();
    void xdataText_data();
    void xdataText();
    void xdataLengthIsBounded();
    void compassSamples();
    void compassWithoutSamplesNeverCompletes();
    void shortMessages_data();
    void shortMessages();
    void unknownTypeLeavesParserIdle();
    void messagesAcrossPayloads();
    void hashCutsUnfinishedMessage();
};

void TestModuleMessage::helloCompletesAfterTwelveTextBytes()
{
    const QByteArray bytesOnWire = hello('P', "AB");
    ModuleMessageParser parser;
    QVERIFY(parse(parser, bytesOnWire.chopped(1)).isEmpty());
    const QList<ModuleMessage> messages = parse(parser, bytesOnWire.right(1) + "garbage");
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].type, quint8(ModuleMessage::Hello));
    QCOMPARE(messages[0].kindLetter, quint8('P'));
    QCOMPARE(messages[0].text, QStringLiteral("AB"));
}

void TestModuleMessage::helloTextSignExtendsHighBytes()
{
    // Zero bytes are skipped but counted; bytes from 0x80 become U+FF80 and up.
    const QList<ModuleMessage> messages =
        parse(message(0x08, bytes({'Q', 'T', 0, 'X', 0x80, 0xE9, 0xFF, 0, 0, 0, 0, 0, '1'})));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, QString("TX") + QChar(0xFF80) + QChar(0xFFE9) + QChar(0xFFFF) + "1");
}

void TestModuleMessage::dataFixedPartTexts_data()
{
    QTest::addColumn<QList<int>>("raw");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("typical") << QList<int>{10132, 2953, 456, 270, 50, 1205}
                             << QStringList{"1013.2", "295.3", "45.6", "270", "5.0", "12.05"};
    QTest::newRow("zeros") << QList<int>{0, 0, 0, 0, 0, 0}
                           << QStringList{"0.0", "0.0", "0.0", "0", "0.0", "0.00"};
    QTest::newRow("smallest") << QList<int>{1, 9, 10, 7, 1, 5}
                              << QStringList{"0.1", "0.9", "1.0", "7", "0.1", "0.05"};
    QTest::newRow("largest") << QList<int>{65535, 65535, 65535, 65535, 65535, 65535}
                             << QStringList{"6553.5", "6553.5", "6553.5", "65535", "6553.5",
                                            "655.35"};
}

void TestModuleMessage::dataFixedPartTexts()
{
    QFETCH(QList<int>, raw);
    QFETCH(QStringList, texts);
    DataFields d;
    d.pressure = raw[0];
    d.temperature = raw[1];
    d.humidity = raw[2];
    d.windDirection = raw[3];
    d.windSpeed = raw[4];
    d.supply = raw[5];

    // With flags 0 the message completes right after the flags byte.
    const QByteArray wire = data(d);
    ModuleMessageParser parser;
    QVERIFY(parse(parser, wire.chopped(1)).isEmpty());
    const QList<ModuleMessage> messages = parse(parser, wire.right(1));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].type, quint8(ModuleMessage::Data));
    QCOMPARE(slotTexts(messages[0]), fixedSlots(texts));
}

void TestModuleMessage::dataWithAllGroups()
{
    const QList<ModuleMessage> messages = parse(data(allGroups()));
    QCOMPARE(messages.size(), 1);
    const ModuleMessage &m = messages[0];
    QCOMPARE(slotTexts(m), fixedSlots({"1013.2", "295.3", "45.6", "270", "5.0", "12.05", "7", "5",
                                       "59", "48.120833", "-11.516667", "-5.0", "359", "12.3"}));
    // Time and course are integers, every other field is text.
    for (int slot = 0; slot < ModuleMessage::XDataSlot; ++slot) {
        const bool integer = (slot >= ModuleMessage::HoursSlot && slot <= ModuleMessage::SecondsSlot)
                             || slot == ModuleMessage::CourseSlot;
        QCOMPARE(m.values[size_t(slot)].userType(),
                 integer ? int(QMetaType::Int) : int(QMetaType::QString));
    }
}

void TestModuleMessage::groupsFollowFlagsFromBitSevenDown()
{
    // Flags 0x90: hours (bit 7), then latitude (bit 4), then the message is complete.
    const QByteArray wire = message(0x09, dataPayload(DataFields(), 0x90) + bytes({23})
                                              + word(4807) + word(2500) + 'S' + "after");
    const QList<ModuleMessage> messages = parse(wire);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(slotTexts(messages[0]), fixedSlots({"1013.2", "295.3", "45.6", "270", "5.0", "12.05",
                                                 "23", "-", "-", "-48.120833"}));
}

void TestModuleMessage::positions_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<char>("hemisphere");
    QTest::addColumn<QString>("text");
    QTest::newRow("north") << 0x10 << 4807 << 2500 << 'N' << "48.120833";
    QTest::newRow("south") << 0x10 << 4807 << 2500 << 'S' << "-48.120833";
    QTest::newRow("W does not negate a latitude") << 0x10 << 4807 << 2500 << 'W' << "48.120833";
    QTest::newRow("east") << 0x08 << 11131 << 0 << 'E' << "111.516667";
    QTest::newRow("west") << 0x08 << 11131 << 0 << 'W' << "-111.516667";
    QTest::newRow("S does not negate a longitude") << 0x08 << 11131 << 0 << 'S' << "111.516667";
    QTest::newRow("smallest step") << 0x10 << 0 << 1 << 'N' << "0.000002";
    QTest::newRow("largest") << 0x08 << 17959 << 9999 << 'E' << "179.999998";
    QTest::newRow("negated zero has no sign") << 0x08 << 0 << 0 << 'W' << "0.000000";
}

void TestModuleMessage::positions()
{
    QFETCH(int, flag);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(char, hemisphere);
    QFETCH(QString, text);
    DataFields d;
    d.flags = flag;
    d.latitude = d.longitude = {a, b, hemisphere};
    const QList<ModuleMessage> messages = parse(data(d));
    QCOMPARE(messages.size(), 1);
    const int slot = flag == 0x10 ? ModuleMessage::LatitudeSlot : ModuleMessage::LongitudeSlot;
    QCOMPARE(messages[0].values[size_t(slot)].toString(), text);
}

void TestModuleMessage::signedAltitudeAndUnsignedWords()
{
    DataFields d;
    d.flags = 0x07;
    const struct { int altitude, course, speed; const char *alt, *speedText; } rows[] = {
        {-5, 0, 0, "-5.0", "0.0"},
        {32767, 65535, 65535, "32767.0", "6553.5"},
        {-32768, 1, 1, "-32768.0", "0.1"},
    };
    for (const auto &row : rows) {
        d.altitude = row.altitude;
        d.course = row.course;
        d.groundSpeed = row.speed;
        const ModuleMessage m = parse(data(d)).value(0);
        QCOMPARE(m.values[ModuleMessage::AltitudeSlot].toString(), QString(row.alt));
        QCOMPARE(m.values[ModuleMessage::CourseSlot], QVariant(row.course));
        QCOMPARE(m.values[ModuleMessage::GroundSpeedSlot].toString(), QString(row.speedText));
    }
}

void TestModuleMessage::flagsOverride()
{
    ModuleMessageParser parser;
    parser.setFlagsOverride(true, 0);
    // Flags 0xFF on the wire, but the message ends at the flags byte; the group bytes behind it
    // are ignored up to the next '#'.
    QList<ModuleMessage> messages = parse(parser, data(allGroups()) + message(0x91));
    QCOMPARE(messages.size(), 2);
    QCOMPARE(slotTexts(messages[0]),
             fixedSlots({"1013.2", "295.3", "45.6", "270", "5.0", "12.05"}));
    QCOMPARE(messages[1].type, quint8(ModuleMessage::CalibReady));

    // The override value replaces the flags byte: 0x80 asks for the hours, whatever was sent.
    parser.setFlagsOverride(true, 0x80);
    messages = parse(parser, message(0x09, dataPayload(DataFields(), 0x00) + bytes({12})));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].values[ModuleMessage::HoursSlot], QVariant(12));

    parser.setFlagsOverride(false, 0x80);
    messages = parse(parser, data(allGroups()));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].values[ModuleMessage::GroundSpeedSlot].toString(), QString("12.3"));
}

void TestModuleMessage::escapes()
{
    // '!' 0x03 is '#' as data, '!' 0x01 is '!'.
    QCOMPARE(parse(bytes({'#', 0x9D, '!', 0x03})).value(0).indoorCode, quint8('#'));
    QCOMPARE(parse(bytes({'#', 0x9D, '!', 0x01})).value(0).indoorCode, quint8('!'));
    // The type byte can be escaped as well: '!' 0x29 is a Data message.
    QCOMPARE(parse(bytes({'#', '!', 0x29}) + escape(dataPayload(DataFields(), 0))).value(0).type,
             quint8(ModuleMessage::Data));

    // '!' followed by '#' starts a new message; the escape does not carry over.
    const QList<ModuleMessage> restarted = parse(bytes({'#', 0x9D, '!', '#', 0x9D, 0x05}));
    QCOMPARE(restarted.size(), 1);
    QCOMPARE(restarted[0].indoorCode, quint8(5));

    // Pressure 0x2321 travels as '!' 0x03 '!' 0x01.
    DataFields d;
    d.pressure = 0x2321;
    const QByteArray wire = data(d);
    QVERIFY(wire.contains(bytes({'!', 0x03, '!', 0x01})));
    QCOMPARE(parse(wire).value(0).values[ModuleMessage::PressureSlot].toString(), QString("899.3"));
}

void TestModuleMessage::xdataText_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("text");
    QTest::newRow("carriage return dropped")
        << bytes({'#', 0x9E}) + "T=12.5\r\n" << QString("xdata=T=12.5");
    QTest::newRow("empty") << bytes({'#', 0x9E, '\n'}) << QString("xdata=");
    QTest::newRow("cut at zero byte") << bytes({'#', 0x9E, 'a', 'b', 0, 'c', '\n'})
                                      << QString("xdata=ab");
    QTest::newRow("latin-1") << bytes({'#', 0x9E, 0xE9, 0xB0, '\n'})
                             << QString("xdata=") + QChar(0xE9) + QChar(0xB0);
    QTest::newRow("escaped characters") << xdata("#1 !2") << QString("xdata=#1 !2");
    QTest::newRow("inner carriage return") << bytes({'#', 0x9E, 'a', '\r', 'b', '\n'})
                                           << QString("xdata=ab");
}

void TestModuleMessage::xdataText()
{
    QFETCH(QByteArray, wire);
    QFETCH(QString, text);
    const QList<ModuleMessage> messages = parse(wire + "trailing");
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].type, quint8(ModuleMessage::XData));
    QCOMPARE(slotTexts(messages[0]), fixedSlots({}, text));
}

void TestModuleMessage::xdataLengthIsBounded()
{
    // The text (with its "xdata=" prefix) may reach maxXDataLength characters; one more and the
    // message is dropped, and the parser waits for the next '#'.
    const int longest = ModuleMessageParser::maxXDataLength - 6;
    const QList<ModuleMessage> kept = parse(xdata(QByteArray(longest, 'x')));
    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept[0].values[ModuleMessage::XDataSlot].toString().size(),
             ModuleMessageParser::maxXDataLength);

    ModuleMessageParser parser;
    QVERIFY(parse(parser, xdata(QByteArray(longest + 1, 'x'))).isEmpty());
    QVERIFY(parse(parser, QByteArray(100000, 'y') + "\n").isEmpty());
    const QList<ModuleMessage> next = parse(parser, xdata("ok"));
    QCOMPARE(next.size(), 1);
    QCOMPARE(next[0].values[ModuleMessage::XDataSlot].toString(), QString("xdata=ok"));
}

void TestModuleMessage::compassSamples()
{
    QByteArray samples;
    for (int i = 0; i < 56; ++i)
        samples.append(char(i == 10 ? '#' : i == 20 ? '!' : 'A' + i % 16));
    const QByteArray wire = ModuleBytes::compassSamples(samples);
    ModuleMessageParser parser;
    QVERIFY(parse(parser, wire.chopped(1)).isEmpty());
    const QList<ModuleMessage> messages = parse(parser, wire.right(1) + "ABC");
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].type, quint8(ModuleMessage::CalibDataCompass));
    QCOMPARE(messages[0].sampleBytes, samples);
}

void TestModuleMessage::compassWithoutSamplesNeverCompletes()
{
    ModuleMessageParser parser;
    QVERIFY(parse(parser, bytes({'#', 0x93, 0}) + QByteArray(200, 'A')).isEmpty());
    const QList<ModuleMessage> messages = parse(parser, message(0x95));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].type, quint8(ModuleMessage::CalibOk));
}

void TestModuleMessage::shortMessages_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("number"); // indoorCode, tempEcho or ackWord
    for (int type : {0x91, 0x95, 0x96, 0x98, 0x9A, 0xA0})
        QTest::addRow("no payload 0x%02X", type) << bytes({'#', type}) << type << 0;
    QTest::newRow("indoor ack") << message(0x9D, bytes({155})) << 0x9D << 155;
    QTest::newRow("temperature echo") << message(0xA2, word(0x1234)) << 0xA2 << 0x1234;
    QTest::newRow("temperature echo escaped") << message(0xA2, word(0x2321)) << 0xA2 << 0x2321;
    QTest::newRow("beta acknowledged") << message(0xA4, word(0xFEDC)) << 0xA4 << 0xFEDC;
}

void TestModuleMessage::shortMessages()
{
    QFETCH(QByteArray, wire);
    QFETCH(int, type);
    QFETCH(int, number);
    const QList<ModuleMessage> messages = parse(wire + bytes({0x9D, 1, 2}));
    QCOMPARE(messages.size(), 1);
    const ModuleMessage &m = messages[0];
    QCOMPARE(int(m.type), type);
    QCOMPARE(int(m.indoorCode), type == 0x9D ? number : 0);
    QCOMPARE(int(m.tempEcho), type == 0xA2 ? number : 0);
    QCOMPARE(int(m.ackWord), type == 0xA4 ? number : 0);
    QVERIFY(m.sampleBytes.isEmpty());
    QCOMPARE(slotTexts(m), fixedSlots({}));
}

void TestModuleMessage::unknownTypeLeavesParserIdle()
{
    ModuleMessageParser parser;
    QVERIFY(parse(parser, bytes({'#', 0x92, 0x91, 0x95, 0x9D, 1})).isEmpty());
    QCOMPARE(parse(parser, bytes({'#', 0x91})).size(), 1);
}

void TestModuleMessage::messagesAcrossPayloads()
{
    const QByteArray first = data(allGroups());
    const QByteArray second = hello('C', "TX0002");
    const QList<ModuleMessage> both = parse(first + second);
    QCOMPARE(both.size(), 2);
    QCOMPARE(both[0].type, quint8(ModuleMessage::Data));
    QCOMPARE(both[1].text, QString("TX0002"));

    const QStringList expected = slotTexts(both[0]);
    for (int split = 1; split < first.size(); ++split) {
        ModuleMessageParser parser;
        QVERIFY(parse(parser, first.left(split)).isEmpty());
        const QList<ModuleMessage> messages = parse(parser, first.mid(split));
        QCOMPARE(messages.size(), 1);
        QCOMPARE(slotTexts(messages[0]), expected);
    }
}

void TestModuleMessage::hashCutsUnfinishedMessage()
{
    ModuleMessageParser parser;
    QVERIFY(parse(parser, QByteArray("outside") + data(allGroups()).left(20)).isEmpty());
    const QList<ModuleMessage> messages = parse(parser, message(0x9D, bytes({156})));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].indoorCode, quint8(156));
    QVERIFY(parser.takeMessage().type == 0);
}

VENTROLLA_TEST_MAIN(TestModuleMessage)
#include "tst_ModuleMessage.moc"
