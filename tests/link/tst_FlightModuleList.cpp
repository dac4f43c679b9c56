#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QtTest>

#include <memory>

using namespace ModuleBytes;

namespace {

constexpr qint64 first = 0x0013A20040000001LL;
constexpr qint64 second = 0x0013A20040000002LL;
constexpr qint64 third = 0x0013A20040000003LL;

// A row of the snapshot in one line; "-" marks an invalid value.
QString row(const FlightModuleList &list, int index)
{
    QStringList out;
    for (int column = -1; column <= FlightModule::ColumnCount; ++column) {
        const QVariant value = list.value(index, column);
        out.append(value.isValid() ? value.toString() : QStringLiteral("-"));
    }
    return out.join('|');
}

// A module that has said hello and sent one Data message.
FlightModule *heardModule(qint64 address, const QByteArray &id, int pressure = 10132)
{
    auto *module = new FlightModule(address, 0, 0);
    DataFields d;
    d.pressure = pressure;
    module->processPayload(hello('P', id) + data(d));
    return module;
}

} // namespace

class TestFlightModuleList : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void numberingAndCurrentIndex()
    {
        FlightModuleList list;
        list.selectLast();
        QCOMPARE(list.currentIndex(), 0);
        for (const qint64 address : {first, second, third})
            list.addModule(address, 0, 0);
        QCOMPARE(list.indexOf(third), 2);
        QCOMPARE(list.indexOf(0), -1);
        QVERIFY(!list.module(3) && !list.module(-1) && !list.takeModule(3) && !list.takeModule(-1));
        QCOMPARE(list.currentIndex(), 2);
        list.setCurrentIndex(0);
        list.setCurrentIndex(3);
        list.setCurrentIndex(-1);
        QCOMPARE(list.currentModule(), list.module(0));
        list.handlePayload(third, hello('P', "TX0003"));
        list.refreshRecords();
        list.selectLast();
        std::unique_ptr<FlightModule> taken(list.takeModule(1));
        QCOMPARE(taken->radioAddress(), second);
        QCOMPARE(list.currentIndex(), 1);
        QCOMPARE(list.indexOf(third), 1);
        QCOMPARE(list.value(1, 0), QVariant(QString("TX0003")));
        QVERIFY(!list.handlePayload(second, message(0x91)));
        // The taken module no longer talks to the list.
        QSignalSpy ready(&list, &FlightModuleList::calibReady);
        taken->processPayload(message(0x91));
        QVERIFY(list.handlePayload(third, message(0x91)));
        QCOMPARE(ready.count(), 1);
        QCOMPARE(ready[0][0].toInt(), 1);
        list.removeModule(1);
        QCOMPARE(list.currentIndex(), 0);
        list.removeModule(0);
        QCOMPARE(list.currentIndex(), 0);
        QCOMPARE(list.currentModule(), nullptr);
        list.addModule(first, 0, 0);
        list.addModule(second, 0, 0);
        list.clear();
        QCOMPARE(list.count() + list.currentIndex(), 0);
        QVERIFY(!list.handlePayload(first, message(0x91)));
    }

    // The table's snapshot changes only on refreshRecords; a module counts as heard (and shows
    // its record instead of zeros) once it sent Data or XData, or when appended whole.
    void snapshotFollowsRefresh()
    {
        FlightModuleList list;
        list.addModule(first, 0, 0);
        list.addModule(second, 0, 0);
        list.appendModule(nullptr);
        list.appendModule(heardModule(third, "TX0003", 9999));
        list.handlePayload(first, hello('P', "TX0001"));
        list.handlePayload(second, hello('P', "TX0002") + xdata("T=1"));
        QCOMPARE(row(list, 1), "-|0|0|0|0|0|0|0|0|0|0|0|0|0||-");
        QCOMPARE(row(list, 2), "-|TX0003|0.0|999.9|22.250|45.6|270|9.72|12.05|00:00:00|-|-|-|-||-");
        QCOMPARE(row(list, 3), "-|-|-|-|-|-|-|-|-|-|-|-|-|-|-|-");
        list.refreshRecords();
        QCOMPARE(row(list, 0), "-|TX0001|0|0|0|0|0|0|0|0|0|0|0|0||-");
        QCOMPARE(row(list, 1), "-|TX0002|0|0|0|0|0|0|0|0|0|0|0|0|xdata=T=1|-");
        QSignalSpy dataSpy(&list, &FlightModuleList::data);
        list.handlePayload(third, data(DataFields()));
        QCOMPARE(dataSpy[0][0].toInt(), 2);
        list.refreshRecords();
        QCOMPARE(list.value(2, FlightModule::PressureColumn), QVariant(QString("1013.2")));
    }

    void saveAndRestore_data()
    {
        QTest::addColumn<QString>("stored"); // "*": what saveModules() stores
        QTest::addColumn<QString>("restored"); // empty: the key is removed
        std::unique_ptr<FlightModule> a(heardModule(first, "FIRST"));
        std::unique_ptr<FlightModule> again(heardModule(first, "AGAIN"));
        std::unique_ptr<FlightModule> b(heardModule(second, "TX0002"));
        QTest::newRow("saved") << "*" << "TX0001 xdata=a b c|TX 0002 |";
        QTest::newRow("duplicates and invalid records")
            << QStringList({a->toSavedRecord(), "not a record", again->toSavedRecord(), "", b->toSavedRecord()}).join('/')
            << "FIRST |TX0002 |";
        QTest::newRow("record that does not parse") << "TX0001;0;0" << "";
        QTest::newRow("empty list saved") << "" << "";
        QTest::newRow("only separators") << "//" << "";
    }

    void saveAndRestore()
    {
        QFETCH(QString, stored);
        QFETCH(QString, restored);
        FlightModuleList saved;
        QVERIFY(!saved.hasSavedModules() && !saved.canRestoreModules());
        saved.appendModule(heardModule(first, "TX0001"));
        saved.appendModule(heardModule(second, "TX/0002"));
        saved.handlePayload(first, xdata("a;b/c"));
        if (stored == "*")
            saved.saveModules();
        else
            QSettings().setValue(QStringLiteral("FlightModuleList/records"), stored);
        QVERIFY(saved.hasSavedModules() && !saved.canRestoreModules());

        FlightModuleList list;
        QVERIFY(list.canRestoreModules());
        QList<FlightModule *> modules;
        list.restoreModules(modules, 0);
        QString ids;
        for (const FlightModule *module : modules)
            ids += module->moduleId() + ' ' + module->field(FlightModule::XDataColumn).toString() + '|';
        if (!modules.isEmpty())
            QCOMPARE(modules.last()->radioAddress(), second);
        qDeleteAll(modules);
        QCOMPARE(ids, restored);
        QCOMPARE(list.hasSavedModules(), !restored.isEmpty());
        saved.forgetSavedModules();
        QVERIFY(!list.hasSavedModules());
    }
};

VENTROLLA_TEST_MAIN(TestFlightModuleList)
#include "tst_FlightModuleList.moc"
