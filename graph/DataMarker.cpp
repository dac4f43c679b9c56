#include "graph/DataMarker.h"

#include "graph/ScreenCopy.h"
#include "graph/StrokeOutline.h"

#include <QBrush>
#include <QPainter>

namespace {

// Every marker has the same circle and pen: one outline serves them all.
StrokeOutline outline;
QRectF circleRect;
QPainterPath circle;

void paintCircle(QPainter *painter, const QRectF &rect, const QPen &pen, const QBrush &brush)
{
    if (circleRect != rect) {
        circleRect = rect;
        circle = QPainterPath();
        circle.addEllipse(circleRect);
    }
    if (!outline.paint(painter, circle, pen, brush)) {
        painter->setPen(pen);
        painter->setBrush(brush);
        painter->drawEllipse(rect);
    }
}

} // namespace

DataMarker::DataMarker(const QColor &colour) : QGraphicsEllipseItem(-7, -7, 14, 14)
{
    setBrush(QBrush(colour));
}

int DataMarker::type() const
{
    return Type;
}

QPointF DataMarker::dataPoint() const
{
    return dataPoint_;
}

void DataMarker::setDataPoint(const QPointF &point)
{
    dataPoint_ = point;
}

QPointF DataMarker::unitPoint() const
{
    return unitPoint_;
}

void DataMarker::setUnitPoint(const QPointF &point)
{
    unitPoint_ = point;
}

void DataMarker::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    // Every marker has the same circle and pen; the copies differ by colour alone.
    static ScreenCopy copies(4096);
    static QRectF copiedRect;
    static QPen copiedPen;
    if (copiedRect != rect() || copiedPen != pen()) {
        copies.clear();
        copiedRect = rect();
        copiedPen = pen();
    }
    const auto draw = [this](QPainter *on) { paintCircle(on, rect(), pen(), brush()); };
    if (brush().style() != Qt::SolidPattern
        || !copies.paint(painter, boundingRect(), brush().color().rgba(), draw))
        draw(painter);
}
