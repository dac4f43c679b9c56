// Flight modules: what they make of their messages, their saved records, and the list that
// numbers them.

#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/FlightModule.h"
#include "link/FlightModuleList.h"

#include <QtTest>

#include <memory>

using namespace ModuleBytes;

namespace {

constexpr qint64 address = 1234567890123LL;
constexpr qint64 first = 0x0013A20040000001LL;
constexpr qint64 second = 0x0013A20040000002LL;
constexpr qint64 third = 0x0013A20040000003LL;

const QString savedExample = QStringLiteral("TX0001;-105.0;1013.2;22.2;45.6;270;9.72;12.05;07:05:59;48.120833;"
                                            "-11.516667;359;12.3;xdata=T=1;1234567890123;100;156;80;1");

} // namespace

class TestFlightModule : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void helloKindAndTemperature_data()
    {
        QTest::addColumn<char>("kind");
        QTest::addColumn<int>("tenthsKelvin");
        QTest::addColumn<QString>("shown"); // kind letter and temperature
        // Corrected by the tenths digit: kelvin + c - 273.1 with three decimals.
        const char *corrected[] = {"-0.100", "0.000", "0.125", "0.250", "0.375",
                                   "0.400", "0.500", "0.625", "0.750", "0.875"};
        for (int digit = 0; digit < 10; ++digit)
            QTest::addRow("tenths digit %d", digit) << 'P' << 2730 + digit << QString("P ") + corrected[digit];
        QTest::newRow("corrected 300.0") << 'P' << 3000 << "P 26.900";
        QTest::newRow("corrected low") << 'C' << 2000 << "C -73.100";
        QTest::newRow("other kind") << 'Z' << 2953 << "Z 22.250";
        // Q and D measure the temperature directly: kelvin - 273.15 with one decimal.
        QTest::newRow("direct 295.3") << 'Q' << 2953 << "P 22.2";
        QTest::newRow("direct low") << 'D' << 2000 << "C -73.1"; // -73.149999...
    }

    void helloKindAndTemperature()
    {
        QFETCH(char, kind);
        QFETCH(int, tenthsKelvin);
        QFETCH(QString, shown);
        FlightModule module(address, 0, 0);
        QSignalSpy hellos(&module, &FlightModule::hello);
        DataFields d;
        d.temperature = tenthsKelvin;
        module.processPayload(hello('D', "OLD") + hello(kind, "T") + data(d));
        QCOMPARE(hellos.count(), 2);
        QCOMPARE(QChar(module.kindLetter()) + ' ' + module.field(FlightModule::TemperatureColumn).toString(), shown);
        QCOMPARE(module.hasDirectTemperature(), kind == 'Q' || kind == 'D');
        QCOMPARE(module.moduleId(), QStringLiteral("T"));
    }

    void calibDataCollection()
    {
        const QByteArray first(28, '1');
        const QByteArray second(56, '2');
        FlightModule module(address, 0, 0);
        module.processPayload(compassSamples(first));
        QCOMPARE(module.takeCalibData(), first);
        // After takeCalibData the next message replaces the collection, later ones append.
        module.processPayload(compassSamples(second) + compassSamples(first));
        QCOMPARE(module.takeCalibData(), second + first);
        // A finished pitot calibration empties the buffer without restarting the collection.
        module.processPayload(compassSamples(first) + message(0x98) + compassSamples(second));
        QCOMPARE(module.takeCalibData(), second);
    }

    // The payload is parsed before its messages are handled: a Data message behind an IndoorAck
    // in the same payload is read as before it. Any code but 155 ends indoor mode.
    void indoorAckOverridesFlags()
    {
        FlightModule module(address, 0, 0);
        module.processPayload(message(0x9D, bytes({155})) + data(allGroups()));
        QVERIFY(module.isIndoor() && module.field(FlightModule::LatitudeColumn).isValid());
        module.processPayload(message(0x9D, bytes({7})) + data(allGroups()));
        QVERIFY(!module.isIndoor() && !module.field(FlightModule::LatitudeColumn).isValid());
        module.processPayload(data(allGroups()));
        QCOMPARE(module.field(FlightModule::LatitudeColumn), QVariant(QString("48.120833")));
    }

    void savedRecords()
    {
        FlightModule module(address, 0, 100);
        module.processPayload(hello('Q', "TX0001") + data(allGroups()) + xdata("T=1"));
        QCOMPARE(module.toSavedRecord(), savedExample);
        // Invalid columns are saved empty; 'C' is 67, indoor on is 155; separators become spaces.
        FlightModule other(-7, 1, -3);
        other.processPayload(hello('D', "C;X/") + message(0x9D, bytes({155})) + data(DataFields()) + xdata("a;b/c"));
        const QString saved = "C X ;3.0;1013.2;22.2;45.6;270;5.0;12.05;00:00:00;;;;0.00;xdata=a b c;-7;-3;155;67;1";
        QCOMPARE(other.toSavedRecord(), saved);
        QCOMPARE(FlightModule(saved, 1).toSavedRecord(), saved);

        // The saved ground elevation applies; the flags override waits for the next IndoorAck.
        FlightModule indoor(QString(savedExample).replace(";156;", ";155;"), 1);
        indoor.processPayload(data(allGroups()));
        QCOMPARE(indoor.toSavedRecord(), "TX0001;-105.0;1013.2;22.2;45.6;270;5.0;12.05;07:05:59;48.120833;-11.516667;"
                                         "359;6.33;xdata=T=1;1234567890123;100;155;80;1");
    }

    // A saved record with one part changed ("" empties it, nullptr drops it): still valid?
    void invalidSavedRecords()
    {
        const std::tuple<int, const char *, bool> changes[] = {{0, "TX0001", true}, {0, "", false}, // the identifier
            {14, "12ab", false}, {15, "1.5", false}, // address and elevation not whole numbers
            {16, "157", false}, {17, "81", false}, {17, "P", false}, // indoor code and kind letter as codes
            {18, "2", true}, {18, "1;1", false}, {18, nullptr, false}}; // temperature mode; a part more or less
        for (const auto &[part, replacement, valid] : changes) {
            QStringList parts = savedExample.split(';');
            replacement ? void(parts[part] = replacement) : parts.removeAt(part);
            QVERIFY2(FlightModule(parts.join(';'), 0).isValid() == valid, qPrintable(parts.join(';')));
        }
    }

    // The list of modules.
    void numberingAndCurrentIndex()
    {
        FlightModuleList list;
        list.selectLast();
        for (const qint64 address : {first, second, third})
            list.addModule(address, 0, 0);
        QCOMPARE(QList<int>({list.indexOf(third), list.currentIndex(), list.indexOf(0)}), QList<int>({2, 2, -1}));
        QVERIFY(!list.module(3) && !list.module(-1) && !list.takeModule(3) && !list.takeModule(-1));
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
        QVERIFY(list.currentIndex() == 0 && !list.currentModule());
        list.addModule(first, 0, 0);
        list.addModule(second, 0, 0);
        list.clear();
        QCOMPARE(list.count() + list.currentIndex(), 0);
        QVERIFY(!list.handlePayload(first, message(0x91)));
    }
};

VENTROLLA_TEST_MAIN(TestFlightModule)
#include "tst_FlightModule.moc"
