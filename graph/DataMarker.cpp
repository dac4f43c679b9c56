#include "graph/DataMarker.h"

#include <QBrush>

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
