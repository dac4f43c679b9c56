// Replays the recorded byte streams of the data folder, delivery by delivery, through the frame
// parser and a module list that takes in every new radio address, and compares the list's
// signals with the expected ones recorded beside each stream (tools/golden writes both).

#include "TestSupport.h"
#include "link/ApiFrame.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QtTest>

#include <utility>

namespace {

QString recordText(const FlightModule *module)
{
    QStringList columns;
    for (const QVariant &value : module->record())
        columns.append(value.isValid() ? value.toString() : QStringLiteral("~"));
    return columns.join('|');
}

// Turns every signal of the list into one line, with the state of the module it announces.
class EventLog : public QObject
{
public:
    explicit EventLog(FlightModuleList &list) : list(list)
    {
        using L = FlightModuleList;
        connect(&list, &L::hello, this, [this](int n) {
            const FlightModule *m = this->list.module(n);
            add(n, "hello", QStringLiteral("kind=%1 direct=%2 id=%3")
                                .arg(QChar::fromLatin1(m->kindLetter()))
                                .arg(int(m->hasDirectTemperature()))
                                .arg(m->moduleId()));
        });
        connect(&list, &L::data, this,
                [this](int n) { add(n, "data", recordText(this->list.module(n))); });
        connect(&list, &L::xdata, this, [this](int n) {
            add(n, "xdata", this->list.module(n)->field(FlightModule::XDataColumn).toString());
        });
        connect(&list, &L::indoorAck, this, [this](int n) {
            const bool indoor = this->list.module(n)->isIndoor();
            add(n, "indoorAck", QStringLiteral("indoor=%1").arg(int(indoor)));
        });
        connect(&list, &L::extThermCalOk, this, [this](int n, quint16 echo) {
            add(n, "extThermCalOk", QStringLiteral("echo=%1").arg(echo));
        });
        const std::pair<void (L::*)(int), const char *> plain[] = {
            {&L::calibReady, "calibReady"},         {&L::calibDataCompass, "calibDataCompass"},
            {&L::calibOk, "calibOk"},               {&L::calibErr, "calibErr"},
            {&L::calibDonePitot, "calibDonePitot"}, {&L::calibCupOk, "calibCupOk"},
            {&L::intThermCalDone, "intThermCalDone"}, {&L::changeBetaOk, "changeBetaOk"},
        };
        for (const auto &[signal, name] : plain) {
            const char *signalName = name;
            connect(&list, signal, this, [this, signalName](int n) { add(n, signalName, {}); });
        }
    }

    QStringList takeEvents() { return std::exchange(events, {}); }

private:
    void add(int module, const char *name, const QString &details)
    {
        QString line = QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(module);
        if (!details.isEmpty())
            line += ' ' + details;
        events.append(line);
    }

    FlightModuleList &list;
    QStringList events;
};

struct Delivery
{
    int size = 0;
    QStringList events;
};

QString readSetting(const QStringList &lines, const QString &key)
{
    for (const QString &line : lines) {
        if (line.startsWith(key + ' '))
            return line.mid(key.size() + 1);
    }
    return QString();
}

} // namespace

class TestGoldenCaptures : public QObject
{
    Q_OBJECT

private slots:
    void replay_data();
    void replay();
};

void TestGoldenCaptures::replay_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("three modules") << "three_modules";
    QTest::newRow("metric single module") << "metric_single_module";
}

void TestGoldenCaptures::replay()
{
    QFETCH(QString, name);
    const QDir folder(QStringLiteral(VENTROLLA_TEST_DATA_DIR));
    QFile bin(folder.filePath(name + ".bin"));
    QFile txt(folder.filePath(name + ".txt"));
    QVERIFY(bin.open(QIODevice::ReadOnly));
    QVERIFY(txt.open(QIODevice::ReadOnly | QIODevice::Text));
    const QByteArray stream = bin.readAll();
    const QStringList lines = QString::fromUtf8(txt.readAll()).split('\n', Qt::SkipEmptyParts);

    bool windOk = false;
    bool elevationOk = false;
    const int windUnits = readSetting(lines, "windUnits").toInt(&windOk);
    const int groundElevation = readSetting(lines, "groundElevation").toInt(&elevationOk);
    QVERIFY(windOk && elevationOk);
    QList<Delivery> deliveries;
    for (const QString &line : lines) {
        if (line.startsWith("delivery "))
            deliveries.append({line.mid(9).toInt(), {}});
        else if (!deliveries.isEmpty())
            deliveries.last().events.append(line);
    }
    QVERIFY(!deliveries.isEmpty());

    ApiFrameParser parser;
    FlightModuleList list;
    EventLog log(list);
    int offset = 0;
    for (int i = 0; i < deliveries.size(); ++i) {
        parser.feed(stream.mid(offset, deliveries[i].size));
        offset += deliveries[i].size;
        while (parser.hasFrame()) {
            const ApiFrame frame = parser.takeFrame();
            if (!list.contains(frame.sourceAddress))
                list.addModule(frame.sourceAddress, windUnits, groundElevation);
            list.handlePayload(frame.sourceAddress, frame.payload);
        }
        const QStringList events = log.takeEvents();
        if (events != deliveries[i].events)
            qWarning("delivery %d differs", i + 1);
        QCOMPARE(events, deliveries[i].events);
    }
    QCOMPARE(offset, stream.size());
}

VENTROLLA_TEST_MAIN(TestGoldenCaptures)
#include "tst_GoldenCaptures.moc"
