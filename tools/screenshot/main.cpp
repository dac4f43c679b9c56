// Takes the README's picture of the window: a sounding of three simulated modules with GPS and
// XData, run in this process on the offscreen platform, grabbed after a few data sets.
//
//     QT_QPA_PLATFORM=offscreen ventrolla-screenshot docs/window.png   (tools/screenshots.sh)

#include "BaseStationSimulator.h"
#include "WindowDriver.h"

#include "app/MainWindow.h"
#include "core/Model.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    // The window reads and writes its settings: keep them away from the user's own.
    QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "TMPDIR"})
        qputenv(name, home.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QApplication::setApplicationName(QStringLiteral("Ventrolla"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: ventrolla-screenshot <file.png>\n");
        return 2;
    }

    BaseStationSimulator::Settings settings;
    settings.guardTimeMs = 100;
    settings.powerOnDelayMs = 0;
    settings.powerOnIntervalMs = 100;
    settings.speed = 2;
    settings.startTime = QDateTime(QDate(2024, 6, 1), QTime(10, 15), Qt::UTC);
    const char kinds[] = {'Q', 'D', 'P'};
    for (int i = 0; i < 3; ++i) {
        SimulatedModule::Settings module;
        module.kind = kinds[i];
        module.identifier = QStringLiteral("SND-%1").arg(101 + i);
        module.heightAboveGround = 60 + 250 * i;
        module.gps = true;
        module.xdata = true;
        settings.modules << module;
    }
    BaseStationSimulator simulator(settings);
    if (!simulator.start()) {
        std::fprintf(stderr, "ventrolla-screenshot: no pseudo-terminal\n");
        return 1;
    }

    WindowDriver driver({true, true});
    driver.speedUpConfiguration(10);
    driver.window().resize(1720, 300);
    driver.window().show();
    int sets = 0;
    QObject::connect(&driver.model(), &Model::dataSetReady, [&sets] { ++sets; });
    if (!driver.acquire(simulator.portName(), 3, 20000) || !driver.run(10000)
        || !WindowDriver::waitFor([&sets] { return sets >= 3; }, 20000)) {
        std::fprintf(stderr, "ventrolla-screenshot: the sounding did not get going\n");
        return 1;
    }
    // The first reports after Run carry no GPS fields yet. Later, a data set is announced as
    // the next second's first report arrives: the table then shows one whole set.
    WindowDriver::waitFor([] { return false; }, 1500);
    const int before = sets;
    WindowDriver::waitFor([&sets, before] { return sets > before; }, 10000);
    const QString path = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!driver.window().grab().save(path)) {
        std::fprintf(stderr, "ventrolla-screenshot: could not write %s\n", argv[1]);
        return 1;
    }
    driver.stop(5000);
    return 0;
}
