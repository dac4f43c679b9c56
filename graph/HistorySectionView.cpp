#include "HistorySectionView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float missing = std::numeric_limits<float>::quiet_NaN();

// The modules' heights: the colour under them darkened by a third.
QRgb heightLine(QRgb colour)
{
    return qRgb(qRed(colour) * 2 / 3, qGreen(colour) * 2 / 3, qBlue(colour) * 2 / 3);
}

bool isWindComponent(SoundingHistory::Quantity quantity)
{
    return quantity == SoundingHistory::WindEast || quantity == SoundingHistory::WindNorth;
}

} // namespace

HistorySectionView::HistorySectionView(QWidget *parent) : HistoryView(parent)
{
    setObjectName(QStringLiteral("sectionView"));
}

void HistorySectionView::setVertical(SoundingHistory::Quantity vertical)
{
    vertical_ = vertical;
    redraw();
}

double HistorySectionView::coordinate(float height) const
{
    return vertical_ == SoundingHistory::Altitude ? double(height) : -std::log(double(height));
}

double HistorySectionView::coordinateOfRow(int row) const
{
    return top - (row + 0.5) / picture.height() * (top - bottom);
}

int HistorySectionView::rowOf(double value) const
{
    const double row = std::floor((top - value) / (top - bottom) * picture.height());
    return int(qBound(-1.0, row, double(picture.height())));
}

void HistorySectionView::sortModules()
{
    order.clear();
    for (int m = 0; m < history->moduleCount(); ++m) {
        if (!std::isnan(history->lastKnown(m, vertical_)))
            order.push_back(m);
    }
    std::sort(order.begin(), order.end(), [this](int a, int b) {
        return coordinate(history->lastKnown(a, vertical_))
               < coordinate(history->lastKnown(b, vertical_));
    });
}

void HistorySectionView::fitRanges(qsizetype first, qsizetype last)
{
    sortModules();
    colours = isWindComponent(quantity_) ? &diverging : &sequential;
    double lowest = std::numeric_limits<double>::infinity();
    double highest = -lowest;
    low = lowest;
    high = highest;
    for (qsizetype s = first; s <= last; ++s) {
        for (int m : order) {
            const float h = history->value(s, m, vertical_);
            const float v = history->value(s, m, quantity_);
            if (!std::isnan(h)) {
                lowest = std::min(lowest, coordinate(h));
                highest = std::max(highest, coordinate(h));
            }
            if (!std::isnan(v)) {
                low = std::min(low, double(v));
                high = std::max(high, double(v));
            }
        }
    }
    if (lowest > highest) {
        lowest = 0;
        highest = 1;
    }
    const double minimumPad = vertical_ == SoundingHistory::Altitude ? 10.0 : 0.002;
    const double pad = std::max(minimumPad, 0.06 * (highest - lowest));
    bottom = lowest - pad;
    top = highest + pad;

    if (low > high) {
        low = 0;
        high = 1;
    }
    if (colours == &diverging) {
        high = std::max({std::abs(low), std::abs(high), 0.5}) * 1.1;
        low = -high;
    } else {
        const double valuePad = std::max(0.05 * (high - low), 0.5);
        low -= valuePad;
        high += valuePad;
    }
}

bool HistorySectionView::rangesHold(qsizetype first, qsizetype last) const
{
    if (qsizetype(order.size()) != history->moduleCount())
        return false;
    for (qsizetype s = first; s <= last; ++s) {
        for (int m : order) {
            const float h = history->value(s, m, vertical_);
            const float v = history->value(s, m, quantity_);
            if (!std::isnan(h) && (coordinate(h) < bottom || coordinate(h) > top))
                return false;
            if (!std::isnan(v) && (v < low || v > high))
                return false;
        }
    }
    return true;
}

QRgb HistorySectionView::colourOf(float value) const
{
    return colours->at((double(value) - low) / (high - low));
}

void HistorySectionView::drawSets(qsizetype first, qsizetype last)
{
    const int width = picture.width();
    for (qsizetype s = first; s <= last; ++s) {
        const int column = columnOf(history->setTime(s));
        if (continues(s)) {
            const int end = std::min(column, width);
            for (int c = std::max(0, columnOf(history->setTime(s - 1)) + 1); c < end; ++c)
                drawColumn(c, s - 1);
        }
        if (column >= 0 && column < width)
            drawColumn(column, s);
    }
}

void HistorySectionView::drawColumn(int column, qsizetype set)
{
    const int rows = picture.height();
    const auto pixel = [this, column](int row) -> QRgb & {
        return reinterpret_cast<QRgb *>(picture.scanLine(row))[column];
    };
    for (int row = 0; row < rows; ++row)
        pixel(row) = qRgb(255, 255, 255);

    for (size_t i = 0; i + 1 < order.size(); ++i) {
        const int a = order[i];
        const int b = order[i + 1];
        const float ha = history->value(set, a, vertical_);
        const float hb = history->value(set, b, vertical_);
        const float va = history->value(set, a, quantity_);
        const float vb = history->value(set, b, quantity_);
        if (std::isnan(ha) || std::isnan(hb) || std::isnan(va) || std::isnan(vb))
            continue;
        const double ca = coordinate(ha);
        const double cb = coordinate(hb);
        if (!(cb > ca))
            continue;
        const int from = std::max(0, rowOf(cb));
        const int to = std::min(rows - 1, rowOf(ca));
        for (int row = from; row <= to; ++row) {
            const double t = qBound(0.0, (coordinateOfRow(row) - ca) / (cb - ca), 1.0);
            pixel(row) = colourOf(float(va + t * (vb - va)));
        }
    }
    for (int m : order) {
        const float h = history->value(set, m, vertical_);
        const int row = std::isnan(h) ? -1 : rowOf(coordinate(h));
        if (row >= 0 && row < rows)
            pixel(row) = heightLine(pixel(row));
    }
}

float HistorySectionView::interpolate(qsizetype set, double c) const
{
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        const float ha = history->value(set, order[i], vertical_);
        const float hb = history->value(set, order[i + 1], vertical_);
        if (std::isnan(ha) || std::isnan(hb))
            continue;
        const double ca = coordinate(ha);
        const double cb = coordinate(hb);
        if (c < ca || c > cb || !(cb > ca))
            continue;
        const float va = history->value(set, order[i], quantity_);
        const float vb = history->value(set, order[i + 1], quantity_);
        return float(va + (c - ca) / (cb - ca) * (vb - va)); // NaN when either is missing
    }
    return missing;
}

float HistorySectionView::valueAt(qint64 msecs, double height) const
{
    const qsizetype set = setInColumn(columnOf(msecs));
    return set < 0 ? missing : interpolate(set, coordinate(float(height)));
}

QRgb HistorySectionView::colourAt(qint64 msecs, double height) const
{
    const int column = columnOf(msecs);
    const int row = rowOf(coordinate(float(height)));
    if (column < 0 || column >= picture.width() || row < 0 || row >= picture.height())
        return qRgb(255, 255, 255);
    return picture.pixel(column, row);
}

QString HistorySectionView::readout(const QPoint &position) const
{
    const QRect plot = plotRect();
    if (!history || !plot.contains(position))
        return QString();
    const int column = position.x() - plot.left();
    const double c = coordinateOfRow(position.y() - plot.top());
    const qsizetype set = setInColumn(column);
    const float value = set < 0 ? missing : interpolate(set, c);
    const QString height = vertical_ == SoundingHistory::Altitude
                               ? tr("%1 m").arg(c, 0, 'f', 0)
                               : tr("%1 hPa").arg(std::exp(-c), 0, 'f', 1);
    const QString valueText = std::isnan(value)
                                  ? tr("no data")
                                  : QStringLiteral("%1 %2").arg(double(value), 0, 'f', 1)
                                        .arg(SoundingHistory::unitText(quantity_));
    return tr("%1, %2: %3")
        .arg(timeText(columnTime(column) + (columnTime(column + 1) - columnTime(column)) / 2),
             height, valueText);
}

void HistorySectionView::paintFrame(QPainter &painter)
{
    const QRect plot = plotRect();
    const QFontMetrics metrics(painter.font());
    const bool altitude = vertical_ == SoundingHistory::Altitude;

    // Height axis.
    const double lowHeight = altitude ? bottom : std::exp(-top);
    const double highHeight = altitude ? top : std::exp(-bottom);
    for (double h : ticks(lowHeight, highHeight, std::max(2, plot.height() / 40))) {
        const int y = plot.top() + rowOf(coordinate(float(h)));
        painter.drawLine(plot.left() - 4, y, plot.left() - 1, y);
        const QString label = QString::number(h, 'f', 0);
        painter.drawText(plot.left() - 6 - metrics.horizontalAdvance(label),
                         y + metrics.ascent() / 2, label);
    }
    painter.save();
    painter.translate(12, plot.center().y());
    painter.rotate(-90);
    const QString axisTitle = altitude ? tr("Alt (m)") : tr("P (hPa)");
    painter.drawText(-metrics.horizontalAdvance(axisTitle) / 2, 0, axisTitle);
    painter.restore();

    // Colour bar.
    const QRect bar(plot.right() + 12, plot.top() + metrics.height() + 4, 14,
                    plot.height() - metrics.height() - 4);
    for (int y = 0; y < bar.height(); ++y) {
        const double fraction = 1.0 - (y + 0.5) / bar.height();
        painter.setPen(QColor(colours->at(fraction)));
        painter.drawLine(bar.left(), bar.top() + y, bar.right(), bar.top() + y);
    }
    painter.setPen(palette().windowText().color());
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    painter.drawText(bar.left(), plot.top() + metrics.ascent(), SoundingHistory::unitText(quantity_));
    for (double v : ticks(low, high, std::max(2, bar.height() / 30))) {
        const int y = bar.bottom() - int((v - low) / (high - low) * bar.height());
        painter.drawLine(bar.right() + 1, y, bar.right() + 4, y);
        painter.drawText(bar.right() + 6, y + metrics.ascent() / 2, QString::number(v, 'g', 4));
    }
}
