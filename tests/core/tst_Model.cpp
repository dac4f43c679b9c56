// The model: its run settings, table interface, persisted settings and port, and the bytes of
// every command to a flight module as they reach the base station.

#include "ModelHarness.h"
#include "TestSupport.h"

#include "link/FlightModule.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

using ModuleBytes::bytes;
using Command = std::function<void(Model &)>;
Q_DECLARE_METATYPE(Command)

namespace {

// Holds 0x13 and 0x7E, which the frame layer must escape.
constexpr qint64 address = 0x0013A2004012347E;

FlightModule *restored(const QString &identifier, qint64 radioAddress = address, char kind = 'P')
{
    return new FlightModule(savedRecord(identifier, radioAddress, kind), 0);
}

} // namespace

class TestModel : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void dataInterval_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << QVariant(1) << "1 seconds";
        QTest::newRow("7") << QVariant(7) << "10 seconds";
        QTest::newRow("12") << QVariant(12) << "60 seconds";
        QTest::newRow("text 13") << QVariant("13") << "1 minutes";
        QTest::newRow("19") << QVariant(19) << "10 minutes";
        QTest::newRow("24") << QVariant(24) << "60 minutes";
        // Outside 1 to 24 (hand-edited or corrupt settings) the default serves.
        QTest::newRow("0") << QVariant(0) << "2 seconds";
        QTest::newRow("25") << QVariant(25) << "2 seconds";
        QTest::newRow("263, which is 7 in a byte") << QVariant(263) << "2 seconds";
        QTest::newRow("not a number") << QVariant("often") << "2 seconds";
    }

    // The interval and the port are read at start and written back at the end.
    void dataInterval()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, text);
        QSettings().setValue(QStringLiteral("Data/delayByte"), stored);
        int interval = 0;
        {
            Model model(0, 0, false, false, false, false);
            QCOMPARE(model.dataIntervalText(), text);
            interval = model.dataInterval();
            QVERIFY(model.setPortName(QStringLiteral("/dev/ttyVENTROLLA7")));
        }
        QCOMPARE(QSettings().value(QStringLiteral("Data/delayByte")).toInt(), interval);
        Model model(0, 0, false, false, false, false);
        QCOMPARE(model.serialPort()->portName(), QStringLiteral("ttyVENTROLLA7"));
        model.setDataInterval(interval + 24);
        QCOMPARE(model.dataIntervalText(), QString());
    }

    void headerTitles()
    {
        for (const int windUnits : {0, 1, 2}) {
            Model model(windUnits, 0, false, false, false, false);
            QStringList titles;
            for (int section = -1; section <= 14; ++section)
                titles << model.headerData(section, Qt::Horizontal).toString();
            const QString units = windUnits == 1 ? "m/s" : "knots";
            QCOMPARE(titles.join(','), ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (" + units
                                           + "),Supply (V),UTC Time,Latitude (deg),Longitude (deg),"
                                             "Course (deg),Speed (" + units + "),XData,");
            QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
            QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
        }
    }

    void tableRowsFollowTheModules()
    {
        Model model(0, 0, false, false, false, false);
        QStringList changes;
        const auto log = [&](const char *what) {
            return [&changes, what](const QModelIndex &, int first, int last) {
                changes << QStringLiteral("%1%2-%3").arg(QLatin1String(what)).arg(first).arg(last);
            };
        };
        connect(&model, &QAbstractItemModel::rowsInserted, this, log("+"));
        connect(&model, &QAbstractItemModel::rowsRemoved, this, log("-"));
        connect(&model, &QAbstractItemModel::dataChanged, this, [&](const QModelIndex &from, const QModelIndex &to) {
            changes << QStringLiteral("~%1,%2-%3,%4").arg(from.row()).arg(from.column()).arg(to.row()).arg(to.column());
        });
        model.refreshTable();
        model.appendModule(restored("TX0001"));
        // A module heard while acquiring moves from the new-module list to the last row.
        model.newModuleList().addModule(1, 0, 0);
        model.newModuleList().handlePayload(1, ModuleBytes::hello('P', "TX0002"));
        model.adoptNewModule(0);
        QCOMPARE(model.newModuleList().count(), 0);
        QCOMPARE(model.data(model.index(1, 0), Qt::EditRole).toString(), QStringLiteral("TX0002"));
        QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("0"));
        QVERIFY(!model.data(model.index(0, 2), Qt::ToolTipRole).isValid());
        QVERIFY(!model.data(model.index(0, 14)).isValid());
        QVERIFY(!(model.flags(model.index(0, 2)) & Qt::ItemIsEditable));
        model.refreshTable();
        model.removeModule(2);
        model.removeModule(-1);
        model.removeModule(0);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("TX0002"));
        model.newModuleList().addModule(address, 0, 0);
        model.clearModules();
        model.clearModules();
        QCOMPARE(model.newModuleList().count(), 0);
        // Saved modules go into an empty table as one insertion.
        model.appendModules({restored("TX0003"), restored("TX0004", 1)});
        QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("TX0004"));
        QCOMPARE(changes.join(' '), QStringLiteral("+0-0 +1-1 ~0,0-1,12 -0-0 -0-0 +0-1"));
        model.moduleList().setCurrentIndex(0);
        model.setConfigMode(1);
        QCOMPARE(model.moduleList().currentIndex(), 1);
    }

    void portOpensOnceAndGoesAwayOnce()
    {
        ModelRig rig;
        Model &model = rig.model();
        QCOMPARE(model.serialPort()->portName(), QStringLiteral("COM1"));
        QCOMPARE(model.highWindThreshold(), 10);
        QVERIFY(!model.isHighWindAlertActive());
        QSignalSpy lost(&model, &Model::baseStationLost);
        QVERIFY(model.setPortName(QStringLiteral("/nonexistent/ttyVENTROLLA")));
        QVERIFY(!model.openPort());
        QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
        QVERIFY(!model.isPendingStateSet());

        QVERIFY(rig.open());
        QCOMPARE(rig.stateName(), QStringLiteral("Configuring"));
        QVERIFY(model.serialPort()->openMode() == QIODevice::ReadWrite);
        QVERIFY(model.isPendingStateSet());
        // No other state closes the port or renames it, nor changes the interval.
        QVERIFY(!model.setPortName(QStringLiteral("/dev/ttyVENTROLLA7")));
        QVERIFY(model.serialPort()->isOpen());
        model.setDataInterval(9);
        QCOMPARE(model.dataInterval(), 2);

        rig.pty().closeMaster();
        QVERIFY(lost.wait(2000));
        QVERIFY(!model.serialPort()->isOpen());
        // The port does not keep reporting its error; ticks that write to it are harmless.
        QTest::qWait(50);
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QSerialPort): device not open");
        rig.tick(1001);
        QCOMPARE(lost.count(), 1);
    }

    void commands_data()
    {
        QTest::addColumn<int>("gps"); // 8 latitude, 4 longitude, 2 course, 1 speed
        QTest::addColumn<int>("interval");
        QTest::addColumn<char>("kind");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QByteArray>("payload");
        const Command fast = [](Model &m) { m.sendTiming(address, true); };
        const Command timing = [](Model &m) { m.sendTiming(address, false); };
        QTest::newRow("fast, no GPS") << 0 << 2 << 'P' << fast << bytes({0x23, 0x84, 0x01, 0xE4, 0x0D});
        QTest::newRow("fast, all GPS") << 15 << 35 << 'P' << fast << bytes({0x23, 0x84, 0x01, 0xFF, 0x0D});
        QTest::newRow("latitude, course") << 10 << 2 << 'P' << timing << bytes({0x23, 0x84, 0x02, 0xF6, 0x0D});
        QTest::newRow("longitude, speed") << 5 << 2 << 'P' << timing << bytes({0x23, 0x84, 0x02, 0xED, 0x0D});
        QTest::newRow("1 min is sent as 12") << 0 << 13 << 'P' << timing << bytes({0x23, 0x84, 0x0C, 0xE4, 0x0D});
        QTest::newRow("60 min") << 0 << 24 << 'P' << timing << bytes({0x23, 0x84, 0x18, 0xE4, 0x0D});
        QTest::newRow("'!' escaped") << 0 << 0x21 << 'P' << timing << bytes({0x23, 0x84, 0x21, 0x01, 0xE4, 0x0D});
        QTest::newRow("'#' escaped") << 0 << 0x23 << 'P' << timing << bytes({0x23, 0x84, 0x21, 0x03, 0xE4, 0x0D});
        QTest::newRow("compass") << 0 << 2 << 'P' << Command([](Model &m) { m.sendCompassCalibrationStart(address); })
                                 << bytes({0x23, 0x92, 0x0D});
        QTest::newRow("indoor on") << 0 << 2 << 'P' << Command([](Model &m) { m.sendIndoorOn(address); })
                                   << bytes({0x23, 0x9B, 0x0D});
        QTest::newRow("indoor off") << 0 << 2 << 'P' << Command([](Model &m) { m.sendIndoorOff(address); })
                                    << bytes({0x23, 0x9C, 0x0D});
        QTest::newRow("internal thermistor") << 0 << 2 << 'P'
            << Command([](Model &m) { m.sendInternalThermistorCalibration(address); }) << bytes({0x23, 0x9F, 0x0D});
        // Arguments of calibration commands are sent as they are, '#' and '!' included.
        QTest::newRow("reference") << 0 << 2 << 'P'
            << Command([](Model &m) { m.setReferenceTemperature(0x2321); m.sendThermistorReference(address); })
            << bytes({0x23, 0xA1, 0x23, 0x21, 0x0D});
        QTest::newRow("Beta") << 0 << 2 << 'P'
            << Command([](Model &m) { m.setBeta(0x2123); m.sendThermistorBeta(address); })
            << bytes({0x23, 0xA3, 0x21, 0x23, 0x0D});
        // The kind of the current module decides between cup and pitot.
        const Command anemometer = [](Model &m) {
            m.setCalibrationType(1);
            m.setCupCalibration(0x2321, -2);
            m.sendAnemometerCalibration(address);
        };
        QTest::newRow("cup") << 0 << 2 << 'C' << anemometer << bytes({0x23, 0x99, 0x23, 0x21, 0xFE, 0x0D});
        QTest::newRow("pitot") << 0 << 2 << 'P' << anemometer << bytes({0x23, 0x97, 0x0D});
    }

    void commands()
    {
        QFETCH(int, gps);
        QFETCH(int, interval);
        QFETCH(char, kind);
        QFETCH(Command, command);
        QFETCH(QByteArray, payload);
        ModelRig rig(0, gps);
        rig.model().setDataInterval(interval);
        QVERIFY(rig.open());
        rig.model().appendModule(restored("TX0001", address, kind));
        command(rig.model());
        const QByteArray expected = buildTransmitRequest(address, payload);
        QCOMPARE(rig.takeBytes(expected).toHex(' '), expected.toHex(' '));
    }
};

VENTROLLA_TEST_MAIN(TestModel)
#include "tst_Model.moc"
