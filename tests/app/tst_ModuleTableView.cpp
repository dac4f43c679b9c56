// The module table repaints what changed although the model announces whole rows, including a
// column the announcement leaves out, and widens a column for a longer text.

#include "TestSupport.h"

#include "app/ModuleTableView.h"

#include <QAbstractTableModel>
#include <QBackingStore>
#include <QHeaderView>
#include <QtTest>

namespace {

// Values that change silently and are then announced as a range without the last column, as
// the module table announces its refreshes.
class QuietTable : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : cells.size();
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? cells[index.row()][index.column()] : QVariant();
    }
    void announce() { emit dataChanged(index(0, 0), index(rowCount() - 1, 1)); }

    QVector<QStringList> cells{{"SND1", "1013.2", "xdata=1"}, {"SND2", "998.7", "xdata=2"}};
};

// What the window shows of the table, and what the table would paint now.
QImage onScreen(ModuleTableView &view)
{
    const auto *window = static_cast<QImage *>(view.backingStore()->paintDevice());
    const QRect area(view.viewport()->mapTo(&view, QPoint(0, 0)), view.viewport()->size());
    return window->copy(area).convertToFormat(QImage::Format_RGB32);
}

QImage current(ModuleTableView &view)
{
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestModuleTableView : public QObject
{
    Q_OBJECT

private slots:
    void showsWhatTheModelHolds_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("same form") << 0 << 1 << "1009.8";
        QTest::newRow("longer") << 1 << 1 << "1234567.8";
        QTest::newRow("left out of the announcement") << 1 << 2 << "xdata=wind 7";
    }

    void showsWhatTheModelHolds()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QuietTable table;
        ModuleTableView view;
        view.setModel(&table);
        view.horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        view.resize(420, 160);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        table.announce();
        QTRY_COMPARE(onScreen(view), current(view));
        const int width = view.columnWidth(column);

        table.cells[row][column] = text;
        table.announce();
        QTRY_COMPARE(onScreen(view), current(view));
        if (text.size() > 8)
            QVERIFY(view.columnWidth(column) > width);
    }
};

VENTROLLA_GUI_TEST_MAIN(TestModuleTableView)
#include "tst_ModuleTableView.moc"
