// Live stream latency: from the moment the simulated base station has written a module's Data
// frame to its end of the pseudo-terminal to the moment a local-socket client holds the stream
// line of that data set. One module, the whole chain in one event loop: the simulator, the
// recorder's model with its data server, and the client.

#include "BaseStationSimulator.h"
#include "Recorder.h"
#include "RecorderOptions.h"
#include "SimulatedModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QQueue>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int dataSets = 1000;
constexpr int warmUp = 20;

} // namespace

int main(int argc, char **argv)
{
    // Settings and the socket name stay inside a throwaway folder.
    QTemporaryDir sandbox(QDir::tempPath() + QStringLiteral("/bench-stream-XXXXXX"));
    if (!sandbox.isValid())
        return 1;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_RUNTIME_DIR", "TMPDIR"})
        qputenv(name, sandbox.path().toLocal8Bit());

    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QCoreApplication::setApplicationName(QStringLiteral("Ventrolla"));

    BaseStationSimulator::Settings simSettings;
    simSettings.powerOnDelayMs = 0;
    simSettings.powerOnIntervalMs = 0;
    simSettings.speed = 100; // a Data report every 10 ms
    SimulatedModule::Settings module;
    module.identifier = QStringLiteral("TX0001");
    module.address = 0x0013A20041000001LL;
    simSettings.modules << module;
    BaseStationSimulator sim(simSettings);
    if (!sim.start()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }

    RecorderOptions options;
    options.port = sim.portName();
    options.interval = 1;
    options.moduleTarget = 1;
    options.acquireSeconds = 30;
    QString progress;
    QTextStream out(&progress);
    Recorder recorder(options, out);

    QElapsedTimer clock;
    clock.start();
    QQueue<qint64> sent; // when each Data frame had been written, in order
    bool measuring = false;
    // Connected after the simulator's own connection, so it runs once the frame is written.
    QObject::connect(sim.module(0), &SimulatedModule::transmitted, [&] {
        if (measuring)
            sent.enqueue(clock.nsecsElapsed());
    });

    QLocalSocket client;
    std::vector<qint64> latencies;
    int skipped = 0;
    QByteArray pending;
    QObject::connect(&client, &QLocalSocket::readyRead, [&] {
        pending += client.readAll();
        const qint64 now = clock.nsecsElapsed();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            pending.remove(0, end + 1);
            if (sent.isEmpty())
                continue; // a set closed before measuring began
            const qint64 at = sent.dequeue();
            if (skipped < warmUp) {
                ++skipped;
                continue;
            }
            latencies.push_back(now - at);
            if (int(latencies.size()) == dataSets)
                recorder.requestStop();
        }
    });

    QObject::connect(&recorder, &Recorder::finished, &app, &QCoreApplication::exit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (client.state() != QLocalSocket::ConnectedState) {
            client.connectToServer(QDir::tempPath() + QStringLiteral("/Ventrolla"));
            return;
        }
        if (!measuring && progress.contains(QStringLiteral("state: Running"))) {
            measuring = true;
            poll.stop();
        }
    });
    poll.start(10);
    QTimer::singleShot(120000, &app, [&] { recorder.requestStop(); });

    recorder.start();
    const int status = app.exec();
    if (int(latencies.size()) < dataSets) {
        std::fprintf(stderr, "only %zu data sets measured (status %d)\n%s", latencies.size(),
                     status, qPrintable(progress));
        return 1;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto micro = [&](double q) {
        const size_t i = std::min(latencies.size() - 1, size_t(q * double(latencies.size())));
        return double(latencies[i]) / 1000.0;
    };
    std::printf("stream latency, 1 module, %d data sets: median %.1f us, p99 %.1f us, max %.1f us\n",
                dataSets, micro(0.5), micro(0.99), double(latencies.back()) / 1000.0);
    return 0;
}
