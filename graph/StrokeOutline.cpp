#include "graph/StrokeOutline.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace {

// The factor by which the transform scales lengths, as the paint engine reckons it, and whether
// it scales all directions alike.
double scaleOf(const QTransform &t, bool *uniform)
{
    if (t.type() <= QTransform::TxTranslate) {
        *uniform = true;
        return 1;
    }
    if (t.type() == QTransform::TxScale) {
        const double x = std::abs(t.m11());
        const double y = std::abs(t.m22());
        *uniform = qFuzzyCompare(x, y);
        return std::max(x, y);
    }
    // Rotation and scale: the order that makes the scales most alike is the one taken.
    const double x1 = t.m11() * t.m11() + t.m21() * t.m21();
    const double y1 = t.m12() * t.m12() + t.m22() * t.m22();
    const double x2 = t.m11() * t.m11() + t.m12() * t.m12();
    const double y2 = t.m21() * t.m21() + t.m22() * t.m22();
    const bool columns = std::abs(x1 - y1) > std::abs(x2 - y2);
    const double x = columns ? x1 : x2;
    const double y = columns ? y1 : y2;
    *uniform = t.type() == QTransform::TxRotate && qFuzzyCompare(x, y);
    return std::sqrt(std::max(x, y));
}

} // namespace

bool StrokeOutline::paint(QPainter *painter, const QPainterPath &path, const QPen &pen,
                          const QBrush &brush)
{
    bool uniform = false;
    const double scale = scaleOf(painter->transform(), &uniform);
    const bool antialiased = painter->testRenderHint(QPainter::Antialiasing);
    const double width = pen.widthF();
    if (pen.style() != Qt::SolidLine || pen.isCosmetic() || width == 0 || scale == 0
        || ((uniform || !antialiased) && width * scale <= 1))
        return false;

    if (scale != scale_ || pen != pen_ || path != path_) {
        // The engine strokes with curves made finer by the scale. The stroker makes them as
        // for a scale of 1 whatever it is told: it strokes the path scaled up, with the pen
        // widened alike, and the outline is scaled back.
        QPen scaledPen = pen;
        scaledPen.setWidthF(width * scale);
        const QPainterPathStroker stroker(scaledPen);
        outline = QTransform::fromScale(1 / scale, 1 / scale)
                      .map(stroker.createStroke(QTransform::fromScale(scale, scale).map(path)));
        path_ = path;
        pen_ = pen;
        scale_ = scale;
    }
    if (brush.style() != Qt::NoBrush)
        painter->fillPath(path, brush);
    painter->fillPath(outline, pen.brush());
    return true;
}
