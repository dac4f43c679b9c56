#ifndef VENTROLLA_GRAPH_DATAMARKER_H
#define VENTROLLA_GRAPH_DATAMARKER_H

#include <QColor>
#include <QGraphicsEllipseItem>
#include <QPointF>

// A filled circle, 14 scene units across, at one module's value in one column. It keeps the
// point it stands for, so an axis change re-maps it without reading the table again.
//
// Hundreds of markers are painted a second in a sounding: on the screen they are copies of a
// marker drawn once per colour and eighth of a pixel (ScreenCopy).
class DataMarker : public QGraphicsEllipseItem
{
public:
    enum { Type = UserType + 1 };

    explicit DataMarker(const QColor &colour);

    int type() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    // (dependent value, independent value); a coordinate without a value is NaN.
    QPointF dataPoint() const;
    void setDataPoint(const QPointF &point);
    // The data point after the column transform, in the unit square.
    QPointF unitPoint() const;
    void setUnitPoint(const QPointF &point);

private:
    QPointF dataPoint_;
    QPointF unitPoint_;
};

#endif
