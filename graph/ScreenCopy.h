#ifndef VENTROLLA_GRAPH_SCREENCOPY_H
#define VENTROLLA_GRAPH_SCREENCOPY_H

#include <QHash>
#include <QImage>
#include <QTransform>

#include <functional>

class QPainter;
class QRectF;

// Drawings of a graph item kept as pixels for the screen, one per eighth of a pixel the item
// stands at and per key its owner gives (a colour, say).
//
// Filling smooth shapes with thick outlines costs far more than copying pixels, and the graphs
// paint the same markers and barbs at every repaint. A copy stands within a sixteenth of a
// pixel of where the drawing would be and looks the same. Only a widget on the screen is
// painted so: pictures made elsewhere (images, files) and views in perspective are drawn.
class ScreenCopy
{
public:
    // At most this many copies are kept; the oldest key goes first.
    explicit ScreenCopy(int capacity);

    // Paints through a copy of what draw() draws around the item's origin within bounds (item
    // coordinates); false, with nothing painted, where a copy does not serve.
    bool paint(QPainter *painter, const QRectF &bounds, quint64 key,
               const std::function<void(QPainter *)> &draw);
    // The drawing changed: every copy goes.
    void clear();

private:
    int capacity;
    QTransform linear; // the painter's transform without its translation, for the copies kept
    QHash<quint64, QImage> images;
    QList<quint64> order; // keys from the oldest
};

#endif
