#include "OutputRecords.h"
#include "TestSupport.h"
#include "core/Model.h"
#include "output/LogFile.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using OutputRecords::addModules;
using OutputRecords::threeModules;

namespace {

const QByteArray headerKnots =
    ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),Supply (V),UTC Time,"
    "Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";
const QByteArray headerMetres =
    ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (m/s),Supply (V),UTC Time,"
    "Latitude (deg),Longitude (deg),Course (deg),Speed (m/s)";
// The data fields of threeModules(), in order; the XData column is never part of them.
const QByteArray fieldsA17 =
    ",A17,152.3,995.12,18.45,63.2,274,7.8,3.31,12:00:01,45.50123,-73.56781,118.4,2.1";
const QByteArray fieldsB204 = ",B204,301.0,978.40,16.02,70.9,281,9.4,3.28,12:00:02,,,,";
const QByteArray fieldsK = ",K\xEF\xBE\x85,455.7,961.77,14.90,74.0,290,11.2,3.25,,,,,";

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2024, 3, 9), QTime(hour, minute, second));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

QList<QByteArray> linesOf(const QString &path)
{
    QList<QByteArray> lines = readAll(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray titleAndDate()
{
    return "Ventrolla log file\nDate "
           + QLocale::c().toString(QDate::currentDate(), QStringLiteral("M/dd/yyyy")).toLatin1()
           + "\n\n";
}

} // namespace

class TestLogFile : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fileIsWrittenByteForByte_data();
    void fileIsWrittenByteForByte();
    void dateLineHasMonthWithoutLeadingZero();
    void xdataLineCarriesIdAndXData();
    void singleCommentIsUsedOnce();
    void repeatingCommentStaysUntilReplacedOrStopped();
    void commentBecomesOneField();
    void pauseDropsDataSets();
    void stopClosesAndKeepsTheFile();
    void beginClosesThePreviousLogAndTruncates();
    void modulesAddedLaterWidenTheDataLines();
    void unopenableFileIsReported();
    void fullDeviceFailsTheHeader();
    void failedWriteStopsAndKeepsWholeLines();

private:
    QString path(const QString &name) const { return dir->filePath(name); }

    QTemporaryDir *dir = nullptr;
};

void TestLogFile::init()
{
    SettingsTestCase::init();
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
}

void TestLogFile::cleanup()
{
    delete dir;
    dir = nullptr;
}

void TestLogFile::fileIsWrittenByteForByte_data()
{
    QTest::addColumn<int>("windUnits");
    QTest::addColumn<int>("modules");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("dataFields");

    QTest::newRow("no modules") << 0 << 0 << QByteArray() << QByteArray();
    QTest::newRow("one module, knots") << 0 << 1 << headerKnots << fieldsA17;
    QTest::newRow("three modules, m/s")
        << 1 << 3 << headerMetres + headerMetres + headerMetres << fieldsA17 + fieldsB204 + fieldsK;
}

void TestLogFile::fileIsWrittenByteForByte()
{
    QFETCH(int, windUnits);
    QFETCH(int, modules);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, dataFields);

    Model model(windUnits, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules().mid(0, modules)));
    LogFile log(&model);
    QSignalSpy failures(&log, &LogFile::writeFailed);

    QVERIFY(log.begin(path("run.csv")));
    QVERIFY(log.isOpen());
    QCOMPARE(readAll(path("run.csv")), titleAndDate() + "Time,Comment" + header + "\n");

    model.emitDataSetReady(at(9, 5, 7));
    model.emitDataSetReady(at(23, 59, 59));
    QCOMPARE(readAll(path("run.csv")), titleAndDate() + "Time,Comment" + header + "\n"
                                           + "09:05:07," + dataFields + "\n"
                                           + "23:59:59," + dataFields + "\n");
    QCOMPARE(failures.count(), 0);
}

void TestLogFile::dateLineHasMonthWithoutLeadingZero()
{
    Model model(0, 0, false, false, false, false);
    LogFile log(&model);
    const QDate before = QDate::currentDate();
    QVERIFY(log.begin(path("date.csv")));
    const QDate after = QDate::currentDate();

    const QByteArray line = linesOf(path("date.csv")).value(1);
    const QRegularExpression form(QStringLiteral("^Date ([1-9]|1[0-2])/(\\d\\d)/(\\d{4})$"));
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(line));
    QVERIFY2(match.hasMatch(), line.constData());
    const QDate written(match.captured(3).toInt(), match.captured(1).toInt(),
                        match.captured(2).toInt());
    QVERIFY(written == before || written == after);
}

void TestLogFile::xdataLineCarriesIdAndXData()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules()));
    LogFile log(&model);
    QVERIFY(log.begin(path("x.csv")));
    log.setComment(QStringLiteral("note"), false);

    model.emitXDataReady(at(12, 0, 5), 0);
    model.emitXDataReady(at(12, 0, 6), 1);
    model.emitDataSetReady(at(12, 0, 7));

    const QList<QByteArray> lines = linesOf(path("x.csv"));
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines[4], QByteArray("12:00:05,<XDATA>,A17,xd-1"));
    QCOMPARE(lines[5], QByteArray("12:00:06,<XDATA>,B204,"));
    // The xdata lines neither carry nor use up the comment.
    QCOMPARE(lines[6], "12:00:07,note" + fieldsA17 + fieldsB204 + fieldsK);
}

void TestLogFile::singleCommentIsUsedOnce()
{
    Model model(0, 0, false, false, false, false);
    LogFile log(&model);

    // Data sets while stopped or paused leave the comment waiting.
    log.setComment(QStringLiteral("kept"), false);
    model.emitDataSetReady(at(10, 0, 0));
    QCOMPARE(log.comment(), QStringLiteral("kept"));

    QVERIFY(log.begin(path("c.csv")));
    QCOMPARE(log.comment(), QString());
    log.setComment(QStringLiteral("launch"), false);
    QVERIFY(!log.isCommentRepeating());
    log.setPaused(true);
    model.emitDataSetReady(at(10, 0, 1));
    QCOMPARE(log.comment(), QStringLiteral("launch"));
    log.setPaused(false);
    model.emitDataSetReady(at(10, 0, 2));
    model.emitDataSetReady(at(10, 0, 3));

    const QList<QByteArray> lines = linesOf(path("c.csv"));
    QCOMPARE(lines.mid(4), (QList<QByteArray>{"10:00:02,launch", "10:00:03,"}));
    QCOMPARE(log.comment(), QString());
}

void TestLogFile::repeatingCommentStaysUntilReplacedOrStopped()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules().mid(0, 1)));
    LogFile log(&model);
    QVERIFY(log.begin(path("r.csv")));

    log.setComment(QStringLiteral("in cloud"), true);
    model.emitDataSetReady(at(8, 0, 0));
    model.emitDataSetReady(at(8, 0, 1));
    log.setComment(QStringLiteral("clear"), false);
    model.emitDataSetReady(at(8, 0, 2));
    model.emitDataSetReady(at(8, 0, 3));
    log.setComment(QStringLiteral("again"), true);
    model.emitDataSetReady(at(8, 0, 4));

    QCOMPARE(linesOf(path("r.csv")).mid(4),
             (QList<QByteArray>{"08:00:00,in cloud" + fieldsA17, "08:00:01,in cloud" + fieldsA17,
                                "08:00:02,clear" + fieldsA17, "08:00:03," + fieldsA17,
                                "08:00:04,again" + fieldsA17}));

    log.stop();
    QCOMPARE(log.comment(), QString());
    QVERIFY(!log.isCommentRepeating());
    log.setComment(QStringLiteral("x"), true);
    QVERIFY(log.begin(path("r2.csv")));
    QCOMPARE(log.comment(), QString());
    QVERIFY(!log.isCommentRepeating());
}

void TestLogFile::commentBecomesOneField()
{
    Model model(0, 0, false, false, false, false);
    LogFile log(&model);
    log.setComment(QStringLiteral("gust, 12 kt\tnear\r\nsummit,"), true);
    QCOMPARE(log.comment(), QStringLiteral("gust  12 kt near  summit "));
    QVERIFY(log.isCommentRepeating());

    QVERIFY(log.begin(path("f.csv")));
    log.setComment(QStringLiteral("a,b\nc"), false);
    model.emitDataSetReady(at(7, 0, 0));
    QCOMPARE(linesOf(path("f.csv")).mid(4), QList<QByteArray>{"07:00:00,a b c"});
}

void TestLogFile::pauseDropsDataSets()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules().mid(0, 2)));
    LogFile log(&model);
    QVERIFY(log.begin(path("p.csv")));
    QSignalSpy status(&log, &LogFile::statusChanged);

    log.setPaused(true);
    QCOMPARE(status.count(), 1);
    QVERIFY(log.isOpen());
    QVERIFY(log.isPaused());
    model.emitDataSetReady(at(11, 0, 0));
    model.emitXDataReady(at(11, 0, 1), 0);
    log.setPaused(false);
    QCOMPARE(status.count(), 2);
    model.emitDataSetReady(at(11, 0, 2));

    QCOMPARE(linesOf(path("p.csv")).mid(4),
             QList<QByteArray>{"11:00:02," + fieldsA17 + fieldsB204});
}

void TestLogFile::stopClosesAndKeepsTheFile()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules().mid(0, 1)));
    LogFile log(&model);
    QVERIFY(log.begin(path("s.csv")));
    model.emitDataSetReady(at(6, 0, 0));
    log.setPaused(true);
    QSignalSpy status(&log, &LogFile::statusChanged);

    log.stop();
    QVERIFY(!log.isOpen());
    QVERIFY(!log.isPaused());
    QCOMPARE(status.count(), 2);
    model.emitDataSetReady(at(6, 0, 1));
    model.emitXDataReady(at(6, 0, 2), 0);
    QCOMPARE(readAll(path("s.csv")), titleAndDate() + "Time,Comment" + headerKnots + "\n"
                                         + "06:00:00," + fieldsA17 + "\n");

    // A pause set while stopped does not survive the next begin.
    log.setPaused(true);
    QVERIFY(log.begin(path("s2.csv")));
    QVERIFY(!log.isPaused());
}

void TestLogFile::beginClosesThePreviousLogAndTruncates()
{
    Model model(0, 0, false, false, false, false);
    LogFile log(&model);
    {
        QFile old(path("second.csv"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(4096, 'z'));
    }
    QVERIFY(log.begin(path("first.csv")));
    model.emitDataSetReady(at(1, 0, 0));
    QSignalSpy status(&log, &LogFile::statusChanged);

    QVERIFY(log.begin(path("second.csv")));
    QCOMPARE(status.count(), 2);
    model.emitDataSetReady(at(1, 0, 1));

    QCOMPARE(readAll(path("first.csv")), titleAndDate() + "Time,Comment\n01:00:00,\n");
    QCOMPARE(readAll(path("second.csv")), titleAndDate() + "Time,Comment\n01:00:01,\n");

    // Beginning again on the same name starts that file afresh.
    QVERIFY(log.begin(path("second.csv")));
    QCOMPARE(readAll(path("second.csv")), titleAndDate() + "Time,Comment\n");
}

void TestLogFile::modulesAddedLaterWidenTheDataLines()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules().mid(0, 1)));
    LogFile log(&model);
    QVERIFY(log.begin(path("w.csv")));
    QVERIFY(addModules(model, threeModules().mid(1, 1)));
    model.emitDataSetReady(at(5, 4, 3));
    model.emitXDataReady(at(5, 4, 4), 1);

    QCOMPARE(readAll(path("w.csv")), titleAndDate() + "Time,Comment" + headerKnots + "\n"
                                         + "05:04:03," + fieldsA17 + fieldsB204 + "\n"
                                         + "05:04:04,<XDATA>,B204,\n");
}

void TestLogFile::unopenableFileIsReported()
{
    Model model(0, 0, false, false, false, false);
    LogFile log(&model);
    log.setComment(QStringLiteral("pending"), true);
    log.setPaused(true);
    QSignalSpy status(&log, &LogFile::statusChanged);
    QSignalSpy failures(&log, &LogFile::writeFailed);

    QVERIFY(!log.begin(path("missing-folder/log.csv")));
    QVERIFY(!log.isOpen());
    QVERIFY(!log.isPaused());
    QCOMPARE(log.comment(), QString());
    QVERIFY(!log.isCommentRepeating());
    QVERIFY(!log.errorString().isEmpty());
    QCOMPARE(status.count(), 2);
    QCOMPARE(failures.count(), 0);
    QVERIFY(!QFile::exists(path("missing-folder/log.csv")));
}

void TestLogFile::fullDeviceFailsTheHeader()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full on this system");
    Model model(0, 0, false, false, false, false);
    LogFile log(&model);
    QSignalSpy failures(&log, &LogFile::writeFailed);

    // Opening succeeds, the first write does not: the log must not look as if it ran.
    QVERIFY(!log.begin(QStringLiteral("/dev/full")));
    QVERIFY(!log.isOpen());
    QVERIFY(!log.errorString().isEmpty());
    QCOMPARE(failures.count(), 0);
    model.emitDataSetReady(at(1, 2, 3));
    QCOMPARE(failures.count(), 0);

    // A failure does not spoil the next log.
    QVERIFY(log.begin(path("after.csv")));
    model.emitDataSetReady(at(1, 2, 4));
    QCOMPARE(readAll(path("after.csv")), titleAndDate() + "Time,Comment\n01:02:04,\n");
    QVERIFY(log.errorString().isEmpty());
}

// A file-size limit makes the file system refuse part of a data line, as a full disk would.
void TestLogFile::failedWriteStopsAndKeepsWholeLines()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules()));
    LogFile log(&model);
    QVERIFY(log.begin(path("full.csv")));
    log.setComment(QStringLiteral("repeat"), true);
    model.emitDataSetReady(at(3, 0, 0));
    model.emitXDataReady(at(3, 0, 1), 0);
    const QByteArray written = readAll(path("full.csv"));
    QVERIFY(written.endsWith("03:00:01,<XDATA>,A17,xd-1\n"));

    QSignalSpy status(&log, &LogFile::statusChanged);
    QSignalSpy failures(&log, &LogFile::writeFailed);
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(written.size() + 40);
    void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    model.emitDataSetReady(at(3, 0, 2));
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, savedHandler);

    QCOMPARE(failures.count(), 1);
    const QString message = failures.at(0).at(0).toString();
    QVERIFY2(message.contains(QStringLiteral("full.csv")), qPrintable(message));
    QCOMPARE(log.errorString(), message);
    QVERIFY(!log.isOpen());
    QVERIFY(status.count() >= 1);
    // The line written in part is cut off; every complete line stays.
    QCOMPARE(readAll(path("full.csv")), written);

    model.emitDataSetReady(at(3, 0, 3));
    model.emitXDataReady(at(3, 0, 4), 0);
    QCOMPARE(failures.count(), 1);
    QCOMPARE(readAll(path("full.csv")), written);
}

VENTROLLA_TEST_MAIN(TestLogFile)

#include "tst_LogFile.moc"
