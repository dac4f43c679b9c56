#ifndef VENTROLLA_GRAPH_HISTORYCOLOURMAP_H
#define VENTROLLA_GRAPH_HISTORYCOLOURMAP_H

#include <QRgb>

#include <array>
#include <cmath>

// A colour map as a table of 256 colours, looked up by a value's position in a range. The
// sequential map runs from dark violet through blue and green to yellow with evenly growing
// lightness, so equal steps of the quantity look like equal steps of colour, also in grey print;
// the diverging map runs blue, white, red, for quantities whose sign matters (wind components).
class HistoryColourMap
{
public:
    enum Kind { Sequential, Diverging };

    explicit HistoryColourMap(Kind kind = Sequential);

    Kind kind() const { return kind_; }

    // fraction 0 is the low end, 1 the high end; values outside are clamped.
    QRgb at(double fraction) const
    {
        const double clamped = fraction < 0.0 ? 0.0 : fraction > 1.0 ? 1.0 : fraction;
        return table[size_t(std::lround(clamped * 255.0))];
    }

private:
    Kind kind_;
    std::array<QRgb, 256> table {};
};

#endif
