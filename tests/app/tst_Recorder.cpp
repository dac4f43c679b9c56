// ventrolla-record end to end: the real program against the real simulator program on a
// pseudo-terminal, its log file on disk and its live stream read through the local socket.

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

const int ColumnsPerModule = 14; // Module ID .. XData
const int LoggedColumnsPerModule = 13; // XData is not logged

// One run: a simulator, the recorder on its port, each with its own temporary folder so that
// runs side by side never share the local socket name.
struct Run
{
    QString name;
    QString dir;
    QProcess sim;
    QProcess recorder;
    QByteArray recorderOutput;
    QString port;

    QString logPath() const { return dir + QStringLiteral("/sounding.csv"); }
    QString socketPath() const { return dir + QStringLiteral("/Ventrolla"); }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir);
        return env;
    }

    bool startSim(const QStringList &arguments)
    {
        sim.setProcessEnvironment(environment());
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(QStringLiteral(VENTROLLA_SIM_PROGRAM), arguments);
        if (!sim.waitForStarted(5000))
            return false;
        QElapsedTimer timer;
        timer.start();
        while (!sim.canReadLine() && timer.elapsed() < 10000)
            sim.waitForReadyRead(100);
        port = QString::fromLocal8Bit(sim.readLine()).trimmed();
        return port.startsWith(QLatin1Char('/'));
    }

    void startRecorder(const QStringList &arguments)
    {
        recorder.setProcessEnvironment(environment());
        recorder.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&recorder, &QProcess::readyRead, [this] {
            recorderOutput += recorder.readAll();
        });
        recorder.start(QStringLiteral(VENTROLLA_RECORD_PROGRAM), arguments);
    }

    // The highest N of the "data set N" lines; they must count 1, 2, 3... without gaps.
    int reportedDataSets() const
    {
        int count = 0;
        static const QRegularExpression line(QStringLiteral("^data set (\\d+)$"),
                                             QRegularExpression::MultilineOption);
        auto it = line.globalMatch(QString::fromUtf8(recorderOutput));
        while (it.hasNext()) {
            const int n = it.next().captured(1).toInt();
            if (n != count + 1)
                return -1;
            count = n;
        }
        return count;
    }

    // The identifiers of the "module acquired: ID (n in the table)" lines, in table order.
    QStringList acquiredModules() const
    {
        QStringList ids;
        static const QRegularExpression line(
            QStringLiteral("^module acquired: (\\S+) \\((\\d+) in the table\\)$"),
            QRegularExpression::MultilineOption);
        auto it = line.globalMatch(QString::fromUtf8(recorderOutput));
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            if (match.captured(2).toInt() != ids.size() + 1)
                return {};
            ids << match.captured(1);
        }
        return ids;
    }

    bool reported(const QString &text) const
    {
        return QString::fromUtf8(recorderOutput).contains(text);
    }

    ~Run()
    {
        for (QProcess *process : {&recorder, &sim}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }
};

// Simulated modules switched on at once, their clocks ten times faster than real time.
QStringList fastSimArguments(int modules)
{
    return {QStringLiteral("--modules"), QString::number(modules),
            QStringLiteral("--power-on-delay"), QStringLiteral("0"),
            QStringLiteral("--power-on-interval"), QStringLiteral("50"),
            QStringLiteral("--speed"), QStringLiteral("10"),
            QStringLiteral("--start-time"), QStringLiteral("2024-05-01T10:00:00Z")};
}

QStringList recorderArguments(const Run &run, int modules)
{
    return {QStringLiteral("--port"), run.port,
            QStringLiteral("--interval"), QStringLiteral("1"),
            QStringLiteral("--modules"), QString::number(modules),
            QStringLiteral("--acquire-time"), QStringLiteral("20"),
            QStringLiteral("--log"), run.logPath()};
}

struct LogContents
{
    QStringList lines; // without the line ends
    bool endsWithNewline = false;
    QStringList dataLines() const { return lines.mid(4); }
};

LogContents readLog(const QString &path)
{
    LogContents log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return log;
    const QByteArray bytes = file.readAll();
    log.endsWithNewline = bytes.endsWith('\n');
    log.lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (log.endsWithNewline)
        log.lines.removeLast();
    return log;
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

bool waitForExit(QProcess &process, int timeoutMs)
{
    return waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
}

double number(const QString &text, bool *ok)
{
    return text.toDouble(ok);
}

// Checks the header of the log file: title, date, empty line, column headers for n modules.
void checkLogHeader(const LogContents &log, int modules, const QDate &runDate)
{
    QVERIFY(log.lines.size() >= 4);
    QCOMPARE(log.lines.at(0), QStringLiteral("Ventrolla log file"));
    const QString date = log.lines.at(1);
    QVERIFY2(date == QStringLiteral("Date ") + runDate.toString(QStringLiteral("M/dd/yyyy"))
                 || date == QStringLiteral("Date ")
                            + QDate::currentDate().toString(QStringLiteral("M/dd/yyyy")),
             qPrintable(date));
    QCOMPARE(log.lines.at(2), QString());
    QStringList header{QStringLiteral("Time"), QStringLiteral("Comment")};
    const QStringList moduleHeaders{
        QStringLiteral("Module ID"), QStringLiteral("Alt (m)"), QStringLiteral("P (mbar)"),
        QStringLiteral("T (deg C)"), QStringLiteral("%RH"), QStringLiteral("Wind (degrees)"),
        QStringLiteral("Wind (knots)"), QStringLiteral("Supply (V)"), QStringLiteral("UTC Time"),
        QStringLiteral("Latitude (deg)"), QStringLiteral("Longitude (deg)"),
        QStringLiteral("Course (deg)"), QStringLiteral("Speed (knots)")};
    for (int m = 0; m < modules; ++m)
        header += moduleHeaders;
    QCOMPARE(log.lines.at(3), header.join(QLatin1Char(',')));
}

// Checks that every data line has the time, the comment and 13 fields per module, the modules
// in the order they were acquired.
void checkDataLineShape(const QStringList &dataLines, const QStringList &modules,
                        const QString &comment)
{
    QStringList expected;
    for (int m = 1; m <= modules.size(); ++m)
        expected << QStringLiteral("TX%1").arg(m, 4, 10, QLatin1Char('0'));
    QStringList sorted = modules;
    sorted.sort();
    QCOMPARE(sorted, expected);
    static const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    for (const QString &line : dataLines) {
        const QStringList fields = line.split(QLatin1Char(','));
        QVERIFY2(fields.size() == 2 + modules.size() * LoggedColumnsPerModule, qPrintable(line));
        QVERIFY2(time.match(fields.at(0)).hasMatch(), qPrintable(line));
        QCOMPARE(fields.at(1), comment);
        for (int m = 0; m < modules.size(); ++m)
            QCOMPARE(fields.at(2 + m * LoggedColumnsPerModule), modules.at(m));
    }
}

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void soundingWritesLogAndStream();
    void interruptedRunsKeepEveryAnnouncedDataSet();
    void failuresGiveTheirExitStatus();

private:
    Run *newRun(const QString &name);
    void startFailureRuns();

    QTemporaryDir root{QDir::tempPath() + QStringLiteral("/recorder-XXXXXX")};
    std::vector<std::unique_ptr<Run>> runs;
    Run *noGuardAnswer = nullptr;
    Run *wrongAnswer = nullptr;
    Run *noModule = nullptr;
    Run *logDirMissing = nullptr;
    Run *logDeviceFull = nullptr;
};

Run *TestRecorder::newRun(const QString &name)
{
    auto run = std::make_unique<Run>();
    run->name = name;
    run->dir = root.path() + QLatin1Char('/') + name;
    QDir().mkpath(run->dir);
    runs.push_back(std::move(run));
    return runs.back().get();
}

void TestRecorder::initTestCase()
{
    QVERIFY(root.isValid());
    // The slow failures (each waits for the base station's answers) run alongside the other
    // tests; failuresGiveTheirExitStatus() collects them.
    startFailureRuns();
}

void TestRecorder::startFailureRuns()
{
    noGuardAnswer = newRun(QStringLiteral("no-guard-answer"));
    QVERIFY(noGuardAnswer->startSim(fastSimArguments(1) << QStringLiteral("--no-guard-answer")));
    noGuardAnswer->startRecorder(recorderArguments(*noGuardAnswer, 1));

    wrongAnswer = newRun(QStringLiteral("wrong-answer"));
    QVERIFY(wrongAnswer->startSim(fastSimArguments(1) << QStringLiteral("--wrong-answer")
                                                     << QStringLiteral("BD")));
    wrongAnswer->startRecorder(recorderArguments(*wrongAnswer, 1));

    noModule = newRun(QStringLiteral("no-module"));
    QStringList late = fastSimArguments(1);
    late[late.indexOf(QStringLiteral("--power-on-delay")) + 1] = QStringLiteral("60000");
    QVERIFY(noModule->startSim(late));
    noModule->startRecorder(QStringList{QStringLiteral("--port"), noModule->port,
                                        QStringLiteral("--acquire-time"), QStringLiteral("1"),
                                        QStringLiteral("--log"), noModule->logPath()});

    logDirMissing = newRun(QStringLiteral("log-dir-missing"));
    QVERIFY(logDirMissing->startSim(fastSimArguments(1)));
    QStringList arguments = recorderArguments(*logDirMissing, 1);
    arguments[arguments.indexOf(logDirMissing->logPath())] =
        logDirMissing->dir + QStringLiteral("/no/such/folder/sounding.csv");
    logDirMissing->startRecorder(arguments);

    if (QFileInfo(QStringLiteral("/dev/full")).isWritable()) {
        logDeviceFull = newRun(QStringLiteral("log-device-full"));
        QVERIFY(logDeviceFull->startSim(fastSimArguments(1)));
        arguments = recorderArguments(*logDeviceFull, 1);
        arguments[arguments.indexOf(logDeviceFull->logPath())] = QStringLiteral("/dev/full");
        logDeviceFull->startRecorder(arguments);
    }
}

void TestRecorder::soundingWritesLogAndStream()
{
    Run *run = newRun(QStringLiteral("sounding"));
    QVERIFY(run->startSim(fastSimArguments(3) << QStringLiteral("--gps")));
    const QDate runDate = QDate::currentDate();
    run->startRecorder(recorderArguments(*run, 3)
                       << QStringLiteral("--gps") << QStringLiteral("latitude,longitude")
                       << QStringLiteral("--comment") << QStringLiteral("launch, site\tA")
                       << QStringLiteral("--duration") << QStringLiteral("2"));

    // The client connects while the base station is still being configured.
    QLocalSocket client;
    QByteArray stream;
    connect(&client, &QLocalSocket::readyRead, [&] { stream += client.readAll(); });
    QVERIFY(waitFor([&] {
        if (client.state() == QLocalSocket::ConnectedState)
            return true;
        client.abort();
        client.connectToServer(run->socketPath());
        return client.waitForConnected(50);
    }, 5000));
    QVERIFY2(!run->reported(QStringLiteral("data set")), run->recorderOutput.constData());

    QVERIFY2(waitForExit(run->recorder, 30000), run->recorderOutput.constData());
    QCOMPARE(run->recorder.exitStatus(), QProcess::NormalExit);
    QVERIFY2(run->recorder.exitCode() == 0, run->recorderOutput.constData());
    waitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 2000);
    stream += client.readAll();

    const int announced = run->reportedDataSets();
    QVERIFY2(announced >= 3, run->recorderOutput.constData());

    const LogContents log = readLog(run->logPath());
    checkLogHeader(log, 3, runDate);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(log.endsWithNewline);
    const QStringList dataLines = log.dataLines();
    QCOMPARE(dataLines.size(), announced);
    checkDataLineShape(dataLines, run->acquiredModules(), QStringLiteral("launch  site A"));
    if (QTest::currentTestFailed())
        return;

    // Values: plausible; each module's clock never goes back and every set brings a newer time
    // (a module that reports late keeps its previous values in the set); the modules' clocks
    // agree in the sets they all reported to; higher modules see lower pressure; only the GPS
    // fields asked for are filled.
    QVector<QString> previousUtc(3);
    QString previousNewest;
    int agreeing = 0;
    for (const QString &line : dataLines) {
        const QStringList fields = line.split(QLatin1Char(','));
        QString newest;
        QSet<QString> times;
        double previousAltitude = 0, previousPressure = 0;
        for (int m = 0; m < 3; ++m) {
            const QStringList v = fields.mid(2 + m * LoggedColumnsPerModule, LoggedColumnsPerModule);
            bool ok[7] = {};
            const double altitude = number(v.at(1), &ok[0]);
            const double pressure = number(v.at(2), &ok[1]);
            const double temperature = number(v.at(3), &ok[2]);
            const double humidity = number(v.at(4), &ok[3]);
            const double direction = number(v.at(5), &ok[4]);
            const double windSpeed = number(v.at(6), &ok[5]);
            const double supply = number(v.at(7), &ok[6]);
            for (int i = 0; i < 7; ++i)
                QVERIFY2(ok[i], qPrintable(line));
            QVERIFY2(altitude > 0 && altitude < 40000, qPrintable(line));
            QVERIFY2(pressure > 5 && pressure < 1100, qPrintable(line));
            QVERIFY2(temperature > -90 && temperature < 50, qPrintable(line));
            QVERIFY2(humidity >= 0 && humidity <= 100, qPrintable(line));
            QVERIFY2(direction >= 0 && direction <= 360, qPrintable(line));
            QVERIFY2(windSpeed >= 0 && windSpeed < 200, qPrintable(line));
            QVERIFY2(supply > 2 && supply < 6, qPrintable(line));
            QVERIFY2(QTime::fromString(v.at(8), QStringLiteral("hh:mm:ss")).isValid(),
                     qPrintable(line));
            QVERIFY2(v.at(8) >= previousUtc.at(m), qPrintable(line)); // starts at 10:00
            previousUtc[m] = v.at(8);
            newest = qMax(newest, v.at(8));
            times.insert(v.at(8));
            bool latOk = false, lonOk = false;
            QVERIFY2(qAbs(v.at(9).toDouble(&latOk) - 47.25) < 0.5 && latOk, qPrintable(line));
            QVERIFY2(qAbs(v.at(10).toDouble(&lonOk) - 8.5) < 0.5 && lonOk, qPrintable(line));
            QCOMPARE(v.at(11), QString());
            QCOMPARE(v.at(12), QString());
            if (m > 0 && altitude != previousAltitude)
                QVERIFY2((altitude > previousAltitude) == (pressure < previousPressure),
                         qPrintable(line));
            previousAltitude = altitude;
            previousPressure = pressure;
        }
        QVERIFY2(newest > previousNewest, qPrintable(line));
        previousNewest = newest;
        if (times.size() == 1)
            ++agreeing;
    }
    QVERIFY(agreeing > 0);

    // The stream: one line per data set, the log's values plus the XData column, no comment.
    QVERIFY(stream.endsWith('\n'));
    QStringList streamLines = QString::fromUtf8(stream).split(QLatin1Char('\n'));
    streamLines.removeLast();
    QCOMPARE(streamLines.size(), announced);
    for (int i = 0; i < announced; ++i) {
        const QStringList fields = streamLines.at(i).split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 1 + 3 * ColumnsPerModule);
        QStringList logged = dataLines.at(i).split(QLatin1Char(','));
        logged.removeAt(1); // the comment
        QStringList streamed;
        for (int f = 0; f < fields.size(); ++f) {
            if (f > 0 && f % ColumnsPerModule == 0)
                QCOMPARE(fields.at(f), QString()); // XData: these modules send none
            else
                streamed << fields.at(f);
        }
        QCOMPARE(streamed, logged);
    }
}

void TestRecorder::interruptedRunsKeepEveryAnnouncedDataSet()
{
    // Both runs side by side: one stopped by SIGTERM, one losing its base station.
    Run *terminated = newRun(QStringLiteral("terminated"));
    Run *lost = newRun(QStringLiteral("lost"));
    QVERIFY(terminated->startSim(fastSimArguments(2)));
    QVERIFY(lost->startSim(fastSimArguments(2)));
    terminated->startRecorder(recorderArguments(*terminated, 2) << QStringLiteral("--no-server"));
    lost->startRecorder(recorderArguments(*lost, 2) << QStringLiteral("--no-server"));

    QVERIFY2(waitFor([&] { return terminated->reported(QStringLiteral("data set 4\n")); }, 30000),
             terminated->recorderOutput.constData());
    terminated->recorder.terminate();
    QVERIFY2(waitFor([&] { return lost->reported(QStringLiteral("data set 3\n")); }, 30000),
             lost->recorderOutput.constData());
    lost->sim.kill(); // the pty master goes away with it

    QVERIFY2(waitForExit(terminated->recorder, 15000), terminated->recorderOutput.constData());
    QCOMPARE(terminated->recorder.exitStatus(), QProcess::NormalExit);
    QVERIFY2(terminated->recorder.exitCode() == 0, terminated->recorderOutput.constData());
    QVERIFY2(waitForExit(lost->recorder, 15000), lost->recorderOutput.constData());
    QCOMPARE(lost->recorder.exitStatus(), QProcess::NormalExit);
    QVERIFY2(lost->recorder.exitCode() == 7, lost->recorderOutput.constData());

    for (Run *run : {terminated, lost}) {
        const int announced = run->reportedDataSets();
        QVERIFY2(announced >= 3, run->recorderOutput.constData());
        const LogContents log = readLog(run->logPath());
        checkLogHeader(log, 2, QDate::currentDate());
        QVERIFY2(log.endsWithNewline, qPrintable(run->name));
        QCOMPARE(log.dataLines().size(), announced);
        checkDataLineShape(log.dataLines(), run->acquiredModules(), QString());
        if (QTest::currentTestFailed())
            return;
    }
}

void TestRecorder::failuresGiveTheirExitStatus()
{
    // Bad usage and an unknown port fail at once, without a base station.
    struct Quick
    {
        QStringList arguments;
        int status;
    };
    const std::vector<Quick> quick{
        {{QStringLiteral("--interval"), QStringLiteral("1")}, 2},
        {{QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("--interval"),
          QStringLiteral("30")}, 2},
        {{QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("--wind-units"),
          QStringLiteral("furlongs")}, 2},
        {{QStringLiteral("--port"), QStringLiteral("/dev/null"), QStringLiteral("extra")}, 2},
        {{QStringLiteral("--port"), root.path() + QStringLiteral("/no-such-port")}, 3},
    };
    for (const Quick &q : quick) {
        Run *run = newRun(QStringLiteral("quick-%1").arg(runs.size()));
        run->startRecorder(q.arguments);
        QVERIFY(waitForExit(run->recorder, 10000));
        QCOMPARE(run->recorder.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run->recorder.exitCode() == q.status,
                 qPrintable(q.arguments.join(QLatin1Char(' ')) + QLatin1String(": ")
                            + QString::fromUtf8(run->recorderOutput)));
    }

    struct Slow
    {
        Run *run;
        int status;
    };
    std::vector<Slow> slow{{wrongAnswer, 4}, {noGuardAnswer, 4}, {noModule, 5},
                           {logDirMissing, 6}};
    if (logDeviceFull)
        slow.push_back({logDeviceFull, 6});
    for (const Slow &s : slow) {
        QVERIFY2(waitForExit(s.run->recorder, 40000), qPrintable(s.run->name));
        QCOMPARE(s.run->recorder.exitStatus(), QProcess::NormalExit);
        QVERIFY2(s.run->recorder.exitCode() == s.status,
                 qPrintable(s.run->name + QLatin1String(": ")
                            + QString::fromUtf8(s.run->recorderOutput)));
        QVERIFY2(!s.run->reported(QStringLiteral("data set")), qPrintable(s.run->name));
    }
    QVERIFY(!QFile::exists(noModule->logPath()));
}

VENTROLLA_TEST_MAIN(TestRecorder)
#include "tst_Recorder.moc"
