#include "ModuleBytes.h"
#include "TestSupport.h"
#include "link/FlightModule.h"

#include <QtTest>

using namespace ModuleBytes;

namespace {

constexpr qint64 address = 1234567890123LL;

// The record in one line; "-" marks an invalid column.
QString text(const QList<QVariant> &record)
{
    QStringList out;
    for (const QVariant &value : record)
        out.append(value.isValid() ? value.toString() : QStringLiteral("-"));
    return out.join('|');
}

const QString savedExample = QStringLiteral(
    "TX0001;-105.0;1013.2;22.2;45.6;270;9.72;12.05;07:05:59;48.120833;-11.516667;359;12.3;"
    "xdata=T=1;1234567890123;100;156;80;1");

} // namespace

class TestFlightModule : public QObject
{
    Q_OBJECT

private slots:
    void newModuleHasInitialRecord()
    {
        const FlightModule module(address, 0, 0);
        QCOMPARE(text(module.record()), QStringLiteral("0|0|0|0|0|0|0|0|0|0|0|0|0|"));
        QCOMPARE(module.radioAddress(), address);
        QCOMPARE(module.kindLetter(), 'P');
        QVERIFY(!module.isIndoor() && !module.hasDirectTemperature() && !module.isValid());
        QVERIFY(!module.field(14).isValid() && !module.field(-1).isValid());
    }

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

    // Units other than knots and metres per second show 0; absent groups leave the GPS columns
    // invalid, the time at 00:00:00 and the altitude at the ground elevation below zero.
    void unknownUnitsAndAbsentGroups()
    {
        FlightModule module(address, 2, 100);
        module.processPayload(hello('P', "TX0001") + data(allGroups()) + xdata("T=1"));
        QCOMPARE(text(module.record()), "TX0001|-105.0|1013.2|22.250|45.6|270|0|12.05|07:05:59|48.120833|-11.516667|359|0|xdata=T=1");
        QCOMPARE(module.field(FlightModule::CourseColumn).userType(), int(QMetaType::Int));
        module.processPayload(data(DataFields()));
        QCOMPARE(text(module.record()), "TX0001|-100.0|1013.2|22.250|45.6|270|0|12.05|00:00:00|-|-|-|0|xdata=T=1");
        QCOMPARE(text(module.blankRecord()), QStringLiteral("TX0001|0|0|0|0|0|0|0|0|0|0|0|0|"));
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
        module.processPayload(compassSamples(first));
        module.processPayload(compassSamples(second));
        QCOMPARE(module.takeCalibData(), first + second);
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
        // Invalid columns are saved empty; 'C' is 67, indoor on is 155; separators in fields
        // become spaces.
        FlightModule other(-7, 1, -3);
        other.processPayload(hello('D', "C;X/") + message(0x9D, bytes({155})) + data(DataFields())
                             + xdata("a;b/c"));
        const QString saved = "C X ;3.0;1013.2;22.2;45.6;270;5.0;12.05;00:00:00;;;;0.00;xdata=a b c;-7;-3;155;67;1";
        QCOMPARE(other.toSavedRecord(), saved);

        const FlightModule restored(saved, 1);
        QVERIFY(restored.isValid());
        QCOMPARE(restored.radioAddress(), qint64(-7));
        QVERIFY(restored.isIndoor() && restored.hasDirectTemperature());
        QCOMPARE(restored.kindLetter(), 'C');
        QCOMPARE(restored.toSavedRecord(), saved);

        // The saved ground elevation applies; the flags override waits for the next IndoorAck.
        FlightModule indoor(QString(savedExample).replace(";156;", ";155;"), 1);
        QVERIFY(indoor.isIndoor());
        indoor.processPayload(data(allGroups()));
        QCOMPARE(text(indoor.record()),
                 QStringLiteral("TX0001|-105.0|1013.2|22.2|45.6|270|5.0|12.05|07:05:59|48.120833|-11.516667|359|6.33|xdata=T=1"));
    }

    void invalidSavedRecords_data()
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
        QTest::newRow("temperature mode 2") << 18 << "2" << true;
        QTest::newRow("temperature mode empty") << 18 << "" << false;
        QTest::newRow("temperature mode text") << 18 << "yes" << false;
        QTest::newRow("one part more") << 18 << "1;1" << false;
        QTest::newRow("one part less") << 18 << "<drop>" << false;
    }

    void invalidSavedRecords()
    {
        QFETCH(int, part);
        QFETCH(QString, replacement);
        QFETCH(bool, valid);
        QStringList parts = savedExample.split(';');
        if (replacement == "<drop>")
            parts.removeAt(part);
        else
            parts[part] = replacement;
        QCOMPARE(FlightModule(parts.join(';'), 0).isValid(), valid);
    }
};

VENTROLLA_TEST_MAIN(TestFlightModule)
#include "tst_FlightModule.moc"
