#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QtTest>

#include <memory>
#include <vector>

using namespace ModuleBytes;

namespace {

constexpr qint64 first = 0x0013A20040000001LL;
constexpr qint64 second = 0x0013A20040000002LL;
constexpr qint64 third = 0x0013A20040000003LL;

const char *const listSignals[] = {
    SIGNAL(hello(int)),      SIGNAL(data(int)),            SIGNAL(xdata(int)),
    SIGNAL(calibReady(int)), SIGNAL(calibDataCompass(int)), SIGNAL(calibOk(int)),
    SIGNAL(calibErr(int)),   SIGNAL(calibDonePitot(int)),  SIGNAL(calibCupOk(int)),
    SIGNAL(indoorAck(int)),  SIGNAL(intThermCalDone(int)), SIGNAL(extThermCalOk(int,quint16)),
    SIGNAL(changeBetaOk(int)),
};

QStringList row(const FlightModuleList &list, int index)
{
    QStringList out;
    for (int column = 0; column < FlightModule::ColumnCount; ++column) {
        const QVariant value = list.value(index, column);
        out.append(value.isValid() ? value.toString() : QStringLiteral("-"));
    }
    return out;
}

QStringList texts(const QList<QVariant> &record)
{
    QStringList out;
    for (const QVariant &value : record)
        out.append(value.isValid() ? value.toString() : QStringLiteral("-"));
    return out;
}

QString storedRecords()
{
    QSettings settings;
    return settings.value(QStringLiteral("FlightModuleList/records")).toString();
}

void storeRecords(const QString &text)
{
    QSettings settings;
    settings.setValue(QStringLiteral("FlightModuleList/records"), text);
}

// A module that has said hello and sent one Data message.
FlightModule *heardModule(qint64 address, const QByteArray &id, int pressure)
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
    void numberingAndCurrentIndex();
    void signalsCarryModuleNumber_data();
    void signalsCarryModuleNumber();
    void snapshotFollowsRefresh();
    void valueOutsideSnapshotIsInvalid();
    void appendedModuleCountsAsReceived();
    void takeAndRemove();
    void clearEmptiesEverything();
    void saveAndRestore();
    void restoreDropsDuplicatesAndInvalidRecords();
    void restoringNothingRemovesTheKey_data();
    void restoringNothingRemovesTheKey();
    void separatorsInRecordsSurviveStorage();
};

void TestFlightModuleList::numberingAndCurrentIndex()
{
    FlightModuleList list;
    QCOMPARE(list.currentModule(), nullptr);
    list.selectLast();
    QCOMPARE(list.currentIndex(), 0);
    QCOMPARE(list.indexOf(first), -1);

    list.addModule(first, 0, 0);
    list.addModule(second, 1, 50);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.indexOf(first), 0);
    QCOMPARE(list.indexOf(second), 1);
    QVERIFY(list.contains(second));
    QVERIFY(!list.contains(third));
    QCOMPARE(list.module(1)->radioAddress(), second);
    QCOMPARE(list.module(-1), nullptr);
    QCOMPARE(list.module(2), nullptr);
    QCOMPARE(list.currentIndex(), 1);
    QCOMPARE(list.currentModule(), list.module(1));

    list.setCurrentIndex(0);
    QCOMPARE(list.currentModule(), list.module(0));
    list.setCurrentIndex(2);
    list.setCurrentIndex(-1);
    QCOMPARE(list.currentIndex(), 0);
    list.selectLast();
    QCOMPARE(list.currentIndex(), 1);
}

void TestFlightModuleList::signalsCarryModuleNumber_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("signalIndex");
    QTest::newRow("hello") << hello('P', "X") << 0;
    QTest::newRow("data") << data(DataFields()) << 1;
    QTest::newRow("xdata") << xdata("x") << 2;
    QTest::newRow("calib ready") << message(0x91) << 3;
    QTest::newRow("compass") << compassSamples(QByteArray(28, 'A')) << 4;
    QTest::newRow("calib ok") << message(0x95) << 5;
    QTest::newRow("calib err") << message(0x96) << 6;
    QTest::newRow("pitot done") << message(0x98) << 7;
    QTest::newRow("cup ok") << message(0x9A) << 8;
    QTest::newRow("indoor ack") << message(0x9D, bytes({155})) << 9;
    QTest::newRow("internal thermistor") << message(0xA0) << 10;
    QTest::newRow("external thermistor") << message(0xA2, word(3012)) << 11;
    QTest::newRow("beta changed") << message(0xA4, word(1)) << 12;
}

void TestFlightModuleList::signalsCarryModuleNumber()
{
    QFETCH(QByteArray, wire);
    QFETCH(int, signalIndex);
    FlightModuleList list;
    list.addModule(first, 0, 0);
    list.addModule(second, 0, 0);
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const char *signal : listSignals)
        spies.push_back(std::make_unique<QSignalSpy>(&list, signal));

    QVERIFY(list.handlePayload(second, wire));
    QVERIFY(!list.handlePayload(third, wire));
    for (int i = 0; i < int(spies.size()); ++i) {
        const QSignalSpy &spy = *spies[size_t(i)];
        QCOMPARE(spy.size(), i == signalIndex ? 1 : 0);
        if (i == signalIndex)
            QCOMPARE(spy.at(0).at(0).toInt(), 1);
    }
    if (signalIndex == 11)
        QCOMPARE(spies[11]->at(0).at(1).value<quint16>(), quint16(3012));
}

void TestFlightModuleList::snapshotFollowsRefresh()
{
    FlightModuleList list;
    list.addModule(first, 0, 0);
    list.addModule(second, 0, 0);
    const QStringList blank = {"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""};
    QCOMPARE(row(list, 0), blank);

    list.handlePayload(first, hello('P', "TX0001"));
    list.handlePayload(second, hello('P', "TX0002") + data(DataFields()));
    QCOMPARE(row(list, 1), blank); // the snapshot waits for refreshRecords

    list.refreshRecords();
    QStringList silent = blank;
    silent[0] = "TX0001";
    QCOMPARE(row(list, 0), silent);
    QCOMPARE(row(list, 1), texts(list.module(1)->record()));
    QCOMPARE(row(list, 1)[FlightModule::PressureColumn], QString("1013.2"));

    // XData counts as received as well.
    list.handlePayload(first, xdata("T=1"));
    list.refreshRecords();
    QCOMPARE(row(list, 0), texts(list.module(0)->record()));
    QCOMPARE(row(list, 0)[FlightModule::XDataColumn], QString("xdata=T=1"));
}

void TestFlightModuleList::valueOutsideSnapshotIsInvalid()
{
    FlightModuleList list;
    list.addModule(first, 0, 0);
    list.addModule(second, 0, 0);
    QVERIFY(list.value(1, 13).isValid());
    QVERIFY(!list.value(0, 14).isValid());
    QVERIFY(!list.value(0, -1).isValid());
    QVERIFY(!list.value(2, 0).isValid());
    QVERIFY(!list.value(5, 0).isValid());
    QVERIFY(!list.value(-1, 0).isValid());
}

void TestFlightModuleList::appendedModuleCountsAsReceived()
{
    FlightModuleList list;
    list.addModule(first, 0, 0);
    list.setCurrentIndex(0);
    list.appendModule(nullptr);
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.currentIndex(), 0);

    FlightModule *module = heardModule(second, "TX0002", 9999);
    list.appendModule(module);
    QCOMPARE(list.currentIndex(), 1);
    QCOMPARE(row(list, 1), texts(module->record()));

    QSignalSpy dataSpy(&list, SIGNAL(data(int)));
    list.handlePayload(second, data(DataFields()));
    QCOMPARE(dataSpy.size(), 1);
    QCOMPARE(dataSpy.at(0).at(0).toInt(), 1);
    list.refreshRecords();
    QCOMPARE(row(list, 1)[FlightModule::PressureColumn], QString("1013.2"));
}

void TestFlightModuleList::takeAndRemove()
{
    FlightModuleList list;
    list.addModule(first, 0, 0);
    list.addModule(second, 0, 0);
    list.addModule(third, 0, 0);
    list.handlePayload(third, hello('P', "TX0003"));
    list.refreshRecords();
    QCOMPARE(list.currentIndex(), 2);
    QCOMPARE(list.takeModule(3), nullptr);
    QCOMPARE(list.takeModule(-1), nullptr);

    std::unique_ptr<FlightModule> taken(list.takeModule(1));
    QVERIFY(taken);
    QCOMPARE(taken->radioAddress(), second);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.currentIndex(), 1);
    QCOMPARE(list.indexOf(third), 1);
    QCOMPARE(list.value(1, 0), QVariant(QString("TX0003")));
    QVERIFY(!list.contains(second));
    QVERIFY(!list.handlePayload(second, message(0x91)));

    // The taken module no longer talks to the list.
    QSignalSpy readySpy(&list, SIGNAL(calibReady(int)));
    taken->processPayload(message(0x91));
    QCOMPARE(readySpy.size(), 0);
    list.handlePayload(third, message(0x91));
    QCOMPARE(readySpy.size(), 1);
    QCOMPARE(readySpy.at(0).at(0).toInt(), 1);

    list.setCurrentIndex(0);
    list.removeModule(1);
    QCOMPARE(list.currentIndex(), 0);
    QCOMPARE(list.count(), 1);
    list.selectLast();
    list.removeModule(0);
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.currentIndex(), 0);
    QCOMPARE(list.currentModule(), nullptr);
}

void TestFlightModuleList::clearEmptiesEverything()
{
    FlightModuleList list;
    list.addModule(first, 0, 0);
    list.addModule(second, 0, 0);
    list.clear();
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.currentIndex(), 0);
    QVERIFY(!list.contains(first));
    QVERIFY(!list.value(0, 0).isValid());
    QVERIFY(!list.handlePayload(first, message(0x91)));
}

void TestFlightModuleList::saveAndRestore()
{
    FlightModuleList list;
    QVERIFY(!list.hasSavedModules());
    QVERIFY(!list.canRestoreModules());
    list.appendModule(heardModule(first, "TX0001", 10000));
    list.appendModule(heardModule(second, "TX0002", 10001));
    list.appendModule(heardModule(third, "TX0003", 10002));
    list.saveModules();
    QCOMPARE(storedRecords(), list.module(0)->toSavedRecord() + '/'
                                  + list.module(1)->toSavedRecord() + '/'
                                  + list.module(2)->toSavedRecord());
    QVERIFY(list.hasSavedModules());
    QVERIFY(!list.canRestoreModules());

    FlightModuleList restoredList;
    QVERIFY(restoredList.canRestoreModules());
    QList<FlightModule *> restored;
    restoredList.restoreModules(restored, 1);
    QCOMPARE(restored.size(), 3);
    for (FlightModule *module : restored)
        restoredList.appendModule(module);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(restoredList.module(i)->radioAddress(), list.module(i)->radioAddress());
        // Invalid columns come back as empty texts.
        QCOMPARE(row(restoredList, i).join(';'),
                 list.module(i)->toSavedRecord().section(';', 0, 13));
    }
    QVERIFY(restoredList.hasSavedModules());

    list.forgetSavedModules();
    QVERIFY(!restoredList.hasSavedModules());
    restored.clear();
    restoredList.clear();
    restoredList.restoreModules(restored, 0);
    QVERIFY(restored.isEmpty());
}

void TestFlightModuleList::restoreDropsDuplicatesAndInvalidRecords()
{
    std::unique_ptr<FlightModule> a(heardModule(first, "FIRST", 10000));
    std::unique_ptr<FlightModule> again(heardModule(first, "AGAIN", 10000));
    std::unique_ptr<FlightModule> b(heardModule(second, "TX0002", 10000));
    storeRecords(QStringList({a->toSavedRecord(), "not a record", again->toSavedRecord(), "",
                              b->toSavedRecord()})
                     .join('/'));

    FlightModuleList list;
    QList<FlightModule *> restored;
    list.restoreModules(restored, 0);
    QCOMPARE(restored.size(), 2);
    QCOMPARE(restored[0]->moduleId(), QString("FIRST"));
    QCOMPARE(restored[1]->moduleId(), QString("TX0002"));
    qDeleteAll(restored);
    QVERIFY(list.hasSavedModules());
}

void TestFlightModuleList::restoringNothingRemovesTheKey_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("record that does not parse") << "TX0001;0;0";
    QTest::newRow("empty list saved") << "";
    QTest::newRow("only separators") << "//";
}

void TestFlightModuleList::restoringNothingRemovesTheKey()
{
    QFETCH(QString, stored);
    storeRecords(stored);
    FlightModuleList list;
    QVERIFY(list.hasSavedModules());
    QList<FlightModule *> restored;
    list.restoreModules(restored, 0);
    QVERIFY(restored.isEmpty());
    QVERIFY(!list.hasSavedModules());
    QVERIFY(!list.canRestoreModules());
}

void TestFlightModuleList::separatorsInRecordsSurviveStorage()
{
    FlightModuleList list;
    list.appendModule(heardModule(first, "TX0001", 10000));
    list.appendModule(heardModule(second, "TX/0002", 10000));
    list.handlePayload(first, xdata("a;b/c"));
    list.saveModules();

    QList<FlightModule *> restored;
    FlightModuleList().restoreModules(restored, 0);
    QCOMPARE(restored.size(), 2);
    QCOMPARE(restored[0]->field(FlightModule::XDataColumn), QVariant(QString("xdata=a b c")));
    QCOMPARE(restored[1]->moduleId(), QString("TX 0002"));
    qDeleteAll(restored);
}

VENTROLLA_TEST_MAIN(TestFlightModuleList)
#include "tst_FlightModuleList.moc"
