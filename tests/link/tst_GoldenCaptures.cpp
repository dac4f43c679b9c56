// Replays the recorded byte streams of the data folder, delivery by delivery, through the frame
// parser and a module list that takes in every new radio address, and compares the list's
// signals with the expected ones recorded beside each stream (tools/golden writes both).

#include "TestSupport.h"
#include "link/ApiFrame.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QtTest>

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

} // namespace

class TestGoldenCaptures : public QObject
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
};

VENTROLLA_TEST_MAIN(TestGoldenCaptures)
#include "tst_GoldenCaptures.moc"
