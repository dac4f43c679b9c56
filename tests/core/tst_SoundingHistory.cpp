// The sounding's history: its memory bound and the thinning of older sets, and the feed that
// fills it from the model's data sets (silent modules, Stop and Run, a new acquisition).

#include "ModelHarness.h"
#include "TestSupport.h"
#include "core/SoundingHistory.h"
#include "core/SoundingHistoryFeed.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

SoundingHistory::Sample sampleOf(float value, float direction = 0)
{
    SoundingHistory::Sample s;
    s.fill(value);
    s[SoundingHistory::WindDirection] = direction;
    return s;
}

constexpr qint64 blockBytes =
    SoundingHistory::blockSets * SoundingHistory::StoredQuantityCount * qint64(sizeof(float));

} // namespace

class TestSoundingHistory : public QObject
{
    Q_OBJECT

private slots:
    void thinsOlderSetsWithinItsBound();
    void derivedQuantities_data();
    void derivedQuantities();
    void feedKeepsEverySetOfOneSounding();
};

void TestSoundingHistory::thinsOlderSetsWithinItsBound()
{
    // Room for three blocks of two modules: the fourth block thins the older half.
    const qint64 bound = 6 * blockBytes + 64 * 1024;
    SoundingHistory history(bound);
    const int a = history.moduleIndex(QStringLiteral("A"));
    const int b = history.moduleIndex(QStringLiteral("B"));
    QCOMPARE(history.moduleIndex(QStringLiteral("A")), a);
    const qsizetype total = 5 * SoundingHistory::blockSets;
    for (qsizetype i = 0; i < total; ++i) {
        history.appendSet(1000 * i);
        // A's value is its set number; B is silent in the first 3000 sets, its direction
        // alternates across north.
        history.setSample(a, sampleOf(float(i)));
        if (i >= 3000)
            history.setSample(b, sampleOf(1.0f, i % 2 ? 350.0f : 10.0f));
        QVERIFY2(history.byteCount() <= bound, qPrintable(QString::number(i)));
    }
    QVERIFY(history.thinningCount() >= 1);
    const qsizetype count = history.setCount();
    QVERIFY(count < total);
    // Nothing was dropped: the first set is the mean of all it merged, the last is still there,
    // and times only grow.
    QCOMPARE(history.setTime(0), ((qint64(1) << history.thinningCount()) - 1) * 500);
    QCOMPARE(history.setTime(count - 1), 1000 * (total - 1));
    for (qsizetype s = 1; s < count; ++s)
        QVERIFY(history.setTime(s) > history.setTime(s - 1));
    QCOMPARE(history.lowerBound(history.setTime(count / 2)), count / 2);
    QCOMPARE(history.lowerBound(history.setTime(count / 2) + 1), count / 2 + 1);
    // A merged set holds the mean of what it merged, so a ramp stays a ramp: its value is the
    // time of its set in seconds less the half second of the first pair.
    for (qsizetype s : {qsizetype(0), count / 3, count - 1})
        QCOMPARE(history.value(s, a, SoundingHistory::Temperature), float(history.setTime(s)) / 1000);
    // B's silence stays a gap; in merged sets its directions average to north, not south.
    QVERIFY(std::isnan(history.value(0, b, SoundingHistory::Temperature)));
    qsizetype heard = 0;
    while (std::isnan(history.value(heard, b, SoundingHistory::Temperature)))
        ++heard;
    QVERIFY(history.setTime(heard + 2) - history.setTime(heard + 1) > 1000);
    const float north = history.value(heard + 1, b, SoundingHistory::WindDirection);
    QVERIFY2(north < 1.0f || north > 359.0f, qPrintable(QString::number(double(north))));

    history.clear();
    QCOMPARE(history.setCount(), 0);
    QCOMPARE(history.moduleCount(), 0);
    QVERIFY(history.byteCount() < 1024);
}

void TestSoundingHistory::derivedQuantities_data()
{
    QTest::addColumn<int>("quantity");
    QTest::addColumn<float>("expected");
    // 20 deg C, 50 %RH, 900 hPa, wind from 270 (west) at 10 m/s.
    QTest::newRow("dew point") << int(SoundingHistory::DewPoint) << 9.3f;
    QTest::newRow("potential temperature") << int(SoundingHistory::PotentialTemperature) << 302.2f;
    QTest::newRow("toward east") << int(SoundingHistory::WindEast) << 10.0f;
    QTest::newRow("toward north") << int(SoundingHistory::WindNorth) << 0.0f;
}

void TestSoundingHistory::derivedQuantities()
{
    QFETCH(int, quantity);
    QFETCH(float, expected);
    SoundingHistory history;
    history.appendSet(0);
    history.setSample(history.moduleIndex(QStringLiteral("A")), {100, 900, 20, 50, 270, 10});
    QVERIFY(std::abs(history.value(0, 0, SoundingHistory::Quantity(quantity)) - expected) < 0.1f);
}

void TestSoundingHistory::feedKeepsEverySetOfOneSounding()
{
    const qint64 first = 0x0013A20040A1B2C3;
    const qint64 second = 0x0013A20040A1B2C4;
    ModelRig rig;
    SoundingHistory history;
    SoundingHistoryFeed feed(&rig.model(), &history);
    QVERIFY(rig.loadAndStop({first, second}) && rig.startRunning());
    QSignalSpy cleared(&feed, &SoundingHistoryFeed::cleared);

    // The second module misses second 2: its old values stay in the table, not in the history.
    const auto send = [&](qint64 from, int second_, int tenthsHpa) {
        return rig.deliverFrom(from, dataAt(12, 0, second_, tenthsHpa));
    };
    QVERIFY(send(first, 1, 9001) && send(second, 1, 8001) && send(first, 2, 9002)
            && send(first, 3, 9003) && send(second, 3, 8003) && send(first, 4, 9004));
    QCOMPARE(history.setCount(), 3);
    const int m2 = history.moduleIndex(QStringLiteral("TXB2C4"));
    QCOMPARE(history.moduleCount(), 2);
    QCOMPARE(history.value(0, m2, SoundingHistory::Pressure), 800.1f);
    QVERIFY(std::isnan(history.value(1, m2, SoundingHistory::Pressure)));
    QCOMPARE(history.value(2, m2, SoundingHistory::Pressure), 800.3f);
    QCOMPARE(history.value(1, history.moduleIndex(QStringLiteral("TXB2C3")), SoundingHistory::Pressure),
             900.2f);

    // Stop and Run again: the same sounding goes on.
    rig.model().stop();
    rig.invoke("onTimeoutTimer");
    QVERIFY(rig.startRunning());
    QVERIFY(send(first, 10, 9010) && send(second, 10, 8010) && send(first, 11, 9011));
    QVERIFY(history.setCount() > 3);
    QCOMPARE(history.value(0, m2, SoundingHistory::Pressure), 800.1f);
    QCOMPARE(cleared.count(), 0);

    // A new acquisition is a new sounding.
    rig.model().stop();
    rig.invoke("onTimeoutTimer");
    rig.model().acquire();
    QVERIFY(rig.startModules() && rig.model().isAcquiring());
    QCOMPARE(cleared.count(), 1);
    QCOMPARE(history.setCount(), 0);
}

VENTROLLA_TEST_MAIN(TestSoundingHistory)
#include "tst_SoundingHistory.moc"
