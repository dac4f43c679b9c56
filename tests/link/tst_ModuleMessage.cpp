#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/ModuleMessage.h"

#include <QtTest>

using namespace ModuleBytes;

namespace {

// A message in one line: type in hexadecimal, then what it carries; value slots joined by '|',
// "-" for an absent one.
QString describe(const ModuleMessage &m)
{
    QStringList parts{QString::number(m.type, 16)};
    if (m.kindLetter)
        parts << QChar(m.kindLetter) + QStringLiteral(":") + m.text;
    QStringList values;
    for (const QVariant &value : m.values)
        values << (value.isValid() ? value.toString() : QStringLiteral("-"));
    while (!values.isEmpty() && values.last() == "-")
        values.removeLast();
    if (!values.isEmpty())
        parts << values.join('|');
    if (!m.sampleBytes.isEmpty())
        parts << QString::fromLatin1(m.sampleBytes);
    const std::pair<const char *, int> numbers[] = {
        {"indoor=", m.indoorCode}, {"echo=", m.tempEcho}, {"ack=", m.ackWord}};
    for (const auto &[name, number] : numbers) {
        if (number)
            parts << name + QString::number(number);
    }
    return parts.join(' ');
}

QString parse(ModuleMessageParser &parser, const QByteArray &payload)
{
    parser.feed(payload);
    QStringList messages;
    while (parser.hasMessage())
        messages << describe(parser.takeMessage());
    return messages.join(" / ");
}

QByteArray fixedData(std::initializer_list<int> raw)
{
    DataFields d;
    d.pressure = raw.begin()[0];
    d.temperature = raw.begin()[1];
    d.humidity = raw.begin()[2];
    d.windDirection = raw.begin()[3];
    d.windSpeed = raw.begin()[4];
    d.supply = raw.begin()[5];
    return data(d);
}

QByteArray withGroups(int flags, Position position = {}, int altitude = 0, int course = 0,
                      int speed = 0)
{
    DataFields d;
    d.flags = flags;
    d.latitude = d.longitude = position;
    d.altitude = altitude;
    d.course = course;
    d.groundSpeed = speed;
    return data(d);
}

const QString fixedPart = QStringLiteral("9 1013.2|295.3|45.6|270|5.0|12.05");
const int longestXData = ModuleMessageParser::maxXDataLength - 6; // after "xdata="

} // namespace

class TestModuleMessage : public QObject
{
    Q_OBJECT

private slots:
    void messages_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("messages");

        QTest::newRow("hello") << hello('P', "AB") + "garbage" << "8 P:AB";
        // Zero bytes are skipped but counted; bytes from 0x80 become U+FF80 and up.
        QTest::newRow("hello, high bytes")
            << message(0x08, bytes({'Q', 'T', 0, 'X', 0x80, 0xE9, 0xFF, 0, 0, 0, 0, 0, '1'}))
            << "8 Q:TX" + QString(QChar(0xFF80)) + QChar(0xFFE9) + QChar(0xFFFF) + "1";
        QTest::newRow("data, smallest") << fixedData({1, 9, 10, 7, 1, 5}) << "9 0.1|0.9|1.0|7|0.1|0.05";
        QTest::newRow("data, largest") << fixedData({65535, 65535, 65535, 65535, 65535, 65535})
                                       << "9 6553.5|6553.5|6553.5|65535|6553.5|655.35";
        QTest::newRow("all groups")
            << data(allGroups()) << fixedPart + "|7|5|59|48.120833|-11.516667|-5.0|359|12.3";
        // Flags 0x90: hours (bit 7), then latitude (bit 4), then the message is complete.
        QTest::newRow("groups from bit seven down")
            << message(0x09, dataPayload(DataFields(), 0x90) + bytes({23}) + word(4807) + word(2500)
                                 + 'S' + "after")
            << fixedPart + "|23|-|-|-48.120833";
        const QString lat = fixedPart + "|-|-|-|", lon = lat + "-|";
        QTest::newRow("south") << withGroups(0x10, {4807, 2500, 'S'}) << lat + "-48.120833";
        QTest::newRow("W is no latitude") << withGroups(0x10, {4807, 2500, 'W'}) << lat + "48.120833";
        QTest::newRow("west") << withGroups(0x08, {11131, 0, 'W'}) << lon + "-111.516667";
        QTest::newRow("S is no longitude") << withGroups(0x08, {11131, 0, 'S'}) << lon + "111.516667";
        QTest::newRow("smallest step") << withGroups(0x10, {0, 1, 'N'}) << lat + "0.000002";
        QTest::newRow("largest") << withGroups(0x08, {17959, 9999, 'E'}) << lon + "179.999998";
        QTest::newRow("negated zero has no sign") << withGroups(0x08, {0, 0, 'W'}) << lon + "0.000000";
        QTest::newRow("altitude -5") << withGroups(0x07, {}, -5) << lon + "-|-5.0|0|0.0";
        QTest::newRow("words at the top") << withGroups(0x07, {}, 32767, 65535, 65535)
                                          << lon + "-|32767.0|65535|6553.5";
        // '!' 0x03 is '#' as data; the type byte can be escaped as well.
        QTest::newRow("escaped #") << bytes({'#', 0x9D, '!', 0x03}) << "9d indoor=35";
        QTest::newRow("escaped type") << bytes({'#', '!', 0x29}) + escape(dataPayload(DataFields(), 0)) << fixedPart;
        // '!' followed by '#' starts a new message; the escape does not carry over.
        QTest::newRow("escape before #") << bytes({'#', 0x9D, '!', '#', 0x9D, 0x05}) << "9d indoor=5";
        QTest::newRow("pressure 0x2321") << fixedData({0x2321, 2953, 456, 270, 50, 1205})
                                         << "9 899.3|295.3|45.6|270|5.0|12.05";
        const QString x = "-|-|-|-|-|-|-|-|-|-|-|-|-|-|xdata=";
        QTest::newRow("xdata") << bytes({'#', 0x9E}) + "T=12.5\r\ntrailing" << "9e " + x + "T=12.5";
        QTest::newRow("xdata, empty") << bytes({'#', 0x9E, '\n'}) << "9e " + x;
        QTest::newRow("xdata, cut at zero byte") << bytes({'#', 0x9E, 'a', 'b', 0, 'c', '\n'}) << "9e " + x + "ab";
        QTest::newRow("xdata, latin-1") << bytes({'#', 0x9E, 0xE9, 0xB0, '\n'}) << "9e " + x + "\u00E9\u00B0";
        // The text may reach maxXDataLength characters; one more and the message is dropped, and
        // the parser waits for the next '#'.
        QTest::newRow("xdata, longest") << xdata(QByteArray(longestXData, 'x'))
                                        << "9e " + x + QString(longestXData, 'x');
        QTest::newRow("xdata, too long") << xdata(QByteArray(longestXData + 1, 'x'))
                                                + QByteArray(100000, 'y') + "\n" + xdata("ok")
                                         << "9e " + x + "ok";
        QByteArray samples;
        for (int i = 0; i < 56; ++i)
            samples.append(char(i == 10 ? '#' : i == 20 ? '!' : 'A' + i % 16));
        QTest::newRow("compass") << compassSamples(samples) + "ABC" << "93 " + QString::fromLatin1(samples);
        QTest::newRow("compass without samples")
            << bytes({'#', 0x93, 0}) + QByteArray(200, 'A') + message(0x95) << "95";
        for (int type : {0x91, 0x95, 0x96, 0x98, 0x9A, 0xA0})
            QTest::addRow("type %02X", type) << bytes({'#', type, 0x9D, 1, 2}) << QString::number(type, 16);
        QTest::newRow("indoor ack") << message(0x9D, bytes({155, 0x9D})) << "9d indoor=155";
        QTest::newRow("temperature echo") << message(0xA2, word(0x1234)) << "a2 echo=4660";
        QTest::newRow("beta") << message(0xA4, word(0xFEDC)) << "a4 ack=65244";
        QTest::newRow("unknown type") << bytes({'#', 0x92, 0x91, 0x95, 0x9D, 1, '#', 0x91}) << "91";
        QTest::newRow("two messages") << data(allGroups()) + hello('C', "TX0002")
                                      << fixedPart + "|7|5|59|48.120833|-11.516667|-5.0|359|12.3 / 8 C:TX0002";
        QTest::newRow("# cuts a message") << "outside" + data(allGroups()).left(20) + message(0x9D, bytes({156}))
                                          << "9d indoor=156";
    }

    // Whole, and cut into two payloads at every position.
    void messages()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, messages);
        ModuleMessageParser parser;
        QCOMPARE(parse(parser, wire), messages);
        QCOMPARE(parser.takeMessage().type, quint8(0));
        for (int split = 1; split < qMin(wire.size(), 300); ++split) {
            ModuleMessageParser cut;
            QStringList parts{parse(cut, wire.left(split)), parse(cut, wire.mid(split))};
            parts.removeAll(QString());
            QCOMPARE(parts.join(" / "), messages);
        }
    }
};

VENTROLLA_TEST_MAIN(TestModuleMessage)
#include "tst_ModuleMessage.moc"
