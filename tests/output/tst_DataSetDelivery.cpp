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

class TestDataSetDelivery : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void everyMessageInExactlyOneSet_data()
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
        QTest::newRow("three, Stop after a set and a new time") << 3 << "0@1 1@1 2@1 0@2 1@2 2@2 0@3 S" << 3;
        QTest::newRow("three, Stop inside the tick's announcement") << 3 << "0@1 1@1 ! 2@1 T" << 1;
        QTest::newRow("three, Stop inside Stop's announcement") << 3 << "0@1 1@1 ! S" << 1;
        QTest::newRow("three, base station lost after a new time") << 3 << "0@1 1@1 2@1 0@2 L" << 2;
    }

    void everyMessageInExactlyOneSet()
    {
        QFETCH(int, modules);
        QFETCH(QString, events);
        QFETCH(int, sets);
        ModelRig rig;
        Model &model = rig.model();
        QList<qint64> addresses;
        for (int m = 0; m < modules; ++m)
            addresses << 0x0013A20040000001 + m;
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
            if (std::exchange(stopInside, false))
                model.stop();
        });
        QVERIFY(rig.startRunning());
        model.timers().timeout.setInterval(3600 * 1000);

        QVector<QByteArray> lastPressure(modules); // what each module sent last
        int sent = 0;
        for (const QString &step : events.split(' ')) {
            if (step == "S") {
                model.stop();
            } else if (step == "T") {
                rig.invoke("onSingleShotTimer");
            } else if (step == "L") {
                QSignalSpy lost(&model, &Model::baseStationLost);
                rig.pty().closeMaster();
                QVERIFY(lost.wait(2000));
                QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
                QCOMPARE(model.rowCount(), modules);
            } else if (step == "!") {
                stopInside = true;
            } else {
                const quint16 pressure = quint16(9000 + ++sent);
                const int m = step.section('@', 0, 0).toInt();
                QVERIFY(rig.deliverFrom(addresses[m], dataAt(12, 0, step.section('@', 1).toInt(), pressure)));
                lastPressure[m] = QByteArray::number(pressure / 10.0, 'f', 1);
            }
        }
        QVERIFY(!model.isRunning());

        // One line a set in each; the log's line is the stream's with a comment and without XData.
        QTRY_COMPARE(client.peek(1 << 20).count('\n'), sets);
        QTest::qWait(20); // long enough for a line too many to show up
        QList<QByteArray> streamed = client.readAll().split('\n');
        QCOMPARE(streamed.takeLast(), QByteArray());
        for (QByteArray &line : streamed) {
            QList<QByteArray> fields = line.split('\t');
            for (int m = modules; m > 0; --m)
                fields.removeAt(14 * m);
            fields.insert(1, QByteArray());
            line = fields.join(',');
        }
        QFile file(logPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QByteArray> logged = file.readAll().split('\n').mid(4); // after the header
        QCOMPARE(logged.takeLast(), QByteArray());
        QCOMPARE(logged, streamed);
        QCOMPARE(logged.size(), sets);
        for (int m = 0; m < modules && sets; ++m) {
            if (!lastPressure[m].isEmpty())
                QCOMPARE(logged.last().split(',').at(2 + 13 * m + 2), lastPressure[m]);
        }
    }
};

VENTROLLA_TEST_MAIN(TestDataSetDelivery)
#include "tst_DataSetDelivery.moc"
