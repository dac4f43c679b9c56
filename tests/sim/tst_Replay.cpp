// Replaying a recorded log: the encoder's choice of raw values for logged texts, the
// simulator's refusal of bad logs, and the round trip that makes replay a regression tool:
// recorder -> log -> ventrolla-sim --replay -> recorder -> log, every field of every line the
// same but the computer's clock.

#include "ModuleBytes.h"
#include "ReplayEncoder.h"
#include "TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using TestSupport::waitUntil;

namespace {

// A program run in its own temporary folder, so that runs side by side never share a local
// socket name.
struct Program
{
    QProcess process;
    QByteArray output;

    void start(const QString &dir, const char *program, const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir);
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::readyReadStandardError,
                         [this] { output += process.readAllStandardError(); });
        process.start(QString::fromLocal8Bit(program), arguments);
    }
    ~Program()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};

// A sounding recorded from a simulator: the original one, or the replay of a log.
struct Sounding
{
    QString log;
    Program sim;
    Program recorder;

    // Modules switched on at once, their clocks ten times faster than real time.
    bool start(const QString &dir, const QStringList &simArguments, const QStringList &recorderArguments)
    {
        log = dir + QStringLiteral("/sounding.csv");
        sim.start(dir, VENTROLLA_SIM_PROGRAM, QStringList{"--power-on-delay", "0", "--power-on-interval", "50",
                                                          "--speed", "10", "--guard-time", "300"} + simArguments);
        if (!waitUntil([this] { return sim.process.canReadLine(); }, 10000))
            return false;
        const QString port = QString::fromLocal8Bit(sim.process.readLine()).trimmed();
        recorder.process.setProcessChannelMode(QProcess::MergedChannels);
        recorder.start(dir, VENTROLLA_RECORD_PROGRAM, QStringList{"--port", port, "--interval", "2s", "--log", log,
                                                                  "--acquire-time", "30", "--no-server"}
                                                          + recorderArguments);
        return port.startsWith('/');
    }

    QStringList lines() const
    {
        QFile file(log);
        QStringList lines = QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray()).split('\n');
        lines.removeLast(); // after the last line end
        return lines;
    }

    // Stops the recorder cleanly once the log holds that many lines (header included).
    bool finish(int lineCount)
    {
        const bool complete = waitUntil([&] { return lines().size() >= lineCount; }, 60000);
        recorder.process.terminate();
        return recorder.process.waitForFinished(15000) && complete;
    }
};

// Every line after the header, as fields without the computer's clock.
QList<QStringList> body(const QStringList &lines)
{
    QList<QStringList> fields;
    for (const QString &line : lines.mid(4))
        fields.append(line.split(',').mid(1));
    return fields;
}

// A module group of the hand-made log: knots, ground elevation 0, no GPS.
QString group(const QString &id, int line, const QString &time)
{
    return QStringLiteral("%1,%2.0,%3,%4,55.0,%5,9.72,4.15,%6,,,,")
        .arg(id)
        .arg(100 + line)
        .arg(950.0 - line * 0.1, 0, 'f', 1)
        .arg(12.3 - line * 0.1, 0, 'f', 1)
        .arg(260 + line)
        .arg(time);
}

QString header(int modules)
{
    QString text = QStringLiteral("Ventrolla log file\nDate 12/07/2026\n\nTime,Comment");
    for (int m = 0; m < modules; ++m)
        text += QStringLiteral(",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),"
                               "Supply (V),UTC Time,Latitude (deg),Longitude (deg),Course (deg),Speed (knots)");
    return text + '\n';
}

// A window's log: two modules, then a third acquired later, whose first line holds the
// record it sent during its acquisition (older than the others'), and an XData line.
QString lateModulesLog()
{
    QString text = header(2);
    const char *times[] = {"10:00:02", "10:00:04", "10:01:10", "10:01:12", "10:01:14"};
    for (int i = 0; i < 5; ++i) {
        text += QStringLiteral("09:00:0%1,,").arg(i) + group("A1", i, times[i]) + ',' + group("B2", i, times[i]);
        if (i >= 2)
            text += ',' + group("LATE3", i, i == 2 ? QStringLiteral("10:01:05") : QString(times[i]));
        text += '\n';
        if (i == 3)
            text += QStringLiteral("09:00:03,<XDATA>,LATE3,xdata=probe, 17.5 C\n");
    }
    return text;
}

} // namespace

class TestReplay : public QObject
{
    Q_OBJECT

private slots:
    // Raw values the encoder picks for logged texts, read off the wire by hand.
    void encoder_data()
    {
        QTest::addColumn<int>("windUnits");
        QTest::addColumn<int>("groundElevation");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QByteArray>("payload"); // expected, or empty for a refusal
        QTest::addColumn<QString>("error");

        using namespace ModuleBytes;
        DataFields plain; // 1013.2 mbar, 295.3 K, 45.6 %, 270 degrees, 5.0 m/s, 12.05 V
        plain.flags = 0xE4;
        plain.hours = 7;
        plain.minutes = 5;
        plain.seconds = 9;
        plain.altitude = -5;
        const QStringList logged = {"TX1", "-105.0", "1013.2", "22.250", "45.6", "270", "9.72", "12.05",
                                    "07:05:09", "", "", "", ""};
        QTest::newRow("corrected temperature, knots, elevation") << 0 << 100 << logged << dataPayload(plain, 0xE4)
                                                                << QString();
        QStringList direct = logged;
        direct[3] = "22.2"; // 295.3 K read plainly
        direct[6] = "5.0";
        direct[12] = "0.00"; // no ground speed sent reads as zero in m/s
        QTest::newRow("direct temperature, m/s") << 1 << 100 << direct << dataPayload(plain, 0xE4) << QString();

        DataFields gps = allGroups(); // 48.120833 N, 11.516667 W, course 359, 12.3 knots
        gps.altitude = 1200;
        const QStringList withGps = {"TX1", "1200.0", "1013.2", "22.250", "45.6", "270", "9.72", "12.05",
                                     "07:05:59", "48.120833", "-11.516667", "359", "12.3"};
        QTest::newRow("GPS in knots") << 0 << 0 << withGps << dataPayload(gps, 0xFF) << QString();
        QStringList metric = withGps;
        metric[6] = "5.0";
        metric[12] = "6.33"; // 12.3 knots in m/s
        QTest::newRow("GPS in m/s") << 1 << 0 << metric << dataPayload(gps, 0xFF) << QString();

        QStringList bad = logged;
        bad[2] = "high";
        QTest::newRow("not a number") << 0 << 100 << bad << QByteArray() << "pressure \"high\" is not a number";
        bad = logged;
        bad[3] = "22.251"; // no tenths digit corrects to 1 thousandth
        QTest::newRow("no such temperature") << 0 << 100 << bad << QByteArray()
                                             << "no module sends temperature \"22.251\"";
        bad = logged;
        bad[5] = "1e300";
        QTest::newRow("out of range") << 0 << 100 << bad << QByteArray() << "wind direction \"1e300\" is out of range";
        bad = logged;
        bad[8] = "7:5";
        QTest::newRow("bad time") << 0 << 100 << bad << QByteArray() << "UTC time \"7:5\" is not hh:mm:ss";
    }

    void encoder()
    {
        QFETCH(int, windUnits);
        QFETCH(int, groundElevation);
        QFETCH(QStringList, fields);
        QFETCH(QByteArray, payload);
        QFETCH(QString, error);
        ReplayEncoder encoder(windUnits, groundElevation, ReplayEncoder::kindOf(fields[3]));
        QString why;
        QCOMPARE(encoder.dataPayload(fields, &why), payload);
        QCOMPARE(why, error);
    }

    // A module sends only the groups it is asked for; XData goes out as the module writes it.
    void selectionAndXData()
    {
        using namespace ModuleBytes;
        DataFields gps = allGroups();
        DataFields latitudeOnly = gps;
        latitudeOnly.flags = 0xF4;
        QCOMPARE(ReplayEncoder::selected(dataPayload(gps, 0xFF), 0xF4), dataPayload(latitudeOnly, 0xF4));
        QString why;
        QCOMPARE(ReplayEncoder::xdataPayload("xdata=T2=1.5,RH2=80", &why), QByteArray("T2=1.5,RH2=80\r\n"));
        QVERIFY(ReplayEncoder::xdataPayload("T2=1.5", &why).isEmpty());
    }

    // Bad logs are refused before the pseudo-terminal opens; unreadable lines are named and
    // skipped.
    void badLogs()
    {
        const QString good = header(1) + "09:00:00,," + group("A1", 0, "10:00:00") + '\n';
        const std::tuple<const char *, QString, int, QString> cases[] = {
            {"not a log", "Time,Comment\n", 2, "is not a Ventrolla log"},
            {"empty", "", 2, "is empty"},
            {"no data line", header(1), 2, "holds no data line to replay"},
            {"unreadable line", good + "09:00:02,," + group("A1", 1, "10:00:02").replace("55.0", "5x.0") + '\n' + good.section('\n', 4),
             -1, "line 6: module A1: humidity \"5x.0\" is not a number; skipped"},
        };
        for (const auto &[name, text, status, message] : cases) {
            QFile file(dir.filePath(QStringLiteral("bad.csv")));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text.toUtf8());
            file.close();
            Program sim;
            sim.start(dir.path(), VENTROLLA_SIM_PROGRAM, {"--replay", file.fileName()});
            const bool ended = sim.process.waitForFinished(status < 0 ? 1500 : 10000);
            sim.output += sim.process.readAllStandardError();
            QVERIFY2(QString(sim.output).contains(message), name);
            QVERIFY2(ended == (status >= 0), name);
            if (ended)
                QVERIFY2(sim.process.exitCode() == status && sim.process.readAllStandardOutput().isEmpty(), name);
            else
                QVERIFY2(sim.process.readLine().startsWith("/dev/"), name);
        }
    }

    // recorder -> log -> replay -> recorder -> log, for one module in metres per second, for
    // three with GPS, XData and a ground elevation, and for a window's log whose third module
    // was acquired late.
    void roundTrip()
    {
        const QStringList gpsSetUp = {"--gps", "latitude,longitude,course,speed", "--ground-elevation", "500",
                                      "--comment", "round trip"};
        struct Case
        {
            const char *name;
            QStringList simArguments;
            QStringList recorderArguments;
            bool late = false;
            std::unique_ptr<Sounding> original = std::make_unique<Sounding>();
            std::unique_ptr<Sounding> replay = std::make_unique<Sounding>();
        };
        Case cases[3] = {
            {"one module", {"--modules", "1", "--xdata"}, {"--modules", "1", "--wind-units", "mps", "--duration", "3"}},
            {"three modules", {"--modules", "3", "--gps", "--xdata", "--ground-elevation", "500"},
             QStringList{"--modules", "3", "--duration", "3"} + gpsSetUp},
            {"late modules", {}, {"--modules", "3", "--duration", "60"}, true},
        };
        for (Case &c : cases) {
            QDir().mkpath(dir.filePath(c.name));
            if (c.late) {
                QFile file(dir.filePath(QStringLiteral("late.csv")));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(lateModulesLog().toUtf8());
                c.original->log = file.fileName();
            } else {
                QVERIFY(c.original->start(dir.filePath(c.name), c.simArguments, c.recorderArguments));
            }
        }
        for (Case &c : cases) {
            if (!c.late)
                QVERIFY2(c.original->recorder.process.waitForFinished(40000), c.original->recorder.output);
            QStringList replayArguments = c.recorderArguments;
            replayArguments.replace(replayArguments.indexOf("--duration") + 1, "60");
            QStringList simArguments = {"--replay", c.original->log};
            if (replayArguments.contains("--ground-elevation"))
                simArguments << "--ground-elevation" << "500";
            QDir().mkpath(dir.filePath(c.name) + "/replay");
            QVERIFY(c.replay->start(dir.filePath(c.name) + "/replay", simArguments, replayArguments));
        }
        for (Case &c : cases) {
            const QStringList original = c.original->lines();
            QVERIFY2(original.size() > 6, c.original->recorder.output);
            QVERIFY2(c.replay->finish(original.size()), c.replay->recorder.output + c.replay->sim.output);
            const QList<QStringList> before = body(original);
            const QList<QStringList> after = body(c.replay->lines());
            QCOMPARE(after.size(), before.size());
            int fields = 0;
            for (int i = 0; i < before.size(); ++i) {
                // The late module's group is in every replayed line; the original lacks it at first.
                const QStringList replayed = c.late ? QStringList(after[i].mid(0, before[i].size())) : after[i];
                QVERIFY2(replayed == before[i], qPrintable(QStringLiteral("%1, line %2:\n%3\n%4").arg(c.name).arg(i + 5)
                                                               .arg(before[i].join(','), after[i].join(','))));
                fields += before[i].size();
            }
            qInfo("%s: %d lines, %d fields compared, 0 differences", c.name, int(before.size()), fields);
        }
    }

private:
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/replay-XXXXXX")};
};

VENTROLLA_TEST_MAIN(TestReplay)
#include "tst_Replay.moc"
