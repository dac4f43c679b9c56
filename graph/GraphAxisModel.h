#ifndef VENTROLLA_GRAPH_GRAPHAXISMODEL_H
#define VENTROLLA_GRAPH_GRAPHAXISMODEL_H

#include "graph/GraphAxis.h"

#include <QMap>
#include <QModelIndex>
#include <QObject>

class Model;

// The axes of the profile graphs, by axis id: -1 the independent altitude, -2 the independent
// pressure, -3 the module axis, and 1 to 7 the dependent axes of the table's columns 1 to 7.
// The user's ranges are kept in the settings group "Axes"; every change is announced by changed().
//
// All dependent axes share one grid: setting any of them gives every dependent axis its intervals.
class GraphAxisModel : public QObject
{
    Q_OBJECT

public:
    enum AxisId { IndependentAltitude = -1, IndependentPressure = -2, ModuleAxis = -3 };

    GraphAxisModel(Model *model, QObject *parent = nullptr);
    ~GraphAxisModel() override;

    // A copy of the axis; an id never set before is given a default axis.
    GraphAxis axis(int id);
    void setAxis(int id, const GraphAxis &axis);

    void loadSettings();
    void saveSettings() const;

public slots:
    // Rows came or went: the module axis spans the rows, one interval per module.
    void rowsChanged(const QModelIndex &parent, int first, int last);

signals:
    void changed();

private:
    Model *model;
    QMap<int, GraphAxis> axes;
};

#endif
