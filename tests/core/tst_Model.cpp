// The model: its start-up state, run settings, table interface, persisted settings and port.

#include "ModelHarness.h"
#include "TestSupport.h"

#include "link/FlightModule.h"

#include <QAbstractItemModelTester>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr qint64 firstAddress = 0x0013A20040000001;
constexpr qint64 secondAddress = 0x0013A20040000002;

FlightModule *restoredModule(const QString &identifier, qint64 address)
{
    return new FlightModule(Radio::savedRecord(identifier, address), 0);
}

QVariant storedValue(const QString &key)
{
    QSettings settings;
    return settings.value(key);
}

// Runs the standard model checks, except the one that wants no flags on the root: the table
// reports its root as enabled.
class ModelCheck
{
public:
    explicit ModelCheck(QAbstractItemModel *model)
    {
        found.clear();
        previous = qInstallMessageHandler(collect);
        tester = std::make_unique<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::Warning);
    }
    ~ModelCheck()
    {
        tester.reset();
        qInstallMessageHandler(previous);
    }
    QStringList failures() const { return found; }

private:
    static void collect(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (qstrcmp(context.category, "qt.modeltest") != 0) {
            previous(type, context, text);
            return;
        }
        if (!text.contains(QLatin1String("flags == Qt::ItemIsDropEnabled || flags == 0")))
            found << text;
    }

    static inline QtMessageHandler previous = nullptr;
    static inline QStringList found;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace

class TestModel : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void freshModelIsUnconfigured()
    {
        ModelRig rig;
        Model &model = rig.model();
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QCOMPARE(model.dataInterval(), 2);
        QCOMPARE(model.highWindThreshold(), 10);
        QVERIFY(!model.isHighWindAlertActive());
        QVERIFY(model.canOpenPort());
        QVERIFY(model.canChangeDataInterval());
        QVERIFY(!model.canRun());
        QVERIFY(!model.canAcquire());
        QVERIFY(!model.isRunning());
        QVERIFY(!model.isBaseStationReady());
        QVERIFY(!model.isPendingStateSet());
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 14);
        QVERIFY(!model.serialPort()->isOpen());
        QCOMPARE(model.serialPort()->portName(), QStringLiteral("COM1"));
    }

    void dataIntervalText_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << "1 seconds";
        QTest::newRow("6") << 6 << "6 seconds";
        QTest::newRow("7") << 7 << "10 seconds";
        QTest::newRow("12") << 12 << "60 seconds";
        QTest::newRow("13") << 13 << "1 minutes";
        QTest::newRow("19") << 19 << "10 minutes";
        QTest::newRow("23") << 23 << "30 minutes";
        QTest::newRow("24") << 24 << "60 minutes";
        QTest::newRow("0") << 0 << "";
        QTest::newRow("25") << 25 << "";
    }

    void dataIntervalText()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        Model model(0, 0, false, false, false, false);
        model.setDataInterval(index);
        QCOMPARE(model.dataInterval(), index);
        QCOMPARE(model.dataIntervalText(), text);
    }

    void dataIntervalChangesOnlyWhereTheStateAllowsIt()
    {
        ModelRig rig;
        Model &model = rig.model();
        QSignalSpy status(&model, &Model::statusChanged);
        model.setDataInterval(5);
        QCOMPARE(model.dataInterval(), 5);
        QCOMPARE(status.count(), 1);

        QVERIFY(rig.open());
        QVERIFY(!model.canChangeDataInterval());
        status.clear();
        model.setDataInterval(9);
        QCOMPARE(model.dataInterval(), 5);
        QCOMPARE(status.count(), 1);
    }

    void headerTitlesFollowTheWindUnits_data()
    {
        QTest::addColumn<int>("windUnits");
        QTest::addColumn<QString>("wind");
        QTest::addColumn<QString>("speed");
        QTest::newRow("knots") << 0 << "Wind (knots)" << "Speed (knots)";
        QTest::newRow("metres per second") << 1 << "Wind (m/s)" << "Speed (m/s)";
        QTest::newRow("any other value") << 2 << "Wind (knots)" << "Speed (knots)";
    }

    void headerTitlesFollowTheWindUnits()
    {
        QFETCH(int, windUnits);
        QFETCH(QString, wind);
        QFETCH(QString, speed);
        Model model(windUnits, 0, false, false, false, false);
        const QStringList expected{"Module ID", "Alt (m)", "P (mbar)", "T (deg C)", "%RH",
                                   "Wind (degrees)", wind, "Supply (V)", "UTC Time",
                                   "Latitude (deg)", "Longitude (deg)", "Course (deg)", speed,
                                   "XData"};
        for (int section = 0; section < expected.size(); ++section)
            QCOMPARE(model.headerData(section, Qt::Horizontal).toString(), expected[section]);

        QVERIFY(!model.headerData(14, Qt::Horizontal).isValid());
        QVERIFY(!model.headerData(-1, Qt::Horizontal).isValid());
        QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
        QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::EditRole).isValid());
        QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    }

    void tableRowsFollowTheModules()
    {
        Model model(0, 0, false, false, false, false);
        ModelCheck check(&model);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        model.refreshTable();
        QCOMPARE(changed.count(), 0);

        model.appendModule(restoredModule(QStringLiteral("TX0001"), firstAddress));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][1].toInt(), 0);
        QCOMPARE(inserted[0][2].toInt(), 0);

        // A module heard while acquiring moves from the new-module list to the last row.
        model.newModuleList().addModule(secondAddress, 0, 0);
        model.newModuleList().handlePayload(secondAddress, Radio::hello('P', "TX0002"));
        model.adoptNewModule(0);
        QCOMPARE(model.newModuleList().count(), 0);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted[1][1].toInt(), 1);
        QCOMPARE(inserted[1][2].toInt(), 1);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.moduleCount(), 2);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("TX0001"));
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("TX0002"));
        QCOMPARE(model.data(model.index(1, 0), Qt::EditRole).toString(), QStringLiteral("TX0002"));

        model.refreshTable();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed[0][0].toModelIndex(), model.index(0, 0));
        QCOMPARE(changed[0][1].toModelIndex(), model.index(1, 12));

        model.removeModule(2);
        model.removeModule(-1);
        QCOMPARE(removed.count(), 0);
        model.removeModule(0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed[0][1].toInt(), 0);
        QCOMPARE(removed[0][2].toInt(), 0);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("TX0002"));

        model.newModuleList().addModule(firstAddress, 0, 0);
        model.clearModules();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.newModuleList().count(), 0);
        QCOMPARE(removed.count(), 2);

        // Saved modules go into an empty table as one insertion.
        model.appendModules({restoredModule(QStringLiteral("TX0003"), firstAddress),
                             restoredModule(QStringLiteral("TX0004"), secondAddress)});
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(inserted[2][1].toInt(), 0);
        QCOMPARE(inserted[2][2].toInt(), 1);
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("TX0004"));

        // Without modules, clearing changes nothing.
        model.clearModules();
        removed.clear();
        model.clearModules();
        QCOMPARE(removed.count(), 0);
        QVERIFY2(check.failures().isEmpty(), qPrintable(check.failures().join('\n')));
    }

    void cellsAndFlags()
    {
        Model model(0, 0, false, false, false, false);
        model.appendModule(restoredModule(QStringLiteral("TX0001"), firstAddress));
        const QModelIndex cell = model.index(0, 2);

        QCOMPARE(model.data(cell).toString(), QStringLiteral("0"));
        QVERIFY(!model.data(cell, Qt::DecorationRole).isValid());
        QVERIFY(!model.data(cell, Qt::ToolTipRole).isValid());
        QVERIFY(!model.data(QModelIndex()).isValid());
        QVERIFY(!model.data(model.index(1, 0)).isValid());
        QVERIFY(!model.data(model.index(0, 14)).isValid());
        QCOMPARE(model.rowCount(cell), 0);
        QCOMPARE(model.columnCount(cell), 0);

        QCOMPARE(model.flags(QModelIndex()), Qt::ItemFlags(Qt::ItemIsEnabled));
        for (const QModelIndex &index : {cell, model.index(0, 13)}) {
            const Qt::ItemFlags flags = model.flags(index);
            QVERIFY(flags & Qt::ItemIsSelectable);
            QVERIFY(flags & Qt::ItemIsEnabled);
            QVERIFY(!(flags & Qt::ItemIsEditable));
        }
    }

    void configModeSelectsTheLastModule()
    {
        Model model(0, 0, false, false, false, false);
        model.appendModule(restoredModule(QStringLiteral("TX0001"), firstAddress));
        model.appendModule(restoredModule(QStringLiteral("TX0002"), secondAddress));
        model.moduleList().setCurrentIndex(0);
        model.setConfigMode(1);
        QCOMPARE(model.configMode(), 1);
        QCOMPARE(model.moduleList().currentIndex(), 1);
    }

    void settingsWrittenOnDestructionAreReadBack()
    {
        QString portName;
        {
            Model model(0, 0, false, false, false, false);
            QVERIFY(model.setPortName(QStringLiteral("/dev/ttyVENTROLLA7")));
            model.setDataInterval(19);
            portName = model.serialPort()->portName();
        }
        QCOMPARE(storedValue(QStringLiteral("BaseStation/port")).toString(), portName);
        QCOMPARE(storedValue(QStringLiteral("Data/delayByte")).toInt(), 19);

        Model model(0, 0, false, false, false, false);
        QCOMPARE(model.serialPort()->portName(), portName);
        QCOMPARE(model.dataInterval(), 19);
    }

    void storedDataInterval_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("interval");
        QTest::newRow("1") << QVariant(1) << 1;
        QTest::newRow("24") << QVariant(24) << 24;
        QTest::newRow("text 13") << QVariant("13") << 13;
        QTest::newRow("0") << QVariant(0) << 2;
        QTest::newRow("25") << QVariant(25) << 2;
        QTest::newRow("-1") << QVariant(-1) << 2;
        QTest::newRow("263, which is 7 in a byte") << QVariant(263) << 2;
        QTest::newRow("not a number") << QVariant("often") << 2;
    }

    void storedDataInterval()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, interval);
        {
            QSettings settings;
            settings.setValue(QStringLiteral("Data/delayByte"), stored);
        }
        Model model(0, 0, false, false, false, false);
        QCOMPARE(model.dataInterval(), interval);
    }

    void openPort()
    {
        ModelRig rig;
        Model &model = rig.model();
        QSignalSpy lost(&model, &Model::baseStationLost);

        QVERIFY(model.setPortName(QStringLiteral("/nonexistent/ttyVENTROLLA")));
        QVERIFY(!model.openPort());
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QVERIFY(!model.serialPort()->isOpen());
        QVERIFY(!model.isPendingStateSet());

        QVERIFY(rig.open());
        QCOMPARE(rig.stateName(), QStringLiteral("Configuring"));
        QVERIFY(model.serialPort()->isOpen());
        QVERIFY(model.serialPort()->openMode() == QIODevice::ReadWrite);
        QVERIFY(model.isPendingStateSet());
        QVERIFY(!model.canOpenPort());

        // No other state closes the port or renames it.
        const QString name = model.serialPort()->portName();
        QVERIFY(!model.setPortName(QStringLiteral("/dev/ttyVENTROLLA7")));
        QVERIFY(model.serialPort()->isOpen());
        QCOMPARE(model.serialPort()->portName(), name);
        QCOMPARE(lost.count(), 0);
    }

    void deviceGoingAwayClosesThePortOnce()
    {
        ModelRig rig;
        QVERIFY(rig.open());
        QSignalSpy lost(&rig.model(), &Model::baseStationLost);

        rig.pty().closeMaster();
        QVERIFY(lost.wait(2000));
        QVERIFY(!rig.model().serialPort()->isOpen());
        // The port does not keep reporting its error.
        QTest::qWait(50);
        QCOMPARE(lost.count(), 1);

        // Ticks that write to the closed port are harmless.
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QSerialPort): device not open");
        rig.tick(1001);
        QCOMPARE(lost.count(), 1);
    }
};

VENTROLLA_TEST_MAIN(TestModel)
#include "tst_Model.moc"
