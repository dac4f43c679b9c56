// Exporting soundings: hand-made logs to NetCDF (read back through the NetCDF library) and to
// the tidy table, the two compared with each other and with the log's texts; time offsets;
// several logs; and every way an export can fail.

#include "ExportOptions.h"
#include "NetCdfFile.h"
#include "TestSupport.h"
#include "archive/LogReader.h"
#include "archive/SoundingExport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QByteArray group =
    ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),Supply (V),UTC Time,"
    "Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";

// Two modules in the header, a third acquired later; the derived examples in the first line;
// empty cells, XData and a midnight.
const QByteArray sounding = "Ventrolla log file\nDate 3/09/2024\n\nTime,Comment" + group + group + "\n"
    "23:59:58,start,A1,100.0,1000.0,25.000,50.0,90,19.44,3.31,22:59:57,45.000000,7.000000,10,3.9,"
    "B2,200.0,888.3,8.5,71.5,180,,3.30,22:59:57,,,,\n"
    "23:59:59,<XDATA>,A1,xdata=T2=1,RH2=2\n"
    "00:00:02,,B2,201.0,888.1,8.4,71.0,0,1.94,3.30,23:00:01,45.000010,7.000020,,,"
    "C3,300.0,870.0,7.0,,270,9.72,3.20,23:00:01,45.000030,7.000040,180,1.0\n";

QString write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}


// The tidy table as rows of fields, the column names first.
QList<QStringList> readTable(const QString &path)
{
    QFile file(path);
    QList<QStringList> rows;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                rows << QString::fromUtf8(line).split(',');
        }
    }
    return rows;
}

} // namespace

class TestSoundingExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void netcdfHoldsTheLogAndAgreesWithTheTable();
    void time_data();
    void time();
    void logsOfOneSoundingInTimeOrder();
    void failures_data();
    void failures();
    void utcOffsetOption_data();
    void utcOffsetOption();

private:
    ExportSettings settingsFor(const QStringList &logs, const QString &name)
    {
        ExportSettings settings;
        settings.logFiles = logs;
        settings.netcdfFile = dir.filePath(name + QStringLiteral(".nc"));
        settings.csvFile = dir.filePath(name + QStringLiteral(".csv"));
        settings.source = QStringLiteral("test");
        return settings;
    }

    QTemporaryDir dir;
};

void TestSoundingExport::netcdfHoldsTheLogAndAgreesWithTheTable()
{
    ExportSettings settings = settingsFor({write(dir.filePath("s.csv"), sounding)}, QStringLiteral("s"));
    settings.siteLatitude = 46.5;
    settings.siteLongitude = 6.5;
    SoundingExport exporter(settings);
    QCOMPARE(exporter.run([](const QString &) {}), SoundingExport::Success);

    NetCdfFile nc(settings.netcdfFile);
    QVERIFY(nc.ok);
    QCOMPARE(nc.dimension("profile"), size_t(2));
    QCOMPARE(nc.dimension("module"), size_t(3));
    QCOMPARE(nc.strings("module_id"), (QStringList{"A1", "B2", "C3"}));
    QCOMPARE(nc.strings("comment"), (QStringList{"start", ""}));
    QCOMPARE(nc.strings("xdata_text"), QStringList{"xdata=T2=1,RH2=2"});
    QCOMPARE(nc.strings("xdata_module_id"), QStringList{"A1"});
    QCOMPARE(nc.text(NC_GLOBAL, "Conventions"), QStringLiteral("CF-1.8"));
    QCOMPARE(nc.text(NC_GLOBAL, "featureType"), QStringLiteral("profile"));
    QCOMPARE(nc.text(NC_GLOBAL, "source_log_files"), QStringLiteral("s.csv"));
    QCOMPARE(nc.text(nc.variable("wind_speed"), "units"), QStringLiteral("m s-1"));
    QCOMPARE(nc.text(nc.variable("time"), "units"), QStringLiteral("seconds since 1970-01-01 00:00:00Z"));
    for (const char *name : {"altitude", "air_pressure", "dew_point_temperature", "module_latitude"}) {
        QVERIFY2(nc.text(nc.variable(name), "_FillValue") != QLatin1String("<none>"), name);
        QVERIFY2(nc.text(nc.variable(name), "standard_name") != QLatin1String("<none>"), name);
    }

    // Every value as the log's text, module by module; a module a data set lacks is fill.
    const auto at = [&](const char *name, int profile, int module) {
        return nc.doubles(name).at(size_t(profile) * 3 + size_t(module));
    };
    QCOMPARE(at("altitude", 0, 0), 100.0);
    QCOMPARE(at("air_temperature", 0, 1), double(8.5f));
    QVERIFY(NetCdfFile::isFill(at("wind_speed", 0, 1))); // empty cell
    QVERIFY(NetCdfFile::isFill(at("module_latitude", 0, 1)));
    QVERIFY(NetCdfFile::isFill(at("altitude", 0, 2))); // C3 not yet acquired
    QVERIFY(NetCdfFile::isFill(at("altitude", 1, 0))); // A1 missing from the second data set
    QCOMPARE(at("module_latitude", 1, 2), 45.00003);
    QCOMPARE(at("module_utc_time", 1, 2), 23 * 3600.0 + 1);
    QCOMPARE(at("wind_speed", 0, 0), double(float(19.44 / 1.94384449)));
    QCOMPARE(at("ground_speed", 1, 2), double(float(1.0 / 1.94384449)));
    // The derived examples: 25 degC, 50 %, 1000 hPa and 8.5 degC, 71.5 %, 888.3 hPa.
    QVERIFY(qAbs(at("dew_point_temperature", 0, 0) - 13.868) < 0.01);
    QVERIFY(qAbs(at("air_potential_temperature", 0, 0) - 298.150) < 0.01);
    QVERIFY(qAbs(at("humidity_mixing_ratio", 0, 0) - 0.010009) < 0.00001);
    QVERIFY(qAbs(at("dew_point_temperature", 0, 1) - 3.644) < 0.01);
    QVERIFY(qAbs(at("air_potential_temperature", 0, 1) - 291.345) < 0.01);
    QVERIFY(qAbs(at("humidity_mixing_ratio", 0, 1) - 0.005603) < 0.00001);
    QVERIFY(NetCdfFile::isFill(at("dew_point_temperature", 1, 2))); // no humidity: no dew point, not 0
    QVERIFY(qAbs(at("eastward_wind", 0, 0) + 10.0) < 0.001); // 10 m/s from the east
    QVERIFY(qAbs(at("northward_wind", 1, 1) + 0.998) < 0.001); // from the north
    // The data set's position is the mean of its GPS positions, else the site's.
    QCOMPARE(nc.doubles("latitude").at(0), 45.0);
    QCOMPARE(nc.doubles("longitude").at(1), (7.00002 + 7.00004) / 2);
    QCOMPARE(nc.doubles("time").at(1) - nc.doubles("time").at(0), 4.0); // past midnight

    // The table: one row per data set and module present, and every number equal to the file's.
    const QList<QStringList> table = readTable(settings.csvFile);
    QCOMPARE(table.value(0).join(','), SoundingRow::columnNames().join(','));
    QCOMPARE(table.size(), 1 + 4);
    const QStringList ids = nc.strings("module_id");
    const std::vector<double> times = nc.doubles("time");
    const char *variables[] = {"altitude", "air_pressure", "air_temperature", "relative_humidity",
                               "wind_speed", "wind_from_direction", "supply_voltage", nullptr,
                               "module_latitude", "module_longitude", "course", "ground_speed",
                               "dew_point_temperature", "air_potential_temperature",
                               "humidity_mixing_ratio", "eastward_wind", "northward_wind"};
    for (int r = 1; r < table.size(); ++r) {
        const QStringList &row = table[r];
        QCOMPARE(row.size(), 20);
        const int profile = r <= 2 ? 0 : 1;
        const int module = ids.indexOf(row[1]);
        QVERIFY(module >= 0);
        QCOMPARE(QDateTime::fromString(row[0], Qt::ISODate).toSecsSinceEpoch(), qint64(times[size_t(profile)]));
        QCOMPARE(row[19], profile == 0 ? QStringLiteral("start") : QString());
        for (int column = 0; column < SoundingRow::QuantityCount; ++column) {
            if (!variables[column])
                continue;
            const double stored = at(variables[column], profile, module);
            const QString field = row[2 + column];
            if (field.isEmpty()) {
                QVERIFY2(NetCdfFile::isFill(stored), variables[column]);
            } else {
                QVERIFY2(qAbs(field.toDouble() - stored) <= 1e-3 * std::max(1.0, qAbs(stored)),
                         qPrintable(QStringLiteral("%1 %2 %3").arg(variables[column], field).arg(stored)));
            }
        }
    }
    QCOMPARE(table[1][4], QStringLiteral("25.000")); // the log's own text
    QCOMPARE(table[1][9], QStringLiteral("22:59:57"));
}

void TestSoundingExport::time_data()
{
    QTest::addColumn<QByteArray>("utcText");
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("firstTime");

    // The log's first data line is at 23:59:58 local on 9 March.
    QTest::newRow("derived +01:00") << QByteArray("22:59:57") << "" << "2024-03-09T22:59:58Z";
    QTest::newRow("derived, UTC the next day") << QByteArray("04:29:50") << "" << "2024-03-10T04:29:58Z";
    QTest::newRow("derived +14:00") << QByteArray("09:59:58") << "" << "2024-03-09T09:59:58Z";
    QTest::newRow("given wins") << QByteArray("22:59:57") << "-03:30" << "2024-03-10T03:29:58Z";
    QTest::newRow("no UTC time: local") << QByteArray("00:00:00") << "" << "2024-03-09T23:59:58";
    QTest::newRow("empty UTC time: local") << QByteArray() << "" << "2024-03-09T23:59:58";
}

void TestSoundingExport::time()
{
    QFETCH(QByteArray, utcText);
    QFETCH(QString, option);
    QFETCH(QString, firstTime);

    QByteArray log = sounding;
    log.replace("22:59:57", utcText).replace("23:00:01", utcText);
    ExportSettings settings = settingsFor({write(dir.filePath("t.csv"), log)}, QStringLiteral("time"));
    if (!option.isEmpty()) {
        QVERIFY(ExportOptions::parseUtcOffset(option, settings.utcOffsetSeconds));
        settings.hasUtcOffset = true;
    }
    SoundingExport exporter(settings);
    QCOMPARE(exporter.run([](const QString &) {}), SoundingExport::Success);
    QCOMPARE(readTable(settings.csvFile).value(1).value(0), firstTime);
    const bool local = !firstTime.endsWith('Z');
    QCOMPARE(exporter.summary().contains(QStringLiteral("local time")), local);
    NetCdfFile nc(settings.netcdfFile);
    QCOMPARE(nc.text(NC_GLOBAL, "time_reference").contains(QStringLiteral("local time")), local);
    QCOMPARE(nc.text(nc.variable("time"), "units").endsWith('Z'), !local);
}

void TestSoundingExport::logsOfOneSoundingInTimeOrder()
{
    // A log begun again the next morning, given first.
    QByteArray later = sounding;
    later.replace("Date 3/09/2024", "Date 3/10/2024").replace("23:59:58,start", "08:00:00,again")
        .replace("23:59:59,<XDATA>", "08:00:01,<XDATA>").replace("00:00:02,,", "08:00:02,,");
    const QStringList logs = {write(dir.filePath("later.csv"), later), write(dir.filePath("first.csv"), sounding)};
    SoundingExport exporter(settingsFor(logs, QStringLiteral("two")));
    QCOMPARE(exporter.run([](const QString &) {}), SoundingExport::Success);
    NetCdfFile nc(dir.filePath("two.nc"));
    QCOMPARE(nc.strings("comment"), (QStringList{"start", "", "again", ""}));
    const std::vector<double> times = nc.doubles("time");
    QVERIFY(std::is_sorted(times.begin(), times.end()));
    QCOMPARE(nc.text(NC_GLOBAL, "source_log_files"), QStringLiteral("first.csv, later.csv"));
    QVERIFY(exporter.summary().contains(QStringLiteral("Data sets: 4 (8 module rows), XData records: 2")));
}

void TestSoundingExport::failures_data()
{
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("output"); // beside the temporary folder's files
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("warnings");

    QTest::newRow("garbage lines") << QByteArray(sounding).replace("23:59:59,<XDATA>", "garbage\n23:59:59,<XDATA>")
                                             + "00:00:04,x,A1,1\n"
                                   << "out" << int(SoundingExport::Success) << 2;
    QTest::newRow("cut last line") << sounding + "00:00:04,x,A1,1" << "out" << int(SoundingExport::Success) << 1;
    QTest::newRow("foreign file") << QByteArray("a,b\n1,2\n") << "out" << int(SoundingExport::LogUnreadable) << 0;
    QTest::newRow("nothing readable") << sounding.left(sounding.indexOf("\n23:59:58") + 1) + "junk\n" << "out"
                                      << int(SoundingExport::NothingReadable) << 1;
    QTest::newRow("output folder missing") << sounding << "missing/out" << int(SoundingExport::OutputFailed) << 0;
    // Renamed over, a pipe or a device would become a plain file.
    QTest::newRow("output a pipe") << sounding << "pipe" << int(SoundingExport::OutputFailed) << 0;
}

void TestSoundingExport::failures()
{
    QFETCH(QByteArray, log);
    QFETCH(QString, output);
    QFETCH(int, status);
    QFETCH(int, warnings);

    QTemporaryDir place;
    ExportSettings settings;
    settings.logFiles = QStringList{write(place.filePath("log.csv"), log)};
    settings.netcdfFile = place.filePath(output + QStringLiteral(".nc"));
    settings.csvFile = place.filePath(output + QStringLiteral(".csv"));
    if (output == QLatin1String("pipe"))
        QCOMPARE(mkfifo(QFile::encodeName(settings.csvFile).constData(), 0600), 0);
    SoundingExport exporter(settings);
    QStringList warned;
    QCOMPARE(int(exporter.run([&](const QString &warning) { warned << warning; })), status);
    QCOMPARE(warned.size(), warnings);
    for (const QString &warning : warned)
        QVERIFY2(warning.contains(QRegularExpression("^log\\.csv: line \\d+: ")), qPrintable(warning));
    QCOMPARE(exporter.errorString().isEmpty(), status == SoundingExport::Success);
    // Both outputs or nothing, and never a temporary file left behind.
    const QStringList left = QDir(place.path()).entryList(QDir::Files | QDir::System);
    QStringList expected = status == SoundingExport::Success ? QStringList{"log.csv", "out.csv", "out.nc"}
                                                             : QStringList{"log.csv"};
    if (output == QLatin1String("pipe"))
        expected.append(QStringLiteral("pipe.csv"));
    QCOMPARE(left, expected);
}

void TestSoundingExport::utcOffsetOption_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds"); // -1: refused

    QTest::newRow("plus") << "+02:00" << 7200;
    QTest::newRow("minus half") << "-03:30" << -12600;
    QTest::newRow("most east") << "+14:00" << 50400;
    QTest::newRow("most west") << "-12:00" << -43200;
    QTest::newRow("too far east") << "+14:15" << -1;
    QTest::newRow("too far west") << "-12:30" << -1;
    QTest::newRow("no sign") << "02:00" << -1;
    QTest::newRow("minutes") << "+01:60" << -1;
    QTest::newRow("short") << "+2:00" << -1;
}

void TestSoundingExport::utcOffsetOption()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);

    int parsed = -1;
    QCOMPARE(ExportOptions::parseUtcOffset(text, parsed), seconds != -1);
    if (seconds != -1)
        QCOMPARE(parsed, seconds);

    ExportOptions options;
    QString error;
    QCOMPARE(options.parse(QStringList{"ventrolla-export", "log.csv", "--utc-offset", text}, error), seconds != -1);
    QCOMPARE(options.settings.hasUtcOffset, seconds != -1);
}

VENTROLLA_TEST_MAIN(TestSoundingExport)
#include "tst_SoundingExport.moc"
