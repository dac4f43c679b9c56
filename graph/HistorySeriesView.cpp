#include "HistorySeriesView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

HistorySeriesView::HistorySeriesView(QWidget *parent) : HistoryView(parent)
{
    setObjectName(QStringLiteral("seriesView"));
}

QRgb HistorySeriesView::moduleColour(int module) const
{
    return size_t(module) < lineColours.size() ? lineColours[size_t(module)] : qRgb(0, 0, 0);
}

double HistorySeriesView::rowOf(float value) const
{
    return (high - double(value)) / (high - low) * (picture.height() - 1);
}

void HistorySeriesView::fitRanges(qsizetype first, qsizetype last)
{
    // Colours along the map by height; the brightest end is left out, it vanishes on white.
    std::vector<int> order;
    for (int m = 0; m < history->moduleCount(); ++m)
        order.push_back(m);
    const auto height = [this](int m) {
        const float h = history->lastKnown(m, SoundingHistory::Altitude);
        return std::isnan(h) ? -std::numeric_limits<float>::infinity() : h;
    };
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return height(a) < height(b); });
    lineColours.assign(order.size(), qRgb(0, 0, 0));
    for (size_t i = 0; i < order.size(); ++i) {
        const double fraction = order.size() > 1 ? double(i) / double(order.size() - 1) : 0.0;
        lineColours[size_t(order[i])] = colours.at(0.85 * fraction);
    }

    low = std::numeric_limits<double>::infinity();
    high = -low;
    for (qsizetype s = first; s <= last; ++s) {
        for (int m = 0; m < history->moduleCount(); ++m) {
            const float v = history->value(s, m, quantity_);
            if (!std::isnan(v)) {
                low = std::min(low, double(v));
                high = std::max(high, double(v));
            }
        }
    }
    if (low > high) {
        low = 0;
        high = 1;
    }
    const double pad = std::max(0.08 * (high - low), 0.5);
    low -= pad;
    high += pad;
}

bool HistorySeriesView::rangesHold(qsizetype first, qsizetype last) const
{
    if (qsizetype(lineColours.size()) != history->moduleCount())
        return false;
    for (qsizetype s = first; s <= last; ++s) {
        for (int m = 0; m < history->moduleCount(); ++m) {
            const float v = history->value(s, m, quantity_);
            if (!std::isnan(v) && (v < low || v > high))
                return false;
        }
    }
    return true;
}

void HistorySeriesView::drawSets(qsizetype first, qsizetype last)
{
    QPainter painter(&picture);
    for (int m = 0; m < history->moduleCount(); ++m) {
        painter.setPen(QColor(lineColours[size_t(m)]));
        // Per column: the stroke from the least to the greatest value, then a line on to the
        // next column's first value.
        int column = -2;
        double least = 0;
        double greatest = 0;
        double lastRow = 0;
        bool hasPrevious = false;
        if (first > 0 && continues(first)) {
            const float v = history->value(first - 1, m, quantity_);
            if (!std::isnan(v)) {
                column = columnOf(history->setTime(first - 1));
                least = greatest = lastRow = rowOf(v);
                hasPrevious = true;
            }
        }
        const auto flush = [&] {
            if (hasPrevious && greatest > least)
                painter.drawLine(QPointF(column + 0.5, least), QPointF(column + 0.5, greatest));
        };
        for (qsizetype s = first; s <= last; ++s) {
            const float v = history->value(s, m, quantity_);
            const int x = columnOf(history->setTime(s));
            if (std::isnan(v)) {
                flush();
                hasPrevious = false;
                continue;
            }
            const double row = rowOf(v);
            if (hasPrevious && x == column) {
                least = std::min(least, row);
                greatest = std::max(greatest, row);
            } else {
                flush();
                if (hasPrevious && continues(s))
                    painter.drawLine(QPointF(column + 0.5, lastRow), QPointF(x + 0.5, row));
                else
                    painter.drawPoint(QPointF(x + 0.5, row));
                column = x;
                least = greatest = row;
                hasPrevious = true;
            }
            lastRow = row;
        }
        flush();
    }
}

QString HistorySeriesView::readout(const QPoint &position) const
{
    const QRect plot = plotRect();
    if (!history || !plot.contains(position))
        return QString();
    const int column = position.x() - plot.left();
    const double value = high - double(position.y() - plot.top()) / (picture.height() - 1) * (high - low);
    QString text = tr("%1, %2 %3")
                       .arg(timeText(columnTime(column)))
                       .arg(value, 0, 'f', 1)
                       .arg(SoundingHistory::unitText(quantity_));
    // The module whose line passes nearest.
    const qsizetype set = setInColumn(column);
    int nearest = -1;
    double distance = 6; // pixels
    for (int m = 0; set >= 0 && m < history->moduleCount(); ++m) {
        const float v = history->value(set, m, quantity_);
        if (!std::isnan(v) && std::abs(rowOf(v) + plot.top() - position.y()) < distance) {
            distance = std::abs(rowOf(v) + plot.top() - position.y());
            nearest = m;
        }
    }
    if (nearest >= 0) {
        text += tr(", module %1: %2 %3")
                    .arg(history->moduleId(nearest))
                    .arg(double(history->value(set, nearest, quantity_)), 0, 'f', 1)
                    .arg(SoundingHistory::unitText(quantity_));
    }
    return text;
}

void HistorySeriesView::paintFrame(QPainter &painter)
{
    const QRect plot = plotRect();
    const QFontMetrics metrics(painter.font());
    for (double v : ticks(low, high, std::max(2, plot.height() / 40))) {
        const int y = plot.top() + int(rowOf(float(v)));
        painter.drawLine(plot.left() - 4, y, plot.left() - 1, y);
        const QString label = QString::number(v, 'g', 4);
        painter.drawText(plot.left() - 6 - metrics.horizontalAdvance(label),
                         y + metrics.ascent() / 2, label);
    }
    painter.save();
    painter.translate(12, plot.center().y());
    painter.rotate(-90);
    const QString title = SoundingHistory::nameText(quantity_) + QStringLiteral(" (")
                          + SoundingHistory::unitText(quantity_) + QLatin1Char(')');
    painter.drawText(-metrics.horizontalAdvance(title) / 2, 0, title);
    painter.restore();

    // Module IDs beside the latest value each module shows, pushed apart so none overlaps.
    if (!history || history->setCount() == 0)
        return;
    struct Label { double y; int module; };
    std::vector<Label> labels;
    const qsizetype last = std::min(history->setCount() - 1, history->lowerBound(endTime()) - 1);
    for (int m = 0; last >= 0 && m < history->moduleCount(); ++m) {
        for (qsizetype s = last; s >= 0 && s > last - 16; --s) {
            const float v = history->value(s, m, quantity_);
            if (!std::isnan(v)) {
                labels.push_back({plot.top() + rowOf(v), m});
                break;
            }
        }
    }
    std::sort(labels.begin(), labels.end(), [](const Label &a, const Label &b) { return a.y < b.y; });
    double next = plot.top() + metrics.ascent() / 2.0;
    for (Label &label : labels) {
        label.y = std::max(label.y, next);
        next = label.y + metrics.height() * 0.8;
        painter.setPen(QColor(lineColours[size_t(label.module)]));
        painter.drawText(QPointF(plot.right() + 6, label.y + metrics.ascent() / 2.0),
                         history->moduleId(label.module));
    }
    painter.setPen(palette().windowText().color());
}
