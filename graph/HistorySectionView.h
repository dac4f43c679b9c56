#ifndef VENTROLLA_GRAPH_HISTORYSECTIONVIEW_H
#define VENTROLLA_GRAPH_HISTORYSECTIONVIEW_H

#include "HistoryColourMap.h"
#include "HistoryView.h"

#include <vector>

// The time-height section: time across, altitude (or pressure) up, the quantity as colour. At
// each time the colour between two neighbouring modules is linear in height between their two
// values (in the logarithm of pressure on a pressure axis); nothing is drawn above the highest
// or below the lowest module, nor next to a module that was silent. The modules' heights are
// thin lines; a colour bar with the unit stands at the right.
class HistorySectionView : public HistoryView
{
    Q_OBJECT

public:
    explicit HistorySectionView(QWidget *parent = nullptr);

    // Altitude or Pressure up.
    void setVertical(SoundingHistory::Quantity vertical);
    SoundingHistory::Quantity vertical() const { return vertical_; }

    // The value the section shows at a time and a height (altitude in metres or pressure in hPa),
    // NaN where it draws nothing.
    float valueAt(qint64 msecs, double height) const;
    // The colour the picture has at that time and height (transparent where nothing is drawn).
    QRgb colourAt(qint64 msecs, double height) const;
    // The colour a value gets.
    QRgb colourOf(float value) const;

    QString readout(const QPoint &position) const override;

protected:
    void fitRanges(qsizetype first, qsizetype last) override;
    bool rangesHold(qsizetype first, qsizetype last) const override;
    void drawSets(qsizetype first, qsizetype last) override;
    void paintFrame(QPainter &painter) override;

private:
    // Up is larger: altitude, or minus the logarithm of pressure.
    double coordinate(float height) const;
    double coordinateOfRow(int row) const;
    int rowOf(double coordinate) const;
    void sortModules();
    void drawColumn(int column, qsizetype set);
    float interpolate(qsizetype set, double coordinate) const;

    SoundingHistory::Quantity vertical_ = SoundingHistory::Altitude;
    HistoryColourMap sequential {HistoryColourMap::Sequential};
    HistoryColourMap diverging {HistoryColourMap::Diverging};
    const HistoryColourMap *colours = &sequential;
    double low = 0;
    double high = 1;
    double bottom = 0; // coordinates of the plot's lower and upper edges
    double top = 1;
    std::vector<int> order; // modules from the lowest up
};

#endif
