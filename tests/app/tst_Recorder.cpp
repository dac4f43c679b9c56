// ventrolla-record end to end: the real program against the real simulator program on a
// pseudo-terminal, its log file on disk and its live stream read through the local socket; and
// how it reads its interval option.

#include "NetCdfFile.h"
#include "RecorderOptions.h"
#include "TestSupport.h"
#include "archive/LogReader.h"

#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

constexpr int loggedColumns = 13; // per module: Module ID .. Speed; XData is streamed only
using TestSupport::waitUntil;

// One run: a simulator, the recorder on its port, each with its own temporary folder so that
// runs side by side never share the local socket name.
struct Run
{
    QString dir;
    QProcess sim;
    QProcess recorder;
    QByteArray output;
    QString port;

    QString logPath() const { return dir + QStringLiteral("/sounding.csv"); }

    void start(QProcess &process, const char *program, const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir);
        process.setProcessEnvironment(env);
        process.start(QString::fromLocal8Bit(program), arguments);
    }

    // Modules switched on at once, their clocks ten times faster than real time.
    bool startSim(int modules, const QStringList &more = {})
    {
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A short guard time leaves the configuration most of its three seconds for a slow machine.
        start(sim, VENTROLLA_SIM_PROGRAM, QStringList{"--modules", QString::number(modules), "--power-on-delay", "0",
                                                      "--power-on-interval", "50", "--speed", "10", "--guard-time", "300",
                                                      "--start-time", "2024-05-01T10:00:00Z"} + more);
        waitUntil([this] { return sim.canReadLine(); }, 10000);
        port = QString::fromLocal8Bit(sim.readLine()).trimmed();
        return port.startsWith('/');
    }

    // modules 0: no --modules, acquisition ends after two seconds.
    void startRecorder(int modules, const QStringList &more = {})
    {
        QStringList arguments{"--port", port, "--interval", "2s", "--log", logPath(), "--acquire-time"};
        arguments << (modules ? QStringList{"20", "--modules", QString::number(modules)} : QStringList{"2"});
        startRaw(arguments + more);
    }

    void startRaw(const QStringList &arguments)
    {
        recorder.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&recorder, &QProcess::readyRead, [this] { output += recorder.readAll(); });
        start(recorder, VENTROLLA_RECORD_PROGRAM, arguments);
    }

    bool reported(const QString &text) const { return QString::fromUtf8(output).contains(text); }
    int acquired() const { return output.count("module acquired: "); }

    // The highest N of the "data set N" lines; they must count 1, 2, 3... without gaps.
    int dataSets() const
    {
        int count = 0;
        static const QRegularExpression line("^data set (\\d+)$", QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(QString::fromUtf8(output)); it.hasNext();)
            count = it.next().captured(1).toInt() == count + 1 ? count + 1 : -1000;
        return count;
    }

    // The exit status once the program has finished by itself; -1 if it did not.
    int exitStatus(int timeoutMs)
    {
        const bool ended = recorder.state() == QProcess::NotRunning || recorder.waitForFinished(timeoutMs);
        return ended && recorder.exitStatus() == QProcess::NormalExit ? recorder.exitCode() : -1;
    }

    // The data lines of the log, once its header (title, date, empty line, column headers for
    // every acquired module) and the shape of each line (time, comment, the 13 fields of each
    // module) are checked.
    QStringList checkedLog(const QString &comment, const QString &fields = "(,[^,]*){12}") const
    {
        QFile file(logPath());
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        QStringList lines = QString::fromUtf8(bytes).split('\n');
        QString header = "Ventrolla log file|Date " + QDate::currentDate().toString(QStringLiteral("M/dd/yyyy"))
                         + "||Time,Comment";
        for (int m = 0; m < acquired(); ++m)
            header += ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),Supply (V),"
                      "UTC Time,Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";
        if (!bytes.endsWith('\n') || lines.mid(0, 4).join('|') != header)
            return {"bad header: " + lines.mid(0, 4).join('|')};
        lines = lines.mid(4, lines.size() - 5);
        const QRegularExpression shape(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,%1(,TX000\\d%2){%3}$")
                                           .arg(comment, fields).arg(acquired()));
        for (const QString &line : lines) {
            if (!shape.match(line).hasMatch())
                return {"bad line: " + line};
        }
        return lines;
    }

    ~Run()
    {
        for (QProcess *process : {&recorder, &sim}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
};

} // namespace

class TestRecorder : public QObject
{
    Q_OBJECT

private slots:
    // The slow failures (each waits for the base station's answers) run alongside the other tests;
    // failuresGiveTheirExitStatus() collects them.
    void initTestCase()
    {
        QVERIFY(root.isValid());
        const auto failing = [this](const QStringList &simArguments, int status, int modules = 1,
                                    const QStringList &more = {}) {
            Run *run = newRun();
            QVERIFY(run->startSim(1, simArguments));
            run->startRecorder(modules, more);
            slowFailures.emplace_back(run, status);
        };
        failing({"--no-guard-answer"}, 4);
        failing({"--wrong-answer", "BD"}, 4);
        failing({"--power-on-delay", "60000"}, 5, 0); // no module
        failing({}, 6, 1, {"--log", root.path() + "/no/such/folder/sounding.csv"});
    }

    void soundingWritesLogAndStream()
    {
        Run *run = newRun();
        QVERIFY(run->startSim(3, {"--gps"}));
        run->startRecorder(3, {"--gps", "latitude,longitude", "--comment", "launch, site\tA", "--duration", "2"});

        // The client connects while the base station is still being configured.
        QLocalSocket client;
        QByteArray stream;
        connect(&client, &QLocalSocket::readyRead, [&] { stream += client.readAll(); });
        QVERIFY(waitUntil([&] {
            client.abort();
            client.connectToServer(run->dir + QStringLiteral("/Ventrolla"));
            return client.waitForConnected(50);
        }, 5000));
        QVERIFY2(!run->reported(QStringLiteral("data set")), run->output.constData());
        QVERIFY2(run->exitStatus(30000) == 0, run->output.constData());
        waitUntil([&] { return client.state() == QLocalSocket::UnconnectedState; }, 2000);
        stream += client.readAll();

        const int announced = run->dataSets();
        QVERIFY2(announced >= 3, run->output.constData());
        // Only the GPS fields asked for are filled: latitude and longitude near the launch site,
        // by the last line from every module (a module may not have reported since its acquisition,
        // whose one-second messages carry no GPS, when the first set closes).
        const QString gps = QStringLiteral(",4[67]\\.\\d+,8\\.\\d+,,");
        const QStringList lines = run->checkedLog("launch  site A", "(,[^,]*){8}(" + gps + "|,,,,)");
        QVERIFY(!lines.isEmpty());
        QCOMPARE(lines.last().count(QRegularExpression(gps)), 3);
        QVERIFY2(lines.size() == announced, qPrintable(lines.join('\n') + '\n' + run->output));

        // The stream: one line per data set, the log's values plus the XData column, no comment.
        QStringList streamLines = QString::fromUtf8(stream).split('\n');
        QCOMPARE(streamLines.takeLast(), QString());
        QCOMPARE(streamLines.size(), announced);
        for (int i = 0; i < announced; ++i) {
            QStringList logged = lines[i].split(',');
            logged.removeAt(1);
            for (int m = 3; m > 0; --m)
                logged.insert(1 + m * loggedColumns, QString()); // XData: these modules send none
            QCOMPARE(streamLines[i].split('\t'), logged);
        }
    }

    void interruptedRunsKeepEveryAnnouncedDataSet()
    {
        // Both runs side by side: one stopped by SIGTERM, one losing its base station. The first
        // has no --modules (its acquisition must not end at the first module) and runs on a faulty
        // line: damaged frames and noise, cut into pieces.
        Run *terminated = newRun();
        Run *lost = newRun();
        QVERIFY(terminated->startSim(2, {"--corrupt-rate", "0.1", "--garbage-rate", "0.1", "--split-writes"}));
        QVERIFY(lost->startSim(2));
        terminated->startRecorder(0, {"--no-server"});
        lost->startRecorder(2, {"--no-server"});

        QVERIFY2(waitUntil([&] { return terminated->reported("data set 4\n"); }, 30000), terminated->output);
        terminated->recorder.terminate();
        QVERIFY2(waitUntil([&] { return lost->reported("data set 3\n"); }, 30000), lost->output.constData());
        lost->sim.kill(); // the pty master goes away with it
        QVERIFY2(terminated->exitStatus(15000) == 0, terminated->output.constData());
        QVERIFY2(lost->exitStatus(15000) == 7, lost->output.constData());
        for (Run *run : {terminated, lost}) {
            QCOMPARE(run->acquired(), 2);
            const QStringList lines = run->checkedLog(QString());
            QVERIFY2(lines.size() == run->dataSets(), qPrintable(lines.join('\n') + '\n' + run->output));
        }
    }

    void failuresGiveTheirExitStatus()
    {
        // Bad usage and an unknown port fail at once, without a base station.
        const QString noPort = root.path() + QStringLiteral("/no-such-port");
        const std::pair<QStringList, int> quick[] = {{{"--interval", "1"}, 2},
            {{"--port", "/dev/null", "--interval", "30"}, 2}, {{"--port", "/dev/null", "--wind-units", "furlongs"}, 2},
            {{"--port", "/dev/null", "extra"}, 2}, {{"--port", "/dev/null", "--modules", "1001"}, 2},
            {{"--port", noPort, "--modules", "1000"}, 3}};
        for (const auto &[arguments, status] : quick) {
            Run *run = newRun();
            run->startRaw(arguments);
            QVERIFY2(run->exitStatus(10000) == status, qPrintable(arguments.join(' ') + ": " + run->output));
            QVERIFY(status != 3 || run->reported("Could not open serial port " + noPort + '.'));
        }
        for (const auto &[run, status] : slowFailures) {
            QVERIFY2(run->exitStatus(40000) == status, qPrintable(run->output));
            QVERIFY2(!run->reported(QStringLiteral("data set")), qPrintable(run->output));
        }
        QVERIFY(!QFile::exists(slowFailures[2].first->logPath()));
    }

    // A sounding of three modules with GPS, XData and a comment, exported to NetCDF when the run
    // ends: read back through the library, every cell is the log's text, every empty cell fill.
    void soundingExportedToNetCdf()
    {
        Run *run = newRun();
        QVERIFY(run->startSim(3, {"--gps", "--xdata"}));
        const QString nc = run->dir + QStringLiteral("/sounding.nc");
        run->startRecorder(3, {"--gps", "latitude,longitude,course,speed", "--comment", "launch", "--duration", "2",
                               "--no-server", "--netcdf", nc});
        QVERIFY2(run->exitStatus(30000) == 0, run->output.constData());
        QVERIFY2(run->reported("export: wrote " + nc), run->output.constData());

        NetCdfFile file(nc);
        QVERIFY(file.ok);
        const size_t modules = file.dimension("module");
        const QStringList ids = file.strings("module_id");
        const std::pair<const char *, LogColumn> columns[] = {
            {"altitude", LogColumn::Altitude}, {"air_pressure", LogColumn::Pressure},
            {"air_temperature", LogColumn::Temperature}, {"relative_humidity", LogColumn::Humidity},
            {"wind_from_direction", LogColumn::WindDirection}, {"supply_voltage", LogColumn::Supply},
            {"module_latitude", LogColumn::Latitude}, {"module_longitude", LogColumn::Longitude},
            {"course", LogColumn::Course}, {"module_utc_time", LogColumn::UtcTime}};
        std::vector<std::vector<double>> stored;
        for (const auto &column : columns)
            stored.push_back(file.doubles(column.first));
        const std::vector<double> wind = file.doubles("wind_speed");

        LogReader reader(run->logPath());
        QVERIFY(reader.open());
        LogEntry entry;
        size_t profile = 0;
        int xdata = 0;
        while (reader.next(entry)) {
            if (!entry.isData()) {
                ++xdata;
                continue;
            }
            QCOMPARE(entry.comment, QStringLiteral("launch"));
            for (const LogModuleGroup &group : entry.modules) {
                // Module columns go in order of first appearance; the table's rows in order of
                // acquisition.
                const int m = ids.indexOf(group.moduleId);
                QVERIFY2(m >= 0, qPrintable(group.moduleId));
                for (size_t c = 0; c < std::size(columns); ++c) {
                    const double value = stored[c].at(profile * modules + size_t(m));
                    const double logged = group.value(columns[c].second);
                    QVERIFY2(std::isnan(logged) ? NetCdfFile::isFill(value)
                                                : std::abs(value - logged) <= 1e-6 * std::max(1.0, std::abs(logged)),
                             qPrintable(QStringLiteral("%1 %2: %3").arg(columns[c].first, group.text(columns[c].second)).arg(value)));
                }
                QVERIFY(std::abs(wind.at(profile * modules + size_t(m)) * 1.94384449 - group.value(LogColumn::WindSpeed)) < 1e-4);
            }
            ++profile;
        }
        QCOMPARE(reader.warningCount(), qint64(0));
        QVERIFY2(profile >= 3 && profile == file.dimension("profile"), run->output.constData());
        QCOMPARE(ids.size(), 3);
        QVERIFY(xdata > 0);
        QCOMPARE(file.dimension("xdata"), size_t(xdata));
    }

    // The interval as a person says it, and the bare index the modules know (0: refused).
    void interval()
    {
        const std::pair<const char *, int> values[] = {{"1s", 1}, {"10s", 7}, {"60s", 12}, {"1m", 13}, {"15m", 21},
            {"60m", 24}, {"24", 24}, {"7s", 0}, {"1h", 0}, {"0", 0}, {"25", 0}, {"s", 0}}; // no 7s on offer
        for (const auto &[value, index] : values) {
            RecorderOptions options;
            QString error;
            const bool parsed = options.parse({"ventrolla-record", "--port", "/dev/null", "--interval", value}, error);
            QVERIFY2(parsed == (index != 0) && (!parsed || options.interval == index), value);
            QVERIFY2(parsed || error.contains("1s 2s 3s 4s 5s 6s 10s 12s 15s 20s 30s 60s, 1m 2m 3m 4m 5m 6m 10m 12m "
                                              "15m 20m 30m 60m"), qPrintable(error));
        }
    }

private:
    Run *newRun()
    {
        runs.push_back(std::make_unique<Run>());
        runs.back()->dir = root.path() + '/' + QString::number(runs.size());
        QDir().mkpath(runs.back()->dir);
        return runs.back().get();
    }

    QTemporaryDir root{QDir::tempPath() + QStringLiteral("/recorder-XXXXXX")};
    std::vector<std::unique_ptr<Run>> runs;
    std::vector<std::pair<Run *, int>> slowFailures; // with the exit status each must give
};

VENTROLLA_TEST_MAIN(TestRecorder)
#include "tst_Recorder.moc"
