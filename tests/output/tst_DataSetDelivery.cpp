// Every Data message that reaches the table goes out in exactly one data set, to the log file and
// to the stream alike, wherever in the set cycle the run is stopped, and also when a listener
// stops the run from inside an announcement (as a modal dialog's nested event loop or the
// recorder on a failed write may).

#include "ModelHarness.h"
#include "TestSupport.h"
#include "output/LogFile.h"
#include "output/ServerOutput.h"

#include <QFile>
#include <QLocalSocket>
#include <QtTest>

namespace {

constexpr qint64 firstAddress = 0x0013A20040000001;
constexpr int anHour = 3600 * 1000;

QList<QByteArray> streamLines(QLocalSocket &client, int expected)
{
    QList<QByteArray> lines;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 2000) {
        while (client.canReadLine())
            lines << client.readLine().chopped(1);
        if (lines.size() >= expected)
            QTest::qWait(20); // long enough for a line too many to show up
        if (lines.size() >= expected && !client.canReadLine())
            break;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return lines;
}

QList<QByteArray> logDataLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QList<QByteArray> all = file.readAll().split('\n');
    // Title, date, empty line and header come first; the last element is the text after the
    // final line feed.
    return all.mid(4, all.size() - 5);
}

} // namespace

class TestDataSetDelivery : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void everyMessageInExactlyOneSet_data();
    void everyMessageInExactlyOneSet();
};

void TestDataSetDelivery::everyMessageInExactlyOneSet_data()
{
    QTest::addColumn<int>("modules");
    // "m@s": module m reports UTC second s (with a pressure of its own); "T": the 500 ms
    // set-closing tick; "!": the next announcement stops the run from inside; "S": Stop; "L":
    // the base station is lost (its device goes away).
    QTest::addColumn<QString>("events");
    QTest::addColumn<int>("sets");

    QTest::newRow("one module, Stop after messages") << 1 << "0@1 0@2 0@3 S" << 3;
    QTest::newRow("one module, Stop inside an announcement") << 1 << "0@1 ! 0@2" << 2;
    QTest::newRow("three, Stop before any message") << 3 << "S" << 0;
    QTest::newRow("three, Stop with the set open") << 3 << "0@1 1@1 2@1 S" << 1;
    QTest::newRow("three, Stop after the tick closed the set") << 3 << "0@1 1@1 2@1 T S" << 1;
    QTest::newRow("three, Stop after a new time closed the set") << 3 << "0@1 1@1 2@1 0@2 S" << 2;
    QTest::newRow("three, Stop with the next set open") << 3 << "0@1 1@1 2@1 0@2 1@2 S" << 2;
    QTest::newRow("three, Stop after a set and a new time")
        << 3 << "0@1 1@1 2@1 0@2 1@2 2@2 0@3 S" << 3;
    QTest::newRow("three, Stop inside the tick's announcement") << 3 << "0@1 1@1 ! 2@1 T" << 1;
    QTest::newRow("three, Stop inside Stop's announcement") << 3 << "0@1 1@1 ! S" << 1;
    QTest::newRow("three, base station lost after a new time") << 3 << "0@1 1@1 2@1 0@2 L" << 2;
}

void TestDataSetDelivery::everyMessageInExactlyOneSet()
{
    QFETCH(int, modules);
    QFETCH(QString, events);
    QFETCH(int, sets);

    ModelRig rig;
    Model &model = rig.model();
    QList<qint64> addresses;
    for (int m = 0; m < modules; ++m)
        addresses << firstAddress + m;
    QVERIFY(rig.loadAndStop(addresses));

    const QString logPath = TestSupport::sandboxPath() + QStringLiteral("/delivery.csv");
    LogFile log(&model);
    QVERIFY(log.begin(logPath));
    ServerOutput server(&model);
    QLocalSocket client;
    client.connectToServer(ServerOutput::serverName());
    QVERIFY(client.waitForConnected(1000));
    QTRY_VERIFY(server.hasClient());

    bool stopInside = false;
    QObject::connect(&model, &Model::dataSetReady, &model, [&] {
        if (stopInside) {
            stopInside = false;
            model.stop();
        }
    });
    QVERIFY(rig.startRunning());
    model.timers().timeout.setInterval(anHour);

    // The pressure each module sent last, which the last line must carry.
    QVector<QString> lastPressure(modules);
    int sent = 0;
    const QStringList steps = events.split(QLatin1Char(' '));
    for (const QString &step : steps) {
        if (step == QLatin1String("S")) {
            model.stop();
        } else if (step == QLatin1String("T")) {
            rig.invoke("onSingleShotTimer");
        } else if (step == QLatin1String("L")) {
            QSignalSpy lost(&model, &Model::baseStationLost);
            rig.pty().closeMaster();
            QVERIFY(lost.wait(2000));
            QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
            QCOMPARE(model.rowCount(), modules);
        } else if (step == QLatin1String("!")) {
            stopInside = true;
        } else {
            const int m = step.section(QLatin1Char('@'), 0, 0).toInt();
            const int second = step.section(QLatin1Char('@'), 1, 1).toInt();
            const quint16 pressure = quint16(9000 + ++sent);
            QVERIFY(rig.deliverFrom(addresses.at(m), dataAt(12, 0, second, pressure)));
            lastPressure[m] = QString::number(pressure / 10.0, 'f', 1);
        }
    }
    QVERIFY(!model.isRunning());

    const QList<QByteArray> logged = logDataLines(logPath);
    const QList<QByteArray> streamed = streamLines(client, sets);
    QCOMPARE(logged.size(), sets);
    QCOMPARE(streamed.size(), sets);
    for (int i = 0; i < sets; ++i) {
        // The log line is time, comment and 13 columns a module; the stream line is time and
        // all 14 columns a module.
        const QList<QByteArray> logFields = logged.at(i).split(',');
        const QList<QByteArray> streamFields = streamed.at(i).split('\t');
        QCOMPARE(logFields.size(), 2 + 13 * modules);
        QCOMPARE(streamFields.size(), 1 + 14 * modules);
        QCOMPARE(logFields.at(0), streamFields.at(0));
        for (int m = 0; m < modules; ++m) {
            for (int column = 0; column < 13; ++column)
                QCOMPARE(logFields.at(2 + 13 * m + column), streamFields.at(1 + 14 * m + column));
        }
    }
    if (sets > 0) {
        const QList<QByteArray> last = logged.last().split(',');
        for (int m = 0; m < modules; ++m) {
            if (!lastPressure.at(m).isEmpty())
                QCOMPARE(QString::fromLatin1(last.at(2 + 13 * m + 2)), lastPressure.at(m));
        }
    }
}

VENTROLLA_TEST_MAIN(TestDataSetDelivery)
#include "tst_DataSetDelivery.moc"
