// The simulator's own choices: its command line's fault options, and what a simulated GPS
// module puts in its Data messages at each report interval.

#include "Atmosphere.h"
#include "SimulatedClock.h"
#include "SimulatedModule.h"
#include "SimulatorCommandLine.h"
#include "TestSupport.h"

#include <QtTest>

using TestSupport::waitUntil;

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void simulatorOptionsAndGps()
    {
        SimulatorCommandLine line;
        QCOMPARE(line.parse({"ventrolla-sim", "--modules", "5", "--compass-wait", "2000", "--silent-calibration",
                             "TX0002", "--calibration-error", "TX0003", "--wrong-reference", "TX0004",
                             "--short-compass", "TX0005"}), SimulatorCommandLine::Outcome::Run);
        QString seen; // each module's fault (none, silent, error, wrong reference), compass samples and wait
        for (const SimulatedModule::Settings &m : line.settings().modules)
            seen += QString("%1/%2/%3 ").arg(int(m.calibrationFault)).arg(m.compassSamples).arg(m.compassWaitMs);
        QCOMPARE(seen, QStringLiteral("0/1000/2000 1/1000/2000 2/1000/2000 3/1000/2000 0/600/2000 "));
        QCOMPARE(line.parse({"ventrolla-sim", "--short-compass", "NOBODY"}), SimulatorCommandLine::Outcome::Error);

        // A simulated GPS module's Data contents: at one second it has no time for its GPS
        // receiver's position, course and speed.
        const std::pair<int, int> intervals[] = {{1, 0xE4}, {2, 0xFF}, {12, 0xFF}}; // code, contents flags
        for (const auto &[intervalCode, contents] : intervals) {
            // Fast enough for a report within a few milliseconds at any of these intervals.
            const SimulatedClock clock(QDateTime(QDate(2024, 6, 1), QTime(10, 0), Qt::UTC), 100000);
            const Atmosphere atmosphere(400, 47.25, 8.5, 1);
            SimulatedModule::Settings settings{'Q', "GPS1"};
            settings.gps = true;
            SimulatedModule module(settings, clock, atmosphere, 1);
            QByteArray data;
            connect(&module, &SimulatedModule::transmitted, [&](qint64, const QByteArray &message) {
                if (data.isEmpty() && message.startsWith("#\x09"))
                    data = QByteArray(message).replace("!\x03", "#").replace("!\x01", "!");
            });
            module.setPowered(true);
            module.receive(QByteArray("#\x90\r", 3)); // configured: it stops saying Hello
            module.receive(QByteArray("#\x84", 2) + char(intervalCode) + char(0xFF) + '\r');
            QVERIFY(waitUntil([&] { return !data.isEmpty(); }));
            QCOMPARE(int(quint8(data.at(2 + 13))), contents); // after the 13 bytes of the fixed part
        }
    }
};

VENTROLLA_TEST_MAIN(TestSimulator)
#include "tst_Simulator.moc"
