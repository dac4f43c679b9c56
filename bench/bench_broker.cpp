// Publishing a sounding of 50 flight modules reporting every second to a Mosquitto broker on
// loopback, the simulator running as its own process: the main thread's CPU time per data set
// without and with the broker output, the time from dataSetReady to a subscriber holding the
// message (median and 99th percentile), and the queue of a ten-minute broker outage drained
// once the broker is back.
//
// The model, log and broker output are the recorder's own, built here so that the time of
// dataSetReady is taken before the broker output sees the set.

#include "core/Model.h"
#include "core/State_Stopped.h"
#include "output/BrokerMessages.h"
#include "output/BrokerOutput.h"
#include "output/LogFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int moduleCount = 50;
constexpr double moduleSpeed = 40;
constexpr int warmupSets = 50;
constexpr int measuredSets = 500;
constexpr int outageSets = 600; // ten minutes at one set a second
using Clock = std::chrono::steady_clock;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

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

struct Broker
{
    QString dir;
    quint16 port = 0;
    QProcess process;

    bool start()
    {
        QFile conf(dir + QStringLiteral("/mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral("listener %1 127.0.0.1\npersistence true\npersistence_location %2/\n"
                                  "user %3\nallow_anonymous true\nlog_type error\n")
                       .arg(port).arg(dir, QString::fromLocal8Bit(getpwuid(getuid())->pw_name)).toUtf8());
        conf.close();
        process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        QTcpSocket probe;
        return process.waitForStarted() && waitFor([&] {
            probe.abort();
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(20);
        }, 5000);
    }
    void stop()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
};

// Receive times of the data-set messages, taken on the library's thread.
struct Subscriber
{
    std::mutex mutex;
    std::vector<Clock::time_point> received;
    std::atomic<bool> ready{false};
};

int fail(QProcess &simulator, Broker &broker, const char *what)
{
    std::fprintf(stderr, "bench_broker: %s\n", what);
    simulator.kill();
    simulator.waitForFinished();
    broker.stop();
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);

    Broker broker;
    broker.dir = home.path();
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        broker.port = probe.serverPort();
    }
    QProcess simulator;
    if (!broker.start())
        return fail(simulator, broker, "mosquitto did not start");

    mosquitto_lib_init();
    Subscriber subscriber;
    mosquitto *sub = mosquitto_new("bench-subscriber", false, &subscriber);
    mosquitto_connect_callback_set(sub, [](mosquitto *mosq, void *self, int) {
        mosquitto_subscribe(mosq, nullptr, "ventrolla/bench/dataset", 1);
        static_cast<Subscriber *>(self)->ready = true;
    });
    mosquitto_message_callback_set(sub, [](mosquitto *, void *self, const mosquitto_message *) {
        auto *s = static_cast<Subscriber *>(self);
        const auto now = Clock::now();
        const std::lock_guard<std::mutex> lock(s->mutex);
        s->received.push_back(now);
    });
    mosquitto_reconnect_delay_set(sub, 1, 1, false);
    if (mosquitto_connect(sub, "127.0.0.1", broker.port, 30) != MOSQ_ERR_SUCCESS
        || mosquitto_loop_start(sub) != MOSQ_ERR_SUCCESS)
        return fail(simulator, broker, "the subscriber could not connect");

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
        return fail(simulator, broker, "the simulator did not start");
    const QString portName = QString::fromLocal8Bit(simulator.readLine()).trimmed();

    Model model(0, 0, false, false, false, false);
    QElapsedTimer wall;
    wall.start();
    model.setClock([&wall] { return wall.elapsed() * 4; });
    model.setDataInterval(1);
    std::vector<Clock::time_point> ready;
    QObject::connect(&model, &Model::dataSetReady, [&ready] { ready.push_back(Clock::now()); });
    LogFile log(&model);
    if (!log.begin(home.path() + QStringLiteral("/sounding.csv")))
        return fail(simulator, broker, "no log");

    model.setPortName(portName);
    if (!model.openPort() || !waitFor([&] { return model.isAcquiring(); }, 5000))
        return fail(simulator, broker, "the base station was not configured");
    if (!waitFor([&] { return model.rowCount() == moduleCount; }, 60000))
        return fail(simulator, broker, "not every module was acquired");
    model.stopAcquiring();
    if (!waitFor([&] { return model.currentState() == model.states().stopped; }, 10000))
        return fail(simulator, broker, "the modules did not stop");
    model.run();
    if (!waitFor([&] { return model.isRunning() && ready.size() >= warmupSets; }, 60000))
        return fail(simulator, broker, "no data sets");

    // 1. Without the broker output.
    double cpu = threadCpuSeconds();
    std::size_t first = ready.size();
    if (!waitFor([&] { return ready.size() >= first + measuredSets; }, 120000))
        return fail(simulator, broker, "data sets stopped coming");
    const double cpuWithout = (threadCpuSeconds() - cpu) / double(ready.size() - first);

    // 2. With it, connected.
    BrokerOutput output(&model);
    output.setLog(&log);
    BrokerSettings settings;
    settings.url = QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port);
    settings.station = QStringLiteral("bench");
    const std::size_t publishedFrom = ready.size(); // the subscriber's first message is this set's
    if (!output.start(settings)
        || !waitFor([&] { return output.connection() == BrokerOutput::Connection::Connected; }, 5000))
        return fail(simulator, broker, "the broker output did not connect");
    waitFor([&] { return ready.size() >= first + measuredSets + 10; }, 10000);
    first = ready.size();
    cpu = threadCpuSeconds();
    if (!waitFor([&] { return ready.size() >= first + measuredSets; }, 120000))
        return fail(simulator, broker, "data sets stopped coming");
    const double cpuWith = (threadCpuSeconds() - cpu) / double(ready.size() - first);
    const std::size_t last = ready.size();
    waitFor([&] {
        const std::lock_guard<std::mutex> lock(subscriber.mutex);
        return subscriber.received.size() >= last - publishedFrom;
    }, 5000);
    std::vector<double> latency;
    {
        const std::lock_guard<std::mutex> lock(subscriber.mutex);
        for (std::size_t i = first; i < last && i - publishedFrom < subscriber.received.size(); ++i)
            latency.push_back(std::chrono::duration<double, std::micro>(subscriber.received[i - publishedFrom] - ready[i]).count());
    }
    std::sort(latency.begin(), latency.end());

    // Of that, building the message alone.
    cpu = threadCpuSeconds();
    qsizetype messageBytes = 0;
    for (int i = 0; i < 1000; ++i)
        messageBytes += BrokerMessages::dataSet(model, settings.station, QDateTime::currentDateTime(), QString()).size();
    const double cpuMessage = (threadCpuSeconds() - cpu) / 1000;

    // 3. Ten minutes of sets while the broker is away, then drained.
    broker.stop();
    if (!waitFor([&] { return output.connection() != BrokerOutput::Connection::Connected; }, 10000))
        return fail(simulator, broker, "the loss of the broker went unnoticed");
    const qint64 acknowledgedBefore = output.acknowledgedCount();
    if (!waitFor([&] { return output.queuedCount() >= outageSets; }, 120000))
        return fail(simulator, broker, "the queue did not fill");
    const int queued = output.queuedCount();
    if (!broker.start())
        return fail(simulator, broker, "mosquitto did not start again");
    QElapsedTimer drain;
    drain.start();
    output.retryNow();
    waitFor([&] { return output.connection() == BrokerOutput::Connection::Connected; }, 5000);
    const double connectMs = double(drain.nsecsElapsed()) / 1e6;
    if (!waitFor([&] { return output.acknowledgedCount() - acknowledgedBefore >= queued; }, 60000))
        return fail(simulator, broker, "the queue was not drained");
    const double drainMs = double(drain.nsecsElapsed()) / 1e6;

    model.stop();
    waitFor([&] { return model.currentState() == model.states().stopped; }, 5000);
    output.stop();
    mosquitto_disconnect(sub);
    mosquitto_loop_stop(sub, false);
    mosquitto_destroy(sub);
    simulator.kill();
    simulator.waitForFinished();
    broker.stop();

    const auto percentile = [&](double p) {
        return latency.empty() ? 0.0 : latency[std::min(latency.size() - 1, std::size_t(p * double(latency.size())))];
    };
    std::printf("modules                            %d (reporting every second, clock x%.0f)\n", moduleCount, moduleSpeed);
    std::printf("main-thread CPU per data set       %.1f us without the broker output\n", cpuWithout * 1e6);
    std::printf("                                   %.1f us with it (%+.1f us)\n", cpuWith * 1e6,
                (cpuWith - cpuWithout) * 1e6);
    std::printf("  of which building the JSON     %.1f us (%lld bytes)\n", cpuMessage * 1e6,
                static_cast<long long>(messageBytes / 1000));
    std::printf("dataSetReady to subscriber         median %.0f us, p99 %.0f us (%zu sets, loopback)\n",
                percentile(0.5), percentile(0.99), latency.size());
    std::printf("outage queue                       %d data sets (%.0f minutes at 1 s)\n", queued, queued / 60.0);
    std::printf("reconnected after                  %.0f ms; queue drained after %.0f ms\n", connectMs, drainMs);
    return 0;
}
