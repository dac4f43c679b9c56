#ifndef VENTROLLA_GRAPH_MODULEGRAPHSCENE_H
#define VENTROLLA_GRAPH_MODULEGRAPHSCENE_H

#include "graph/DataGraphScene.h"

// One horizontal band per module, the first at the top: pressure, temperature, humidity and wind
// speed of each module, with a wind barb per module.
class ModuleGraphScene : public DataGraphScene
{
    Q_OBJECT

public:
    ModuleGraphScene(Model *model, GraphAxisModel *axes, QObject *parent = nullptr);

protected:
    GraphAxis independentAxis() override;
    void setupColumns() override;
    QTransform columnTransform(const GraphAxis &dependent) override;
    QVector<double> horizontalGridPositions() override;
    QString tickLabel(int i, const GraphAxis &axis) override;
    int axisPosition(int column) override;
    double independentValue(int row) override;
};

#endif
