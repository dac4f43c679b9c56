// The link layer: API frames taken apart and built byte for byte, the module messages inside them,
// flight modules, their saved records and the list that numbers them. Recorded captures are replayed
// delivery by delivery against the list's signals recorded beside them (tools/golden writes both).
// Long seeded streams mix intact frames with damaged ones and noise, cut into random deliveries:
// every intact frame must come out once and in order, and every intact message reach its module.

#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/ApiFrame.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"
#include "link/ModuleMessage.h"

#include <QtTest>

#include <memory>
#include <random>

using namespace ModuleBytes;

namespace {

QList<QByteArray> payloadsOf(const QByteArray &stream)
{
    ApiFrameParser parser;
    parser.feed(stream);
    QList<QByteArray> payloads;
    while (parser.hasFrame())
        payloads.append(parser.takeFrame().payload);
    return payloads;
}

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

QByteArray fixedData(int pressure, int temperature, int humidity, int direction, int speed, int supply)
{
    DataFields d;
    std::tie(d.pressure, d.temperature, d.humidity, d.windDirection, d.windSpeed, d.supply) =
        std::tie(pressure, temperature, humidity, direction, speed, supply);
    return data(d);
}

// The default fixed part with the given groups; the position serves as latitude and longitude.
QByteArray withGroups(int flags, Position at = {}, int altitude = 0, int course = 0, int speed = 0)
{
    DataFields d;
    std::tie(d.flags, d.latitude, d.longitude, d.altitude, d.course, d.groundSpeed) =
        std::tie(flags, at, at, altitude, course, speed);
    return data(d);
}

const QString fixedPart = QStringLiteral("9 1013.2|295.3|45.6|270|5.0|12.05");
const int longestXData = ModuleMessageParser::maxXDataLength - 6; // after "xdata="

constexpr qint64 address = 1234567890123LL;
constexpr qint64 first = 0x0013A20040000001LL;
constexpr qint64 second = 0x0013A20040000002LL;
constexpr qint64 third = 0x0013A20040000003LL;

const QString savedExample = QStringLiteral("TX0001;-105.0;1013.2;22.2;45.6;270;9.72;12.05;07:05:59;48.120833;"
                                            "-11.516667;359;12.3;xdata=T=1;1234567890123;100;156;80;1");


// Every signal of the list as one line, with the state of the module it announces.
void connectEvents(FlightModuleList &list, QStringList &events, QObject *context)
{
    using L = FlightModuleList;
    const auto add = [&events](const char *name, int n, const QString &details = QString()) {
        events << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(n) + (details.isEmpty() ? "" : " " + details);
    };
    QObject::connect(&list, &L::hello, context, [add, &list](int n) {
        const FlightModule *m = list.module(n);
        add("hello", n, QStringLiteral("kind=%1 direct=%2 id=%3").arg(QChar::fromLatin1(m->kindLetter()))
                            .arg(int(m->hasDirectTemperature())).arg(m->moduleId()));
    });
    QObject::connect(&list, &L::data, context, [add, &list](int n) {
        QStringList columns;
        for (const QVariant &value : list.module(n)->record())
            columns << (value.isValid() ? value.toString() : QStringLiteral("~"));
        add("data", n, columns.join('|'));
    });
    QObject::connect(&list, &L::xdata, context, [add, &list](int n) {
        add("xdata", n, list.module(n)->field(FlightModule::XDataColumn).toString());
    });
    QObject::connect(&list, &L::indoorAck, context, [add, &list](int n) {
        add("indoorAck", n, QStringLiteral("indoor=%1").arg(int(list.module(n)->isIndoor())));
    });
    QObject::connect(&list, &L::extThermCalOk, context,
                     [add](int n, quint16 echo) { add("extThermCalOk", n, QStringLiteral("echo=%1").arg(echo)); });
    const std::pair<void (L::*)(int), const char *> plain[] = {{&L::calibReady, "calibReady"},
        {&L::calibDataCompass, "calibDataCompass"}, {&L::calibOk, "calibOk"}, {&L::calibErr, "calibErr"},
        {&L::calibDonePitot, "calibDonePitot"}, {&L::calibCupOk, "calibCupOk"},
        {&L::intThermCalDone, "intThermCalDone"}, {&L::changeBetaOk, "changeBetaOk"}};
    for (const auto &[signal, name] : plain)
        QObject::connect(&list, signal, context, [add, name = name](int n) { add(name, n); });
}

const qint64 moduleAddresses[] = {0x0013A20040000001LL, 0x0013A20040000002LL, 0x0013A2004000007ELL};
constexpr int moduleCount = 3;

// Builds the stream and remembers what an intact delivery must yield.
class StreamBuilder
{
public:
    // segmentCount times: maybe damaged frames or noise, then intact frames of some module.
    StreamBuilder(unsigned seed, int segmentCount) : rng(seed)
    {
        for (int i = 0; i < segmentCount; ++i) {
            if (chance(40))
                stream += frameGarbage();
            appendIntactFrames(uniform(0, moduleCount - 1));
        }
    }

    QByteArray stream;
    QList<QPair<qint64, QByteArray>> intactFrames;
    QStringList expected[moduleCount]; // per module, in order: the Data messages

    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }

private:
    QByteArray randomBytes(int count)
    {
        QByteArray out(count, '\0');
        for (char &c : out)
            c = char(uniform(0, 255));
        return out;
    }

    DataFields randomData()
    {
        DataFields d;
        for (int *word : {&d.pressure, &d.temperature, &d.humidity, &d.windDirection, &d.windSpeed,
                          &d.supply, &d.course, &d.groundSpeed})
            *word = uniform(0, 65535);
        for (int *byte : {&d.flags, &d.hours, &d.minutes, &d.seconds})
            *byte = uniform(0, 255);
        d.latitude = {uniform(0, 65535), uniform(0, 65535), "NS"[uniform(0, 1)]};
        d.longitude = {uniform(0, 65535), uniform(0, 65535), "EW"[uniform(0, 1)]};
        d.altitude = uniform(-32768, 32767);
        return d;
    }

    // A well-formed message of any type with random contents.
    QByteArray noiseMessage()
    {
        switch (uniform(0, 9)) {
        case 0: return hello(char(uniform(0, 255)), randomBytes(12));
        case 1: return data(randomData());
        case 2: return xdata(randomBytes(uniform(0, 30)).replace('\n', ' '));
        case 3: return compassSamples(randomBytes(28 * uniform(0, 3)));
        case 4: return message(0x9D, bytes({"\x9B\x9C"[uniform(0, 1)] & 0xFF}));
        case 5: return message(0xA2, randomBytes(2));
        case 6: return message(0xA4, randomBytes(2));
        default: return message(QByteArray::fromHex("9195969a98a0")[uniform(0, 5)]);
        }
    }

    // Bytes a module might send that are no (complete) message.
    QByteArray moduleGarbage()
    {
        const QByteArray whole = noiseMessage();
        switch (uniform(0, 6)) {
        case 0: return randomBytes(uniform(1, 40));
        case 1: return whole.left(uniform(1, whole.size()));
        case 2: return QByteArray("!");
        case 3: return bytes({'#', 0x92}) + randomBytes(uniform(0, 10)); // unknown type
        case 4: return bytes({'#', 0x93, 0}) + randomBytes(uniform(0, 60)); // never completes
        case 5: return bytes({'#', 0x9E}) + QByteArray(uniform(4000, 4200), 'x'); // overlong XData
        default: return whole;
        }
    }

    // A message the check looks for, recorded as expected for its module.
    QByteArray intactMessage(int module)
    {
        const DataFields d = randomData(); // known in the module's record by pressure and supply
        expected[module].append(decimalText(d.pressure, 1) + '|' + decimalText(d.supply, 2));
        return data(d);
    }

    void appendFrame(int module, const QByteArray &payload)
    {
        intactFrames.append({moduleAddresses[module], payload});
        stream += receiveFrame(moduleAddresses[module], payload);
    }

    // One intact frame, or two of the same module with a message split between them; other
    // modules' frames and damaged frames may come in between.
    void appendIntactFrames(int module)
    {
        QByteArray payload = chance(50) ? moduleGarbage() : QByteArray();
        for (int n = uniform(1, 3); n > 0; --n)
            payload += intactMessage(module);
        if (chance(30))
            payload += moduleGarbage();
        if (!chance(20)) {
            appendFrame(module, payload);
            return;
        }
        const QByteArray split = intactMessage(module);
        const int at = uniform(1, split.size() - 1);
        appendFrame(module, payload + split.left(at));
        if (chance(50))
            stream += frameGarbage();
        if (chance(50)) {
            const int other = (module + 1) % moduleCount;
            appendFrame(other, intactMessage(other));
        }
        appendFrame(module, split.mid(at) + (chance(50) ? moduleGarbage() : QByteArray()));
    }

    QByteArray frameGarbage()
    {
        // A frame from an address no module has: no single change can turn it into a module's.
        const qint64 source = 0x0013A20050000000LL | (qint64(uniform(0x10, 0xFF)) << 16)
                              | (uniform(0x10, 0xFF) << 8) | uniform(0x10, 0xFF);
        QByteArray frame = receiveFrame(source, noiseMessage());
        switch (uniform(0, 9)) {
        case 0: return randomBytes(uniform(1, 200));
        case 1: { // one byte changed
            const int at = uniform(0, frame.size() - 1);
            frame[at] = char(frame[at] ^ uniform(1, 255));
            return frame;
        }
        case 2: return frame.left(uniform(1, frame.size() - 1)); // cut short
        case 3: return frame.insert(uniform(1, frame.size() - 1), "\x7E\x7D"[uniform(0, 1)]);
        case 4: return frame.remove(uniform(1, frame.size() - 1), 1); // one byte lost
        case 5: return bytes({0x7E, 0x7F, 0xFF}) + randomBytes(uniform(0, 100)); // huge length
        case 6: return bytes({0x7E, uniform(0x80, 0xFF), uniform(0, 255), 0x90}); // invalid length
        case 7: return bytes({0x7D, 0x7E, 0x7D, 0x7D, 0x7D, 0x5E, 0x7D}).left(uniform(1, 7));
        case 8: return wrapApiFrame(char(0x8B) + randomBytes(6)); // a frame of another type
        default: return frame; // intact, but from nobody we know
        }
    }

    std::mt19937 rng;
};

} // namespace

class TestLink : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void receiveFrameIsDecoded()
    {
        // 7E 00 0E 90 01..08 FF FE 01 23 91 checksum: one receive frame carrying CalibReady.
        const QByteArray data = bytes({0x90, 1, 2, 3, 4, 5, 6, 7, 8, 0xFF, 0xFE, 0x01, 0x23, 0x91});
        const QByteArray frame = bytes({0x7E, 0x00, 0x0E}) + data + char(0x99);
        ApiFrameParser parser;
        parser.feed(frame);
        const ApiFrame decoded = parser.takeFrame();
        QCOMPARE(decoded.sourceAddress, 0x0102030405060708LL);
        QCOMPARE(decoded.payload, bytes({0x23, 0x91}));
        QCOMPARE(decoded.frameData, data);
        QCOMPARE(parser.takeFrame().sourceAddress, qint64(0)); // none left
        // Every other checksum is wrong.
        for (int sum = 0; sum < 256; ++sum) {
            parser.feed(frame.chopped(1) + char(sum));
            QCOMPARE(parser.hasFrame(), sum == 0x99);
            parser.takeFrame();
        }
        // Frames of other types, without radio data or with a length of 0 or from 0x8000 are
        // dropped, without hiding the frame behind them.
        for (const QByteArray &dropped : {wrapApiFrame(bytes({0x8B, 0, 0xFF, 0xFE, 0, 0, 0})),
                                          wrapApiFrame(data.left(12)), bytes({0x7E, 0x00, 0x00, 0x90}),
                                          bytes({0x7E, 0x80, 0x00, 0x90})})
            QCOMPARE(payloadsOf(dropped + frame), QList<QByteArray>{bytes({0x23, 0x91})});
        // While hunting, an escaped delimiter starts a frame too.
        QCOMPARE(payloadsOf(bytes({0x7D, 0x5E}) + frame.mid(1)), QList<QByteArray>{bytes({0x23, 0x91})});
        // Escapes in the address, the payload, the length and the checksum; the top bit set.
        const QByteArray payload = bytes({0x23, 0x9D, 0x7E, 0x7D, 0x11, 0x13, 0x00});
        parser.feed(receiveFrame(qint64(0xFE7D11137E7D1113ULL), payload));
        QCOMPARE(parser.takeFrame().sourceAddress, qint64(0xFE7D11137E7D1113ULL));
        QCOMPARE(payloadsOf(receiveFrame(1, payload)), QList<QByteArray>{payload});
    }

    void framesAreBuiltByteExact()
    {
        QCOMPARE(wrapApiFrame(QByteArray()), bytes({0x7E, 0x00, 0x00, 0xFF}));
        // Checksum 0x7E is escaped like the data.
        QCOMPARE(wrapApiFrame(bytes({0x81})), bytes({0x7E, 0x00, 0x01, 0x81, 0x7D, 0x5E}));
        QCOMPARE(escapeApiBytes(bytes({0x7E, 0x7D, 0x11, 0x13, 0x12, 0x5E})),
                 bytes({0x7D, 0x5E, 0x7D, 0x5D, 0x7D, 0x31, 0x7D, 0x33, 0x12, 0x5E}));

        constexpr qint64 destination = 0x0013A20040A1B27ELL;
        QCOMPARE(buildTransmitRequest(destination, bytes({0x23, 0x91})),
                 bytes({0x7E, 0x00, 0x10, 0x10, 0x00, 0x00, 0x7D, 0x33, 0xA2, 0x00, 0x40, 0xA1, 0xB2,
                        0x7D, 0x5E, 0xFF, 0xFE, 0x00, 0x00, 0x23, 0x91, 0x78}));
        // Length 0x13 is escaped too.
        QCOMPARE(buildRemoteAtCommand(destination, bytes({'D', 'L', 0x11, 0x00, 0x7D, 0x13})),
                 bytes({0x7E, 0x00, 0x7D, 0x33, 0x17, 0x00, 0x00, 0x7D, 0x33, 0xA2, 0x00, 0x40, 0xA1,
                        0xB2, 0x7D, 0x5E, 0xFF, 0xFE, 0x02, 0x44, 0x4C, 0x7D, 0x31, 0x00, 0x7D, 0x5D,
                        0x7D, 0x33, 0xF2}));
    }

    void messages_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("messages");
        QTest::newRow("hello") << hello('P', "AB") + "garbage" << "8 P:AB";
        // Zero bytes are skipped but counted; bytes from 0x80 become U+FF80 and up.
        QTest::newRow("hello, high bytes")
            << message(0x08, bytes({'Q', 'T', 0, 'X', 0x80, 0xE9, 0xFF, 0, 0, 0, 0, 0, '1'}))
            << "8 Q:TX" + QString(QChar(0xFF80)) + QChar(0xFFE9) + QChar(0xFFFF) + "1";
        QTest::newRow("data, smallest") << fixedData(1, 9, 10, 7, 1, 5) << "9 0.1|0.9|1.0|7|0.1|0.05";
        QTest::newRow("data, largest") << fixedData(65535, 65535, 65535, 65535, 65535, 65535)
                                       << "9 6553.5|6553.5|6553.5|65535|6553.5|655.35";
        QTest::newRow("all groups") << data(allGroups()) << fixedPart + "|7|5|59|48.120833|-11.516667|-5.0|359|12.3";
        // Flags 0x90: hours (bit 7), then latitude (bit 4), then the message is complete.
        QTest::newRow("groups from bit seven down")
            << message(0x09, dataPayload(DataFields(), 0x90) + bytes({23}) + word(4807) + word(2500) + 'S' + "after")
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
        QTest::newRow("pressure 0x2321") << fixedData(0x2321, 2953, 456, 270, 50, 1205)
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
        QTest::newRow("xdata, too long") << xdata(QByteArray(longestXData + 1, 'x')) + QByteArray(100000, 'y') + "\n"
                                                + xdata("ok") << "9e " + x + "ok";
        QByteArray samples;
        for (int i = 0; i < 56; ++i)
            samples.append(char(i == 10 ? '#' : i == 20 ? '!' : 'A' + i % 16));
        QTest::newRow("compass") << compassSamples(samples) + "ABC" << "93 " + QString::fromLatin1(samples);
        QTest::newRow("no samples") << bytes({'#', 0x93, 0}) + QByteArray(200, 'A') + message(0x95) << "95";
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

    // The kind letter and the temperature, corrected by the tenths digit (kelvin + c - 273.1 with
    // three decimals) but for Q and D, which measure it directly (kelvin - 273.15, one decimal).
    void helloKindAndTemperature()
    {
        const char *corrected[] = {"-0.100", "0.000", "0.125", "0.250", "0.375",
                                   "0.400", "0.500", "0.625", "0.750", "0.875"};
        QList<std::tuple<char, int, QString>> examples = {{'P', 3000, "P 26.900"}, {'C', 2000, "C -73.100"},
            {'Z', 2953, "Z 22.250"}, {'Q', 2953, "P 22.2"}, {'D', 2000, "C -73.1"}}; // -73.149999...
        for (int digit = 0; digit < 10; ++digit)
            examples.append({'P', 2730 + digit, QString("P ") + corrected[digit]});
        for (const auto &[kind, tenthsKelvin, shown] : examples) {
            FlightModule module(address, 0, 0);
            QSignalSpy hellos(&module, &FlightModule::hello);
            DataFields d;
            d.temperature = tenthsKelvin;
            module.processPayload(hello('D', "OLD") + hello(kind, "T") + data(d));
            QCOMPARE(hellos.count(), 2);
            QCOMPARE(QChar(module.kindLetter()) + ' ' + module.field(FlightModule::TemperatureColumn).toString(),
                     shown);
            QCOMPARE(module.hasDirectTemperature(), kind == 'Q' || kind == 'D');
            QCOMPARE(module.moduleId(), QStringLiteral("T"));
        }
    }

    // The texts a module computes in floating point (wind speed in knots, ground speed in m/s,
    // a directly measured temperature) are those of QString::arg for every value the wire can
    // carry: halfway cases, negatives that round to zero and all.
    void computedTextsMatchArg()
    {
        const auto text = [](double value, int decimals) {
            return QStringLiteral("%1").arg(value, 0, 'f', decimals);
        };
        FlightModule knots(address, 0, 0);
        FlightModule metres(address, 1, 0);
        FlightModule direct(address, 0, 0);
        direct.processPayload(hello('Q', "T"));
        DataFields d = allGroups();
        for (int raw = 0; raw <= 0xFFFF; ++raw) {
            d.windSpeed = d.groundSpeed = d.temperature = raw;
            const QByteArray message = data(d);
            knots.processPayload(message);
            metres.processPayload(message);
            direct.processPayload(message);
            const QString expected[] = {text(raw / 10.0 * 1.94384449, 2),
                                        text(raw / 10.0 / 1.94384449, 2),
                                        text(raw / 10.0 - 273.15, 1)};
            const QString shown[] = {knots.field(FlightModule::WindSpeedColumn).toString(),
                                     metres.field(FlightModule::GroundSpeedColumn).toString(),
                                     direct.field(FlightModule::TemperatureColumn).toString()};
            for (int i = 0; i < 3; ++i) {
                if (shown[i] != expected[i])
                    QFAIL(qPrintable(QString("raw %1: %2 instead of %3").arg(raw).arg(shown[i], expected[i])));
            }
        }
    }

    void calibDataCollection()
    {
        const QByteArray first(28, '1');
        const QByteArray second(56, '2');
        FlightModule module(address, 0, 0);
        module.processPayload(compassSamples(first));
        QCOMPARE(module.takeCalibData(), first);
        // After takeCalibData the next message replaces the collection, later ones append.
        module.processPayload(compassSamples(second) + compassSamples(first));
        QCOMPARE(module.takeCalibData(), second + first);
        // A finished pitot calibration empties the buffer without restarting the collection.
        module.processPayload(compassSamples(first) + message(0x98) + compassSamples(second));
        QCOMPARE(module.takeCalibData(), second);
    }

    // The payload is parsed before its messages are handled: a Data message behind an IndoorAck
    // in the same payload is read as before it. Any code but 155 ends indoor mode.
    void indoorAckOverridesFlags()
    {
        FlightModule module(address, 0, 0);
        module.processPayload(message(0x9D, bytes({155})) + data(allGroups()));
        QVERIFY(module.isIndoor() && module.field(FlightModule::LatitudeColumn).isValid());
        module.processPayload(message(0x9D, bytes({7})) + data(allGroups()));
        QVERIFY(!module.isIndoor() && !module.field(FlightModule::LatitudeColumn).isValid());
        module.processPayload(data(allGroups()));
        QCOMPARE(module.field(FlightModule::LatitudeColumn), QVariant(QString("48.120833")));
    }

    void savedRecords()
    {
        FlightModule module(address, 0, 100);
        module.processPayload(hello('Q', "TX0001") + data(allGroups()) + xdata("T=1"));
        QCOMPARE(module.toSavedRecord(), savedExample);
        // Invalid columns are saved empty; 'C' is 67, indoor on is 155; separators become spaces.
        FlightModule other(-7, 1, -3);
        other.processPayload(hello('D', "C;X/") + message(0x9D, bytes({155})) + data(DataFields()) + xdata("a;b/c"));
        const QString saved = "C X ;3.0;1013.2;22.2;45.6;270;5.0;12.05;00:00:00;;;;0.00;xdata=a b c;-7;-3;155;67;1";
        QCOMPARE(other.toSavedRecord(), saved);
        QCOMPARE(FlightModule(saved, 1).toSavedRecord(), saved);

        // The saved ground elevation applies; the flags override waits for the next IndoorAck.
        FlightModule indoor(QString(savedExample).replace(";156;", ";155;"), 1);
        indoor.processPayload(data(allGroups()));
        QCOMPARE(indoor.toSavedRecord(), "TX0001;-105.0;1013.2;22.2;45.6;270;5.0;12.05;07:05:59;48.120833;-11.516667;"
                                         "359;6.33;xdata=T=1;1234567890123;100;155;80;1");
    }

    // A saved record with one part changed ("" empties it, nullptr drops it): still valid?
    void invalidSavedRecords()
    {
        const std::tuple<int, const char *, bool> changes[] = {{0, "TX0001", true}, {0, "", false}, // the identifier
            {14, "12ab", false}, {15, "1.5", false}, // address and elevation not whole numbers
            {16, "157", false}, {17, "81", false}, {17, "P", false}, // indoor code and kind letter as codes
            {18, "2", true}, {18, "1;1", false}, {18, nullptr, false}}; // temperature mode; a part more or less
        for (const auto &[part, replacement, valid] : changes) {
            QStringList parts = savedExample.split(';');
            replacement ? void(parts[part] = replacement) : parts.removeAt(part);
            QVERIFY2(FlightModule(parts.join(';'), 0).isValid() == valid, qPrintable(parts.join(';')));
        }
    }

    // The list of modules.
    void numberingAndCurrentIndex()
    {
        FlightModuleList list;
        list.selectLast();
        for (const qint64 address : {first, second, third})
            list.addModule(address, 0, 0);
        QCOMPARE(QList<int>({list.indexOf(third), list.currentIndex(), list.indexOf(0)}), QList<int>({2, 2, -1}));
        QVERIFY(!list.module(3) && !list.module(-1) && !list.takeModule(3) && !list.takeModule(-1));
        list.setCurrentIndex(0);
        list.setCurrentIndex(3);
        list.setCurrentIndex(-1);
        QCOMPARE(list.currentModule(), list.module(0));
        list.handlePayload(third, hello('P', "TX0003"));
        list.refreshRecords();
        list.selectLast();
        std::unique_ptr<FlightModule> taken(list.takeModule(1));
        QCOMPARE(taken->radioAddress(), second);
        QCOMPARE(list.currentIndex(), 1);
        QCOMPARE(list.indexOf(third), 1);
        QCOMPARE(list.value(1, 0), QVariant(QString("TX0003")));
        QVERIFY(!list.handlePayload(second, message(0x91)));
        // The taken module no longer talks to the list.
        QSignalSpy ready(&list, &FlightModuleList::calibReady);
        taken->processPayload(message(0x91));
        QVERIFY(list.handlePayload(third, message(0x91)));
        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready[0][0].toInt(), 1);
        list.removeModule(1);
        QCOMPARE(list.currentIndex(), 0);
        list.removeModule(0);
        QVERIFY(list.currentIndex() == 0 && !list.currentModule());
        list.addModule(first, 0, 0);
        list.addModule(second, 0, 0);
        list.clear();
        QCOMPARE(list.count() + list.currentIndex(), 0);
        QVERIFY(!list.handlePayload(first, message(0x91)));
    }

    void replay_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("three modules") << "three_modules";
        QTest::newRow("metric single module") << "metric_single_module";
    }

    void replay()
    {
        QFETCH(QString, name);
        const QDir folder(QStringLiteral(VENTROLLA_TEST_DATA_DIR));
        QFile bin(folder.filePath(name + ".bin"));
        QFile txt(folder.filePath(name + ".txt"));
        QVERIFY(bin.open(QIODevice::ReadOnly) && txt.open(QIODevice::ReadOnly | QIODevice::Text));
        const QByteArray stream = bin.readAll();
        const QStringList lines = QString::fromUtf8(txt.readAll()).split('\n', Qt::SkipEmptyParts);

        // "windUnits N" and "groundElevation N", then "delivery SIZE" lines, each followed by
        // the events expected once those bytes are in.
        int settings[2] = {-1, -1};
        QList<QPair<int, QStringList>> deliveries;
        for (const QString &line : lines) {
            const QStringList words = line.split(' ');
            if (words[0] == "windUnits" || words[0] == "groundElevation")
                settings[words[0] == "groundElevation"] = words.value(1).toInt();
            else if (words[0] == "delivery")
                deliveries.append({words.value(1).toInt(), {}});
            else if (!deliveries.isEmpty())
                deliveries.last().second.append(line);
        }
        QVERIFY(settings[0] >= 0 && !deliveries.isEmpty());

        ApiFrameParser parser;
        FlightModuleList list;
        QStringList events;
        connectEvents(list, events, this);
        int offset = 0;
        for (int i = 0; i < deliveries.size(); ++i) {
            parser.feed(stream.mid(offset, deliveries[i].first));
            offset += deliveries[i].first;
            while (parser.hasFrame()) {
                const ApiFrame frame = parser.takeFrame();
                if (!list.contains(frame.sourceAddress))
                    list.addModule(frame.sourceAddress, settings[0], settings[1]);
                list.handlePayload(frame.sourceAddress, frame.payload);
            }
            QVERIFY2(events == deliveries[i].second,
                     qPrintable(QStringLiteral("delivery %1:\n").arg(i + 1) + events.join('\n')));
            events.clear();
        }
        QCOMPARE(offset, stream.size());
    }

    void intactFramesAndMessagesSurvive_data()
    {
        QTest::addColumn<unsigned>("seed");
        for (unsigned seed : {1u, 2u, 3u, 20240607u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void intactFramesAndMessagesSurvive()
    {
        QFETCH(unsigned, seed);
        StreamBuilder builder(seed, 600);
        const QByteArray &stream = builder.stream;

        FlightModuleList list;
        for (qint64 address : moduleAddresses)
            list.addModule(address, 0, 0);
        QStringList seen[moduleCount];
        connect(&list, &FlightModuleList::data, this, [&](int module) {
            const FlightModule *m = list.module(module);
            seen[module] << m->field(FlightModule::PressureColumn).toString() + '|'
                                + m->field(FlightModule::SupplyColumn).toString();
        });

        ApiFrameParser parser;
        QList<QPair<qint64, QByteArray>> fromModules;
        int lastDelimiter = -1;
        for (int offset = 0; offset < stream.size();) {
            const QByteArray chunk = stream.mid(offset, builder.uniform(1, 300));
            parser.feed(chunk);
            offset += chunk.size();
            // Only the frame begun at the last raw delimiter is held, and never more than its
            // greatest valid length.
            lastDelimiter = qMax(lastDelimiter, stream.lastIndexOf(char(0x7E), offset - 1));
            QVERIFY(parser.bufferedByteCount() <= qMin(offset - lastDelimiter, 0x7FFF));
            while (parser.hasFrame()) {
                const ApiFrame frame = parser.takeFrame();
                if (list.handlePayload(frame.sourceAddress, frame.payload))
                    fromModules.append({frame.sourceAddress, frame.payload});
            }
        }
        QVERIFY(fromModules == builder.intactFrames);

        // Noise messages may raise signals too; the intact ones must all be there, in order.
        for (int module = 0; module < moduleCount; ++module) {
            QStringList found;
            for (const QString &item : seen[module]) {
                if (builder.expected[module].contains(item))
                    found << item;
            }
            QVERIFY(builder.expected[module].size() > 50);
            QCOMPARE(found, builder.expected[module]);
        }
    }
};

VENTROLLA_TEST_MAIN(TestLink)
#include "tst_Link.moc"
