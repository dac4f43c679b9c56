#include "graph/DataLine.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>

#include <algorithm>
#include <cmath>

DataLine::DataLine(const QColor &colour)
{
    setPen(QPen(colour, 3.0));
}

int DataLine::type() const
{
    return Type;
}

QLineF DataLine::dataLine() const
{
    return dataLine_;
}

void DataLine::setDataLine(const QLineF &line)
{
    dataLine_ = line;
}

QLineF DataLine::unitLine() const
{
    return unitLine_;
}

void DataLine::setUnitLine(const QLineF &line)
{
    unitLine_ = line;
}

QRectF DataLine::visibleArea() const
{
    return visibleArea_;
}

void DataLine::setVisibleArea(const QRectF &area)
{
    if (area == visibleArea_)
        return;
    prepareGeometryChange();
    visibleArea_ = area;
}

bool DataLine::visiblePart(QLineF *part) const
{
    // Asked several times per repaint (bounds, options, paint) while the line seldom moves.
    const QLineF whole = line();
    const double width = pen().widthF();
    if (whole != clippedLine || visibleArea_ != clippedArea || width != clippedWidth) {
        clippedLine = whole;
        clippedArea = visibleArea_;
        clippedWidth = width;
        clippedVisible = clip(&clippedPart);
    }
    *part = clippedPart;
    return clippedVisible;
}

bool DataLine::clip(QLineF *part) const
{
    const QLineF whole = line();
    *part = whole;
    if (visibleArea_.isNull())
        return true;
    // Liang and Barsky: the parameter range [t0, t1] of the line inside the widened area.
    const double margin = pen().widthF();
    const QRectF area = visibleArea_.adjusted(-margin, -margin, margin, margin);
    const double dx = whole.dx();
    const double dy = whole.dy();
    const double p[] = {-dx, dx, -dy, dy};
    const double q[] = {whole.x1() - area.left(), area.right() - whole.x1(),
                        whole.y1() - area.top(), area.bottom() - whole.y1()};
    double t0 = 0;
    double t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false; // parallel to this edge and outside it
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (!(t0 <= t1))
        return false;
    if (t0 > 0 || t1 < 1)
        *part = QLineF(whole.pointAt(t0), whole.pointAt(t1));
    return true;
}

QRectF DataLine::boundingRect() const
{
    QLineF part;
    if (!visiblePart(&part))
        return QRectF();
    // The pen's square caps reach half its width beyond the ends, diagonally up to 0.71 of it.
    const double reach = pen().widthF();
    return QRectF(part.p1(), part.p2()).normalized().adjusted(-reach, -reach, reach, reach);
}

QPainterPath DataLine::shape() const
{
    QLineF part;
    if (!visiblePart(&part))
        return QPainterPath();
    QPainterPath path(part.p1());
    path.lineTo(part.p2());
    QPainterPathStroker stroker(pen());
    return stroker.createStroke(path);
}

void DataLine::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    QLineF part;
    if (!visiblePart(&part))
        return;
    painter->setPen(pen());
    painter->drawLine(part);
}
