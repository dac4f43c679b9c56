// The logs of a past sounding read into a history: files in any order and overlapping, silent
// modules, the wind unit of each log, and files that are not logs.

#include "TestSupport.h"
#include "archive/LogHistoryLoader.h"
#include "core/SoundingHistory.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

QByteArray head(const char *windUnit)
{
    QByteArray group = QByteArray(",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (")
                       + windUnit + "),Supply (V),UTC Time,Latitude (deg),Longitude (deg),Course (deg),Speed ("
                       + windUnit + ")";
    return "Ventrolla log file\nDate 6/21/2026\n\nTime,Comment" + group + group + "\n";
}

// A line of two modules, A at 100 m and B at 200 m; B's UTC time is given apart, so that it
// can stand still while A's moves on.
QByteArray line(const char *time, const char *utcA, const char *utcB, const char *wind = "10.0")
{
    return QByteArray(time) + ",,A,100.0,990.0,15.000,60.0,270," + wind + ",3.30," + utcA + ",,,,"
           + ",B,200.0,979.0,14.000,55.0,280," + wind + ",3.30," + utcB + ",,,,\n";
}

QString write(QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

qint64 at(const char *time)
{
    return QDateTime(QDate(2026, 6, 21), QTime::fromString(QString::fromLatin1(time), QStringLiteral("hh:mm:ss")))
        .toMSecsSinceEpoch();
}

} // namespace

class TestLogHistoryLoader : public QObject
{
    Q_OBJECT

private slots:
    void readsOneSoundingFromSeveralLogs();
    void refusesAFileThatIsNoLog();
};

void TestLogHistoryLoader::readsOneSoundingFromSeveralLogs()
{
    QTemporaryDir dir;
    // The later file is in knots, the earlier in m/s; the later repeats the earlier's last line,
    // and B misses 10:00:02 (its UTC time stands still).
    const QString early = write(dir, "early.csv",
                                head("m/s") + line("10:00:00", "08:00:00", "08:00:00")
                                    + line("10:00:01", "08:00:01", "08:00:01")
                                    + line("10:00:02", "08:00:02", "08:00:01"));
    const QString late = write(dir, "late.csv",
                               head("knots") + line("10:00:01", "08:00:01", "08:00:01", "19.44")
                                   + line("10:00:03", "08:00:03", "08:00:03", "19.44"));
    SoundingHistory history;
    LogHistoryLoader loader;
    QVERIFY(loader.open({late, early}, &history));
    while (loader.readSome(50)) {
    }
    QVERIFY(loader.isDone());

    QCOMPARE(history.setCount(), 4);
    QCOMPARE(history.setTime(0), at("10:00:00"));
    QCOMPARE(history.setTime(3), at("10:00:03"));
    QCOMPARE(loader.skippedLineCount(), 1);
    const int a = history.moduleIndex(QStringLiteral("A"));
    const int b = history.moduleIndex(QStringLiteral("B"));
    QCOMPARE(history.moduleCount(), 2);
    QCOMPARE(history.value(2, a, SoundingHistory::Temperature), 15.0f);
    QVERIFY(std::isnan(history.value(2, b, SoundingHistory::Temperature)));
    QCOMPARE(history.value(3, b, SoundingHistory::Altitude), 200.0f);
    QCOMPARE(history.value(0, a, SoundingHistory::WindSpeed), 10.0f);
    QVERIFY(std::abs(history.value(3, a, SoundingHistory::WindSpeed) - 10.0f) < 0.01f);
}

void TestLogHistoryLoader::refusesAFileThatIsNoLog()
{
    QTemporaryDir dir;
    const QString log = write(dir, "log.csv", head("m/s") + line("10:00:00", "08:00:00", "08:00:00"));
    const QString other = write(dir, "notes.txt", "shopping list\n");
    SoundingHistory history;
    history.appendSet(0);
    LogHistoryLoader loader;
    QVERIFY(!loader.open({log, other}, &history));
    QVERIFY2(loader.errorString().contains(other), qPrintable(loader.errorString()));
    QCOMPARE(history.setCount(), 0);
    QVERIFY(loader.isDone());
}

VENTROLLA_TEST_MAIN(TestLogHistoryLoader)
#include "tst_LogHistoryLoader.moc"
