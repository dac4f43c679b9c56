// What a simulated GPS module puts into its Data messages at each interval.

#include "Atmosphere.h"
#include "SimulatedClock.h"
#include "SimulatedModule.h"

#include <QSignalSpy>
#include <QtTest>

class TestSimulatedModule : public QObject
{
    Q_OBJECT

private slots:
    void gpsGroupsFollowTheInterval_data()
    {
        QTest::addColumn<int>("intervalCode");
        QTest::addColumn<int>("contents"); // the Data message's contents flags
        // At one second the module has no time for its GPS receiver's position, course and speed.
        QTest::newRow("one second") << 1 << 0xE4;
        QTest::newRow("two seconds") << 2 << 0xFF;
        QTest::newRow("one minute") << 12 << 0xFF;
    }

    void gpsGroupsFollowTheInterval()
    {
        QFETCH(int, intervalCode);
        QFETCH(int, contents);
        // Fast enough for a report within a few milliseconds at any of these intervals.
        const SimulatedClock clock(QDateTime(QDate(2024, 6, 1), QTime(10, 0), Qt::UTC), 100000);
        const Atmosphere atmosphere(400, 47.25, 8.5, 1);
        SimulatedModule::Settings settings;
        settings.identifier = QStringLiteral("GPS1");
        settings.gps = true;
        SimulatedModule module(settings, clock, atmosphere, 1);
        QSignalSpy sent(&module, &SimulatedModule::transmitted);
        module.setPowered(true);
        module.receive(QByteArray("#\x90\r", 3)); // configured: it stops saying Hello
        module.receive(QByteArray("#\x84", 2) + char(intervalCode) + char(0xFF) + '\r');
        QTRY_VERIFY(std::any_of(sent.cbegin(), sent.cend(), [](const QList<QVariant> &s) {
            return s.at(1).toByteArray().startsWith("#\x09");
        }));
        for (const QList<QVariant> &s : qAsConst(sent)) {
            QByteArray message = s.at(1).toByteArray();
            if (!message.startsWith("#\x09"))
                continue;
            // Unescape, then the contents flags follow the 13 bytes of the fixed part.
            message.replace("!\x03", "#").replace("!\x01", "!");
            QCOMPARE(quint8(message.at(2 + 13)), quint8(contents));
            break;
        }
    }
};

QTEST_GUILESS_MAIN(TestSimulatedModule)
#include "tst_SimulatedModule.moc"
