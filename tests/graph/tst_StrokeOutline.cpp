// Markers and wind barbs draw their pen's outline from a kept stroke; the pixels must be those
// the stock items draw, at every scale of the view (a pen a pixel wide or less goes through the
// engine's thin-line rasteriser), at fractional positions and in every direction. On the screen
// markers and barbs are copies of drawn ones: to the eye the same, in place to a sixteenth of a
// pixel.

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

// A view of one item as the window shows it: what reached the window's pixels.
struct OnScreen
{
    OnScreen(QGraphicsItem *item, double scale)
    {
        scene.setSceneRect(0, 0, 100, 100);
        scene.addItem(item);
        view.setScene(&scene);
        view.setRenderHint(QPainter::Antialiasing);
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setFrameShape(QFrame::NoFrame);
        view.setTransform(QTransform::fromScale(scale, scale));
        view.resize(int(100 * scale) + 2, int(100 * scale) + 2);
        view.show();
    }

    QImage pixels()
    {
        QCoreApplication::processEvents();
        view.viewport()->repaint();
        const auto *window = static_cast<QImage *>(view.backingStore()->paintDevice());
        return window->copy(QRect(QPoint(0, 0), view.viewport()->size()));
    }

    QGraphicsScene scene;
    QGraphicsView view;
};

// The largest difference of any colour channel between two pictures of one size.
int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return largest;
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

    void onTheScreenTheyLookTheSame_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("at");
        QTest::addColumn<int>("allowed");
        // A place on the eighth of a pixel is copied from a drawing at that very place.
        QTest::newRow("on an eighth") << 1.0 << 30.375 << 2;
        QTest::newRow("large, on an eighth") << 2.5 << 41.75 << 2;
        // Otherwise an edge pixel may differ by what a sixteenth of a pixel covers, more where
        // edges meet at a slant: a quarter of the full scale at most, where a misplaced or
        // stale copy differs by most of it.
        QTest::newRow("between eighths") << 1.37 << 30.3 << 64;
        QTest::newRow("large, between eighths") << 2.5 << 41.77 << 64;
    }

    void onTheScreenTheyLookTheSame()
    {
        QFETCH(double, scale);
        QFETCH(double, at);
        QFETCH(int, allowed);
        auto *copied = new QGraphicsRectItem(0, 0, 1, 1);
        copied->setPen(Qt::NoPen);
        auto *stock = new QGraphicsRectItem(0, 0, 1, 1);
        stock->setPen(Qt::NoPen);
        // Two colours at one place within the pixel: a copy of one must not stand for the other.
        for (const auto &[colour, place] : {std::pair<QColor, QPointF>{Qt::darkGreen, {at, at}},
                                            {Qt::red, {at + 30 / scale, at}}}) {
            auto *marker = new DataMarker(colour);
            marker->setPos(place);
            marker->setParentItem(copied);
            auto *ellipse = new QGraphicsEllipseItem(marker->rect(), stock);
            ellipse->setBrush(marker->brush());
            ellipse->setPen(marker->pen());
            ellipse->setPos(place);
        }
        auto *windBarb = new WindBarb(Qt::blue);
        windBarb->setParentItem(copied);
        auto *stockBarb = new QGraphicsPathItem(stock);
        stockBarb->setPen(windBarb->pen());
        stockBarb->setBrush(windBarb->brush());
        const auto turn = [&](double speed, int direction) {
            windBarb->setSpeed(speed);
            windBarb->setDirection(direction);
            windBarb->setPos(at + 10, at + 50);
            stockBarb->setPath(windBarb->path());
            stockBarb->setTransform(windBarb->transform());
            stockBarb->setRotation(windBarb->rotation());
            stockBarb->setPos(windBarb->pos());
        };
        turn(27, 40);
        OnScreen ours(copied, scale);
        OnScreen theirs(stock, scale);
        QVERIFY(QTest::qWaitForWindowExposed(&ours.view) && QTest::qWaitForWindowExposed(&theirs.view));
        QVERIFY(largestDifference(ours.pixels(), theirs.pixels()) <= allowed);
        // A barb of a stronger wind from the same direction is drawn anew.
        turn(63, 40);
        QVERIFY(largestDifference(ours.pixels(), theirs.pixels()) <= allowed);
    }

private:
    // One marker and one barb serve every case: their kept outlines must follow the scale and
    // the symbol.
    DataMarker marker{Qt::darkGreen};
    WindBarb barb{Qt::black};
};

VENTROLLA_GUI_TEST_MAIN(TestStrokeOutline)
#include "tst_StrokeOutline.moc"
