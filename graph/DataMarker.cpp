#include "graph/DataMarker.h"

#include "graph/StrokeOutline.h"

#include <QBrush>
#include <QHash>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <cmath>

namespace {

constexpr int stepsPerPixel = 8;

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

// The drawn markers of one scale, circle and pen, by colour and place within a pixel.
struct Copies
{
    QTransform scale;
    QRectF rect;
    QPen pen;
    QHash<quint64, QImage> images;
};

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
    if (!paintCopy(painter))
        paintCircle(painter, rect(), pen(), brush());
}

bool DataMarker::paintCopy(QPainter *painter)
{
    const QTransform transform = painter->transform();
    if (transform.type() > QTransform::TxScale || brush().style() != Qt::SolidPattern
        || painter->paintEngine()->type() != QPaintEngine::Raster
        || painter->device()->devType() != QInternal::Widget || painter->opacity() != 1
        || !painter->testRenderHint(QPainter::Antialiasing))
        return false;

    static Copies copies;
    const QTransform scale(transform.m11(), 0, 0, transform.m22(), 0, 0);
    if (copies.scale != scale || copies.rect != rect() || copies.pen != pen()) {
        copies.images.clear();
        copies.scale = scale;
        copies.rect = rect();
        copies.pen = pen();
    }
    // The marker's centre on the device, to the nearest eighth of a pixel.
    const QPointF centre = transform.map(QPointF(0, 0));
    const qint64 x = std::llround(centre.x() * stepsPerPixel);
    const qint64 y = std::llround(centre.y() * stepsPerPixel);
    const qint64 pixelX = x >= 0 ? x / stepsPerPixel : -((-x + stepsPerPixel - 1) / stepsPerPixel);
    const qint64 pixelY = y >= 0 ? y / stepsPerPixel : -((-y + stepsPerPixel - 1) / stepsPerPixel);
    const int stepX = int(x - pixelX * stepsPerPixel);
    const int stepY = int(y - pixelY * stepsPerPixel);

    const QRectF area = scale.mapRect(boundingRect());
    const int margin = int(std::ceil(std::max({-area.left(), area.right(), -area.top(),
                                               area.bottom()}))) + 1;
    const quint64 key = (quint64(brush().color().rgba()) << 16) | quint64(stepX << 8) | quint64(stepY);
    QImage &copy = copies.images[key];
    if (copy.isNull()) {
        copy = QImage(2 * margin + 1, 2 * margin + 1, QImage::Format_ARGB32_Premultiplied);
        copy.fill(Qt::transparent);
        QPainter drawing(&copy);
        drawing.setRenderHint(QPainter::Antialiasing);
        drawing.setTransform(scale * QTransform::fromTranslate(margin + double(stepX) / stepsPerPixel,
                                                               margin + double(stepY) / stepsPerPixel));
        paintCircle(&drawing, rect(), pen(), brush());
    }
    painter->resetTransform();
    painter->drawImage(QPoint(int(pixelX) - margin, int(pixelY) - margin), copy);
    painter->setTransform(transform);
    return true;
}
