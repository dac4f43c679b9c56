// Long seeded streams of intact frames mixed with damaged frames and noise, cut into random
// deliveries. Whatever precedes it, every intact frame must come out of the frame parser once and
// in order, and every intact module message inside them must reach its module.

#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/ApiFrame.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QtTest>

#include <random>

using namespace ModuleBytes;

namespace {

const qint64 moduleAddresses[] = {0x0013A20040000001LL, 0x0013A20040000002LL,
                                  0x0013A2004000007ELL};
constexpr int moduleCount = 3;

struct ReceivedFrame
{
    qint64 source;
    QByteArray payload;
    bool operator==(const ReceivedFrame &other) const
    {
        return source == other.source && payload == other.payload;
    }
};

QString tenths(int value)
{
    return QString::number(value / 10) + '.' + QString::number(value % 10);
}

QString hundredths(int value)
{
    return QString::number(value / 100) + '.' + QString::number(value % 100).rightJustified(2, '0');
}

// The fields of a Data message that identify it in the module's record.
QString dataFingerprint(const QList<QVariant> &record)
{
    return QStringList({record[FlightModule::PressureColumn].toString(),
                        record[FlightModule::HumidityColumn].toString(),
                        record[FlightModule::WindDirectionColumn].toString(),
                        record[FlightModule::SupplyColumn].toString()})
        .join('|');
}

// Builds the stream and remembers what an intact delivery must yield.
class StreamBuilder
{
public:
    explicit StreamBuilder(unsigned seed) : rng(seed) {}

    QByteArray stream;
    QList<ReceivedFrame> intactFrames;
    QStringList dataFingerprints[moduleCount]; // per module, in order
    QStringList xdataTexts[moduleCount];

    void build(int segmentCount)
    {
        for (int i = 0; i < segmentCount; ++i) {
            if (chance(40))
                stream += frameGarbage();
            appendIntactFrames(uniform(0, moduleCount - 1));
        }
    }

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
        d.pressure = uniform(0, 65535);
        d.temperature = uniform(0, 65535);
        d.humidity = uniform(0, 65535);
        d.windDirection = uniform(0, 65535);
        d.windSpeed = uniform(0, 65535);
        d.supply = uniform(0, 65535);
        d.flags = uniform(0, 255);
        d.hours = uniform(0, 255);
        d.minutes = uniform(0, 255);
        d.seconds = uniform(0, 255);
        d.latitude = {uniform(0, 65535), uniform(0, 65535), "NS"[uniform(0, 1)]};
        d.longitude = {uniform(0, 65535), uniform(0, 65535), "EW"[uniform(0, 1)]};
        d.altitude = uniform(-32768, 32767);
        d.course = uniform(0, 65535);
        d.groundSpeed = uniform(0, 65535);
        return d;
    }

    // A well-formed message of any type with random contents.
    QByteArray noiseMessage()
    {
        switch (uniform(0, 9)) {
        case 0:
            return hello(char(uniform(0, 255)), randomBytes(12));
        case 1:
            return data(randomData());
        case 2:
            return xdata(randomBytes(uniform(0, 30)).replace('\n', ' '));
        case 3:
            return compassSamples(randomBytes(28 * uniform(0, 3)));
        case 4:
            return message(0x9D, bytes({"\x9B\x9C"[uniform(0, 1)] & 0xFF}));
        case 5:
            return message(0xA2, randomBytes(2));
        case 6:
            return message(0xA4, randomBytes(2));
        default:
            return message(QByteArray::fromHex("9195969a98a0")[uniform(0, 5)]);
        }
    }

    // Bytes a module might send that are no (complete) message.
    QByteArray moduleGarbage()
    {
        switch (uniform(0, 6)) {
        case 0:
            return randomBytes(uniform(1, 40));
        case 1: {
            const QByteArray whole = noiseMessage();
            return whole.left(uniform(1, whole.size()));
        }
        case 2:
            return QByteArray("!");
        case 3:
            return bytes({'#', 0x92}) + randomBytes(uniform(0, 10)); // unknown type
        case 4:
            return bytes({'#', 0x93, 0}) + randomBytes(uniform(0, 60)); // never completes
        case 5:
            return bytes({'#', 0x9E}) + QByteArray(uniform(4000, 4200), 'x'); // overlong XData
        default:
            return noiseMessage();
        }
    }

    // A message the check looks for, recorded as expected for its module.
    QByteArray intactMessage(int module)
    {
        if (chance(25)) {
            const QString text = QStringLiteral("seq%1").arg(xdataTexts[module].size());
            xdataTexts[module].append(QStringLiteral("xdata=") + text);
            return xdata(text.toLatin1());
        }
        const DataFields d = randomData();
        dataFingerprints[module].append(QStringList({tenths(d.pressure), tenths(d.humidity),
                                                     QString::number(d.windDirection),
                                                     hundredths(d.supply)})
                                            .join('|'));
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
        QByteArray payload;
        if (chance(50))
            payload += moduleGarbage();
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
        QByteArray rest = split.mid(at);
        if (chance(50))
            rest += moduleGarbage();
        appendFrame(module, rest);
    }

    // A frame from an address no module has: no single change can turn it into a module's.
    QByteArray decoyFrame()
    {
        const qint64 source = 0x0013A20050000000LL | (qint64(uniform(0x10, 0xFF)) << 16)
                              | (uniform(0x10, 0xFF) << 8) | uniform(0x10, 0xFF);
        return receiveFrame(source, noiseMessage());
    }

    QByteArray frameGarbage()
    {
        QByteArray frame = decoyFrame();
        switch (uniform(0, 9)) {
        case 0:
            return randomBytes(uniform(1, 200));
        case 1: { // one byte changed
            const int at = uniform(0, frame.size() - 1);
            frame[at] = char(frame[at] ^ uniform(1, 255));
            return frame;
        }
        case 2: // cut short
            return frame.left(uniform(1, frame.size() - 1));
        case 3: // stray delimiter or escape inside
            frame.insert(uniform(1, frame.size() - 1), "\x7E\x7D"[uniform(0, 1)]);
            return frame;
        case 4: // one byte lost
            frame.remove(uniform(1, frame.size() - 1), 1);
            return frame;
        case 5: // huge declared length, then a little data
            return bytes({0x7E, 0x7F, 0xFF}) + randomBytes(uniform(0, 100));
        case 6: // lengths that are invalid at the first data byte
            return bytes({0x7E, uniform(0x80, 0xFF), uniform(0, 255), 0x90});
        case 7:
            return bytes({0x7D, 0x7E, 0x7D, 0x7D, 0x7D, 0x5E, 0x7D}).left(uniform(1, 7));
        case 8: // a frame of another type
            return wrapApiFrame(char(0x8B) + randomBytes(6));
        default:
            return frame; // intact, but from nobody we know
        }
    }

    std::mt19937 rng;
};

} // namespace

class TestProtocolRobustness : public QObject
{
    Q_OBJECT

private slots:
    void intactFramesAndMessagesSurvive_data();
    void intactFramesAndMessagesSurvive();
};

void TestProtocolRobustness::intactFramesAndMessagesSurvive_data()
{
    QTest::addColumn<unsigned>("seed");
    for (unsigned seed : {1u, 2u, 3u, 20240607u})
        QTest::addRow("seed %u", seed) << seed;
}

void TestProtocolRobustness::intactFramesAndMessagesSurvive()
{
    QFETCH(unsigned, seed);
    StreamBuilder builder(seed);
    builder.build(600);
    const QByteArray &stream = builder.stream;

    FlightModuleList list;
    for (qint64 address : moduleAddresses)
        list.addModule(address, 0, 0);
    QStringList dataSeen[moduleCount];
    QStringList xdataSeen[moduleCount];
    connect(&list, &FlightModuleList::data, this, [&](int module) {
        dataSeen[module].append(dataFingerprint(list.module(module)->record()));
    });
    connect(&list, &FlightModuleList::xdata, this, [&](int module) {
        xdataSeen[module].append(list.module(module)->field(FlightModule::XDataColumn).toString());
    });

    ApiFrameParser parser;
    QList<ReceivedFrame> fromModules;
    int lastDelimiter = -1;
    int maxBuffered = 0;
    for (int offset = 0; offset < stream.size();) {
        const QByteArray chunk = stream.mid(offset, builder.uniform(1, 300));
        parser.feed(chunk);
        offset += chunk.size();
        lastDelimiter = qMax(lastDelimiter, stream.lastIndexOf(char(0x7E), offset - 1));

        // Only the frame begun at the last raw delimiter is held.
        QVERIFY(parser.bufferedByteCount() <= offset - lastDelimiter);
        maxBuffered = qMax(maxBuffered, parser.bufferedByteCount());

        while (parser.hasFrame()) {
            const ApiFrame frame = parser.takeFrame();
            if (list.handlePayload(frame.sourceAddress, frame.payload))
                fromModules.append({frame.sourceAddress, frame.payload});
        }
    }
    QVERIFY(maxBuffered < 0x8000);
    for (int i = 0; i < qMin(fromModules.size(), builder.intactFrames.size()); ++i)
        QVERIFY2(fromModules[i] == builder.intactFrames[i], qPrintable(QString::number(i)));
    QCOMPARE(fromModules.size(), builder.intactFrames.size());

    // Noise messages may raise signals too; the intact ones must all be there, in order.
    for (int module = 0; module < moduleCount; ++module) {
        const QStringList &expectedData = builder.dataFingerprints[module];
        const QStringList &expectedXData = builder.xdataTexts[module];
        QStringList data;
        for (const QString &fingerprint : dataSeen[module]) {
            if (expectedData.contains(fingerprint))
                data.append(fingerprint);
        }
        QStringList xdata;
        for (const QString &text : xdataSeen[module]) {
            if (expectedXData.contains(text))
                xdata.append(text);
        }
        QVERIFY(!expectedData.isEmpty());
        QCOMPARE(data, expectedData);
        QCOMPARE(xdata, expectedXData);
    }
}

VENTROLLA_TEST_MAIN(TestProtocolRobustness)
#include "tst_ProtocolRobustness.moc"
