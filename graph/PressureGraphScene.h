#ifndef VENTROLLA_GRAPH_PRESSUREGRAPHSCENE_H
#define VENTROLLA_GRAPH_PRESSUREGRAPHSCENE_H

#include "graph/DataGraphScene.h"

// Pressure on a logarithmic vertical axis (lowest pressure at the top): temperature, humidity and
// wind speed of every module against its pressure, with a wind barb per module.
class PressureGraphScene : public DataGraphScene
{
    Q_OBJECT

public:
    PressureGraphScene(Model *model, GraphAxisModel *axes, QObject *parent = nullptr);

protected:
    GraphAxis independentAxis() override;
    void setupColumns() override;
    QTransform columnTransform(const GraphAxis &dependent) override;
    QVector<double> horizontalGridPositions() override;
    int axisPosition(int column) override;
    double independentValue(int row) override;
    double lineOrder(double independent) const override;
};

#endif
