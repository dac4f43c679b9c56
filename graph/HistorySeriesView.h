#ifndef VENTROLLA_GRAPH_HISTORYSERIESVIEW_H
#define VENTROLLA_GRAPH_HISTORYSERIESVIEW_H

#include "HistoryColourMap.h"
#include "HistoryView.h"

#include <vector>

// The time series: one line per module, labelled with its Module ID at the right, coloured in
// the order of the modules' heights along the section's colour map (the lowest darkest). Many
// sets in one column become one vertical stroke from their least to their greatest value.
class HistorySeriesView : public HistoryView
{
    Q_OBJECT

public:
    explicit HistorySeriesView(QWidget *parent = nullptr);

    QString readout(const QPoint &position) const override;
    // The colour of a module's line.
    QRgb moduleColour(int module) const;

protected:
    void fitRanges(qsizetype first, qsizetype last) override;
    bool rangesHold(qsizetype first, qsizetype last) const override;
    void drawSets(qsizetype first, qsizetype last) override;
    void paintFrame(QPainter &painter) override;

private:
    double rowOf(float value) const;

    HistoryColourMap colours {HistoryColourMap::Sequential};
    std::vector<QRgb> lineColours; // by module index
    double low = 0;
    double high = 1;
};

#endif
