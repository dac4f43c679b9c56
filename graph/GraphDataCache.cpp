#include "graph/GraphDataCache.h"

#include "core/Model.h"
#include "link/FlightModule.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double noValue = std::numeric_limits<double>::quiet_NaN();

double cellNumber(const QVariant &cell)
{
    bool ok = false;
    const double value = cell.toDouble(&ok);
    return ok && std::isfinite(value) ? value : noValue;
}

// A row that did not change hands out the very strings it did last time: equal at a glance.
bool sameCell(const QVariant &a, const QVariant &b)
{
    if (a.userType() == QMetaType::QString && b.userType() == QMetaType::QString) {
        const QString &x = *static_cast<const QString *>(a.constData());
        const QString &y = *static_cast<const QString *>(b.constData());
        return x.isSharedWith(y) || x == y;
    }
    return a == b;
}

bool isBlankCell(const QVariant &cell)
{
    return cell.userType() == QMetaType::QString
           && *static_cast<const QString *>(cell.constData()) == QLatin1String("0");
}

} // namespace

GraphDataCache::Row::Row()
{
    std::fill(std::begin(values), std::end(values), noValue);
}

GraphDataCache *GraphDataCache::of(Model *model)
{
    auto *cache = model->findChild<GraphDataCache *>(QString(), Qt::FindDirectChildrenOnly);
    return cache ? cache : new GraphDataCache(model);
}

GraphDataCache::GraphDataCache(Model *model) : QObject(model), model(model)
{
    connect(model, &QAbstractItemModel::dataChanged, this, &GraphDataCache::dataChanged);
    connect(model, &QAbstractItemModel::rowsInserted, this, &GraphDataCache::rowsInserted);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &GraphDataCache::rowsAboutToBeRemoved);
    rows.resize(model->rowCount());
    refresh(0, rows.size() - 1);
}

int GraphDataCache::rowCount() const
{
    return rows.size();
}

double GraphDataCache::value(int row, int column) const
{
    if (row < 0 || row >= rows.size() || column < 1 || column >= valueCount)
        return noValue;
    return rows[row].values[column];
}

bool GraphDataCache::hasWind(int row) const
{
    return row >= 0 && row < rows.size() && rows[row].hasWind;
}

quint64 GraphDataCache::revision(int row) const
{
    return row >= 0 && row < rows.size() ? rows[row].revision : 0;
}

quint64 GraphDataCache::identifierRevision() const
{
    return identifierRevision_;
}

void GraphDataCache::refresh(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, int(rows.size()) - 1);
    for (int row = first; row <= last; ++row)
        readRow(row);
}

void GraphDataCache::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    int first = 0;
    int last = rows.size() - 1;
    if (topLeft.isValid() && bottomRight.isValid()) {
        first = std::max(topLeft.row(), 0);
        last = std::min(bottomRight.row(), last);
    }
    for (int row = first; row <= last; ++row) {
        if (rows[row].revision == 0 || rows[row].recordRevision != model->recordRevision(row))
            readRow(row);
    }
}

void GraphDataCache::rowsInserted(const QModelIndex &parent, int start, int end)
{
    if (parent.isValid())
        return;
    start = std::clamp(start, 0, int(rows.size()));
    end = std::min(end, start + model->rowCount() - int(rows.size()) - 1);
    if (end < start)
        return;
    rows.insert(start, end - start + 1, Row());
    refresh(start, end);
}

void GraphDataCache::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    if (parent.isValid())
        return;
    start = std::max(start, 0);
    end = std::min(end, int(rows.size()) - 1);
    if (end >= start)
        rows.remove(start, end - start + 1);
}

void GraphDataCache::readRow(int row)
{
    Row &cached = rows[row];
    cached.recordRevision = model->recordRevision(row);
    bool changed = false;
    const auto read = [&](int column) {
        QVariant cell = model->data(model->index(row, column));
        if (sameCell(cell, cached.cells[column]))
            return;
        // A new row's identifier is no change: the graphs label their rows as rows come.
        if (column == FlightModule::ModuleIdColumn && cached.cells[column].isValid())
            ++identifierRevision_;
        cached.cells[column] = std::move(cell);
        changed = true;
    };
    for (int column = 0; column <= FlightModule::UtcTimeColumn; ++column)
        read(column);
    // Only a module that has not reported shows "0" as its time; the GPS columns tell the rest.
    const bool mayBeBlank = isBlankCell(cached.cells[FlightModule::UtcTimeColumn]);
    if (mayBeBlank) {
        for (int column = FlightModule::UtcTimeColumn + 1; column < cellCount; ++column)
            read(column);
    }
    if (!changed && cached.revision != 0)
        return;

    bool blank = mayBeBlank;
    for (int column = FlightModule::AltitudeColumn; blank && column < cellCount; ++column)
        blank = isBlankCell(cached.cells[column]);
    for (int column = 1; column < valueCount; ++column)
        cached.values[column] = blank ? noValue : cellNumber(cached.cells[column]);
    const double direction = cached.values[FlightModule::WindDirectionColumn];
    cached.hasWind = std::isfinite(cached.values[FlightModule::WindSpeedColumn])
                     && std::abs(direction) < 1e9; // also false for NaN
    cached.revision = ++lastRevision;
}
