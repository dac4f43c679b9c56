#ifndef VENTROLLA_GRAPH_DATAGRAPHSCENE_H
#define VENTROLLA_GRAPH_DATAGRAPHSCENE_H

#include "graph/GraphAxis.h"

#include <QColor>
#include <QFont>
#include <QGraphicsScene>
#include <QList>
#include <QModelIndex>
#include <QRectF>
#include <QTransform>
#include <QVector>

class DataLine;
class DataMarker;
class GraphAxisModel;
class GraphDataCache;
class Model;
class QGraphicsItemGroup;
class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class WindBarb;

// A live profile graph of the latest value of every flight module: one marker and one line per
// module and plotted column, one wind barb per module, frame, grid, tick labels and axis titles.
// Subclasses supply the vertical axis and the plotted columns.
//
// Values reach the plot in two steps: a column transform maps (dependent value, independent
// value) into the unit square (y = 0 at the top), then a scale by the plot size maps that into
// scene units. The plot is 400 units on its shorter side and stretches with the view's aspect.
//
// Each row is redrawn only when its cells changed (GraphDataCache); a cell without a value is
// drawn nowhere: no marker, no line to or from it, and no wind barb for a row without wind.
//
// A graph out of sight (its tab not shown) leaves its items as they are when data or axes
// change: shown again, it redraws the rows whose revision moved meanwhile.
class DataGraphScene : public QGraphicsScene
{
    Q_OBJECT

public:
    static constexpr int columnCount = 14;

    DataGraphScene(Model *model, GraphAxisModel *axes, QObject *parent = nullptr);
    ~DataGraphScene() override;

    double plotWidth() const;
    double plotHeight() const;
    QColor columnColour(int column) const;
    bool isPlotted(int column) const;
    QTransform transformOfColumn(int column) const;
    const QList<DataMarker *> &markers(int column) const;
    const QList<DataLine *> &lines(int column) const;
    const QList<WindBarb *> &windBarbs() const;
    // Shown by default.
    bool isShown() const;
    void setShown(bool shown);
    // Deferred, the rows the model changes are redrawn at redrawPendingRows(), which the window
    // calls right before it repaints, instead of at each change: fifty modules' reports within
    // one repaint cost one pass over the scene's items, not fifty. Off by default. The item
    // lists above, and a call of dataChanged() by anyone but the model, redraw at once.
    void setRedrawDeferred(bool deferred);

signals:
    // Deferred, a row changed and waits for redrawPendingRows(); once until it is called.
    void redrawRequested();

public slots:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void rowsInserted(const QModelIndex &parent, int start, int end);
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end);
    void rowsRemoved(const QModelIndex &parent, int start, int end);
    void axesChanged();
    // Redraws the rows changed since the last redraw and has the views mark what moved, so
    // the repaint that follows shows it.
    void redrawPendingRows();
    // Width over height of the view: the longer side of the plot stretches, the other stays 400.
    virtual void setAspectRatio(double ratio);

protected:
    virtual GraphAxis independentAxis() = 0;
    virtual void setupColumns() = 0;
    virtual QTransform columnTransform(const GraphAxis &dependent) = 0;
    // Unit y of each horizontal grid line; a position that is not finite gets no line.
    virtual QVector<double> horizontalGridPositions() = 0;
    virtual QString tickLabel(int i, const GraphAxis &axis);
    // Label row of a dependent axis: 0 none, -1, -2, ... above the plot, 1, 2, ... below it.
    virtual int axisPosition(int column) = 0;
    virtual void updateData();
    // NaN when the row has no value to stand at.
    virtual double independentValue(int row) = 0;
    // Grows with the independent value from the bottom of a profile to its top: lines join the
    // rows in this order. The module graph's rows stay in module order.
    virtual double lineOrder(double independent) const;

    // The construction steps that need the subclass; each subclass constructor calls it.
    void setUp();
    // The column colours every graph uses, and the plotted flag of each column given.
    void setColumnColours();
    void setPlotted(std::initializer_list<int> columns);
    // The cell of column 1 to 7 as a number; NaN when it has no value.
    double number(int row, int column) const;
    // x = (v - D.min) / (D.max - D.min), as every graph maps its dependent values.
    static QTransform dependentTransform(const GraphAxis &dependent, double yScale, double yOffset);
    static QString numericTickText(double value);

    Model *model;
    GraphAxisModel *axes;

private:
    struct ColumnRecord
    {
        QTransform transform;
        QColor colour = Qt::black;
        bool plotted = false;
    };

    void redrawChangedRows(int first, int last);
    void setRowData(int row);
    void setLineData(int column, int row);
    // Lines join each row to the one just below it by independent value: a profile runs from
    // the bottom to the top whatever the order the modules were acquired in (the module
    // graph's independent value is the row, so it keeps module order). Returns the rows whose
    // neighbour below changed.
    QVector<int> orderLines();
    void relinkLines(const QVector<int> &rows);
    void remapRow(int row);
    void remapLine(int column, int row);
    void placeRow(int row);
    void placeLine(int column, int row);
    void remapItems();
    void placeItems();
    int itemRowCount() const;

    void computeColumnTransforms();
    void rebuildGridAndLabels();
    void layout();
    double labelRowY(int position) const;
    QGraphicsSimpleTextItem *newText(const QString &text, QGraphicsItem *parent);
    QGraphicsItemGroup *newLabelGroup();

    double plotWidth_ = 400.0;
    double plotHeight_ = 400.0;
    QTransform plotScale;
    QRectF contentRect;
    QFont font;
    ColumnRecord columns[columnCount];
    QList<DataMarker *> markers_[columnCount];
    QList<DataLine *> lines_[columnCount];
    QList<WindBarb *> windBarbs_;
    GraphDataCache *cache;
    QVector<quint64> drawnRevisions; // per row, the cache revision its items show
    quint64 drawnIdentifierRevision = 0;
    bool shown_ = true;
    bool axesChangedUnseen = false; // while not shown
    bool redrawDeferred = false;
    bool redrawPending = false; // deferred rows changed since the last redraw
    QVector<int> rowBelow; // per row, the row its lines come from; -1 for none
    QVector<int> rowAbove; // per row, the row whose lines come from it; -1 for none

    QGraphicsRectItem *frame = nullptr;
    QGraphicsItemGroup *maskGroup = nullptr;
    QGraphicsRectItem *rightMask = nullptr;
    QGraphicsRectItem *bottomMask = nullptr;
    QList<QGraphicsLineItem *> horizontalGridLines;
    QList<QGraphicsLineItem *> verticalGridLines;
    QGraphicsItemGroup *verticalTickLabels = nullptr;
    QGraphicsItemGroup *dependentTickLabels = nullptr;
    QGraphicsItemGroup *dependentTitles = nullptr;
    QGraphicsItemGroup *verticalTitleGroup = nullptr;
    QGraphicsSimpleTextItem *verticalTitle = nullptr;
};

#endif
