#include "graph/PressureGraphScene.h"

#include "graph/GraphAxisModel.h"
#include "link/FlightModule.h"

#include <cmath>

namespace {

// The lowest pressure taken for a cell, so that 0 still has a logarithm (far below the plot).
constexpr double smallestPressure = 0.0001;

} // namespace

PressureGraphScene::PressureGraphScene(Model *model, GraphAxisModel *axes, QObject *parent)
    : DataGraphScene(model, axes, parent)
{
    setUp();
}

GraphAxis PressureGraphScene::independentAxis()
{
    return axes->axis(GraphAxisModel::IndependentPressure);
}

void PressureGraphScene::setupColumns()
{
    setColumnColours();
    setPlotted({3, 4, 6});
}

QTransform PressureGraphScene::columnTransform(const GraphAxis &dependent)
{
    // y = (a - ln P.min) / (ln P.max - ln P.min), a being ln p: the lowest pressure at the top.
    const GraphAxis pressure = independentAxis();
    const double lowest = std::log(pressure.minimum());
    const double scale = 1.0 / (std::log(pressure.maximum()) - lowest);
    return dependentTransform(dependent, scale, -lowest * scale);
}

QVector<double> PressureGraphScene::horizontalGridPositions()
{
    // A line every interval from P.min while below P.max + s/2. Counting the lines, rather than
    // adding s until the sum passes the end, ends for any stored axis: a step that vanishes
    // against a huge minimum, or a stored count in the millions.
    const GraphAxis pressure = independentAxis();
    const QTransform transform = columnTransform(pressure);
    const double step = pressure.gridIntervalSize();
    const double end = pressure.maximum() + step / 2;
    QVector<double> positions;
    for (int i = 0; i <= pressure.gridIntervals(); ++i) {
        const double p = pressure.minimum() + i * step;
        if (!(p < end))
            break;
        positions.append(transform.map(QPointF(0, std::log(p))).y());
    }
    return positions;
}

int PressureGraphScene::axisPosition(int column)
{
    switch (column) {
    case 3:
        return 1;
    case 4:
        return 2;
    case 6:
        return -1;
    default:
        return 0;
    }
}

double PressureGraphScene::independentValue(int row)
{
    const double pressure = number(row, FlightModule::PressureColumn);
    return std::isnan(pressure) ? pressure : std::log(std::max(pressure, smallestPressure));
}

double PressureGraphScene::lineOrder(double independent) const
{
    // The pressure falls from the bottom of the profile to its top.
    return -independent;
}
