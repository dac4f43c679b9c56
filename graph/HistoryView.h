#ifndef VENTROLLA_GRAPH_HISTORYVIEW_H
#define VENTROLLA_GRAPH_HISTORYVIEW_H

#include "core/SoundingHistory.h"

#include <QImage>
#include <QWidget>

// The common part of the history's two views: a plot of time across whose picture lives in a
// cached image, the time axis, and the rules of drawing. A new data set draws only its own
// columns: when the view follows the sounding, the picture scrolls left by whole columns and
// the new columns are drawn at the right edge. The whole picture is drawn again only when the
// window changes (span, quantity, size, scrolling back), when a value leaves the ranges or
// when the history was thinned or cleared.
//
// A set is drawn from its own column up to the next set's, unless the next set came much later
// than the rhythm of the sets before it (a stop, a lost link): then the columns between stay
// empty.
class HistoryView : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryView(QWidget *parent = nullptr);

    void setHistory(const SoundingHistory *history);
    void setQuantity(SoundingHistory::Quantity quantity);
    SoundingHistory::Quantity quantity() const { return quantity_; }
    // The time across the view in milliseconds, 0 for the whole sounding.
    void setSpan(qint64 spanMs);
    // Shows the span ending at endMs and stops following the sounding; follow() resumes.
    void scrollTo(qint64 endMs);
    void follow();
    bool isFollowing() const { return following; }

    // Draws the sets added to the history since the last call.
    void appendSets();
    // Draws the whole picture again.
    void redraw();

    qint64 startTime() const { return columnTime(0); }
    qint64 endTime() const { return columnTime(picture.width()); }
    QRect plotRect() const;
    const QImage &plotImage() const { return picture; }
    // What lies under a point of the widget ("" outside the plot).
    virtual QString readout(const QPoint &position) const = 0;

    static QString timeText(qint64 msecs, const QString &format = QStringLiteral("HH:mm:ss"));

signals:
    void cursorMoved(const QString &text);

protected:
    // Sets the value ranges from the sets first to last (inclusive) of the picture.
    virtual void fitRanges(qsizetype first, qsizetype last) = 0;
    // Whether the ranges hold the sets first to last.
    virtual bool rangesHold(qsizetype first, qsizetype last) const = 0;
    // Draws the sets first to last (first > 0 continues from set first - 1).
    virtual void drawSets(qsizetype first, qsizetype last) = 0;
    // Axes and labels around the plot.
    virtual void paintFrame(QPainter &painter) = 0;

    // The column a time falls in (-1 left of the picture, its width right of it), and the time
    // a column begins.
    int columnOf(qint64 msecs) const;
    qint64 columnTime(int column) const;
    // Whether set s continues set s - 1 without a gap.
    bool continues(qsizetype set) const;
    // The set drawn in a column, or -1 when the column is empty.
    qsizetype setInColumn(int column) const;
    void paintTimeAxis(QPainter &painter) const;
    static QVector<double> ticks(double low, double high, int maximumCount);

    const SoundingHistory *history = nullptr;
    SoundingHistory::Quantity quantity_ = SoundingHistory::Temperature;
    QImage picture;

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void placeWindow();
    double wholeSpan() const;
    qint64 absoluteColumn(qint64 msecs) const;

    qint64 spanMs = 3600 * 1000;
    bool following = true;
    qint64 requestedEndMs = 0;
    qint64 startColumn = 0; // counted from the epoch
    double msPerColumn = 1;
    double wholeSpanShown = 0;
    qsizetype drawnSets = 0;
    int seenThinnings = 0;
};

#endif
