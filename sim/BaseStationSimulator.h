#ifndef VENTROLLA_TOOLS_BASESTATIONSIMULATOR_H
#define VENTROLLA_TOOLS_BASESTATIONSIMULATOR_H

#include "ApiRequestReader.h"
#include "Atmosphere.h"
#include "PseudoTerminal.h"
#include "SimulatedClock.h"
#include "SimulatedModule.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QRandomGenerator>
#include <QTimer>

#include <memory>

class ReplayConductor;
class ReplayScript;

// The base station's radio modem on a pseudo-terminal, with its flight modules in range.
//
// Like the real radio it starts in transparent mode at its stored baud rate and hears nothing
// at any other rate. The guard sequence ("+++" between two guard times of silence) puts it into
// command mode, where it answers AT command lines ("OK", values in hexadecimal, "ERROR");
// leaving command mode (ATCN) applies the new settings. In API mode it reads the host's frames:
// transmit requests go to the module with the destination address, remote AT command requests
// change a module's radio settings; whatever a module sends to this radio (or to everybody)
// comes out as a receive frame. The first time the radio speaks API frames the modules are
// switched on, one after another, as a crew does in the field.
class BaseStationSimulator : public QObject
{
    Q_OBJECT

public:
    // Faults a real installation shows now and then, switched on for tests and demos.
    struct Faults
    {
        bool ignoreGuardSequence = false; // never answers "+++"
        QByteArray wrongAnswerCommand;    // two letters, e.g. "BD": this command answers ERROR
        double corruptChecksumRate = 0;   // share of receive frames with a wrong checksum
        double garbageRate = 0;           // share of receive frames preceded by line noise
        bool splitWrites = false;         // output reaches the host in pieces, a little apart
    };

    struct Settings
    {
        qint64 address = 0x0013A20040B1C2D3LL;
        int baudRate = 57600;  // the stored rate the radio starts with
        bool apiMode = false;  // starts in API mode with escaping, as after an earlier setup
        int guardTimeMs = 1000;
        int commandModeTimeoutMs = 10000;
        int powerOnDelayMs = 3000;    // from the first API frame mode to the first module
        int powerOnIntervalMs = 3000; // between one module and the next
        double speed = 1.0;           // how much faster the modules' clock runs
        quint32 seed = 1;
        QDateTime startTime;          // UTC start of the modules' clock; null for now
        double groundElevation = 100; // metres above sea level
        double latitude = 47.25;
        double longitude = 8.5;
        Faults faults;
        QList<SimulatedModule::Settings> modules;
        // A recorded log the modules replay, one module each of its Module IDs, in order.
        std::shared_ptr<const ReplayScript> replay;
        bool loop = false; // the replay starts over after the last data set
    };

    enum class Mode { Transparent, Command, Api };

    explicit BaseStationSimulator(const Settings &settings, QObject *parent = nullptr);

    // Opens the pseudo-terminal; false when the system has none.
    bool start();
    // The device the program opens as its serial port.
    QString portName() const;

    qint64 address() const;
    Mode mode() const;
    int baudRate() const; // the radio's current rate

    const SimulatedClock &clock() const;
    int moduleCount() const;
    SimulatedModule *module(int index) const;

signals:
    // A line for the simulator's log.
    void logMessage(const QString &text);

private:
    // The radio's own parameters, as the AT commands name them.
    struct Parameters
    {
        int apiMode = 0;        // AP: 0 transparent, 1 API, 2 API with escaping
        int baudCode = 3;       // BD: 0 to 7, 1200 to 115200
        int retries = 10;       // RR
        int packetizationTimeout = 3; // RO
        quint32 destinationHigh = 0;  // DH
        quint32 destinationLow = 0;   // DL
    };

    void onHostBytes(const QByteArray &bytes);
    void watchGuardSequence(const QByteArray &bytes);
    void enterCommandMode();
    void leaveCommandMode(bool apply);
    void handleCommandLine(const QByteArray &line);
    QByteArray answerCommand(const QByteArray &command, const QByteArray &parameter);
    void handleHostFrame(const QByteArray &frameData);
    void startPowerOnSequence();
    void powerOn(int index);
    void onModuleTransmitted(SimulatedModule *source, qint64 destination, const QByteArray &payload);

    QByteArray frameBytes(const QByteArray &frameData);
    void sendToHost(const QByteArray &bytes);
    void writeNextPiece();
    bool hostRateMatches() const;
    bool chance(double rate);

    Settings settings;
    PseudoTerminal line;
    SimulatedClock clock_;
    Atmosphere atmosphere;
    QList<SimulatedModule *> modules;
    QRandomGenerator random;

    Parameters active;  // in force
    Parameters pending; // being edited in command mode
    Mode mode_ = Mode::Transparent;
    bool modulesSwitchedOn = false;
    // Replaying: modules due to switch on that wait for the one before them to report.
    QList<bool> waitingForPower;
    QList<bool> reported; // each module has sent a Data report

    QElapsedTimer silence; // since the last byte heard from the host
    int guardCharacters = 0;
    QTimer guardTimer;     // the silence after "+++"
    QTimer commandTimer;   // command mode ends by itself when no command comes
    QByteArray commandLine;
    ApiRequestReader reader;

    QQueue<QByteArray> pieces; // output waiting to be written when writes are split
    QTimer pieceTimer;
};

#endif
