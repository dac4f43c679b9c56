#include "graph/AltitudeGraphScene.h"

#include "graph/GraphAxisModel.h"
#include "link/FlightModule.h"

AltitudeGraphScene::AltitudeGraphScene(Model *model, GraphAxisModel *axes, QObject *parent)
    : DataGraphScene(model, axes, parent)
{
    setUp();
}

GraphAxis AltitudeGraphScene::independentAxis()
{
    return axes->axis(GraphAxisModel::IndependentAltitude);
}

void AltitudeGraphScene::setupColumns()
{
    setColumnColours();
    setPlotted({2, 3, 4, 6});
}

QTransform AltitudeGraphScene::columnTransform(const GraphAxis &dependent)
{
    // y = (A.max - a) / (A.max - A.min): the highest altitude at the top.
    const GraphAxis altitude = independentAxis();
    const double scale = 1.0 / (altitude.maximum() - altitude.minimum());
    return dependentTransform(dependent, -scale, altitude.maximum() * scale);
}

QVector<double> AltitudeGraphScene::horizontalGridPositions()
{
    const int n = independentAxis().gridIntervals();
    QVector<double> positions;
    positions.reserve(n + 1);
    for (int i = 0; i <= n; ++i)
        positions.append(1.0 - double(i) / n);
    return positions;
}

int AltitudeGraphScene::axisPosition(int column)
{
    switch (column) {
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
        return 3;
    case 6:
        return -1;
    default:
        return 0;
    }
}

double AltitudeGraphScene::independentValue(int row)
{
    return number(row, FlightModule::AltitudeColumn);
}
