// Draws the three profile graphs of a five-module sounding into PNG files, without a display:
//     ventrolla-graph-pictures [output folder]
// writes module.png, pressure.png and altitude.png (1000 x 600) into the folder (default: the
// current one), for looking at the graphs while working on them and for the documentation.
// Then the altitude graph of a fifty-module sounding near sea level, its modules acquired in
// another order than they hang: altitude-50.png with the default axes, altitude-50-fitted.png
// with the axes fitted to the data.

#include "core/Model.h"
#include "graph/AltitudeGraphScene.h"
#include "graph/AxisFitter.h"
#include "graph/DataGraphView.h"
#include "graph/GraphAxisModel.h"
#include "graph/ModuleGraphScene.h"
#include "graph/PressureGraphScene.h"
#include "link/FlightModule.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

// An afternoon profile at a site about 1000 m above the sea: cooling with height above a shallow
// inversion, humidity varying, the wind veering from south-south-west and strengthening.
const char *const records[] = {
    "TX1042;30.0;891.8;14.800;72.0;200;4.10;3.31;14:20:05;;;;;",
    "TX1043;120.0;882.4;15.900;64.0;215;7.80;3.29;14:20:05;;;;;",
    "TX1044;210.0;873.0;16.300;58.0;230;11.60;3.30;14:20:05;;;;;",
    "TX1045;300.0;863.6;15.200;61.0;245;16.30;3.27;14:20:05;;;;;",
    "TX1046;390.0;854.2;14.100;55.0;260;23.40;3.28;14:20:05;;;;;",
};

// Fifty modules 30 m apart from 30 m up, near sea level, acquired in a shuffled order: the
// atmosphere cools by 6.5 K a kilometre above an inversion at 300 m, dries with height, and the
// wind strengthens.
QStringList fiftyModules()
{
    QStringList modules;
    for (int i = 0; i < 50; ++i) {
        const int k = (i * 17) % 50; // every height once
        const double height = 30.0 * (k + 1);
        const double pressure = 1012.0 * std::pow(1 - 2.25577e-5 * height, 5.25588);
        const double temperature = height < 300 ? 12.0 + height / 100 : 15.0 - (height - 300) * 0.0065;
        const double humidity = 80.0 - height / 40 + 4 * std::sin(k * 0.3);
        const double wind = 3.0 + height / 100 + 1.5 * std::sin(k * 0.25);
        modules << QStringLiteral("S%1;%2;%3;%4;%5;%6;%7;3.30;11:05:00;;;;;")
                       .arg(k + 1, 2, 10, QLatin1Char('0'))
                       .arg(height, 0, 'f', 1)
                       .arg(pressure, 0, 'f', 1)
                       .arg(temperature, 0, 'f', 3)
                       .arg(humidity, 0, 'f', 1)
                       .arg(200 + k)
                       .arg(wind, 0, 'f', 2);
    }
    return modules;
}

bool save(QGraphicsScene *scene, const QString &path)
{
    DataGraphView view;
    view.setScene(scene);
    view.resize(1000, 600);
    view.show();
    QApplication::processEvents();
    if (!view.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The default axes, whatever the user running this has stored.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }

    Model model(0, 0, false, false, false, false);
    GraphAxisModel axes(&model);
    qint64 address = 0x0013A20040A10000LL;
    for (const char *record : records) {
        model.appendModule(new FlightModule(
            QString::fromLatin1(record) + QStringLiteral(";%1;0;156;80;0").arg(address++), 0));
    }

    ModuleGraphScene moduleScene(&model, &axes);
    PressureGraphScene pressureScene(&model, &axes);
    AltitudeGraphScene altitudeScene(&model, &axes);
    const struct
    {
        QGraphicsScene *scene;
        const char *file;
    } graphs[] = {{&moduleScene, "module.png"},
                  {&pressureScene, "pressure.png"},
                  {&altitudeScene, "altitude.png"}};

    for (const auto &graph : graphs) {
        if (!save(graph.scene, out.filePath(QLatin1String(graph.file))))
            return 1;
    }

    Model sounding(0, 0, false, false, false, false);
    GraphAxisModel soundingAxes(&sounding);
    for (const QString &record : fiftyModules())
        sounding.appendModule(new FlightModule(record + QStringLiteral(";%1;0;156;80;0").arg(address++), 0));
    AltitudeGraphScene fifty(&sounding, &soundingAxes);
    if (!save(&fifty, out.filePath(QStringLiteral("altitude-50.png"))))
        return 1;
    AxisFitter fitter(&sounding, &soundingAxes);
    fitter.setGraph(GraphAxisModel::IndependentAltitude);
    fitter.fit();
    return save(&fifty, out.filePath(QStringLiteral("altitude-50-fitted.png"))) ? 0 : 1;
}
