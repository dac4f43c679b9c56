// The log reader on small hand-made logs: every kind of line a log holds, the day changes, cut
// and foreign files; and the numbers and derived quantities shared by everything that reads logs.

#include "TestSupport.h"
#include "archive/LogReader.h"
#include "archive/Meteorology.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray knotsGroup =
    ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),Supply (V),UTC Time,"
    "Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";
const QByteArray metricGroup =
    ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (m/s),Supply (V),UTC Time,"
    "Latitude (deg),Longitude (deg),Course (deg),Speed (m/s)";
const QByteArray head = "Ventrolla log file\nDate 3/09/2024\n\nTime,Comment";

// A log with every kind of line: a comment, an empty cell, XData with commas in its text, a
// comment that reads "<XDATA>", a module acquired after the header, UTF-8 identifiers.
const QByteArray fullLog = head + knotsGroup + knotsGroup + "\n"
    "23:59:58,launch,A17,152.3,995.1,18.450,63.2,274,15.16,3.31,22:59:58,45.501230,-73.567810,118,2.1,"
    "B204,301.0,978.4,16.025,,281,9.72,3.28,22:59:58,,,,\n"
    "23:59:59,<XDATA>,A17,xdata=1,2,3\n"
    "00:00:01,<XDATA>,A17,1.0,2.0,3.0,4.0,5.0,6.0,7.0,00:00:00,,,,,B204,1,2,3,4,5,6,7,00:00:00,,,,,"
    "K\xef\xbe\x85,1,2,3,4,5,6,7,00:00:00,,,,\n"
    "00:00:03,end\n";

QString write(QTemporaryDir &dir, const QByteArray &bytes)
{
    static int count = 0;
    const QString path = dir.filePath(QStringLiteral("log%1.csv").arg(++count));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A data or XData line as the log file writes it, from what the reader made of it.
QByteArray lineOf(const LogEntry &entry)
{
    QString line = entry.timeText() + QLatin1Char(',');
    if (!entry.isData())
        return (line + QStringLiteral("<XDATA>,") + entry.moduleId + QLatin1Char(',') + entry.xdataText)
            .toUtf8();
    line += entry.comment;
    for (const LogModuleGroup &group : entry.modules) {
        line += QLatin1Char(',') + group.moduleId;
        for (const QString &text : group.texts)
            line += QLatin1Char(',') + text;
    }
    return line.toUtf8();
}

QVector<LogEntry> readAll(LogReader &reader)
{
    QVector<LogEntry> entries;
    LogEntry entry;
    while (reader.next(entry))
        entries.append(entry);
    return entries;
}

} // namespace

class TestLogReader : public QObject
{
    Q_OBJECT

private slots:
    void readsEveryLineAsLogged();
    void daysAndClock_data();
    void daysAndClock();
    void badLinesAreSkippedAndNamed_data();
    void badLinesAreSkippedAndNamed();
    void windUnit_data();
    void windUnit();
    void foreignFilesAreRefused_data();
    void foreignFilesAreRefused();
    void numbers_data();
    void numbers();
    void derivedQuantities_data();
    void derivedQuantities();

private:
    QTemporaryDir dir;
};

void TestLogReader::readsEveryLineAsLogged()
{
    // Replaying a log must give back its bytes: every line rebuilt from its entry is the line.
    for (const QByteArray &ending : {QByteArray("\n"), QByteArray("\r\n")}) {
        QByteArray log = fullLog;
        log.replace("\n", ending);
        LogReader reader(write(dir, log));
        QVERIFY2(reader.open(), qPrintable(reader.errorString()));
        QCOMPARE(reader.date(), QDate(2024, 3, 9));
        QCOMPARE(reader.headerModuleCount(), 2);
        const QVector<LogEntry> entries = readAll(reader);
        const QList<QByteArray> lines = fullLog.split('\n').mid(4, 4);
        QCOMPARE(entries.size(), lines.size());
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(lineOf(entries[i]), lines[i]);
            QCOMPARE(entries[i].lineNumber, qint64(5 + i));
        }
        QCOMPARE(reader.warningCount(), qint64(0));

        QCOMPARE(entries[1].kind, LogEntry::Kind::XData);
        QCOMPARE(entries[1].xdataText, QStringLiteral("xdata=1,2,3"));
        QCOMPARE(entries[2].kind, LogEntry::Kind::Data);
        QCOMPARE(entries[2].comment, QStringLiteral("<XDATA>"));
        QCOMPARE(entries[2].modules.size(), 3);
        QCOMPARE(entries[2].modules[2].moduleId, QStringLiteral("K\uFF85"));
        QVERIFY(entries[3].modules.isEmpty());

        const LogModuleGroup &b = entries[0].modules[1];
        QCOMPARE(b.value(LogColumn::Temperature), 16.025);
        QVERIFY(b.text(LogColumn::Humidity).isEmpty());
        QVERIFY(!b.hasValue(LogColumn::Humidity));
        QVERIFY(!b.hasValue(LogColumn::Latitude));
        QCOMPARE(b.value(LogColumn::UtcTime), 22 * 3600.0 + 59 * 60 + 58);
        QCOMPARE(entries[0].modules[0].value(LogColumn::Longitude), -73.56781);
        QCOMPARE(entries[0].modules[0].windSpeedMetresPerSecond(reader.windUnit()), 15.16 / 1.94384449);
        QCOMPARE(entries[0].modules[0].groundSpeedMetresPerSecond(reader.windUnit()), 2.1 / 1.94384449);
    }
}

void TestLogReader::daysAndClock_data()
{
    QTest::addColumn<QByteArray>("times");
    QTest::addColumn<QString>("dates");
    QTest::addColumn<int>("warnings");

    QTest::newRow("same day") << QByteArray("10:00:00 10:00:02 10:00:02 23:59:59") << "9 9 9 9" << 0;
    QTest::newRow("midnight") << QByteArray("23:59:58 00:00:00 00:00:02") << "9 10 10" << 0;
    QTest::newRow("two midnights") << QByteArray("22:00:00 01:00:00 12:00:00 03:00:00") << "9 10 10 11" << 0;
    QTest::newRow("pause past midnight") << QByteArray("20:00:00 17:59:59") << "9 10" << 0;
    QTest::newRow("clock set back") << QByteArray("02:59:59 02:00:00 02:30:00") << "9 9 9" << 1;
    QTest::newRow("set back two hours") << QByteArray("04:00:00 02:00:00") << "9 9" << 1;
    QTest::newRow("back more than two hours") << QByteArray("04:00:01 02:00:00") << "9 10" << 0;
}

void TestLogReader::daysAndClock()
{
    QFETCH(QByteArray, times);
    QFETCH(QString, dates);
    QFETCH(int, warnings);

    QByteArray log = head + "\n";
    for (const QByteArray &time : times.split(' '))
        log += time + (log.count('\n') % 2 ? ",c\n" : ",<XDATA>,A,xdata=\n");
    LogReader reader(write(dir, log));
    QVERIFY(reader.open());
    QStringList days;
    for (const LogEntry &entry : readAll(reader))
        days << QString::number(entry.date.day());
    QCOMPARE(days.join(' '), dates);
    QCOMPARE(reader.warningCount(), qint64(warnings));
    QCOMPARE(reader.skippedLineCount(), qint64(0));
}

void TestLogReader::badLinesAreSkippedAndNamed_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QList<qint64>>("warnedLines");
    QTest::addColumn<qint64>("skipped");

    const QByteArray good = "12:00:00,a,M,1,2,3,4,5,6,7,12:00:00,,,,\n";
    QTest::newRow("cut last line") << good + "12:00:01,b,M,1,2,3" << "5" << QList<qint64>{6} << qint64(1);
    QTest::newRow("cut last line with XData") << good + "12:00:01,<XDATA>,M,xda" << "5" << QList<qint64>{6}
                                               << qint64(1);
    QTest::newRow("garbage between") << "\x01\x02garbage\n" + good + "\n12:00:0x,a\n" + good + "12:00:01\n"
                                        + "12:00:02,<XDATA>,M\n" + good
                                      << "6 9 12" << QList<qint64>{5, 7, 8, 10, 11} << qint64(5);
    QTest::newRow("partial module group") << "12:00:00,a,M,1,2\n" + good << "6" << QList<qint64>{5} << qint64(1);
    QTest::newRow("line without end") << "12:00:00," + QByteArray(3 << 20, 'x') + "\n" + good << "6"
                                       << QList<qint64>{5} << qint64(1);
    QTest::newRow("time out of range") << "24:00:00,a\n12:60:00,a\n" + good << "7" << QList<qint64>{5, 6}
                                        << qint64(2);
    // A cell that is not a number is kept as text, read as empty, and named.
    QTest::newRow("cell not a number") << QByteArray("12:00:00,a,M,1,x,3,4,5,6,7,12:00:00,,,,\n") << "5"
                                        << QList<qint64>{5} << qint64(0);
    QTest::newRow("nothing after header") << QByteArray() << "" << QList<qint64>{} << qint64(0);
}

void TestLogReader::badLinesAreSkippedAndNamed()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, kept);
    QFETCH(QList<qint64>, warnedLines);
    QFETCH(qint64, skipped);

    LogReader reader(write(dir, head + knotsGroup + "\n" + body));
    QVERIFY(reader.open());
    QStringList lines;
    for (const LogEntry &entry : readAll(reader))
        lines << QString::number(entry.lineNumber);
    QCOMPARE(lines.join(' '), kept);
    QList<qint64> warned;
    for (const LogWarning &warning : reader.takeWarnings()) {
        QVERIFY(!warning.message.isEmpty());
        warned << warning.lineNumber;
    }
    QCOMPARE(warned, warnedLines);
    QCOMPARE(reader.skippedLineCount(), skipped);
    QVERIFY(reader.takeWarnings().isEmpty());
}

void TestLogReader::windUnit_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("wind");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("metresPerSecond");

    QTest::newRow("knots") << knotsGroup << QByteArray("9.72") << int(LogWindUnit::Knots) << 9.72 / 1.94384449;
    QTest::newRow("m/s") << metricGroup << QByteArray("5.0") << int(LogWindUnit::MetresPerSecond) << 5.0;
    // A log opened before any module was acquired has no unit in its header: two decimals are
    // knots, one is metres per second.
    QTest::newRow("no header, knots") << QByteArray() << QByteArray("9.72") << int(LogWindUnit::Knots)
                                      << 9.72 / 1.94384449;
    QTest::newRow("no header, m/s") << QByteArray() << QByteArray("5.0") << int(LogWindUnit::MetresPerSecond)
                                    << 5.0;
}

void TestLogReader::windUnit()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, wind);
    QFETCH(int, unit);
    QFETCH(double, metresPerSecond);

    LogReader reader(write(dir, head + header + "\n12:00:00,,M,1,2,3,4,5," + wind + ",7,12:00:00,,,,\n"));
    QVERIFY(reader.open());
    LogEntry entry;
    QVERIFY(reader.next(entry));
    QCOMPARE(int(reader.windUnit()), unit);
    QCOMPARE(entry.modules[0].windSpeedMetresPerSecond(reader.windUnit()), metresPerSecond);
    QCOMPARE(reader.warningCount(), qint64(header.isEmpty() ? 1 : 0));
}

void TestLogReader::foreignFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    QTest::newRow("empty") << QByteArray() << "is empty";
    QTest::newRow("other csv") << QByteArray("time,pressure\n1,2\n") << "first line";
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11) << "first line";
    QTest::newRow("no date") << QByteArray("Ventrolla log file\nTime,Comment\n") << "line 2";
    QTest::newRow("bad date") << QByteArray("Ventrolla log file\nDate 13/45/2024\n\nTime,Comment\n") << "line 2";
    QTest::newRow("no header") << QByteArray("Ventrolla log file\nDate 3/09/2024\n\n12:00:00,a\n") << "line 4";
    QTest::newRow("foreign column") << head + QByteArray(knotsGroup).replace("%RH", "RH") + "\n" << "\"RH\"";
}

void TestLogReader::foreignFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);

    LogReader reader(write(dir, bytes));
    QVERIFY(!reader.open());
    QVERIFY2(reader.errorString().contains(reason), qPrintable(reader.errorString()));

    LogReader missing(dir.filePath(QStringLiteral("none.csv")));
    QVERIFY(!missing.open());
    QVERIFY(missing.errorString().contains(QStringLiteral("none.csv")));
}

void TestLogReader::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("number");

    const double nan = LogValues::missing;
    QTest::newRow("decimals") << "995.12" << 995.12;
    QTest::newRow("negative") << "-73.567810" << -73.56781;
    QTest::newRow("plus") << "+3" << 3.0;
    QTest::newRow("integer") << "274" << 274.0;
    QTest::newRow("small") << "0.000001" << 0.000001;
    QTest::newRow("many digits") << "1234567890.1234567" << 1234567890.1234567;
    QTest::newRow("empty") << "" << nan;
    QTest::newRow("sign only") << "-" << nan;
    QTest::newRow("point only") << "." << nan;
    QTest::newRow("two points") << "1.2.3" << nan;
    QTest::newRow("letters") << "12a" << nan;
    QTest::newRow("space") << " 12" << nan;
}

void TestLogReader::numbers()
{
    QFETCH(QString, text);
    QFETCH(double, number);

    const double read = LogValues::toNumber(text);
    if (std::isnan(number))
        QVERIFY2(std::isnan(read), qPrintable(QString::number(read)));
    else
        QCOMPARE(read, number);
}

void TestLogReader::derivedQuantities_data()
{
    QTest::addColumn<double>("temperature");
    QTest::addColumn<double>("humidity");
    QTest::addColumn<double>("pressure");
    QTest::addColumn<double>("dewPoint");
    QTest::addColumn<double>("theta");
    QTest::addColumn<double>("mixingRatio");

    const double nan = LogValues::missing;
    QTest::newRow("warm") << 25.0 << 50.0 << 1000.0 << 13.868 << 298.150 << 0.010009;
    QTest::newRow("cool") << 8.5 << 71.5 << 888.3 << 3.644 << 291.345 << 0.005603;
    QTest::newRow("saturated") << 0.0 << 100.0 << 1000.0 << 0.0 << 273.15 << 0.0038249;
    QTest::newRow("no humidity") << 20.0 << nan << 1000.0 << nan << 293.15 << nan;
    QTest::newRow("dry") << 20.0 << 0.0 << 1000.0 << nan << 293.15 << 0.0;
    QTest::newRow("no pressure") << 20.0 << 50.0 << nan << 9.270 << nan << nan;
    QTest::newRow("no temperature") << nan << 50.0 << 1000.0 << nan << nan << nan;
}

void TestLogReader::derivedQuantities()
{
    QFETCH(double, temperature);
    QFETCH(double, humidity);
    QFETCH(double, pressure);
    QFETCH(double, dewPoint);
    QFETCH(double, theta);
    QFETCH(double, mixingRatio);

    const auto check = [](double actual, double expected, double tolerance) {
        if (std::isnan(expected))
            return std::isnan(actual);
        return std::abs(actual - expected) <= tolerance;
    };
    const double td = Meteorology::dewPoint(temperature, humidity);
    const double th = Meteorology::potentialTemperature(temperature, pressure);
    const double w = Meteorology::mixingRatio(temperature, humidity, pressure);
    QVERIFY2(check(td, dewPoint, 0.002), qPrintable(QString::number(td)));
    QVERIFY2(check(th, theta, 0.001), qPrintable(QString::number(th)));
    QVERIFY2(check(w, mixingRatio, 0.0000005), qPrintable(QString::number(w, 'g', 8)));

    // Wind from the north blows southward; from the east, westward.
    QVERIFY(std::abs(Meteorology::northwardWind(10.0, 0.0) + 10.0) < 1e-9);
    QVERIFY(std::abs(Meteorology::eastwardWind(10.0, 90.0) + 10.0) < 1e-9);
    QVERIFY(std::abs(Meteorology::eastwardWind(10.0, 270.0) - 10.0) < 1e-9);
    QVERIFY(std::isnan(Meteorology::eastwardWind(LogValues::missing, 90.0)));
}

VENTROLLA_TEST_MAIN(TestLogReader)
#include "tst_LogReader.moc"
