#ifndef VENTROLLA_GRAPH_GRAPHDATACACHE_H
#define VENTROLLA_GRAPH_GRAPHDATACACHE_H

#include <QModelIndex>
#include <QObject>
#include <QVariant>
#include <QVector>

class Model;

// The table's cells as the profile graphs read them, kept per row with a revision number that
// changes whenever the row's cells do. The model announces a change of every cell for each Data
// message while only one module's row changed; one cache per model, shared by all its graphs,
// reads again only the rows whose record the model has renewed, and each graph redraws only the
// rows whose revision moved.
//
// A cell with no value is NaN: an invalid or non-numeric (also empty) cell, and every cell of a
// module that has not reported yet. Such a module shows the text "0" in all of columns 1 to 12,
// which no Data message leaves: one always writes a time of day into "UTC Time". A cell holding
// the number 0 is a measurement.
class GraphDataCache : public QObject
{
    Q_OBJECT

public:
    // The model's cache, created by the first call as a child of the model. Graphs call this
    // before they connect to the model, so the cache has read a change before they draw it.
    static GraphDataCache *of(Model *model);

    int rowCount() const;
    // Column 1 to 7 of the row as a number; NaN when the cell has no value.
    double value(int row, int column) const;
    // Wind speed and a usable direction.
    bool hasWind(int row) const;
    quint64 revision(int row) const;
    // Moves whenever the identifier of a module already in the table changes.
    quint64 identifierRevision() const;

    // Reads rows first to last again (for a change the model did not announce).
    void refresh(int first, int last);

private slots:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void rowsInserted(const QModelIndex &parent, int start, int end);
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end);

private:
    static constexpr int cellCount = 13; // columns 0 to 12
    static constexpr int valueCount = 8; // columns 1 to 7 as numbers (0 unused)

    struct Row
    {
        Row();
        QVariant cells[cellCount];
        double values[valueCount];
        bool hasWind = false;
        quint64 revision = 0;
        quint64 recordRevision = 0; // the model's, when the row was read
    };

    explicit GraphDataCache(Model *model);
    void readRow(int row);

    Model *model;
    QVector<Row> rows;
    quint64 lastRevision = 0;
    quint64 identifierRevision_ = 0;
};

#endif
