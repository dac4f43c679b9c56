#include "graph/DataMarker.h"

#include "graph/StrokeOutline.h"

#include <QBrush>
#include <QPainter>

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
    // Every marker has the same circle and pen: one outline serves them all.
    static StrokeOutline outline;
    static QRectF circleRect;
    static QPainterPath circle;
    if (circleRect != rect()) {
        circleRect = rect();
        circle = QPainterPath();
        circle.addEllipse(circleRect);
    }
    if (!outline.paint(painter, circle, pen(), brush()))
        QGraphicsEllipseItem::paint(painter, option, widget);
}
