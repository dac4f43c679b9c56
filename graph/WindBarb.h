#ifndef VENTROLLA_GRAPH_WINDBARB_H
#define VENTROLLA_GRAPH_WINDBARB_H

#include <QColor>
#include <QGraphicsPathItem>
#include <QPainterPath>
#include <QRectF>

#include "graph/ScreenCopy.h"
#include "graph/StrokeOutline.h"

// The wind symbol: a station circle, and for any wind a staff pointing to where the wind comes
// from, with a pennant for every 50 knots, a full barb for every 10 and a half barb for 5.
//
// Barbs count knots, as on every meteorological chart: a speed in metres per second is converted
// before the pennants and barbs are counted, while speed() keeps the table's own number. The
// symbol is drawn at half size with item y pointing up, so the staff stands on the circle.
class WindBarb : public QGraphicsPathItem
{
public:
    enum { Type = UserType + 3 };

    explicit WindBarb(const QColor &colour);

    int type() const override;
    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget = nullptr) override;

    // The speed in the unit of the table's wind column.
    double speed() const;
    void setSpeed(double speed);
    // 1: the speed is in metres per second; any other value: knots (as the model's wind units).
    int windUnits() const;
    void setWindUnits(int windUnits);
    int direction() const;
    void setDirection(int degrees);

    // The vertical data value the barb stands at, and that value mapped into the unit square.
    double dataValue() const;
    void setDataValue(double value);
    double unitY() const;
    void setUnitY(double y);

private:
    double knots() const;
    bool isCalm() const;
    void rebuild();
    void setSymbol();
    void addFullBarb();
    void addHalfBarb();
    void addPennant();

    QPainterPath symbol; // the path, rebuilt when the speed or the unit changes
    StrokeOutline outline;
    // On the screen the barb is a copy of its last drawing while its symbol stays: painted
    // again when a neighbour moves, it is copied, not drawn.
    ScreenCopy copy{1};
    bool atStaffTip = false;
    double speed_ = 0.0;
    int windUnits_ = 0;
    int direction_ = 0;
    double dataValue_ = 0.0;
    double unitY_ = 0.0;
    QRectF bounds{-105, -105, 210, 210};
};

#endif
