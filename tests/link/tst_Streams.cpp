// Byte streams through the frame parser into a module list. The recorded captures of the data
// folder are replayed delivery by delivery, and the list's signals compared with the expected ones
// recorded beside each stream (tools/golden writes both). Long seeded streams mix intact frames
// with damaged frames and noise, cut into random deliveries: whatever precedes it, every intact
// frame must come out of the parser once and in order, and every intact module message inside
// them must reach its module.

#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/ApiFrame.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QtTest>

#include <random>

using namespace ModuleBytes;

namespace {

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
    const std::pair<void (L::*)(int), const char *> plain[] = {
        {&L::calibReady, "calibReady"},         {&L::calibDataCompass, "calibDataCompass"},
        {&L::calibOk, "calibOk"},               {&L::calibErr, "calibErr"},
        {&L::calibDonePitot, "calibDonePitot"}, {&L::calibCupOk, "calibCupOk"},
        {&L::intThermCalDone, "intThermCalDone"}, {&L::changeBetaOk, "changeBetaOk"},
    };
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

class TestStreams : public QObject
{
    Q_OBJECT

private slots:
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

VENTROLLA_TEST_MAIN(TestStreams)
#include "tst_Streams.moc"
