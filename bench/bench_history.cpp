// The sounding's history under a day of fifty modules at one second, pushed through as fast as
// it goes (not in real time):
//   1. the history alone for 24 h: memory after, CPU per data set;
//   2. the history with the History window open and painting (offscreen), for 6 h: CPU per set;
//   3. a 6-hour 50-module log opened in the window: time to the first picture and to the whole.
// Run from tools/run-benchmarks.sh or alone; times are process CPU and wall-clock time.

#include "Atmosphere.h"
#include "SimulatedSounding.h"
#include "core/SoundingHistory.h"
#include "graph/HistoryWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int modules = 50;
constexpr qint64 second = 1000;
constexpr qint64 hour = 3600 * second;

double cpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// An hour of sets from the simulator's atmosphere, replayed for every hour of the day, so the
// atmosphere's arithmetic stays out of the figures.
struct Samples
{
    std::vector<SoundingHistory::Sample> values; // set-major
    QStringList ids;
};

Samples anHour(const SimulatedSounding &sounding, qint64 start)
{
    Samples s;
    for (int m = 0; m < modules; ++m)
        s.ids << sounding.moduleId(m);
    s.values.reserve(size_t(3600 * modules));
    for (int i = 0; i < 3600; ++i) {
        for (int m = 0; m < modules; ++m)
            s.values.push_back(sounding.sample(m, start + i * second));
    }
    return s;
}

void push(SoundingHistory &history, const Samples &samples, qint64 start, int sets,
          HistoryWindow *window)
{
    std::vector<int> index;
    for (const QString &id : samples.ids)
        index.push_back(history.moduleIndex(id));
    for (int i = 0; i < sets; ++i) {
        history.appendSet(start + i * second);
        const SoundingHistory::Sample *set = &samples.values[size_t((i % 3600) * modules)];
        for (int m = 0; m < modules; ++m)
            history.setSample(index[size_t(m)], set[m]);
        if (window) {
            window->liveSetAppended();
            QCoreApplication::processEvents();
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Atmosphere atmosphere(1000.0, 47.0, 8.0, 11);
    const SimulatedSounding sounding(atmosphere, modules, 20.0, 10.0);
    const qint64 start = QDateTime(QDate(2026, 6, 20), QTime(12, 0), Qt::UTC).toMSecsSinceEpoch();
    const Samples samples = anHour(sounding, start);

    {
        const long before = residentKb();
        SoundingHistory history;
        const double cpu = cpuSeconds();
        push(history, samples, start, 24 * 3600, nullptr);
        const double used = cpuSeconds() - cpu;
        std::printf("history alone, 24 h of %d modules at 1 s (%lld sets): %.2f us CPU per set\n",
                    modules, static_cast<long long>(history.setCount()), used / 86400 * 1e6);
        std::printf("  memory: history %.1f MB, resident set grew by %.1f MB; thinned %d times\n",
                    double(history.byteCount()) / 1048576, double(residentKb() - before) / 1024,
                    history.thinningCount());
    }

    {
        SoundingHistory history;
        HistoryWindow window(&history);
        window.resize(1100, 760);
        window.show();
        QCoreApplication::processEvents();
        const double cpu = cpuSeconds();
        const int sets = 6 * 3600;
        push(history, samples, start, sets, &window);
        const double used = cpuSeconds() - cpu;
        std::printf("history + open window (last 1 h, 1100 x 760), 6 h of %d modules: "
                    "%.3f ms CPU per set\n", modules, used / sets * 1e3);
    }

    {
        QTemporaryDir folder;
        const QString log = folder.filePath(QStringLiteral("six-hours.csv"));
        if (!sounding.writeLog(log, start, start + 6 * hour, second)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(log));
            return 1;
        }
        SoundingHistory live;
        HistoryWindow window(&live);
        window.resize(1100, 760);
        window.show();
        QCoreApplication::processEvents();
        QEventLoop loop;
        QObject::connect(&window, &HistoryWindow::logLoaded, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        if (!window.openLogs({log}))
            return 1;
        window.repaint();
        const qint64 first = clock.elapsed();
        if (window.isLoading())
            loop.exec();
        window.repaint();
        std::printf("6 h log of %d modules at 1 s (%.0f MB): first picture after %lld ms, "
                    "all of it after %lld ms\n",
                    modules, double(QFile(log).size()) / 1048576, static_cast<long long>(first),
                    static_cast<long long>(clock.elapsed()));
    }
    return 0;
}
