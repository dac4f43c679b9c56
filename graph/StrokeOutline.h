#ifndef VENTROLLA_GRAPH_STROKEOUTLINE_H
#define VENTROLLA_GRAPH_STROKEOUTLINE_H

#include <QBrush>
#include <QPainterPath>
#include <QPen>

class QPainter;

// Draws a path as QPainter::drawPath does (the brush's fill, then the pen's stroke) with the
// stroke's outline kept between paints. For a pen wider than a pixel the paint engine makes that
// outline anew at every paint, offsetting every curve of the path; a graph repaint spent most of
// its time there. The outline is made as the engine makes it, with the curve threshold the
// engine takes from the scale, so the pixels are the same; it is made again when the path, the
// pen or the scale change.
class StrokeOutline
{
public:
    // False, with nothing painted, where the engine draws the stroke with its thin-line
    // rasteriser instead (the pen a pixel wide or less on the device): the caller then paints
    // as it would without this.
    bool paint(QPainter *painter, const QPainterPath &path, const QPen &pen, const QBrush &brush);

private:
    QPainterPath path_;
    QPen pen_;
    double scale_ = -1;
    QPainterPath outline;
};

#endif
