#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/FlightModule.h"

#include <QtTest>

using namespace ModuleBytes;

namespace {

constexpr qint64 address = 1234567890123LL;

// The record as text; "-" marks an invalid entry.
QStringList texts(const QList<QVariant> &record)
{
    QStringList out;
    for (const QVariant &value : record)
        out.append(value.isValid() ? value.toString() : QStringLiteral("-"));
    return out;
}

const QString savedExample = QStringLiteral(
    "TX0001;-105.0;1013.2;22.2;45.6;270;9.72;12.05;07:05:59;48.120833;-11.516667;359;12.3;"
    "xdata=T=1;1234567890123;100;156;80;1");

} // namespace

class TestFlightModule : public QObject
{
    Q_OBJECT

private slots:
    void newModuleHasInitialRecord();
    void helloKinds_data();
    void helloKinds();
    void temperature_data();
    void temperature();
    void speedUnits_data();
    void speedUnits();
    void altitudeAndTime();
    void absentGroupsLeaveGpsColumnsInvalid();
    void xdataColumnSurvivesDataMessages();
    void calibDataCollection();
    void indoorAckOverridesFlags();
    void savedRecordFormat();
    void savedRecordRoundTrip();
    void restoredIndoorModuleKeepsFlags();
    void invalidSavedRecords_data();
    void invalidSavedRecords();
    void separatorsInFieldsAreReplaced();
};

void TestFlightModule::newModuleHasInitialRecord()
{
    const FlightModule module(address, 0, 0);
    QCOMPARE(texts(module.record()),
             QStringList({"0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""}));
    QCOMPARE(module.radioAddress(), address);
    QVERIFY(!module.isIndoor());
    QCOMPARE(module.kindLetter(), 'P');
    QVERIFY(!module.hasDirectTemperature());
    QVERIFY(!module.isValid());
    QVERIFY(!module.field(14).isValid());
    QVERIFY(!module.field(-1).isValid());
    QCOMPARE(module.field(13), QVariant(QString()));
}

void TestFlightModule::helloKinds_data()
{
    QTest::addColumn<char>("sent");
    QTest::addColumn<char>("kind");
    QTest::addColumn<bool>("direct");
    QTest::newRow("Q") << 'Q' << 'P' << true;
    QTest::newRow("D") << 'D' << 'C' << true;
    QTest::newRow("P") << 'P' << 'P' << false;
    QTest::newRow("C") << 'C' << 'C' << false;
    QTest::newRow("other") << 'Z' << 'Z' << false;
}

void TestFlightModule::helloKinds()
{
    QFETCH(char, sent);
    QFETCH(char, kind);
    QFETCH(bool, direct);
    FlightModule module(address, 0, 0);
    module.processPayload(hello('D', "OLD"));
    module.processPayload(hello(sent, "TX0001"));
    QCOMPARE(module.kindLetter(), kind);
    QCOMPARE(module.hasDirectTemperature(), direct);
    QCOMPARE(module.moduleId(), QString("TX0001"));
    QCOMPARE(module.field(0), QVariant(QString("TX0001")));
}

void TestFlightModule::temperature_data()
{
    QTest::addColumn<int>("tenthsKelvin");
    QTest::addColumn<char>("kind");
    QTest::addColumn<QString>("text");
    // Corrected by the tenths digit: kelvin + c - 273.1 with three decimals.
    const char *corrected[] = {"-0.100", "0.000", "0.125", "0.250", "0.375",
                               "0.400", "0.500", "0.625", "0.750", "0.875"};
    for (int digit = 0; digit < 10; ++digit)
        QTest::addRow("tenths digit %d", digit) << 2730 + digit << 'P' << corrected[digit];
    QTest::newRow("corrected 295.3") << 2953 << 'P' << "22.250";
    QTest::newRow("corrected 300.0") << 3000 << 'P' << "26.900";
    QTest::newRow("corrected low") << 2000 << 'C' << "-73.100";
    // Direct: kelvin - 273.15 with one decimal.
    QTest::newRow("direct 295.3") << 2953 << 'Q' << "22.2";
    QTest::newRow("direct 300.0") << 3000 << 'D' << "26.9";
    QTest::newRow("direct low") << 2000 << 'Q' << "-73.1"; // -73.149999...
}

void TestFlightModule::temperature()
{
    QFETCH(int, tenthsKelvin);
    QFETCH(char, kind);
    QFETCH(QString, text);
    FlightModule module(address, 0, 0);
    DataFields d;
    d.temperature = tenthsKelvin;
    module.processPayload(hello(kind, "T") + data(d));
    QCOMPARE(module.field(FlightModule::TemperatureColumn), QVariant(text));
}

void TestFlightModule::speedUnits_data()
{
    QTest::addColumn<int>("windUnits");
    QTest::addColumn<QString>("wind");
    QTest::addColumn<QString>("groundSpeed");
    QTest::addColumn<QString>("absentGroundSpeed");
    QTest::newRow("knots") << 0 << "9.72" << "12.3" << "-";
    QTest::newRow("metres per second") << 1 << "5.0" << "6.33" << "0.00";
    QTest::newRow("unknown unit") << 2 << "0" << "0" << "0";
}

void TestFlightModule::speedUnits()
{
    QFETCH(int, windUnits);
    QFETCH(QString, wind);
    QFETCH(QString, groundSpeed);
    QFETCH(QString, absentGroundSpeed);
    FlightModule module(address, windUnits, 0);
    module.processPayload(data(allGroups()));
    QCOMPARE(texts(module.record())[FlightModule::WindSpeedColumn], wind);
    QCOMPARE(texts(module.record())[FlightModule::GroundSpeedColumn], groundSpeed);
    module.processPayload(data(DataFields()));
    QCOMPARE(texts(module.record())[FlightModule::GroundSpeedColumn], absentGroundSpeed);
}

void TestFlightModule::altitudeAndTime()
{
    DataFields d;
    d.flags = 0xE4; // time and altitude
    d.hours = 7;
    d.minutes = 5;
    d.seconds = 9;
    d.altitude = -5;
    FlightModule module(address, 0, 100);
    module.processPayload(data(d));
    QCOMPARE(module.field(FlightModule::AltitudeColumn), QVariant(QString("-105.0")));
    QCOMPARE(module.field(FlightModule::UtcTimeColumn), QVariant(QString("07:05:09")));

    d.altitude = 1234;
    d.hours = 23;
    d.minutes = 59;
    d.seconds = 58;
    module.processPayload(data(d));
    QCOMPARE(module.field(FlightModule::AltitudeColumn), QVariant(QString("1134.0")));
    QCOMPARE(module.field(FlightModule::UtcTimeColumn), QVariant(QString("23:59:58")));

    // Absent altitude counts as 0, absent time as 00:00:00.
    module.processPayload(data(DataFields()));
    QCOMPARE(module.field(FlightModule::AltitudeColumn), QVariant(QString("-100.0")));
    QCOMPARE(module.field(FlightModule::UtcTimeColumn), QVariant(QString("00:00:00")));
}

void TestFlightModule::absentGroupsLeaveGpsColumnsInvalid()
{
    FlightModule module(address, 0, 0);
    module.processPayload(hello('P', "TX0001") + data(allGroups()));
    QCOMPARE(texts(module.record()),
             QStringList({"TX0001", "-5.0", "1013.2", "22.250", "45.6", "270", "9.72", "12.05",
                          "07:05:59", "48.120833", "-11.516667", "359", "12.3", ""}));
    QCOMPARE(module.field(FlightModule::CourseColumn).userType(), int(QMetaType::Int));

    module.processPayload(data(DataFields()));
    QCOMPARE(texts(module.record()),
             QStringList({"TX0001", "0.0", "1013.2", "22.250", "45.6", "270", "9.72", "12.05",
                          "00:00:00", "-", "-", "-", "-", ""}));
    QCOMPARE(texts(module.blankRecord()),
             QStringList({"TX0001", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""}));
}

void TestFlightModule::xdataColumnSurvivesDataMessages()
{
    FlightModule module(address, 0, 0);
    QSignalSpy xdataSpy(&module, SIGNAL(xdata(qint64)));
    module.processPayload(xdata("T=12.5"));
    QCOMPARE(xdataSpy.size(), 1);
    QCOMPARE(module.field(FlightModule::XDataColumn), QVariant(QString("xdata=T=12.5")));
    module.processPayload(data(allGroups()));
    QCOMPARE(module.field(FlightModule::XDataColumn), QVariant(QString("xdata=T=12.5")));
}

void TestFlightModule::calibDataCollection()
{
    const QByteArray first(28, '1');
    const QByteArray second(56, '2');
    FlightModule module(address, 0, 0);
    module.processPayload(compassSamples(first));
    QCOMPARE(module.takeCalibData(), first);

    // After takeCalibData the next message replaces the collection, later ones append.
    module.processPayload(compassSamples(second) + compassSamples(first));
    QCOMPARE(module.takeCalibData(), second + first);
    module.processPayload(compassSamples(first));
    module.processPayload(compassSamples(second));
    QCOMPARE(module.takeCalibData(), first + second);

    // A finished pitot calibration empties the buffer without restarting the collection.
    module.processPayload(compassSamples(first) + message(0x98) + compassSamples(second));
    QCOMPARE(module.takeCalibData(), second);
}

void TestFlightModule::indoorAckOverridesFlags()
{
    FlightModule module(address, 0, 0);
    module.processPayload(message(0x9D, bytes({155})));
    QVERIFY(module.isIndoor());
    module.processPayload(data(allGroups()));
    QCOMPARE(module.field(FlightModule::UtcTimeColumn), QVariant(QString("00:00:00")));
    QVERIFY(!module.field(FlightModule::LatitudeColumn).isValid());

    // The payload is parsed before its messages are handled: a Data message behind the
    // IndoorAck in the same payload is still read with the override.
    module.processPayload(message(0x9D, bytes({156})) + data(allGroups()));
    QVERIFY(!module.isIndoor());
    QVERIFY(!module.field(FlightModule::LatitudeColumn).isValid());
    module.processPayload(data(allGroups()));
    QCOMPARE(module.field(FlightModule::LatitudeColumn), QVariant(QString("48.120833")));

    // Any other code also ends indoor mode.
    module.processPayload(message(0x9D, bytes({155})) + message(0x9D, bytes({7})));
    QVERIFY(!module.isIndoor());
    module.processPayload(data(allGroups()));
    QVERIFY(module.field(FlightModule::LatitudeColumn).isValid());
}

void TestFlightModule::savedRecordFormat()
{
    FlightModule module(address, 0, 100);
    module.processPayload(hello('Q', "TX0001") + data(allGroups()) + xdata("T=1"));
    QCOMPARE(module.toSavedRecord(), savedExample);

    // Invalid columns are saved empty; 'C' is 67, indoor on is 155.
    FlightModule other(-7, 1, -3);
    other.processPayload(hello('C', "CX") + message(0x9D, bytes({155})) + data(DataFields()));
    QCOMPARE(other.toSavedRecord(),
             QString("CX;3.0;1013.2;22.250;45.6;270;5.0;12.05;00:00:00;;;;0.00;;-7;-3;155;67;0"));
}

void TestFlightModule::savedRecordRoundTrip()
{
    FlightModule original(address, 1, 100);
    original.processPayload(hello('D', "TX0001") + message(0x9D, bytes({155}))
                            + data(allGroups()) + xdata("T=1"));
    const FlightModule restored(original.toSavedRecord(), 1);
    QVERIFY(restored.isValid());
    QCOMPARE(texts(restored.record()), texts(original.record()));
    QCOMPARE(restored.radioAddress(), address);
    QVERIFY(restored.isIndoor());
    QCOMPARE(restored.kindLetter(), 'C');
    QVERIFY(restored.hasDirectTemperature());
    QCOMPARE(restored.toSavedRecord(), original.toSavedRecord());
}

void TestFlightModule::restoredIndoorModuleKeepsFlags()
{
    // The saved ground elevation applies; the flags override waits for the next IndoorAck.
    FlightModule restored(QString(savedExample).replace(";156;", ";155;"), 1);
    QVERIFY(restored.isValid());
    QVERIFY(restored.isIndoor());
    restored.processPayload(data(allGroups()));
    QCOMPARE(restored.field(FlightModule::AltitudeColumn), QVariant(QString("-105.0")));
    QCOMPARE(restored.field(FlightModule::LatitudeColumn), QVariant(QString("48.120833")));
    QCOMPARE(restored.field(FlightModule::WindSpeedColumn), QVariant(QString("5.0")));
}

void TestFlightModule::invalidSavedRecords_data()
{
    QTest::addColumn<int>("part");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<bool>("valid");
    QTest::newRow("unchanged") << 0 << "TX0001" << true;
    QTest::newRow("empty module id") << 0 << "" << false;
    QTest::newRow("empty column 13") << 13 << "" << true;
    QTest::newRow("address not a number") << 14 << "12ab" << false;
    QTest::newRow("negative address") << 14 << "-42" << true;
    QTest::newRow("address empty") << 14 << "" << false;
    QTest::newRow("elevation not a number") << 15 << "1.5" << false;
    QTest::newRow("indoor code 155") << 16 << "155" << true;
    QTest::newRow("indoor code 157") << 16 << "157" << false;
    QTest::newRow("kind 67") << 17 << "67" << true;
    QTest::newRow("kind 81") << 17 << "81" << false;
    QTest::newRow("kind letter itself") << 17 << "P" << false;
    QTest::newRow("temperature mode 0") << 18 << "0" << true;
    QTest::newRow("temperature mode 2") << 18 << "2" << true;
    QTest::newRow("temperature mode empty") << 18 << "" << false;
    QTest::newRow("temperature mode text") << 18 << "yes" << false;
    QTest::newRow("one part more") << 18 << "1;1" << false;
    QTest::newRow("one part less") << 18 << "<drop>" << false;
}

void TestFlightModule::invalidSavedRecords()
{
    QFETCH(int, part);
    QFETCH(QString, replacement);
    QFETCH(bool, valid);
    QStringList parts = savedExample.split(';');
    if (replacement == "<drop>")
        parts.removeAt(part);
    else
        parts[part] = replacement;
    const FlightModule module(parts.join(';'), 0);
    QCOMPARE(module.isValid(), valid);
}

void TestFlightModule::separatorsInFieldsAreReplaced()
{
    FlightModule module(address, 0, 0);
    module.processPayload(hello('P', "A;B/C") + xdata("a;b/c"));
    const QString saved = module.toSavedRecord();
    QCOMPARE(saved.count(';'), 18);
    QVERIFY(!saved.contains('/'));
    const FlightModule restored(saved, 0);
    QVERIFY(restored.isValid());
    QCOMPARE(restored.moduleId(), QString("A B C"));
    QCOMPARE(restored.field(FlightModule::XDataColumn), QVariant(QString("xdata=a b c")));
}

VENTROLLA_TEST_MAIN(TestFlightModule)
#include "tst_FlightModule.moc"
