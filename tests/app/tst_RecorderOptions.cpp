// The recorder's interval as a person says it, and the bare index the modules know.

#include "RecorderOptions.h"

#include <QtTest>

class TestRecorderOptions : public QObject
{
    Q_OBJECT

private slots:
    void interval_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("index"); // 0: refused

        QTest::newRow("1s") << "1s" << 1;
        QTest::newRow("10s") << "10s" << 7;
        QTest::newRow("60s") << "60s" << 12;
        QTest::newRow("1m") << "1m" << 13;
        QTest::newRow("15m") << "15m" << 21;
        QTest::newRow("60m") << "60m" << 24;
        QTest::newRow("bare index") << "24" << 24;
        QTest::newRow("7s is not offered") << "7s" << 0;
        QTest::newRow("hours") << "1h" << 0;
        QTest::newRow("index 0") << "0" << 0;
        QTest::newRow("index 25") << "25" << 0;
        QTest::newRow("unit only") << "s" << 0;
    }

    void interval()
    {
        QFETCH(QString, value);
        QFETCH(int, index);
        RecorderOptions options;
        QString error;
        const bool parsed = options.parse({QStringLiteral("ventrolla-record"),
                                           QStringLiteral("--port"), QStringLiteral("/dev/null"),
                                           QStringLiteral("--interval"), value},
                                          error);
        QCOMPARE(parsed, index != 0);
        if (parsed)
            QCOMPARE(options.interval, index);
        else
            QVERIFY2(error.contains(QLatin1String("1s 2s 3s 4s 5s 6s 10s 12s 15s 20s 30s 60s, "
                                                  "1m 2m 3m 4m 5m 6m 10m 12m 15m 20m 30m 60m")),
                     qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestRecorderOptions)
#include "tst_RecorderOptions.moc"
