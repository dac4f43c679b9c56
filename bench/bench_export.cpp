// Exporting a long sounding: a log of 50 modules reporting every second for six hours (about
// 21,600 data lines and 140 MB, crossing midnight, with XData and comments) read alone, exported
// to NetCDF, to the tidy table and to both. Each export runs in a child process of its own, so
// its peak resident memory (VmHWM) is its own; a log of a sixth of the length shows that memory
// does not grow with the length.
//
//   bench_export [--hours H]        the figures (default 6 hours)
//   bench_export --child MODE LOG   one export, used by the above
//   bench_export --write-log LOG H  only writes an H-hour log, for a profiler

#include "archive/LogReader.h"
#include "archive/SoundingExport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

constexpr int moduleCount = 50;

QByteArray fixed(double value, int decimals)
{
    return QByteArray::number(value, 'f', decimals);
}

// A log as the program writes it: every module one line of thirteen fields per second.
bool writeLog(const QString &path, int seconds)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = "Ventrolla log file\nDate 7/04/2026\n\nTime,Comment";
    for (int m = 0; m < moduleCount; ++m) {
        text += ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),Supply (V),UTC Time,"
                "Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";
    }
    text += '\n';
    const QTime start(21, 0);
    for (int s = 0; s < seconds; ++s) {
        const QByteArray local = start.addSecs(s).toString(QStringLiteral("hh:mm:ss")).toLatin1();
        const QByteArray utc = start.addSecs(s - 7200).toString(QStringLiteral("hh:mm:ss")).toLatin1();
        if (s % 10 == 0)
            text += local + ",<XDATA>,TX0001,xdata=T2=12.34,RH2=56.7\n";
        text += local + ',' + (s % 600 == 0 ? QByteArray("balloon up") : QByteArray());
        for (int m = 0; m < moduleCount; ++m) {
            const double altitude = 50.0 + 30.0 * m + 5.0 * std::sin(s / 60.0);
            const double pressure = 1013.25 * std::exp(-altitude / 8434.0);
            text += ",TX" + QByteArray::number(1000 + m) + ',' + fixed(altitude, 1) + ',' + fixed(pressure, 1) + ','
                    + fixed(15.0 - 0.0065 * altitude + 0.001 * (s % 1000), 3) + ',' + fixed(60.0 + (s + m) % 30, 1)
                    + ',' + QByteArray::number((250 + s + m) % 360) + ',' + fixed(5.0 + (s % 20) * 0.97, 2) + ','
                    + fixed(4.1 - s * 1e-5, 2) + ',' + utc + ',' + fixed(47.25 + m * 1e-5, 6) + ','
                    + fixed(8.5 + s * 1e-7, 6) + ',' + QByteArray::number((s * 7 + m) % 360) + ',' + fixed(0.8, 1);
        }
        text += '\n';
        if (text.size() > (1 << 20)) {
            if (file.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return file.write(text) == text.size();
}

long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// One export in this process; prints "seconds cpu-seconds peak-KiB".
int child(const QString &mode, const QString &log)
{
    QElapsedTimer clock;
    clock.start();
    if (mode == QLatin1String("read")) {
        LogReader reader(log);
        LogEntry entry;
        if (!reader.open())
            return 1;
        while (reader.next(entry)) {
        }
    } else {
        ExportSettings settings;
        settings.logFiles = QStringList{log};
        if (mode != QLatin1String("csv"))
            settings.netcdfFile = log + QStringLiteral(".nc");
        if (mode != QLatin1String("netcdf"))
            settings.csvFile = log + QStringLiteral(".out.csv");
        SoundingExport exporter(settings);
        if (exporter.run([](const QString &) {}) != SoundingExport::Success) {
            std::fprintf(stderr, "%s\n", qPrintable(exporter.errorString()));
            return 1;
        }
    }
    std::printf("%.3f %.3f %ld\n", clock.elapsed() / 1000.0, cpuSeconds(), peakKiB());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--child"))
        return child(arguments[2], arguments[3]);
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--write-log"))
        return writeLog(arguments[2], int(arguments[3].toDouble() * 3600)) ? 0 : 1;
    const double hours = arguments.size() == 3 && arguments[1] == QLatin1String("--hours")
                             ? arguments[2].toDouble()
                             : 6.0;

    QTemporaryDir dir;
    std::printf("%d modules, one data line a second; each export in a child process\n", moduleCount);
    for (const double length : {hours / 6, hours}) {
        const QString log = dir.filePath(QStringLiteral("sounding-%1h.csv").arg(length));
        if (!writeLog(log, int(length * 3600))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(log));
            return 1;
        }
        const double megabytes = QFileInfo(log).size() / 1e6;
        std::printf("log of %.2f h: %d data lines, %.1f MB\n", length, int(length * 3600), megabytes);
        for (const char *mode : {"read", "netcdf", "csv", "both"}) {
            // The best of three: the machine is shared, so the wall clock also counts time spent
            // waiting for a core; the CPU time does not.
            double best = 1e9;
            double bestCpu = 1e9;
            long peak = 0;
            for (int run = 0; run < 3; ++run) {
                QProcess process;
                process.start(app.applicationFilePath(), {"--child", mode, log});
                process.waitForFinished(-1);
                double seconds = 0;
                double cpu = 0;
                long kib = 0;
                if (std::sscanf(process.readAllStandardOutput().constData(), "%lf %lf %ld", &seconds, &cpu, &kib)
                    != 3) {
                    std::fprintf(stderr, "%s failed: %s\n", mode, process.readAllStandardError().constData());
                    return 1;
                }
                best = std::min(best, seconds);
                bestCpu = std::min(bestCpu, cpu);
                peak = std::max(peak, kib);
            }
            std::printf("  %-6s wall %6.2f s %6.1f MB/s, CPU %6.2f s %6.1f MB/s, peak RSS %5.1f MB\n", mode,
                        best, megabytes / best, bestCpu, megabytes / bestCpu, peak / 1024.0);
        }
    }
    return 0;
}
