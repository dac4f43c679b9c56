#ifndef VENTROLLA_TOOLS_SIMULATEDMODULE_H
#define VENTROLLA_TOOLS_SIMULATEDMODULE_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

#include <functional>

class Atmosphere;
class SimulatedClock;

// One flight module hanging on the line: its radio (destination, retries, packetization
// timeout, reached by remote AT commands) and its firmware. After power-on it announces itself
// with Hello messages until the base station configures it, then answers every command of the
// ground station: timed Data reports from the shared atmosphere, the stop packet, the compass,
// anemometer and thermistor calibrations and the indoor mode.
//
// Its clocks (Hello period, report times, calibration durations) run on the shared simulated
// clock, so a clock speed above 1 makes the module live faster.
class SimulatedModule : public QObject
{
    Q_OBJECT

public:
    // Samples of one compass calibration: enough for the ground station's ellipsoid fit.
    static constexpr int compassSampleCount = 1000;

    // How a module lets the ground station down when it is asked to calibrate.
    enum class CalibrationFault {
        None,
        Silent,         // never answers a calibration or indoor-mode command
        Error,          // answers every calibration with CalibErr
        WrongReference, // echoes a reference temperature one kelvin off
    };

    struct Settings
    {
        char kind = 'Q';           // 'Q' and 'D' measure temperature directly, 'P' and 'C' do not
        QString identifier;        // sent in every Hello, at most 12 characters
        qint64 address = 0;        // the module radio's 64-bit address
        double heightAboveGround = 50; // where on the line it hangs, metres
        bool gps = false;          // has position, course and speed to report
        bool xdata = false;        // follows each Data report with an XData line
        bool indoor = false;       // starts in indoor mode
        bool ignoresStop = false;  // fault: pays no attention to the stop packet
        CalibrationFault calibrationFault = CalibrationFault::None;
        int compassSamples = compassSampleCount; // fewer: the compass stream stops early
        // Wall-clock floor of the wait before the first compass sample: the ground station
        // ignores the module for ten seconds of its own time, which --speed does not shorten.
        int compassWaitMs = 0;
        // Replaying a log: the Data payload it reports while being acquired. Told to report once
        // more after that (the run), its reports are the log's, sent by the replay's conductor.
        QByteArray replayPayload {};
    };

    enum class Activity {
        Off,
        Idle,
        Reporting,
        CalibratingCompass,
        CalibratingAnemometer,
    };

    // A module message on the air: '#', the type, the payload with '#' and '!' escaped.
    static QByteArray radioMessage(quint8 type, const QByteArray &payload = QByteArray());

    // The radio address that every radio in range listens to.
    static constexpr qint64 broadcastAddress = 0xFFFF;

    SimulatedModule(const Settings &settings, const SimulatedClock &clock,
                    const Atmosphere &atmosphere, quint32 seed, QObject *parent = nullptr);

    const Settings &settings() const;
    qint64 address() const;

    bool isPowered() const;
    // Powered and not yet configured by the ground station: sends Hello messages.
    bool isAnnouncing() const;
    Activity activity() const;
    bool isIndoor() const;
    int reportIntervalSeconds() const; // of the last timing command; 0 before one
    quint8 fieldSelection() const;     // of the last timing command
    // Has sent a Data report since it was switched on.
    bool hasReported() const;
    // Replaying, in a run: told to report after it had reported, so the log speaks through it.
    bool isReplayReporting() const;
    // Sends a module message to the radio it reports to, as one of its own reports.
    void transmit(const QByteArray &message);

    // The module radio's settings.
    qint64 destination() const; // DH and DL
    int retries() const;        // RR
    int packetizationTimeout() const; // RO

    // Switching on starts the firmware afresh with the radio settings last written (WR);
    // switching off loses everything else.
    void setPowered(bool on);

    // Radio data of a transmit request addressed to this module.
    void receive(const QByteArray &payload);
    // A remote AT command request addressed to this module (DH, DL, RR, RO, WR).
    void applyRemoteAtCommand(const QByteArray &command, const QByteArray &parameter);

signals:
    // Radio data leaving the module for the radio at destination (module message bytes).
    void transmitted(qint64 destination, const QByteArray &payload);
    // A line for the simulator's log.
    void event(const QString &text);
    // It began or ended its reports.
    void reportingChanged();

private:
    struct RadioSettings
    {
        qint64 destination = 0;
        int retries = 10;
        int packetizationTimeout = 3;
    };

    enum class CommandStep { Idle, StopTerminator, Code, Arguments, Terminator };

    void consume(quint8 byte);
    void execute();
    void stop();
    void startReporting(quint8 intervalCode, quint8 selection);
    void scheduleReport();
    void report();
    void startCompassCalibration();
    void sendCompassSamples();
    void schedule(qint64 delayMs, const std::function<void()> &step);
    void reply(qint64 delayMs, const QList<QByteArray> &messages);
    void answerCalibration(qint64 delayMs, const QByteArray &acknowledgement);
    bool solutionFits(const QByteArray &text) const;
    void sendHello();
    void send(qint64 destinationAddress, const QByteArray &message);

    QByteArray dataMessage(qint64 stampMs);
    QByteArray xdataMessage(qint64 stampMs);
    QByteArray compassMessage(int samples);
    double noise(double sigma);

    Settings settings_;
    const SimulatedClock &clock;
    const Atmosphere &atmosphere;
    QRandomGenerator random;

    RadioSettings radio;
    RadioSettings storedRadio;

    bool powered = false;
    bool configured = false;
    bool reported = false; // since switched on
    bool inRun = false;    // told to report after it had reported: acquired, and running
    bool indoor;
    Activity activity_ = Activity::Off;
    qint64 poweredAtMs = 0;

    CommandStep commandStep = CommandStep::Idle;
    quint8 commandCode = 0;
    QByteArray commandArguments;
    bool commandEscape = false;

    int reportInterval = 0; // seconds
    quint8 selection = 0;
    qint64 lastStampMs = 0;
    qint64 pendingStampMs = 0;
    quint8 sequence = 0;
    int transmitOffsetMs; // this module's place in the second, so reports do not collide
    double swayPhase;

    // The magnetometer sees the field on an ellipsoid: offset + A u for the field direction u
    // in the module's frame, A symmetric (soft iron scales along three rotated axes).
    int compassSamplesLeft = 0;
    double compassOffset[3];
    double compassShape[3][3];
    std::function<void()> task; // what taskTimer does next: a calibration step or a reply

    QTimer helloTimer;
    QTimer reportTimer;
    QTimer taskTimer;
};

#endif
