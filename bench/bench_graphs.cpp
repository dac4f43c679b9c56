// The profile graphs during a sounding of 50 modules, each reporting once a second: the scenes'
// CPU time for one Data message (the model refreshes the whole table for each) and for a data
// set of 50, and one full repaint of a 1000 x 600 view of each graph.
//
// Data messages go through a real Model: a receive frame per message, then the table refresh
// the running state makes for every Data message. scenes:0 is the same without graphs, so the
// difference is the graphs' share.

#include "ModuleBytes.h"
#include "core/Model.h"
#include "graph/AltitudeGraphScene.h"
#include "graph/DataGraphView.h"
#include "graph/GraphAxisModel.h"
#include "graph/ModuleGraphScene.h"
#include "graph/PressureGraphScene.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace ModuleBytes;

namespace {

constexpr int moduleCount = 50;
constexpr int secondsOfFrames = 60;

qint64 addressOf(int module)
{
    return 0x0013A20040B00000LL + module;
}

// Module m at second s: 8 m apart, pressure and temperature falling with height, humidity
// varying, the wind veering and strengthening, every value wandering a little with time.
QByteArray dataFrame(int m, int s)
{
    DataFields d;
    d.flags = 0xE4; // time and altitude
    d.altitude = 10 + 8 * m;
    d.pressure = 8950 - 9 * m - s % 3;
    d.temperature = 2880 - m + s % 4;
    d.humidity = 550 + (m * 37 + s * 11) % 200;
    d.windDirection = (200 + m + s % 5) % 360;
    d.windSpeed = 20 + 3 * m + s % 7;
    d.supply = 330;
    d.hours = 14;
    d.minutes = s / 60;
    d.seconds = s % 60;
    return receiveFrame(addressOf(m), data(d));
}

struct Sounding
{
    Model model{0, 0, false, false, false, false};
    GraphAxisModel axes{&model};
    std::vector<std::unique_ptr<DataGraphScene>> scenes;
    std::vector<std::unique_ptr<DataGraphView>> views;
    std::vector<QByteArray> frames; // [second * moduleCount + module]
    size_t next = 0;

    explicit Sounding(bool withScenes)
    {
        for (int m = 0; m < moduleCount; ++m) {
            model.appendModule(new FlightModule(addressOf(m), 0, 0));
            model.processBaseStationData(
                receiveFrame(addressOf(m), hello('P', "TX" + QByteArray::number(1000 + m))),
                false);
        }
        for (int s = 0; s < secondsOfFrames; ++s) {
            for (int m = 0; m < moduleCount; ++m)
                frames.push_back(dataFrame(m, s));
        }
        if (withScenes) {
            scenes.emplace_back(new ModuleGraphScene(&model, &axes));
            scenes.emplace_back(new PressureGraphScene(&model, &axes));
            scenes.emplace_back(new AltitudeGraphScene(&model, &axes));
            for (auto &scene : scenes) {
                views.emplace_back(new DataGraphView);
                views.back()->setScene(scene.get());
                views.back()->resize(1000, 600);
            }
        }
        for (int m = 0; m < moduleCount; ++m)
            receive();
        QApplication::processEvents();
    }

    // One Data message, and the refresh the running state makes for it.
    void receive()
    {
        model.processBaseStationData(frames[next], false);
        next = (next + 1) % frames.size();
        model.moduleList().refreshRecords();
        model.refreshTable();
    }
};

void BM_DataChanged(benchmark::State &state)
{
    Sounding sounding(state.range(0) != 0);
    for (auto _ : state) {
        sounding.receive();
        if (sounding.next % moduleCount == 0)
            QApplication::processEvents(); // the scenes' deferred redraw bookkeeping
    }
}

void BM_DataSet(benchmark::State &state)
{
    Sounding sounding(state.range(0) != 0);
    for (auto _ : state) {
        for (int m = 0; m < moduleCount; ++m)
            sounding.receive();
        QApplication::processEvents();
    }
}

void BM_FullRepaint(benchmark::State &state)
{
    Sounding sounding(true);
    DataGraphView &view = *sounding.views[size_t(state.range(0))];
    view.show();
    QApplication::processEvents();
    for (auto _ : state)
        view.viewport()->repaint();
}

} // namespace

BENCHMARK(BM_DataChanged)->ArgName("scenes")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DataSet)->ArgName("scenes")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
// 0 module graph, 1 pressure graph, 2 altitude graph.
BENCHMARK(BM_FullRepaint)->ArgName("graph")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Default axes, whatever the user running this has stored.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
