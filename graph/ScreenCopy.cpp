#include "graph/ScreenCopy.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int stepsPerPixel = 8;

// The pixel and the eighth within it of a device coordinate.
std::pair<int, int> pixelAndStep(double coordinate)
{
    const qint64 steps = std::llround(coordinate * stepsPerPixel);
    const qint64 pixel = steps >= 0 ? steps / stepsPerPixel
                                    : -((-steps + stepsPerPixel - 1) / stepsPerPixel);
    return {int(pixel), int(steps - pixel * stepsPerPixel)};
}

} // namespace

ScreenCopy::ScreenCopy(int capacity) : capacity(std::max(capacity, 1)) {}

void ScreenCopy::clear()
{
    images.clear();
    order.clear();
}

bool ScreenCopy::paint(QPainter *painter, const QRectF &bounds, quint64 key,
                       const std::function<void(QPainter *)> &draw)
{
    const QTransform transform = painter->transform();
    if (transform.type() > QTransform::TxShear
        || painter->paintEngine()->type() != QPaintEngine::Raster
        || painter->device()->devType() != QInternal::Widget || painter->opacity() != 1
        || !painter->testRenderHint(QPainter::Antialiasing))
        return false;

    const QTransform withoutTranslation(transform.m11(), transform.m12(), transform.m21(),
                                        transform.m22(), 0, 0);
    if (withoutTranslation != linear) {
        clear();
        linear = withoutTranslation;
    }
    const QPointF origin = transform.map(QPointF(0, 0));
    const auto [pixelX, stepX] = pixelAndStep(origin.x());
    const auto [pixelY, stepY] = pixelAndStep(origin.y());
    // The copy's pixels around the origin's pixel: the drawing's bounds with a pixel to spare
    // for antialiasing and the place within the pixel.
    const QRectF area = linear.mapRect(bounds);
    const int left = int(std::floor(area.left())) - 1;
    const int top = int(std::floor(area.top())) - 1;
    const QSize size(int(std::ceil(area.right())) + 2 - left, int(std::ceil(area.bottom())) + 2 - top);
    // The key's low 16 bits are the item's place within the pixel.
    const quint64 fullKey = (key << 16) | quint64(stepX << 8) | quint64(stepY);
    auto found = images.find(fullKey);
    if (found == images.end()) {
        if (images.size() >= capacity)
            images.remove(order.takeFirst());
        QImage copy(size, QImage::Format_ARGB32_Premultiplied);
        copy.fill(Qt::transparent);
        QPainter drawing(&copy);
        drawing.setRenderHints(painter->renderHints());
        drawing.setPen(painter->pen());
        drawing.setBrush(painter->brush());
        drawing.setTransform(linear * QTransform::fromTranslate(
                                          double(stepX) / stepsPerPixel - left,
                                          double(stepY) / stepsPerPixel - top));
        draw(&drawing);
        drawing.end();
        found = images.insert(fullKey, copy);
        order.append(fullKey);
    }
    painter->resetTransform();
    painter->drawImage(QPoint(pixelX + left, pixelY + top), *found);
    painter->setTransform(transform);
    return true;
}
