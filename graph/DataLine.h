#ifndef VENTROLLA_GRAPH_DATALINE_H
#define VENTROLLA_GRAPH_DATALINE_H

#include <QColor>
#include <QGraphicsLineItem>
#include <QLineF>

// A thick segment joining two consecutive modules' values in one column, keeping the data it
// stands for so an axis change re-maps it without reading the table again.
class DataLine : public QGraphicsLineItem
{
public:
    enum { Type = UserType + 2 };

    explicit DataLine(const QColor &colour);

    int type() const override;

    // Between two data points (dependent value, independent value).
    QLineF dataLine() const;
    void setDataLine(const QLineF &line);
    // The data line after the column transform, in the unit square.
    QLineF unitLine() const;
    void setUnitLine(const QLineF &line);

private:
    QLineF dataLine_;
    QLineF unitLine_;
};

#endif
