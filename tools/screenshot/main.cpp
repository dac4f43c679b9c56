// Takes the README's pictures from the real windows on the offscreen platform: the main window
// during a sounding of five simulated modules with GPS, the altitude graph above the table, and
// the configuration window with those modules acquired.
//
//     QT_QPA_PLATFORM=offscreen ventrolla-screenshot docs   (tools/screenshots.sh)
//
// writes window.png and config-window.png into the folder.

#include "BaseStationSimulator.h"
#include "WindowDriver.h"

#include "app/MainWindow.h"
#include "config/ModuleConfigWindow.h"
#include "core/Model.h"
#include "link/FlightModuleList.h"
#include "output/LogFile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int moduleCount = 5;
// A site about 1000 m up, its altitudes shown above the ground: the profile fills the default
// axes (0 to 500 m, 800 to 900 mbar).
constexpr int siteElevation = 1000;

bool save(QWidget &widget, const QDir &folder, const char *name)
{
    if (widget.grab().save(folder.filePath(QLatin1String(name))))
        return true;
    std::fprintf(stderr, "ventrolla-screenshot: could not write %s\n",
                 qPrintable(folder.filePath(QLatin1String(name))));
    return false;
}

} // namespace

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
        std::fprintf(stderr, "usage: ventrolla-screenshot <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(folder.path());

    // What a user would have chosen: altitudes above the ground, a window wide enough for every
    // column, graph and table both readable, the altitude graph in front.
    QSettings settings;
    settings.setValue(QStringLiteral("SetupDialog/relativeAltitude"), true);
    settings.setValue(QStringLiteral("SetupDialog/groundElevation"), siteElevation);
    settings.setValue(QStringLiteral("MainWindow/size"), QSize(1560, 820));
    settings.setValue(QStringLiteral("MainWindow/mainSplitter"), QVariantList{540, 196});
    settings.setValue(QStringLiteral("MainWindow/activeTab"), 2);
    settings.sync();

    BaseStationSimulator::Settings sounding;
    sounding.guardTimeMs = 100;
    sounding.powerOnDelayMs = 0;
    sounding.powerOnIntervalMs = 1500; // the modules come in one by one, the lowest first
    sounding.speed = 2;
    sounding.groundElevation = siteElevation;
    sounding.startTime = QDateTime(QDate(2024, 6, 1), QTime(14, 20), Qt::UTC);
    const char kinds[] = {'Q', 'D', 'P'};
    for (int i = 0; i < moduleCount; ++i) {
        SimulatedModule::Settings module;
        module.kind = kinds[i % 3];
        module.identifier = QStringLiteral("SND-%1").arg(101 + i);
        module.heightAboveGround = 40 + 90 * i;
        module.gps = true;
        sounding.modules << module;
    }
    BaseStationSimulator simulator(sounding);
    if (!simulator.start()) {
        std::fprintf(stderr, "ventrolla-screenshot: no pseudo-terminal\n");
        return 1;
    }

    WindowDriver driver({false, true});
    driver.speedUpConfiguration(10);
    MainWindow &window = driver.window();
    window.show();
    int sets = 0;
    QObject::connect(&driver.model(), &Model::dataSetReady, [&sets] { ++sets; });
    if (!driver.acquire(simulator.portName(), moduleCount, 20000)
        || !window.findChild<LogFile *>()->begin(home.filePath(QStringLiteral("sounding.csv")))
        || !driver.run(10000) || !WindowDriver::waitFor([&sets] { return sets >= 3; }, 20000)) {
        std::fprintf(stderr, "ventrolla-screenshot: the sounding did not get going\n");
        return 1;
    }
    // The first reports after Run carry no GPS fields yet. Later, a data set is announced as
    // the next second's first report arrives: the table then shows one whole set.
    WindowDriver::waitFor([] { return false; }, 1500);
    const int before = sets;
    WindowDriver::waitFor([&sets, before] { return sets > before; }, 10000);
    WindowDriver::waitFor([] { return false; }, 100); // the last repaint
    if (!save(window, folder, "window.png"))
        return 1;

    // The configuration window over the stopped modules, the second one chosen.
    driver.stop(5000);
    window.findChild<QAction *>(QStringLiteral("action_Module_Config"))->trigger();
    while (driver.model().moduleList().currentIndex() > 1 && driver.model().canPreviousModule())
        driver.model().previousModule();
    auto *configWindow = window.findChild<ModuleConfigWindow *>();
    WindowDriver::waitFor([] { return false; }, 100);
    return save(*configWindow, folder, "config-window.png") ? 0 : 1;
}
