// The simulator's own choices: its command line's fault options, and what a simulated GPS
// module puts in its Data messages at each report interval.

#include "Atmosphere.h"
#include "SimulatedClock.h"
#include "SimulatedModule.h"
#include "SimulatorCommandLine.h"
#include "TestSupport.h"
#include "config/CompassCalibrator.h"

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

    // A module takes the solution of a correct fit of its samples, and refuses one whose offset
    // or gain is off by more than a correct fit ever is: a fault in the ground station's fit or
    // its encoding is refused as a real module refuses it.
    void compassSolutionTolerance()
    {

        for (const quint32 seed : {1u, 2u, 3u}) {
            const SimulatedClock clock(QDateTime(QDate(2024, 6, 1), QTime(10, 0), Qt::UTC), 100000);
            const Atmosphere atmosphere(400, 47.25, 8.5, 1);
            SimulatedModule module({'Q', "CMP1"}, clock, atmosphere, seed);
            CompassCalibrator calibrator;
            QByteArray verdict;
            connect(&module, &SimulatedModule::transmitted, [&](qint64, const QByteArray &message) {
                const QByteArray plain = QByteArray(message).replace("!\x03", "#").replace("!\x01", "!");
                if (plain.startsWith("#\x93"))
                    calibrator.addSamples(plain.constData() + 2, plain.size() - 2);
                else if (plain.startsWith("#\x95") || plain.startsWith("#\x96"))
                    verdict = plain.left(2);
            });
            module.setPowered(true);
            module.receive(QByteArray("#\x90\r", 3));
            module.receive(QByteArray("#\x92\r", 3));
            QVERIFY(waitUntil([&] { return calibrator.sampleCount() == CompassCalibrator::capacity; }));
            QVERIFY(calibrator.fit());

            const Eigen::Vector3f c = calibrator.offset();
            const Eigen::Matrix3f w = calibrator.correction();
            const auto text = [](const Eigen::Vector3f &offset, const Eigen::Matrix3f &correction) {
                QByteArray solution;
                for (const float value : {offset.x(), offset.y(), offset.z(), correction(0, 0), correction(0, 1),
                                          correction(0, 2), correction(1, 1), correction(1, 2), correction(2, 2)})
                    solution += CompassCalibrator::encodeValue(value);
                return solution;
            };
            const std::pair<QByteArray, const char *> solutions[] = {
                {calibrator.solutionText(), "#\x95"},
                {text(c + Eigen::Vector3f(0.0015f, 0, 0), w), "#\x95"}, // within the room
                {text(c, w * 1.005f), "#\x95"},
                {text(c + Eigen::Vector3f(0, 0.004f, 0), w), "#\x96"}, // offset off
                {text(c, w * 1.02f), "#\x96"},                         // gain off
                {text(c, w + Eigen::Matrix3f::Identity() * 0.04f), "#\x96"}};
            for (const auto &[solution, expected] : solutions) {
                verdict.clear();
                // In two halves, as the ground station sends it.
                module.receive(QByteArray("#\x94", 2) + solution.left(36));
                module.receive(solution.mid(36) + '\r');
                QVERIFY(waitUntil([&] { return !verdict.isEmpty(); }));
                QCOMPARE(verdict, QByteArray(expected));
            }
        }
    }
};

VENTROLLA_TEST_MAIN(TestSimulator)
#include "tst_Simulator.moc"
