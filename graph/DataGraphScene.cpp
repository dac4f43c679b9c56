#include "graph/DataGraphScene.h"

#include "core/Model.h"
#include "graph/DataLine.h"
#include "graph/DataMarker.h"
#include "graph/GraphAxisModel.h"
#include "graph/GraphDataCache.h"
#include "graph/WindBarb.h"
#include "link/FlightModule.h"

#include <QBrush>
#include <QCoreApplication>
#include <QGraphicsItemGroup>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

constexpr double basePlotSize = 400.0;
constexpr double labelGap = 15.0;   // between the plot and its labels, and labels and titles
constexpr double labelRowStep = 18.0;
constexpr double barbColumnOffset = 50.0;
constexpr int unitKey = 0;          // item data: unit position of a grid line or tick label
constexpr int rowKey = 1;           // item data: label row of a dependent axis

// Markers exactly on the frame are shown despite rounding.
bool insideUnit(double v)
{
    return v >= -0.00001 && v <= 1.00001;
}

bool finite(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

bool finite(const QLineF &l)
{
    return finite(l.p1()) && finite(l.p2());
}

} // namespace

DataGraphScene::DataGraphScene(Model *model, GraphAxisModel *axes, QObject *parent)
    : QGraphicsScene(parent), model(model), axes(axes), cache(GraphDataCache::of(model))
{
    // Markers, lines and barbs move with every data set: a spatial index would be rebuilt all
    // the time for a few hundred items.
    setItemIndexMethod(QGraphicsScene::NoIndex);

    connect(model, &QAbstractItemModel::dataChanged, this, &DataGraphScene::dataChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &DataGraphScene::rowsInserted);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &DataGraphScene::rowsAboutToBeRemoved);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &DataGraphScene::rowsRemoved);
    connect(axes, &GraphAxisModel::changed, this, &DataGraphScene::axesChanged);
}

DataGraphScene::~DataGraphScene() = default;

double DataGraphScene::plotWidth() const
{
    return plotWidth_;
}

double DataGraphScene::plotHeight() const
{
    return plotHeight_;
}

QColor DataGraphScene::columnColour(int column) const
{
    return column >= 0 && column < columnCount ? columns[column].colour : QColor();
}

bool DataGraphScene::isPlotted(int column) const
{
    return column >= 0 && column < columnCount && columns[column].plotted;
}

QTransform DataGraphScene::transformOfColumn(int column) const
{
    return column >= 0 && column < columnCount ? columns[column].transform : QTransform();
}

// The items are handed out as the rows now stand, even between two repaints.
const QList<DataMarker *> &DataGraphScene::markers(int column) const
{
    static const QList<DataMarker *> none;
    const_cast<DataGraphScene *>(this)->redrawPendingRows();
    return column >= 0 && column < columnCount ? markers_[column] : none;
}

const QList<DataLine *> &DataGraphScene::lines(int column) const
{
    static const QList<DataLine *> none;
    const_cast<DataGraphScene *>(this)->redrawPendingRows();
    return column >= 0 && column < columnCount ? lines_[column] : none;
}

const QList<WindBarb *> &DataGraphScene::windBarbs() const
{
    const_cast<DataGraphScene *>(this)->redrawPendingRows();
    return windBarbs_;
}

bool DataGraphScene::isShown() const
{
    return shown_;
}

void DataGraphScene::setShown(bool shown)
{
    if (shown == shown_)
        return;
    shown_ = shown;
    if (!shown)
        return;
    if (axesChangedUnseen)
        axesChanged();
    redrawPending = false;
    redrawChangedRows(0, itemRowCount() - 1);
}

void DataGraphScene::setRedrawDeferred(bool deferred)
{
    redrawDeferred = deferred;
    if (!deferred)
        redrawPendingRows();
}

void DataGraphScene::redrawPendingRows()
{
    if (!redrawPending || !shown_)
        return;
    redrawPending = false;
    redrawChangedRows(0, itemRowCount() - 1);
    // The scene works out what its moved items uncover when control next reaches the event
    // loop; the repaint about to happen must know it now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

// ---- construction ----

void DataGraphScene::setUp()
{
    plotWidth_ = basePlotSize;
    plotHeight_ = basePlotSize;
    plotScale = QTransform::fromScale(plotWidth_, plotHeight_);
    contentRect = QRectF(0, 0, plotWidth_ + 100, plotHeight_);
    font = QFont(QStringLiteral("Sans Serif"), 12);

    setupColumns();

    frame = addRect(QRectF(0, 0, plotWidth_, plotHeight_));
    frame->setZValue(3);

    // White masks hide what lies outside the plot: lines below them are cut at the frame.
    maskGroup = new QGraphicsItemGroup;
    for (const QRectF &rect : {QRectF(-10000, -10000, 20000, 10000),
                               QRectF(-10000, -10000, 10000, 20000)}) {
        auto *mask = new QGraphicsRectItem(rect);
        mask->setPen(Qt::NoPen);
        mask->setBrush(Qt::white);
        maskGroup->addToGroup(mask);
    }
    maskGroup->setZValue(2);
    addItem(maskGroup);
    rightMask = addRect(QRectF(0, -10000, 10000, 20000), Qt::NoPen, Qt::white);
    rightMask->setPos(plotWidth_, 0);
    rightMask->setZValue(2);
    bottomMask = addRect(QRectF(-10000, 0, 20000, 20000), Qt::NoPen, Qt::white);
    bottomMask->setPos(0, plotHeight_);
    bottomMask->setZValue(2);

    verticalTickLabels = newLabelGroup();
    dependentTickLabels = newLabelGroup();
    dependentTitles = newLabelGroup();
    verticalTitleGroup = newLabelGroup();

    verticalTitle = newText(independentAxis().title(), verticalTitleGroup);
    verticalTitle->setRotation(-90);
    verticalTitle->setZValue(3);

    for (int column = 1; column < columnCount; ++column) {
        const int position = axisPosition(column);
        if (position == 0)
            continue;
        QGraphicsSimpleTextItem *title = newText(axes->axis(column).title(), dependentTitles);
        title->setBrush(columns[column].colour);
        title->setData(rowKey, position);
    }

    computeColumnTransforms();
    rebuildGridAndLabels();
    const int rows = model->rowCount();
    if (rows > 0)
        rowsInserted(QModelIndex(), 0, rows - 1);
}

void DataGraphScene::setColumnColours()
{
    static const Qt::GlobalColor colours[] = {
        Qt::black, Qt::darkCyan, Qt::darkGreen, Qt::red, Qt::blue, Qt::gray, Qt::black, Qt::gray,
    };
    for (int column = 0; column < columnCount; ++column)
        columns[column].colour = column < 8 ? colours[column] : Qt::black;
}

void DataGraphScene::setPlotted(std::initializer_list<int> plotted)
{
    for (const int column : plotted) {
        if (column >= 0 && column < columnCount)
            columns[column].plotted = true;
    }
}

QTransform DataGraphScene::dependentTransform(const GraphAxis &dependent, double yScale,
                                              double yOffset)
{
    const double xScale = 1.0 / (dependent.maximum() - dependent.minimum());
    return QTransform(xScale, 0, 0, yScale, -dependent.minimum() * xScale, yOffset);
}

void DataGraphScene::computeColumnTransforms()
{
    for (int column = 0; column < columnCount; ++column)
        columns[column].transform = columnTransform(axes->axis(column));
}

// ---- model signals ----

void DataGraphScene::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    int first = 0;
    int last = itemRowCount() - 1;
    if (topLeft.isValid() && bottomRight.isValid()) {
        first = std::max(first, topLeft.row());
        last = std::min(last, bottomRight.row());
    }
    // From the model the cache has read the change already; called otherwise, it reads now.
    if (sender() != model)
        cache->refresh(first, last);
    if (!shown_)
        return;
    // Called by anyone else than the model, the slot redraws at once.
    if (!redrawDeferred || sender() != model) {
        redrawChangedRows(first, last);
    } else if (!redrawPending) {
        redrawPending = true;
        emit redrawRequested();
    }
}

void DataGraphScene::redrawChangedRows(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        if (drawnRevisions[row] == cache->revision(row))
            continue;
        drawnRevisions[row] = cache->revision(row);
        setRowData(row);
        remapRow(row);
        placeRow(row);
    }
    relinkLines(orderLines());
    // Module identifiers are the module graph's tick labels.
    if (drawnIdentifierRevision != cache->identifierRevision())
        rebuildGridAndLabels();
}

void DataGraphScene::rowsInserted(const QModelIndex &parent, int start, int end)
{
    if (parent.isValid())
        return;
    start = std::clamp(start, 0, itemRowCount());
    end = std::min(end, model->rowCount() - 1);
    if (end < start)
        return;
    const int count = end - start + 1;

    for (int column = 0; column < columnCount; ++column) {
        if (!columns[column].plotted)
            continue;
        for (int row = start; row <= end; ++row) {
            auto *marker = new DataMarker(columns[column].colour);
            marker->setZValue(4);
            markers_[column].insert(row, marker);
            addItem(marker);
            auto *line = new DataLine(columns[column].colour);
            line->setZValue(1);
            lines_[column].insert(row, line);
            addItem(line);
        }
    }
    for (int row = start; row <= end; ++row) {
        auto *barb = new WindBarb(Qt::black);
        barb->setWindUnits(model->windUnits());
        barb->setZValue(4);
        windBarbs_.insert(row, barb);
        addItem(barb);
    }
    drawnRevisions.insert(start, count, 0);
    // Row numbers moved: the next ordering links every row again.
    rowBelow.fill(-1, itemRowCount());
    rowAbove.fill(-1, itemRowCount());

    updateData();
    remapItems();
    placeItems();
}

void DataGraphScene::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    if (parent.isValid())
        return;
    start = std::max(start, 0);
    end = std::min(end, itemRowCount() - 1);
    if (end < start)
        return;
    for (int row = end; row >= start; --row) {
        for (int column = 0; column < columnCount; ++column) {
            if (!columns[column].plotted)
                continue;
            delete markers_[column].takeAt(row);
            delete lines_[column].takeAt(row);
        }
        delete windBarbs_.takeAt(row);
    }
    drawnRevisions.remove(start, end - start + 1);
    rowBelow.fill(-1, itemRowCount());
    rowAbove.fill(-1, itemRowCount());
}

void DataGraphScene::rowsRemoved(const QModelIndex &, int, int)
{
    updateData();
    remapItems();
    placeItems();
}

void DataGraphScene::axesChanged()
{
    axesChangedUnseen = !shown_;
    if (!shown_)
        return;
    computeColumnTransforms();
    rebuildGridAndLabels();
}

void DataGraphScene::setAspectRatio(double ratio)
{
    // A view without height gives no usable ratio: keep the square plot.
    if (!std::isfinite(ratio) || ratio <= 0) {
        plotWidth_ = basePlotSize;
        plotHeight_ = basePlotSize;
    } else if (ratio >= 1) {
        plotHeight_ = basePlotSize;
        plotWidth_ = basePlotSize * ratio;
    } else {
        plotWidth_ = basePlotSize;
        plotHeight_ = basePlotSize / ratio;
    }
    plotScale = QTransform::fromScale(plotWidth_, plotHeight_);
    contentRect = QRectF(0, 0, plotWidth_ + 100, plotHeight_);
    layout();
    placeItems();
}

// ---- data ----

int DataGraphScene::itemRowCount() const
{
    return windBarbs_.size();
}

double DataGraphScene::number(int row, int column) const
{
    return cache->value(row, column);
}

void DataGraphScene::updateData()
{
    for (int row = 0; row < itemRowCount(); ++row) {
        drawnRevisions[row] = cache->revision(row);
        setRowData(row);
    }
    relinkLines(orderLines());
}

void DataGraphScene::setRowData(int row)
{
    const double independent = independentValue(row);
    for (int column = 0; column < columnCount; ++column) {
        if (!columns[column].plotted)
            continue;
        markers_[column][row]->setDataPoint(QPointF(number(row, column), independent));
        setLineData(column, row);
        if (rowAbove[row] >= 0)
            setLineData(column, rowAbove[row]);
    }
    WindBarb *barb = windBarbs_[row];
    if (cache->hasWind(row)) {
        barb->setSpeed(number(row, FlightModule::WindSpeedColumn));
        barb->setDirection(qRound(number(row, FlightModule::WindDirectionColumn)));
    }
    barb->setDataValue(independent);
}

void DataGraphScene::setLineData(int column, int row)
{
    const QPointF point = markers_[column][row]->dataPoint();
    const QPointF previous = rowBelow[row] >= 0 ? markers_[column][rowBelow[row]]->dataPoint()
                                                : point;
    lines_[column][row]->setDataLine(QLineF(previous, point));
}

double DataGraphScene::lineOrder(double independent) const
{
    return independent;
}

QVector<int> DataGraphScene::orderLines()
{
    const int rows = itemRowCount();
    // A row's independent value is that of its wind barb, set with its markers.
    QVector<QPair<double, int>> order;
    order.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const double key = lineOrder(windBarbs_[row]->dataValue());
        if (std::isfinite(key))
            order.append({key, row});
    }
    // Equal heights keep module order, so modules at one height do not swap their lines with
    // every data set.
    std::sort(order.begin(), order.end());

    QVector<int> below(rows, -1);
    for (int i = 1; i < order.size(); ++i)
        below[order[i].second] = order[i - 1].second;
    QVector<int> moved;
    rowAbove.fill(-1, rows);
    for (int row = 0; row < rows; ++row) {
        if (below[row] >= 0)
            rowAbove[below[row]] = row;
        if (below[row] != rowBelow[row])
            moved.append(row);
    }
    rowBelow.swap(below);
    return moved;
}

void DataGraphScene::relinkLines(const QVector<int> &rows)
{
    for (const int row : rows) {
        for (int column = 0; column < columnCount; ++column) {
            if (!columns[column].plotted)
                continue;
            setLineData(column, row);
            remapLine(column, row);
            placeLine(column, row);
        }
    }
}

void DataGraphScene::remapRow(int row)
{
    for (int column = 0; column < columnCount; ++column) {
        if (!columns[column].plotted)
            continue;
        DataMarker *marker = markers_[column][row];
        const QPointF unit = columns[column].transform.map(marker->dataPoint());
        marker->setUnitPoint(unit);
        marker->setVisible(insideUnit(unit.x()) && insideUnit(unit.y()));
        remapLine(column, row);
        if (rowAbove[row] >= 0)
            remapLine(column, rowAbove[row]);
    }
    WindBarb *barb = windBarbs_[row];
    const double unitY = columns[FlightModule::WindSpeedColumn]
                             .transform.map(QPointF(0, barb->dataValue()))
                             .y();
    barb->setUnitY(unitY);
    barb->setVisible(cache->hasWind(row) && unitY >= 0 && unitY <= 1);
}

void DataGraphScene::remapLine(int column, int row)
{
    DataLine *line = lines_[column][row];
    const QLineF unit = columns[column].transform.map(line->dataLine());
    line->setUnitLine(unit);
    // A line to or from a cell without a value is not drawn; others are cut by the masks.
    line->setVisible(finite(unit));
}

void DataGraphScene::placeRow(int row)
{
    for (int column = 0; column < columnCount; ++column) {
        if (!columns[column].plotted)
            continue;
        DataMarker *marker = markers_[column][row];
        if (finite(marker->unitPoint()))
            marker->setPos(plotScale.map(marker->unitPoint()));
        placeLine(column, row);
        if (rowAbove[row] >= 0)
            placeLine(column, rowAbove[row]);
    }
    WindBarb *barb = windBarbs_[row];
    if (std::isfinite(barb->unitY()))
        barb->setPos(plotWidth_ + barbColumnOffset, barb->unitY() * plotHeight_);
}

void DataGraphScene::placeLine(int column, int row)
{
    DataLine *line = lines_[column][row];
    // What lies outside the plot is under the masks: the line need not draw it.
    line->setVisibleArea(QRectF(0, 0, plotWidth_, plotHeight_));
    if (finite(line->unitLine()))
        line->setLine(plotScale.map(line->unitLine()));
}

void DataGraphScene::remapItems()
{
    for (int row = 0; row < itemRowCount(); ++row)
        remapRow(row);
}

void DataGraphScene::placeItems()
{
    for (int row = 0; row < itemRowCount(); ++row)
        placeRow(row);
}

// ---- grid, labels and layout ----

QString DataGraphScene::tickLabel(int i, const GraphAxis &axis)
{
    return numericTickText(axis.minimum() + i * axis.gridIntervalSize());
}

QString DataGraphScene::numericTickText(double value)
{
    return QString::number(std::floor(value * 100 + 0.5) / 100, 'g', 6);
}

void DataGraphScene::rebuildGridAndLabels()
{
    drawnIdentifierRevision = cache->identifierRevision();
    qDeleteAll(horizontalGridLines);
    horizontalGridLines.clear();
    qDeleteAll(verticalGridLines);
    verticalGridLines.clear();
    qDeleteAll(verticalTickLabels->childItems());
    qDeleteAll(dependentTickLabels->childItems());

    const auto newGridLine = [this](double unitPosition) {
        auto *line = new QGraphicsLineItem;
        line->setZValue(1);
        line->setData(unitKey, unitPosition);
        addItem(line);
        return line;
    };

    const QVector<double> rows = horizontalGridPositions();
    const GraphAxis vertical = independentAxis();
    for (int i = 0; i < rows.size(); ++i) {
        if (!std::isfinite(rows[i]))
            continue;
        horizontalGridLines.append(newGridLine(rows[i]));
        newText(tickLabel(i, vertical), verticalTickLabels)->setData(unitKey, rows[i]);
    }

    // Every dependent axis has the temperature axis's intervals (they share one grid); each
    // label shows the value of its own axis at its grid line.
    const int n = axes->axis(3).gridIntervals();
    for (int i = 0; i <= n; ++i)
        verticalGridLines.append(newGridLine(double(i) / n));
    for (int column = 1; column < columnCount; ++column) {
        const int position = axisPosition(column);
        if (!columns[column].plotted || position == 0)
            continue;
        const GraphAxis axis = axes->axis(column);
        const double step = (axis.maximum() - axis.minimum()) / n;
        for (int i = 0; i <= n; ++i) {
            QGraphicsSimpleTextItem *label =
                newText(numericTickText(axis.minimum() + i * step), dependentTickLabels);
            label->setBrush(columns[column].colour);
            label->setData(unitKey, double(i) / n);
            label->setData(rowKey, position);
        }
    }

    layout();
    remapItems();
    placeItems();
}

double DataGraphScene::labelRowY(int position) const
{
    return position < 0 ? position * labelRowStep - labelGap
                        : plotHeight_ + labelGap + (position - 1) * labelRowStep;
}

void DataGraphScene::layout()
{
    frame->setRect(0, 0, plotWidth_, plotHeight_);
    rightMask->setPos(plotWidth_, 0);
    bottomMask->setPos(0, plotHeight_);
    for (QGraphicsLineItem *line : qAsConst(horizontalGridLines)) {
        const double y = line->data(unitKey).toDouble() * plotHeight_;
        line->setLine(0, y, plotWidth_, y);
    }
    for (QGraphicsLineItem *line : qAsConst(verticalGridLines)) {
        const double x = line->data(unitKey).toDouble() * plotWidth_;
        line->setLine(x, 0, x, plotHeight_);
    }

    double verticalLabelsLeft = -labelGap;
    const QList<QGraphicsItem *> verticalLabels = verticalTickLabels->childItems();
    for (QGraphicsItem *label : verticalLabels) {
        const QRectF bounds = label->boundingRect();
        const double y = label->data(unitKey).toDouble() * plotHeight_;
        label->setPos(-bounds.width() - labelGap, y - bounds.height() / 2);
        verticalLabelsLeft = std::min(verticalLabelsLeft, label->x());
    }

    // Rotated, the title's height lies along x: its right edge 15 left of the tick labels.
    const QRectF titleBounds = verticalTitle->boundingRect();
    verticalTitle->setPos(verticalLabelsLeft - labelGap - titleBounds.height(),
                          (plotHeight_ + titleBounds.width()) / 2);

    const QList<QGraphicsItem *> dependentLabels = dependentTickLabels->childItems();
    double dependentLabelsLeft = dependentLabels.isEmpty() ? 0.0 : qInf();
    for (QGraphicsItem *label : dependentLabels) {
        const double width = label->boundingRect().width();
        label->setPos(label->data(unitKey).toDouble() * plotWidth_ - width / 2,
                      labelRowY(label->data(rowKey).toInt()));
        dependentLabelsLeft = std::min(dependentLabelsLeft, label->x());
    }
    const QList<QGraphicsItem *> titles = dependentTitles->childItems();
    for (QGraphicsItem *title : titles) {
        title->setPos(dependentLabelsLeft - labelGap - title->boundingRect().width(),
                      labelRowY(title->data(rowKey).toInt()));
    }

    QRectF bounds = contentRect;
    for (const QGraphicsItemGroup *group :
         {verticalTickLabels, dependentTickLabels, dependentTitles, verticalTitleGroup})
        bounds |= group->mapRectToScene(group->childrenBoundingRect());
    setSceneRect(bounds);
}

QGraphicsSimpleTextItem *DataGraphScene::newText(const QString &text, QGraphicsItem *parent)
{
    auto *item = new QGraphicsSimpleTextItem(text, parent);
    item->setFont(font);
    // Labels stay put while the data moves under and around them: kept as pixels, they are not
    // laid out and drawn again at every repaint of the plot.
    item->setCacheMode(QGraphicsItem::DeviceCoordinateCache);
    return item;
}

QGraphicsItemGroup *DataGraphScene::newLabelGroup()
{
    auto *group = new QGraphicsItemGroup;
    group->setZValue(3);
    addItem(group);
    return group;
}
