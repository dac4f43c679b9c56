#include "HistoryView.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <cstring>
#include <iterator>

namespace {

constexpr int leftMargin = 70;
constexpr int rightMargin = 110;
constexpr int topMargin = 10;
constexpr int bottomMargin = 22;

// A set more than this many times later than the rhythm before it starts after a gap.
constexpr double gapFactor = 2.5;

constexpr qint64 minute = 60 * 1000;

} // namespace

HistoryView::HistoryView(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumSize(320, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryView::setHistory(const SoundingHistory *newHistory)
{
    history = newHistory;
    following = true;
    redraw();
}

void HistoryView::setQuantity(SoundingHistory::Quantity quantity)
{
    quantity_ = quantity;
    redraw();
}

void HistoryView::setSpan(qint64 newSpanMs)
{
    spanMs = newSpanMs;
    redraw();
}

void HistoryView::scrollTo(qint64 endMs)
{
    following = false;
    requestedEndMs = endMs;
    redraw();
}

void HistoryView::follow()
{
    following = true;
    redraw();
}

QRect HistoryView::plotRect() const
{
    return QRect(leftMargin, topMargin, qMax(1, width() - leftMargin - rightMargin),
                 qMax(1, height() - topMargin - bottomMargin));
}

double HistoryView::wholeSpan() const
{
    // Doubling as the sounding grows, so that the picture is drawn again only at each doubling.
    const qsizetype count = history ? history->setCount() : 0;
    const double duration = count > 0 ? double(history->setTime(count - 1) - history->setTime(0)) : 0;
    double span = 10 * minute;
    while (span < duration * 1.05 + 1)
        span *= 2;
    return span;
}

qint64 HistoryView::absoluteColumn(qint64 msecs) const
{
    // Columns keep their place on the clock, so the picture scrolls by whole columns and a
    // redraw lands on the very same grid.
    return qint64(std::floor(double(msecs) / msPerColumn));
}

void HistoryView::placeWindow()
{
    const int columns = plotRect().width();
    const qsizetype count = history ? history->setCount() : 0;
    if (spanMs == 0) {
        wholeSpanShown = wholeSpan();
        msPerColumn = wholeSpanShown / columns;
        startColumn = absoluteColumn(count > 0 ? history->setTime(0) : 0);
        return;
    }
    msPerColumn = double(spanMs) / columns;
    if (following)
        startColumn = absoluteColumn(count > 0 ? history->setTime(count - 1) : 0) + 1 - columns;
    else
        startColumn = absoluteColumn(requestedEndMs) - columns;
}

void HistoryView::redraw()
{
    placeWindow();
    picture = QImage(plotRect().size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    const qsizetype count = history ? history->setCount() : 0;
    drawnSets = count;
    seenThinnings = history ? history->thinningCount() : 0;
    if (count > 0) {
        const qsizetype first = qMax<qsizetype>(0, history->lowerBound(startTime()) - 1);
        const qsizetype last = qMin(count - 1, history->lowerBound(endTime()));
        fitRanges(first, last);
        drawSets(first, last);
    }
    update();
}

void HistoryView::appendSets()
{
    if (!history)
        return;
    const qsizetype count = history->setCount();
    if (count < drawnSets || history->thinningCount() != seenThinnings) {
        redraw();
        return;
    }
    if (count == drawnSets)
        return;
    if (!following) {
        // Scrolled back: the picture stays where the user put it.
        drawnSets = count;
        return;
    }
    if (spanMs == 0) {
        if (wholeSpan() > wholeSpanShown) {
            redraw();
            return;
        }
    } else {
        const qint64 start = absoluteColumn(history->setTime(count - 1)) + 1 - picture.width();
        const qint64 shift = start - startColumn;
        if (shift >= picture.width()) {
            redraw();
            return;
        }
        if (shift > 0) {
            const int rowBytes = picture.bytesPerLine();
            const int shiftBytes = int(shift) * 4;
            for (int y = 0; y < picture.height(); ++y) {
                uchar *line = picture.scanLine(y);
                std::memmove(line, line + shiftBytes, size_t(rowBytes - shiftBytes));
                std::fill_n(reinterpret_cast<QRgb *>(line + rowBytes - shiftBytes), shift,
                            qRgb(255, 255, 255));
            }
            startColumn = start;
        }
    }
    if (!rangesHold(drawnSets, count - 1)) {
        redraw();
        return;
    }
    drawSets(drawnSets, count - 1);
    drawnSets = count;
    update(plotRect());
}

int HistoryView::columnOf(qint64 msecs) const
{
    const qint64 column = absoluteColumn(msecs) - startColumn;
    return int(qBound<qint64>(-1, column, picture.width()));
}

qint64 HistoryView::columnTime(int column) const
{
    return qint64(std::ceil(double(startColumn + column) * msPerColumn));
}

bool HistoryView::continues(qsizetype set) const
{
    if (set <= 0)
        return false;
    const qint64 step = history->setTime(set) - history->setTime(set - 1);
    const qint64 before = set >= 2 ? history->setTime(set - 1) - history->setTime(set - 2) : step;
    return step <= gapFactor * double(before);
}

qsizetype HistoryView::setInColumn(int column) const
{
    if (!history)
        return -1;
    const qsizetype set = history->lowerBound(columnTime(column + 1)) - 1;
    if (set < 0)
        return -1;
    if (columnOf(history->setTime(set)) == column)
        return set;
    return set + 1 < history->setCount() && continues(set + 1) ? set : -1;
}

QString HistoryView::timeText(qint64 msecs, const QString &format)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(format);
}

QVector<double> HistoryView::ticks(double low, double high, int maximumCount)
{
    QVector<double> result;
    if (!(high > low) || maximumCount < 1)
        return result;
    const double rough = (high - low) / maximumCount;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = magnitude;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * magnitude;
        if (step >= rough)
            break;
    }
    for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step)
        result.append(std::abs(v) < step * 1e-9 ? 0.0 : v);
    return result;
}

void HistoryView::paintTimeAxis(QPainter &painter) const
{
    const QRect plot = plotRect();
    const double span = msPerColumn * plot.width();
    const double startMs = double(startTime());
    static const qint64 steps[] = {minute,      2 * minute,  5 * minute,  10 * minute,
                                   15 * minute, 30 * minute, 60 * minute, 120 * minute,
                                   180 * minute, 360 * minute, 720 * minute, 1440 * minute};
    qint64 step = steps[std::size(steps) - 1];
    for (qint64 candidate : steps) {
        if (span / double(candidate) * 90.0 <= plot.width()) {
            step = candidate;
            break;
        }
    }
    const QFontMetrics metrics(painter.font());
    const qint64 first = (qint64(startMs) / step + 1) * step;
    for (qint64 t = first; double(t) < startMs + span; t += step) {
        const int x = plot.left() + int((double(t) - startMs) / msPerColumn);
        painter.drawLine(x, plot.bottom() + 1, x, plot.bottom() + 4);
        const QString label = timeText(t, QStringLiteral("HH:mm"));
        painter.drawText(x - metrics.horizontalAdvance(label) / 2, plot.bottom() + 4 + metrics.ascent(),
                         label);
    }
}

void HistoryView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QRect plot = plotRect();
    painter.drawImage(plot.topLeft(), picture);
    painter.setPen(palette().windowText().color());
    painter.drawRect(plot.adjusted(-1, -1, 0, 0));
    paintTimeAxis(painter);
    paintFrame(painter);
}

void HistoryView::resizeEvent(QResizeEvent *)
{
    redraw();
}

void HistoryView::mouseMoveEvent(QMouseEvent *event)
{
    emit cursorMoved(readout(event->pos()));
}

void HistoryView::leaveEvent(QEvent *)
{
    emit cursorMoved(QString());
}
