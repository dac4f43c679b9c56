#ifndef VENTROLLA_TESTS_CORE_MODELHARNESS_H
#define VENTROLLA_TESTS_CORE_MODELHARNESS_H

#include "PseudoTerminal.h"
#include "core/Model.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// What flight modules say, as the base station hands it over.
namespace Radio {

// One Data message's values, in the units the module sends.
struct Reading
{
    quint16 pressure = 10132;   // tenths of a millibar
    quint16 temperature = 2931; // tenths of a kelvin
    quint16 humidity = 455;     // tenths of a percent
    quint16 windDirection = 270;
    quint16 windSpeed = 31;     // tenths of a metre per second
    quint16 supply = 372;       // hundredths of a volt
    int hours = -1;             // the time is sent only when hours >= 0
    int minutes = 0;
    int seconds = 0;
};

QByteArray hello(char kind, const QByteArray &identifier);
QByteArray data(const Reading &reading);
QByteArray dataAt(int hours, int minutes, int seconds, quint16 pressure = 10132);
QByteArray xdata(const QByteArray &text);
QByteArray calibReady();

// A receive frame (0x90) from the radio at source carrying payload.
QByteArray receiveFrame(qint64 source, const QByteArray &payload);

// The saved record of a module as the settings hold it.
QString savedRecord(const QString &identifier, qint64 address, char kind = 'P');

} // namespace Radio

// A frame the program wrote to the base station, unescaped, length and checksum checked.
struct SentFrame
{
    quint8 type = 0;
    quint8 frameId = 0xFF;
    qint64 destination = 0;
    QByteArray networkAddress; // the two bytes after the destination
    quint8 options = 0xFF;     // remote AT: command options; transmit request: options byte
    quint8 radius = 0xFF;      // transmit request only
    QByteArray command;        // remote AT only: the two command letters
    QByteArray data;           // transmit request: radio data; remote AT: parameter bytes
};

// Splits an escaped byte stream into frames. Complete frames are appended to frames; the bytes
// of a frame not yet complete are left in rest. False with a reason when the stream holds bytes
// outside a frame, a bad checksum or a frame too short for its type.
bool parseSentFrames(const QByteArray &stream, QList<SentFrame> &frames, QByteArray &rest,
                     QString &error);

// A model on one side of a pseudo-terminal and the test playing the base station on the other,
// with a clock the test moves by hand. Timer ticks are given by invoking the model's slots.
class ModelRig
{
public:
    explicit ModelRig(int windUnits = 0, bool latitude = false, bool longitude = false,
                      bool course = false, bool speed = false);

    Model &model() { return *model_; }
    PseudoTerminal &pty() { return pty_; }

    // Opens the pseudo-terminal and the model's port: the model starts configuring the base
    // station. Its fast timer is stopped, so only tick() moves the configuration on.
    bool open();

    // Sets the clock to atMs and gives the model one fast-timer tick.
    void tick(qint64 atMs);
    qint64 now() const { return now_; }
    void invoke(const char *slot);

    // Answers the configuration like a radio already at 57600 baud; true once the model has
    // left State_Configuring for a ready state.
    bool configure(quint32 addressHigh = 0x0013A200, quint32 addressLow = 0x40B1C2D3);

    // Writes bytes to the model and runs the event loop until it has read all of them.
    bool deliver(const QByteArray &bytes);
    bool deliverFrom(qint64 source, const QByteArray &payload);

    // Runs the event loop until the model has written at least count whole frames, and returns
    // every frame received so far (the test checks that there are no more than expected).
    QList<SentFrame> takeFrames(int count);
    // Raw bytes written by the model once its output has drained.
    QByteArray takeBytes(int count);
    // Runs the event loop until everything the model wrote has reached the test's side.
    void drain();

    // Acquires modules through the whole handshake (Hello, CalibReady, Data) and ends in
    // State_Stopped once every module has answered the stop packet.
    bool acquireAndStop(const QList<qint64> &addresses);
    // Loads the given modules as saved modules and ends in State_Stopped.
    bool loadAndStop(const QList<qint64> &addresses);
    // From State_Stopped through the start sequence into State_Running.
    bool startRunning();

    QString stateName() const;

private:
    PseudoTerminal pty_;
    qint64 now_ = 0;
    int readyReads = 0;
    std::unique_ptr<Model> model_;
};

QString moduleName(qint64 address);

#endif
