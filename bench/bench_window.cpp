// The window during a sounding of 50 simulated modules reporting every second: the main
// thread's CPU time per data set, and the time from a module's Data frame written on the
// pseudo-terminal to the end of the first paint, after the model took that frame in, of the
// table and of the visible graph (median and 99th percentile).
//
//     bench_window [data sets to measure] [table]
//
// By default the finished window: the altitude graph in view above the table, a log being
// written and a stream client reading every line. With "table" the graphs' pane is folded away
// and no log or client runs: the table alone, as in the window's first benchmark.
//
// The simulator and the stream client run in a thread of their own, so the main thread's CPU
// time is the window's and the core's alone. The modules' clock runs at real speed: the
// figures are those of a sounding.

#include "BaseStationSimulator.h"
#include "WindowDriver.h"

#include "app/MainWindow.h"
#include "core/Model.h"
#include "graph/DataGraphView.h"
#include "link/FlightModule.h"
#include "output/LogFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QLocalSocket>
#include <QMutex>
#include <QSettings>
#include <QSplitter>
#include <QStringList>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTime>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int moduleCount = 50;
constexpr int warmupSets = 5;
constexpr int defaultMeasuredSets = 60;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Notes when each paint of a widget has finished: the paint is run from the filter itself.
class PaintWatcher : public QObject
{
public:
    explicit PaintWatcher(std::function<void()> painted) : painted(std::move(painted)) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        watched->removeEventFilter(this);
        QCoreApplication::sendEvent(watched, event);
        watched->installEventFilter(this);
        painted();
        return true;
    }

private:
    std::function<void()> painted;
};

// The UTC time of a Data message as the table shows it: '#', the type, then the payload with
// '#' and '!' sent as '!' and the byte XOR 0x20; hours, minutes and seconds follow the seven
// words and the contents byte.
QString reportTime(const QByteArray &message)
{
    QByteArray payload;
    for (int i = 2; i < message.size() && payload.size() < 17; ++i)
        payload.append(message[i] == '!' && i + 1 < message.size() ? char(message[++i] ^ 0x20)
                                                                   : message[i]);
    return QTime(quint8(payload[14]), quint8(payload[15]), quint8(payload[16]))
        .toString(QStringLiteral("HH:mm:ss"));
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(p * values.size()))];
}

// When each Data frame was written, by module and report time ("M001 10:00:05"); noted in the
// simulator's thread, read in the main thread.
struct WrittenFrames
{
    QMutex mutex;
    QHash<QString, qint64> at;
};

// The latencies from written frame to the paints of one widget. The model may take a frame in
// before the simulator's thread has noted its writing: it is then found at the next paint.
struct PaintLatency
{
    QStringList takenIn; // frames the model has taken in and the widget has not yet painted
    std::vector<double> ms;
    int paints = 0; // while measuring

    void painted(WrittenFrames &written, qint64 now, bool measuring)
    {
        paints += measuring;
        QStringList unseen;
        QMutexLocker lock(&written.mutex);
        for (const QString &key : qAsConst(takenIn)) {
            const auto found = written.at.constFind(key);
            if (found != written.at.cend())
                ms.push_back(double(now - *found) * 1e-6);
            else
                unseen << key;
        }
        takenIn = unseen;
    }
};

} // namespace

int main(int argc, char **argv)
{
    // Settings, the log and the stream's socket stay inside a throwaway folder.
    QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "TMPDIR"})
        qputenv(name, home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int measuredSets = argc > 1 ? qMax(1, QString::fromLocal8Bit(argv[1]).toInt())
                                      : defaultMeasuredSets;
    const bool tableOnly = argc > 2 && qstrcmp(argv[2], "table") == 0;
    QApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QApplication::setApplicationName(QStringLiteral("Ventrolla"));

    BaseStationSimulator::Settings settings;
    settings.guardTimeMs = 100;
    settings.powerOnDelayMs = 0;
    settings.powerOnIntervalMs = 20;
    for (int i = 0; i < moduleCount; ++i) {
        SimulatedModule::Settings module;
        module.identifier = QStringLiteral("M%1").arg(i + 1, 3, 10, QLatin1Char('0'));
        module.address = 0x0013A20041000001LL + i;
        module.heightAboveGround = 20 + 20 * i;
        settings.modules << module;
    }

    QElapsedTimer clock;
    clock.start();
    WrittenFrames written;
    std::atomic<bool> measuring{false};
    std::atomic<int> streamLines{0};

    QThread simulatorThread;
    simulatorThread.start();
    QObject anchor;
    anchor.moveToThread(&simulatorThread);
    BaseStationSimulator *simulator = nullptr;
    QLocalSocket *streamClient = nullptr;
    QString port;
    QMetaObject::invokeMethod(&anchor, [&] {
        simulator = new BaseStationSimulator(settings);
        if (simulator->start())
            port = simulator->portName();
        for (int i = 0; i < moduleCount; ++i) {
            const QString id = settings.modules[i].identifier;
            // Connected after the simulator's own connection: runs once the frame is written.
            QObject::connect(simulator->module(i), &SimulatedModule::transmitted,
                             [&, id](qint64, const QByteArray &message) {
                                 if (measuring && message.size() > 18 && message[1] == 0x09) {
                                     const qint64 now = clock.nsecsElapsed();
                                     QMutexLocker lock(&written.mutex);
                                     written.at[id + ' ' + reportTime(message)] = now;
                                 }
                             });
        }
    }, Qt::BlockingQueuedConnection);
    const auto finish = [&](int status, const char *why) {
        if (why)
            std::fprintf(stderr, "bench_window: %s\n", why);
        QMetaObject::invokeMethod(&anchor, [&] {
            delete streamClient;
            delete simulator;
        }, Qt::BlockingQueuedConnection);
        simulatorThread.quit();
        simulatorThread.wait();
        return status;
    };
    if (port.isEmpty())
        return finish(1, "no pseudo-terminal");

    // The log goes where the log file dialog points, as when a user chooses it there.
    const QString logDirectory = home.filePath(QStringLiteral("soundings"));
    QDir().mkpath(logDirectory);
    QSettings().setValue(QStringLiteral("LogFile/directory"), logDirectory);
    WindowDriver driver({});
    driver.speedUpConfiguration(4);
    MainWindow &window = driver.window();
    // Every row of the table in sight, under a graph the height of a screen.
    const int graphHeight = tableOnly ? 0 : 700;
    window.resize(1400, 1800 + graphHeight);
    window.findChild<QSplitter *>(QStringLiteral("mainSplitter"))->setSizes({graphHeight, 1800});
    auto *graphTabs = window.findChild<QTabWidget *>(QStringLiteral("graphTabs"));
    graphTabs->setCurrentIndex(2); // altitude
    window.show();
    Model &model = driver.model();

    PaintLatency table;
    PaintLatency graph;
    QObject::connect(&model.moduleList(), &FlightModuleList::data, [&](int moduleNumber) {
        const FlightModule *module = model.moduleList().module(moduleNumber);
        if (!measuring)
            return;
        const QString key = module->moduleId() + ' ' + module->field(8).toString();
        table.takenIn << key;
        if (!tableOnly)
            graph.takenIn << key;
    });
    PaintWatcher tableWatcher([&] { table.painted(written, clock.nsecsElapsed(), measuring); });
    window.findChild<QTableView *>(QStringLiteral("tableView"))
        ->viewport()->installEventFilter(&tableWatcher);
    PaintWatcher graphWatcher([&] { graph.painted(written, clock.nsecsElapsed(), measuring); });
    qobject_cast<DataGraphView *>(graphTabs->currentWidget())
        ->viewport()->installEventFilter(&graphWatcher);

    int sets = 0;
    // The main thread's CPU time at each data set while measuring: the median of the spans
    // between them stands against the bursts a shared machine adds to a few of them.
    std::vector<double> cpuAtSet;
    QObject::connect(&model, &Model::dataSetReady, [&] {
        ++sets;
        if (measuring)
            cpuAtSet.push_back(threadCpuSeconds());
    });
    if (!driver.acquire(port, moduleCount, 120000))
        return finish(1, "not every module was acquired");
    model.setDataInterval(1); // every second
    if (!tableOnly) {
        if (!window.findChild<LogFile *>()->begin(logDirectory + QStringLiteral("/sounding.csv")))
            return finish(1, "the log could not be begun");
        QMetaObject::invokeMethod(&anchor, [&] {
            streamClient = new QLocalSocket;
            QObject::connect(streamClient, &QLocalSocket::readyRead, [&] {
                while (streamClient->canReadLine()) {
                    streamClient->readLine();
                    ++streamLines;
                }
            });
            streamClient->connectToServer(QStringLiteral("Ventrolla"));
        }, Qt::BlockingQueuedConnection);
    }
    if (!driver.run(20000))
        return finish(1, "the run did not start");
    if (!WindowDriver::waitFor([&] { return sets >= warmupSets; }, 60000))
        return finish(1, "no data sets");
    if (!tableOnly && streamLines == 0)
        return finish(1, "the stream client got no line");

    measuring = true;
    const int setsStart = sets;
    const int linesStart = streamLines;
    const double cpuStart = threadCpuSeconds();
    const qint64 wallStart = clock.nsecsElapsed();
    {
        // Waited for in an event loop with no ticking timer of its own: every wake-up measured
        // is the window's.
        QEventLoop loop;
        QTimer::singleShot((measuredSets + 30) * 1000, &loop, &QEventLoop::quit);
        QObject::connect(&model, &Model::dataSetReady, &loop, [&] {
            if (sets >= setsStart + measuredSets)
                loop.quit();
        });
        loop.exec();
    }
    if (sets < setsStart + measuredSets)
        return finish(1, "data sets stopped coming");
    const double cpu = threadCpuSeconds() - cpuStart;
    const double wall = double(clock.nsecsElapsed() - wallStart) * 1e-9;
    measuring = false;
    driver.stop(10000);

    const int measured = sets - setsStart;
    std::printf("window                           %s\n",
                tableOnly ? "table only" : "altitude graph, table, log, stream client");
    std::printf("modules                          %d, reporting every second\n", moduleCount);
    std::printf("data sets measured               %d in %.1f s\n", measured, wall);
    if (!tableOnly)
        std::printf("stream lines read                %d\n", streamLines - linesStart);
    std::printf("main thread CPU per data set     %.2f ms\n", cpu * 1e3 / measured);
    std::vector<double> cpuPerSet;
    for (size_t i = 1; i < cpuAtSet.size(); ++i)
        cpuPerSet.push_back((cpuAtSet[i] - cpuAtSet[i - 1]) * 1e3);
    std::printf("main thread CPU per set, median  %.2f ms\n", percentile(cpuPerSet, 0.5));
    std::printf("main thread CPU share            %.2f %% of one core\n", 100 * cpu / wall);
    for (const auto &[name, latency] :
         {std::pair<const char *, const PaintLatency &>{"table", table}, {"graph", graph}}) {
        if (latency.ms.empty())
            continue;
        std::printf("%s paints per data set          %.1f\n", name,
                    double(latency.paints) / measured);
        std::printf("frame to %s paint, median      %.2f ms\n", name, percentile(latency.ms, 0.5));
        std::printf("frame to %s paint, p99         %.2f ms\n", name, percentile(latency.ms, 0.99));
    }
    return finish(0, nullptr);
}
