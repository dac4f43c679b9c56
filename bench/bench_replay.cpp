// A one-hour sounding of 50 flight modules replayed into the recorder: the simulator replays a
// log the recorder made, 60 times faster than real time, and the recorder logs it again. Every
// data set must arrive and the new log must equal the original but for the computer's clock;
// the CPU time each program spends per replayed data set is measured from /proc.
//
// The original is recorded first, from the simulator's own atmosphere at the same speed: 50
// modules reporting every 2 s for an hour of their clock.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {

constexpr int moduleCount = 50;
constexpr int intervalSeconds = 2;
constexpr double speed = 60;

const QStringList setUp = {"--interval", "2s", "--gps", "latitude,longitude,course,speed",
                           "--ground-elevation", "400", "--no-server"};

// User and system CPU seconds of a running process so far.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK))
                              : -1;
}

QStringList logLines(const QString &path)
{
    QFile file(path);
    QStringList lines = QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()).split('\n');
    lines.removeLast();
    return lines;
}

// Counts the data lines of a log as the recorder writes it, reading only what was added.
class LogWatcher
{
public:
    int dataLines(const QString &path)
    {
        if (!file.isOpen()) {
            file.setFileName(path);
            if (!file.open(QIODevice::ReadOnly))
                return 0;
        }
        pending += file.readAll();
        int end = pending.lastIndexOf('\n');
        for (int start = 0; start <= end;) {
            const int next = pending.indexOf('\n', start);
            if (++lines > 4 && !pending.mid(start, next - start).contains(",<XDATA>,"))
                ++count;
            start = next + 1;
        }
        pending.remove(0, end + 1);
        return count;
    }

private:
    QFile file;
    QByteArray pending;
    int lines = 0;
    int count = 0;
};

int dataLineCount(const QStringList &lines)
{
    int count = 0;
    for (int i = 4; i < lines.size(); ++i)
        count += lines[i].section(',', 1, 1) != QLatin1String("<XDATA>") ? 1 : 0;
    return count;
}

struct Sounding
{
    QProcess sim;
    QProcess recorder;
    QString log;

    bool start(const QString &dir, const QStringList &simArguments, int seconds)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir);
        sim.setProcessEnvironment(env);
        recorder.setProcessEnvironment(env);
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(QStringLiteral(VENTROLLA_SIM_PROGRAM),
                  QStringList{"--power-on-delay", "0", "--power-on-interval", "20", "--guard-time", "100",
                              "--speed", QString::number(speed)} + simArguments);
        if (!sim.waitForReadyRead(10000))
            return false;
        log = dir + QStringLiteral("/sounding.csv");
        recorder.setStandardOutputFile(dir + QStringLiteral("/recorder.txt"));
        recorder.setProcessChannelMode(QProcess::MergedChannels);
        recorder.start(QStringLiteral(VENTROLLA_RECORD_PROGRAM),
                       QStringList{"--port", QString::fromLocal8Bit(sim.readLine()).trimmed(), "--modules",
                                   QString::number(moduleCount), "--acquire-time", "120", "--log", log,
                                   "--duration", QString::number(seconds)} + setUp);
        return recorder.waitForStarted();
    }

    ~Sounding()
    {
        for (QProcess *process : {&recorder, &sim}) {
            process->kill();
            process->waitForFinished();
        }
    }
};

int fail(const char *what)
{
    std::fprintf(stderr, "bench_replay: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    // An hour, or the seconds the first argument gives for a shorter try.
    const int soundingSeconds = argc > 1 ? QByteArray(argv[1]).toInt() : 3600;
    QDir(home.path()).mkpath(QStringLiteral("original"));
    QDir(home.path()).mkpath(QStringLiteral("replay"));

    // The original: acquisition and start take a while; the recorder then runs the hour.
    Sounding original;
    const int runSeconds = int(soundingSeconds / speed) + 20;
    if (!original.start(home.filePath(QStringLiteral("original")),
                        {"--modules", QString::number(moduleCount), "--gps", "--xdata", "--spacing", "20",
                         "--ground-elevation", "400"}, runSeconds))
        return fail("the original sounding did not start");
    if (!original.recorder.waitForFinished(600000) || original.recorder.exitCode() != 0)
        return fail("the original sounding failed");
    const QStringList before = logLines(original.log);
    const int sets = dataLineCount(before);
    if (sets < soundingSeconds / intervalSeconds)
        return fail("the original holds less than an hour");

    Sounding replay;
    if (!replay.start(home.filePath(QStringLiteral("replay")),
                      {"--replay", original.log, "--ground-elevation", "400"}, 36000))
        return fail("the replay did not start");
    // From the first replayed set to the last: both programs' CPU time and the wall time.
    QElapsedTimer wall;
    LogWatcher watcher;
    const auto waitForSets = [&](int count) {
        QElapsedTimer timeout;
        timeout.start();
        while (watcher.dataLines(replay.log) < count && timeout.elapsed() < 600000)
            QThread::msleep(count == 1 ? 2 : 100);
        return watcher.dataLines(replay.log) >= count;
    };
    if (!waitForSets(1))
        return fail("no replayed data set");
    wall.start();
    const double simStart = cpuSeconds(replay.sim.processId());
    const double recorderStart = cpuSeconds(replay.recorder.processId());
    if (!waitForSets(sets))
        return fail("not every data set was replayed");
    const double simCpu = cpuSeconds(replay.sim.processId()) - simStart;
    const double recorderCpu = cpuSeconds(replay.recorder.processId()) - recorderStart;
    const double seconds = wall.elapsed() / 1000.0;
    replay.recorder.terminate();
    replay.recorder.waitForFinished(30000);

    const QStringList after = logLines(replay.log);
    qint64 fields = 0;
    int differences = 0;
    for (int i = 4; i < before.size(); ++i) {
        const QStringList a = before[i].split(',').mid(1);
        const QStringList b = after.value(i).split(',').mid(1);
        fields += a.size();
        differences += a != b ? 1 : 0;
    }
    differences += after.size() != before.size() ? 1 : 0;

    const int measured = sets - 1;
    std::printf("modules                        %d, a data set every %d s for %d s, replayed x%.0f\n",
                moduleCount, intervalSeconds, soundingSeconds, speed);
    std::printf("log lines                      %d original, %d replayed (%d data sets)\n",
                int(before.size()), int(after.size()), sets);
    std::printf("fields compared                %lld, lines that differ: %d\n", static_cast<long long>(fields),
                differences);
    std::printf("replayed data sets measured    %d in %.1f s\n", measured, seconds);
    std::printf("simulator CPU per data set     %.1f us\n", simCpu * 1e6 / measured);
    std::printf("recorder CPU per data set      %.1f us\n", recorderCpu * 1e6 / measured);
    if (differences == 0)
        return 0;
    home.setAutoRemove(false);
    std::printf("both logs kept in %s\n", qPrintable(home.path()));
    return 1;
}
