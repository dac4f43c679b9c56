#ifndef VENTROLLA_GRAPH_DATALINE_H
#define VENTROLLA_GRAPH_DATALINE_H

#include <QColor>
#include <QGraphicsLineItem>
#include <QLineF>
#include <QRectF>

// A thick segment joining two consecutive modules' values in one column, keeping the data it
// stands for so an axis change re-maps it without reading the table again.
//
// Only the part of the line inside its visible area (the plot; the graph's masks hide all
// else) is drawn, and only that part counts as the item's bounds. A line to a module far off
// the axes would otherwise be drawn in full under the masks at every repaint, and each move of
// it would have the view repaint most of the graph.
class DataLine : public QGraphicsLineItem
{
public:
    enum { Type = UserType + 2 };

    explicit DataLine(const QColor &colour);

    int type() const override;
    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    // Between two data points (dependent value, independent value).
    QLineF dataLine() const;
    void setDataLine(const QLineF &line);
    // The data line after the column transform, in the unit square.
    QLineF unitLine() const;
    void setUnitLine(const QLineF &line);
    // In item coordinates; a null rectangle (the default) shows the whole line.
    QRectF visibleArea() const;
    void setVisibleArea(const QRectF &area);

private:
    // The line cut to the visible area widened by the pen, so the visible pixels stay those of
    // the whole line; false when nothing of it is left.
    bool visiblePart(QLineF *part) const;
    bool clip(QLineF *part) const;

    QLineF dataLine_;
    QLineF unitLine_;
    QRectF visibleArea_;
    // The last clipping: of this line, to this area, for this pen width.
    mutable QLineF clippedLine;
    mutable QRectF clippedArea;
    mutable double clippedWidth = -1;
    mutable QLineF clippedPart;
    mutable bool clippedVisible = false;
};

#endif
