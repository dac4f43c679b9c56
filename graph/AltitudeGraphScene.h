#ifndef VENTROLLA_GRAPH_ALTITUDEGRAPHSCENE_H
#define VENTROLLA_GRAPH_ALTITUDEGRAPHSCENE_H

#include "graph/DataGraphScene.h"

// Altitude on the vertical axis (highest at the top): pressure, temperature, humidity and wind
// speed of every module against its altitude, with a wind barb per module.
class AltitudeGraphScene : public DataGraphScene
{
    Q_OBJECT

public:
    AltitudeGraphScene(Model *model, GraphAxisModel *axes, QObject *parent = nullptr);

protected:
    GraphAxis independentAxis() override;
    void setupColumns() override;
    QTransform columnTransform(const GraphAxis &dependent) override;
    QVector<double> horizontalGridPositions() override;
    int axisPosition(int column) override;
    double independentValue(int row) override;
};

#endif
