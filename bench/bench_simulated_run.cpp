// A whole sounding of 50 flight modules reporting every second, through a real pseudo-terminal
// from the simulator running as its own process: the core's CPU time per data set and per
// received byte, and whether the process's memory grows between 100 and 1,000 data sets.
//
// The simulated modules' clock runs faster than real time, so the figures are per data set and
// per byte, not per second.

#include "core/Model.h"
#include "core/State_Stopped.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <ctime>
#include <unistd.h>

namespace {

constexpr int moduleCount = 50;
constexpr int warmupSets = 100;
constexpr int measuredSets = 1000;
constexpr double moduleSpeed = 40;

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double rssMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1 << 20) : -1;
}

// Bytes this process has read through read() and its kin: the serial port is the only busy
// reader here.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// Blocks in the event loop between events (a ticking timer bounds the wait), without spinning:
// the CPU time measured is what the work costs.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QTimer tick;
    tick.start(20);
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return condition();
}

int fail(QProcess &simulator, const char *what)
{
    std::fprintf(stderr, "bench_simulated_run: %s\n", what);
    simulator.kill();
    simulator.waitForFinished();
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    // The model reads and writes its settings: keep them away from the user's own.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);

    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QStringLiteral(VENTROLLA_SIM_PROGRAM),
                    {QStringLiteral("--modules"), QString::number(moduleCount),
                     QStringLiteral("--spacing"), QStringLiteral("20"),
                     QStringLiteral("--power-on-delay"), QStringLiteral("0"),
                     QStringLiteral("--power-on-interval"), QStringLiteral("20"),
                     QStringLiteral("--guard-time"), QStringLiteral("100"),
                     QStringLiteral("--speed"), QString::number(moduleSpeed),
                     QStringLiteral("--start-time"), QStringLiteral("2024-06-01T10:00:00Z")});
    if (!simulator.waitForReadyRead(5000))
        return fail(simulator, "the simulator did not start");
    const QString portName = QString::fromLocal8Bit(simulator.readLine()).trimmed();

    Model model(0, 0, false, false, false, false);
    // The configuration's windows on a clock four times faster than real time, matching the
    // simulator's shortened guard time.
    QElapsedTimer wall;
    wall.start();
    model.setClock([&wall] { return wall.elapsed() * 4; });

    int sets = 0;
    QObject::connect(&model, &Model::dataSetReady, [&sets] { ++sets; });

    model.setPortName(portName);
    if (!model.openPort() || !waitFor([&] { return model.isAcquiring(); }, 5000))
        return fail(simulator, "the base station was not configured");
    if (!waitFor([&] { return model.rowCount() == moduleCount; }, 60000))
        return fail(simulator, "not every module was acquired");
    model.stopAcquiring();
    if (!waitFor([&] { return model.currentState() == model.states().stopped; }, 10000))
        return fail(simulator, "the modules did not stop");
    model.run();
    if (!waitFor([&] { return model.isRunning(); }, 10000))
        return fail(simulator, "the run did not start");

    if (!waitFor([&] { return sets >= warmupSets; }, 60000))
        return fail(simulator, "no data sets");
    const double rssAt100 = rssMiB();
    const double cpuStart = cpuSeconds();
    const qint64 bytesStart = bytesRead();
    const int setsStart = sets;
    if (!waitFor([&] { return sets >= measuredSets; }, 300000))
        return fail(simulator, "data sets stopped coming");
    const double cpu = cpuSeconds() - cpuStart;
    const qint64 bytes = bytesRead() - bytesStart;
    const int measured = sets - setsStart;
    const double rssAt1000 = rssMiB();

    model.stop();
    waitFor([&] { return model.currentState() == model.states().stopped; }, 5000);
    simulator.kill();
    simulator.waitForFinished();

    std::printf("modules                      %d (reporting every second, clock x%.0f)\n",
                moduleCount, moduleSpeed);
    std::printf("data sets measured           %d (sets %d to %d)\n", measured, setsStart, sets);
    std::printf("bytes received               %lld\n", static_cast<long long>(bytes));
    std::printf("core CPU per data set        %.1f us\n", cpu * 1e6 / measured);
    std::printf("core CPU per received byte   %.1f ns\n", bytes > 0 ? cpu * 1e9 / double(bytes) : 0.0);
    std::printf("RSS after %4d data sets      %.2f MiB\n", warmupSets, rssAt100);
    std::printf("RSS after %4d data sets      %.2f MiB (%+.2f MiB)\n", measuredSets, rssAt1000,
                rssAt1000 - rssAt100);
    return 0;
}
