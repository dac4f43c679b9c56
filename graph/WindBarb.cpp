#include "graph/WindBarb.h"

#include "link/FlightModule.h"

#include <QBrush>
#include <QPainter>
#include <QPen>
#include <QTransform>

namespace {

constexpr double knotsPerMetrePerSecond = FlightModule::knotsPerMetrePerSecond;

constexpr double staffTip = 90.0;

} // namespace

WindBarb::WindBarb(const QColor &colour)
{
    setPen(QPen(colour, 3.0));
    setBrush(QBrush(colour));
    setTransform(QTransform::fromScale(0.5, -0.5));
    rebuild();
}

int WindBarb::type() const
{
    return Type;
}

QRectF WindBarb::boundingRect() const
{
    return bounds;
}

void WindBarb::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    Q_UNUSED(option)
    Q_UNUSED(widget)
    const auto draw = [this](QPainter *on) {
        if (!outline.paint(on, path(), pen(), brush())) {
            on->setPen(pen());
            on->setBrush(brush());
            on->drawPath(path());
        }
    };
    const double width = pen().widthF();
    if (!copy.paint(painter, path().controlPointRect().adjusted(-width, -width, width, width),
                    pen().color().rgba(), draw))
        draw(painter);
}

double WindBarb::speed() const
{
    return speed_;
}

void WindBarb::setSpeed(double speed)
{
    if (speed == speed_)
        return;
    speed_ = speed;
    rebuild();
}

int WindBarb::windUnits() const
{
    return windUnits_;
}

void WindBarb::setWindUnits(int windUnits)
{
    if (windUnits == windUnits_)
        return;
    windUnits_ = windUnits;
    rebuild();
}

int WindBarb::direction() const
{
    return direction_;
}

void WindBarb::setDirection(int degrees)
{
    if (degrees == direction_)
        return;
    direction_ = degrees;
    // The symbol stays; the barb only turns (a calm circle is never turned). The copy on the
    // screen follows the turn by itself.
    if (!isCalm())
        setRotation(-direction_);
}

double WindBarb::dataValue() const
{
    return dataValue_;
}

void WindBarb::setDataValue(double value)
{
    dataValue_ = value;
}

double WindBarb::unitY() const
{
    return unitY_;
}

void WindBarb::setUnitY(double y)
{
    unitY_ = y;
}

double WindBarb::knots() const
{
    return windUnits_ == 1 ? speed_ * knotsPerMetrePerSecond : speed_;
}

bool WindBarb::isCalm() const
{
    return !(knots() >= 0.5); // calm, or no number at all
}

void WindBarb::rebuild()
{
    symbol = QPainterPath();
    symbol.addEllipse(-6, -6, 12, 12);
    if (isCalm()) {
        setSymbol();
        return;
    }

    symbol.moveTo(0, 6);
    symbol.lineTo(0, staffTip);
    // Every barb and pennant is a subpath of its own, so the brush fills no area between them.
    symbol.moveTo(0, staffTip);
    atStaffTip = true;

    // To the nearest 5 knots; at most three pennants (compared before the conversion to int,
    // which would overflow for absurd speeds).
    const double rounded = knots() + 2.5;
    int v = 100;
    if (rounded >= 151.0)
        addPennant();
    else
        v = int(rounded);
    while (v > 49) {
        v -= 50;
        addPennant();
    }
    while (v > 9) {
        v -= 10;
        addFullBarb();
    }
    if (v > 4)
        addHalfBarb();

    setRotation(-direction_);
    setSymbol();
}

void WindBarb::setSymbol()
{
    // Most new speeds round to the barbs already drawn: the copy on the screen then stays.
    if (symbol == path())
        return;
    setPath(symbol);
    copy.clear();
}

void WindBarb::addFullBarb()
{
    const double y = symbol.currentPosition().y();
    symbol.lineTo(30, y + 5);
    symbol.moveTo(0, y - 10);
    atStaffTip = false;
}

void WindBarb::addHalfBarb()
{
    double y = symbol.currentPosition().y();
    if (atStaffTip) {
        // Alone, a half barb stands one step below the tip, where it cannot be read as a full one.
        y -= 10;
        symbol.moveTo(0, y);
    }
    symbol.lineTo(15, y + 2.5);
    symbol.moveTo(0, y - 10);
    atStaffTip = false;
}

void WindBarb::addPennant()
{
    double y = symbol.currentPosition().y();
    if (!atStaffTip) {
        y += 5;
        symbol.moveTo(0, y);
    }
    symbol.lineTo(30, y - 5);
    symbol.lineTo(0, y - 10);
    symbol.closeSubpath();
    symbol.moveTo(0, y - 20);
    atStaffTip = false;
}
