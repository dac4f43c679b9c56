#ifndef VENTROLLA_GRAPH_GRAPHAXIS_H
#define VENTROLLA_GRAPH_GRAPHAXIS_H

#include <QString>

// One axis of the profile graphs: the visible range, the range the user may choose from, the
// number of grid intervals and the title. A plain value, copied freely.
class GraphAxis
{
public:
    // Most grid intervals the graphs draw for one axis, whatever a stored axis says: the axis
    // dialog offers 1 to 50, and a stored count in the millions would freeze the window.
    static constexpr int maxGridIntervals = 1000;

    bool setRange(double minimum, double maximum);
    bool setLimits(double lower, double upper);
    void setIntervals(int n);
    void setTitle(const QString &title);

    double minimum() const;
    double maximum() const;
    double lowerLimit() const;
    double upperLimit() const;
    int intervals() const;
    const QString &title() const;

    // The intervals the graphs divide and step by: at least 1 (a stored count below 1 would make
    // the interval size infinite or negative) and at most maxGridIntervals. intervals() keeps
    // the stored count, so the settings text is written back as it was read.
    int gridIntervals() const;
    double gridIntervalSize() const;
    // (maximum - minimum) / intervals, as stored: not finite for a stored count of 0.
    double intervalSize() const;

    // "minimum,maximum,lowerLimit,upperLimit,intervals", as kept in the settings.
    QString toString() const;
    bool fromString(const QString &text);

private:
    double minimum_ = 0.0;
    double maximum_ = 10.0;
    double lowerLimit_ = 0.0;
    double upperLimit_ = 10.0;
    int intervals_ = 10;
    QString title_;
};

#endif
