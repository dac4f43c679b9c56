#ifndef VENTROLLA_APP_MODULETABLEVIEW_H
#define VENTROLLA_APP_MODULETABLEVIEW_H

#include <QTableView>
#include <QVariant>
#include <QVector>

// The table of modules in the main window.
//
// The model announces every data message as a change of the whole table (each refresh copies
// every module's latest record), although only one module's values changed. Repainting the
// whole table, and measuring every cell again for the columns sized to their contents, for
// each of fifty modules' messages a second would keep a core busy. This view passes over the
// rows whose record the model has not renewed, and compares the cells of the others with what
// it last showed: it repaints only the cells that differ, measures only those, and has the
// columns sized again only when the widest content of a column changed.
class ModuleTableView : public QTableView
{
    Q_OBJECT

public:
    explicit ModuleTableView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void reset() override;
    // Deferred, the rows the model changes are compared and repainted at refreshPendingRows(),
    // which the window calls right before it repaints, instead of at each change. Off by
    // default.
    void setRefreshDeferred(bool deferred);
    void refreshPendingRows();

signals:
    // Deferred, a row changed and waits for refreshPendingRows(); once until it is called.
    void refreshRequested();

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QVector<int> &roles = QVector<int>()) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;

private:
    struct Cell
    {
        QVariant value;
        int width = -1; // the width the cell's content needs; -1 while not yet compared
    };

    int contentWidth(int column) const;
    void forgetShown();
    void refreshRows(int first, int last, const QVector<int> &roles);

    // What is shown, by row and column, and the model's record revision of each row shown.
    QVector<QVector<Cell>> shown;
    QVector<quint64> shownRecords;
    bool refreshDeferred = false;
    int pendingFirst = -1; // the rows changed since the last refresh; none while -1
    int pendingLast = -1;
};

#endif
