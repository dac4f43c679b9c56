#include "app/ModuleTableView.h"

#include "app/ModuleTableDelegate.h"

#include "core/Model.h"

#include <QAccessible>
#include <QHeaderView>

#include <algorithm>
#include <optional>

ModuleTableView::ModuleTableView(QWidget *parent) : QTableView(parent)
{
    setItemDelegate(new ModuleTableDelegate(this));
}

void ModuleTableView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    // The header would measure every cell again at each change; dataChanged() below tells it
    // when a column's width is at stake.
    if (model)
        disconnect(model, &QAbstractItemModel::dataChanged, horizontalHeader(), nullptr);
}

void ModuleTableView::forgetShown()
{
    // Rows move: what was shown where is no longer known. The view repaints them all.
    shown.clear();
    shownRecords.clear();
}

void ModuleTableView::reset()
{
    forgetShown();
    QTableView::reset();
}

void ModuleTableView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    forgetShown();
    QTableView::rowsInserted(parent, start, end);
}

void ModuleTableView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    forgetShown();
    QTableView::rowsAboutToBeRemoved(parent, start, end);
}

int ModuleTableView::contentWidth(int column) const
{
    int width = -1;
    for (const QVector<Cell> &cells : shown) {
        if (column < cells.size())
            width = std::max(width, cells[column].width);
    }
    return width;
}

namespace {

// A text with every digit replaced by '0'. Interface fonts draw all digits at one width, so
// two texts of the same form ("1013.2" and "1009.8") need the same width.
QString form(const QVariant &value)
{
    QString text = value.toString();
    for (QChar &c : text) {
        if (c.isDigit())
            c = QLatin1Char('0');
    }
    return text;
}

} // namespace

void ModuleTableView::setRefreshDeferred(bool deferred)
{
    refreshDeferred = deferred;
    if (!deferred)
        refreshPendingRows();
}

void ModuleTableView::refreshPendingRows()
{
    if (pendingFirst < 0)
        return;
    const int first = pendingFirst;
    const int last = pendingLast;
    pendingFirst = pendingLast = -1;
    // Changes of several kinds may have come meanwhile: every role counts as changed.
    refreshRows(first, last, {});
}

void ModuleTableView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                  const QVector<int> &roles)
{
    if (!refreshDeferred) {
        refreshRows(topLeft.row(), bottomRight.row(), roles);
        return;
    }
    if (pendingFirst < 0) {
        pendingFirst = topLeft.row();
        pendingLast = bottomRight.row();
        emit refreshRequested();
        return;
    }
    pendingFirst = std::min(pendingFirst, topLeft.row());
    pendingLast = std::max(pendingLast, bottomRight.row());
}

void ModuleTableView::refreshRows(int first, int last, const QVector<int> &roles)
{
    if (!model())
        return;
    const int rows = model()->rowCount();
    const int columns = model()->columnCount();
    if (shown.size() != rows) {
        shown.resize(rows);
        shownRecords.resize(rows);
    }
    const auto *table = qobject_cast<const Model *>(model());
    // Built only when a cell is measured: a change of values alone needs none.
    std::optional<QStyleOptionViewItem> options;
    QVector<int> widthsBefore(columns, -2); // -2: column untouched
    // Whole rows are compared: a refresh of a row's record may bring a column the change
    // does not name (the model leaves out the XData column).
    for (int row = std::max(first, 0); row <= last && row < rows; ++row) {
        QVector<Cell> &cells = shown[row];
        if (table) {
            const quint64 record = table->recordRevision(row);
            if (cells.size() == columns && record == shownRecords[row])
                continue;
            shownRecords[row] = record;
        }
        if (cells.size() != columns)
            cells = QVector<Cell>(columns);
        QRect changed;
        for (int column = 0; column < columns; ++column) {
            const QModelIndex index = model()->index(row, column);
            const QVariant value = index.data();
            Cell &cell = cells[column];
            if (cell.width >= 0 && value == cell.value && value.isValid() == cell.value.isValid())
                continue;
            if (cell.width < 0 || form(value) != form(cell.value)) {
                if (widthsBefore[column] == -2)
                    widthsBefore[column] = contentWidth(column);
                if (!options)
                    options = viewOptions();
                cell.width = itemDelegate(index)->sizeHint(*options, index).width();
            }
            cell.value = value;
            changed |= visualRect(index);
            if (QAccessible::isActive())
                QTableView::dataChanged(index, index, roles); // tells screen readers
        }
        // One rectangle per row, the grid lines between the cells included: painting through
        // a clip of many small rectangles costs more than painting the cells between them.
        if (changed.isValid())
            viewport()->update(changed.adjusted(0, 0, 1, 1));
    }
    for (int column = 0; column < columns; ++column) {
        if (widthsBefore[column] != -2 && widthsBefore[column] != contentWidth(column)) {
            QMetaObject::invokeMethod(horizontalHeader(), "resizeSections");
            break;
        }
    }
}
