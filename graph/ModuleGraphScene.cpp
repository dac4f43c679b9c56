#include "graph/ModuleGraphScene.h"

#include "core/Model.h"
#include "graph/GraphAxisModel.h"
#include "link/FlightModule.h"

#include <algorithm>

ModuleGraphScene::ModuleGraphScene(Model *model, GraphAxisModel *axes, QObject *parent)
    : DataGraphScene(model, axes, parent)
{
    setUp();
}

GraphAxis ModuleGraphScene::independentAxis()
{
    return axes->axis(GraphAxisModel::ModuleAxis);
}

void ModuleGraphScene::setupColumns()
{
    setColumnColours();
    setPlotted({2, 3, 4, 6});
}

QTransform ModuleGraphScene::columnTransform(const GraphAxis &dependent)
{
    // y = (a + 0.5 - M.min) / (M.max - M.min + 1): module a at the centre of its band.
    const GraphAxis modules = independentAxis();
    const double scale = 1.0 / (modules.maximum() - modules.minimum() + 1);
    return dependentTransform(dependent, scale, (0.5 - modules.minimum()) * scale);
}

QVector<double> ModuleGraphScene::horizontalGridPositions()
{
    const int n = std::clamp(independentAxis().intervals(), 0, GraphAxis::maxGridIntervals);
    QVector<double> positions;
    positions.reserve(n + 1);
    for (int k = 0; k <= n; ++k)
        positions.append((k + 0.5) / (n + 1));
    return positions;
}

QString ModuleGraphScene::tickLabel(int i, const GraphAxis &axis)
{
    const double row = i + axis.minimum();
    if (!(row > -0.5 && row < model->rowCount() - 0.5))
        return QString();
    return model->data(model->index(qRound(row), FlightModule::ModuleIdColumn)).toString();
}

int ModuleGraphScene::axisPosition(int column)
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

double ModuleGraphScene::independentValue(int row)
{
    return row;
}
