#include "graph/DataMarker.h"

#include <QBrush>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

// The largest factor by which the transform scales a length: the paint engine makes the curves
// of a stroke finer by it.
double scaleOf(const QTransform &t)
{
    if (t.type() <= QTransform::TxTranslate)
        return 1;
    if (t.type() == QTransform::TxScale)
        return std::max(std::abs(t.m11()), std::abs(t.m22()));
    const double columns = std::max(t.m11() * t.m11() + t.m21() * t.m21(),
                                    t.m12() * t.m12() + t.m22() * t.m22());
    return std::sqrt(columns);
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

void DataMarker::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    // As QGraphicsEllipseItem paints it: the disc, then the pen's outline. The outline is the
    // same for every marker at one scale: it is made once, not by offsetting the circle's curves
    // at every paint of every marker, which was most of the cost of a graph repaint.
    struct Outline
    {
        QRectF rect;
        QPen pen;
        double scale = 0;
        QPainterPath path;
    };
    static Outline outline;
    const double scale = scaleOf(painter->transform());
    if (outline.scale != scale || outline.rect != rect() || outline.pen != pen()) {
        QPainterPathStroker stroker(pen());
        stroker.setCurveThreshold(scale == 0 ? 0.5 : 0.25 / scale);
        QPainterPath circle;
        circle.addEllipse(rect());
        outline = {rect(), pen(), scale, stroker.createStroke(circle)};
    }
    painter->setPen(Qt::NoPen);
    painter->setBrush(brush());
    painter->drawEllipse(rect());
    painter->fillPath(outline.path, pen().brush());
}
