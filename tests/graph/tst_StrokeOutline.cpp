// Markers and wind barbs draw their pen's outline from a kept stroke; the pixels must be those
// the stock items draw, at every scale of the view (a pen a pixel wide or less goes through the
// engine's thin-line rasteriser), at fractional positions and in every direction.

#include "TestSupport.h"
#include "graph/DataMarker.h"
#include "graph/WindBarb.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// The item painted at scene position (x, y) under the view's scale.
QImage picture(QGraphicsItem &item, double scale, double x, double y)
{
    QImage image(240, 240, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    item.setPos(x, y);
    painter.setTransform(item.sceneTransform() * QTransform::fromScale(scale, scale));
    QStyleOptionGraphicsItem option;
    item.paint(&painter, &option, nullptr);
    return image;
}

} // namespace

class TestStrokeOutline : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void samePixelsAsTheStockItems_data()
    {
        QTest::addColumn<double>("scale");
        for (const double scale : {0.4, 0.9, 1.0, 1.37, 2.5, 3.1})
            QTest::addRow("scale %g", scale) << scale;
    }

    void samePixelsAsTheStockItems()
    {
        QFETCH(double, scale);
        QGraphicsEllipseItem stockMarker(marker.rect());
        stockMarker.setBrush(marker.brush());
        stockMarker.setPen(marker.pen());
        QGraphicsPathItem stockBarb;
        stockBarb.setPen(barb.pen());
        stockBarb.setBrush(barb.brush());
        for (const double at : {30.3, 41.77}) {
            QCOMPARE(picture(marker, scale, at, at), picture(stockMarker, scale, at, at));
            for (const auto &[speed, direction] : {std::pair{0.0, 0}, {7.0, 30}, {63.0, 200},
                                                   {12.0, 315}}) {
                barb.setSpeed(speed);
                barb.setDirection(direction);
                stockBarb.setPath(barb.path());
                stockBarb.setTransform(barb.transform());
                stockBarb.setRotation(barb.rotation());
                QCOMPARE(picture(barb, scale, at + 40, at + 40),
                         picture(stockBarb, scale, at + 40, at + 40));
            }
        }
    }

private:
    // One marker and one barb serve every case: their kept outlines must follow the scale and
    // the symbol.
    DataMarker marker{Qt::darkGreen};
    WindBarb barb{Qt::black};
};

VENTROLLA_GUI_TEST_MAIN(TestStrokeOutline)
#include "tst_StrokeOutline.moc"
