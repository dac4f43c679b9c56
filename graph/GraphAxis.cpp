#include "graph/GraphAxis.h"

#include <QStringList>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// A range or limit must be a finite number: an infinite one has no place on a graph and would
// overflow every conversion to a whole number.
bool finite(double a, double b)
{
    return std::isfinite(a) && std::isfinite(b);
}

} // namespace

bool GraphAxis::setRange(double minimum, double maximum)
{
    if (!finite(minimum, maximum) || maximum < minimum)
        return false;
    minimum_ = minimum;
    maximum_ = maximum;
    intervals_ = int(std::min(maximum - minimum, double(INT_MAX)));
    return true;
}

bool GraphAxis::setLimits(double lower, double upper)
{
    if (!finite(lower, upper) || upper < lower)
        return false;
    lowerLimit_ = lower;
    upperLimit_ = upper;
    return true;
}

void GraphAxis::setIntervals(int n)
{
    intervals_ = n;
}

void GraphAxis::setTitle(const QString &title)
{
    title_ = title;
}

double GraphAxis::minimum() const
{
    return minimum_;
}

double GraphAxis::maximum() const
{
    return maximum_;
}

double GraphAxis::lowerLimit() const
{
    return lowerLimit_;
}

double GraphAxis::upperLimit() const
{
    return upperLimit_;
}

int GraphAxis::intervals() const
{
    return intervals_;
}

const QString &GraphAxis::title() const
{
    return title_;
}

int GraphAxis::gridIntervals() const
{
    return std::clamp(intervals_, 1, maxGridIntervals);
}

double GraphAxis::intervalSize() const
{
    return (maximum_ - minimum_) / intervals_;
}

double GraphAxis::gridIntervalSize() const
{
    return (maximum_ - minimum_) / gridIntervals();
}

QString GraphAxis::toString() const
{
    return QStringList{QString::number(minimum_, 'g', 6), QString::number(maximum_, 'g', 6),
                       QString::number(lowerLimit_, 'g', 6), QString::number(upperLimit_, 'g', 6),
                       QString::number(intervals_)}
        .join(QLatin1Char(','));
}

bool GraphAxis::fromString(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (parts.size() != 5)
        return false;
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].toDouble(&ok);
        if (!ok || !std::isfinite(values[i]))
            return false;
    }
    bool ok = false;
    const int intervals = parts[4].toInt(&ok, 10);
    if (!ok)
        return false;

    setLimits(values[2], values[3]);
    setRange(values[0], values[1]);
    intervals_ = intervals;
    return true;
}
