#ifndef VENTROLLA_GRAPH_AXISFITTER_H
#define VENTROLLA_GRAPH_AXISFITTER_H

#include "graph/GraphAxis.h"

#include <QObject>
#include <QTimer>
#include <QVector>

class GraphAxisModel;
class GraphDataCache;
class Model;

// Sets the axes of a profile graph to round limits that enclose the values it draws, with a
// margin, and stores them as the axis dialog does. A graph is named by its independent axis
// (GraphAxisModel::IndependentAltitude, IndependentPressure or ModuleAxis); its axes are that
// axis (not the module axis, which follows the rows) and its plotted dependent axes.
//
// Round limits: every grid step is 1, 2 or 5 times a power of ten and the axis keeps its number
// of intervals, so the limits are whole multiples of the step. Limits stay within the axis's
// lower and upper limits, as in the dialog. An axis with no value drawn keeps its limits.
//
// Switched to automatic, it refits the graph in view whenever a value leaves its axis, at most
// once a second, and never narrows an axis while the modules run: the picture grows with the
// sounding and does not jump back and forth.
class AxisFitter : public QObject
{
    Q_OBJECT

public:
    static constexpr int minimumFitSpacingMs = 1000;

    AxisFitter(Model *model, GraphAxisModel *axes, QObject *parent = nullptr);

    // The axis with round limits enclosing low..high plus a margin, or also its present range
    // when it may not narrow; the axis as it is when low..high is not a finite range.
    static GraphAxis fitted(const GraphAxis &axis, double low, double high, bool mayNarrow);
    // The axes the graph draws against, the fitted ones.
    static QVector<int> axesOfGraph(int graph);

    // The lowest and highest value drawn on the axis in the graph: a value counts where the
    // graph places its row (a finite height, a positive pressure). False when there is none.
    bool valueRange(int graph, int axisId, double *low, double *high) const;
    bool hasValueOutsideAxes(int graph) const;

    int graph() const;
    void setGraph(int graph);
    bool isAutomatic() const;
    void setAutomatic(bool automatic);

public slots:
    // Fits every axis of the graph in view that has a value drawn.
    void fit();
    // The automatic fit's check: refits when a value lies outside its axis, now or, within a
    // second of the last fit, when that second is over.
    void check();

private slots:
    // The held fit, a second after the last.
    void fitHeld();

private:
    void fitGraph(bool mayNarrow);

    Model *model;
    GraphAxisModel *axes;
    GraphDataCache *cache;
    int graph_;
    bool automatic = false;
    qint64 lastFitMs = -1; // on the model's clock; -1 before the first fit
    QTimer heldFit;
};

#endif
