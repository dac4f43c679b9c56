#ifndef VENTROLLA_TESTS_CORE_MODELHARNESS_H
#define VENTROLLA_TESTS_CORE_MODELHARNESS_H

#include "ModuleBytes.h"
#include "PseudoTerminal.h"
#include "core/Model.h"

#include <memory>
#include <tuple>

// A Data message carrying the time group, as modules send it while running.
inline QByteArray dataAt(int hours, int minutes, int seconds, int pressure = 10132)
{
    ModuleBytes::DataFields d;
    d.flags = 0xE0; // hours, minutes and seconds
    std::tie(d.hours, d.minutes, d.seconds, d.pressure) = std::tie(hours, minutes, seconds, pressure);
    return ModuleBytes::data(d);
}
// A module's record as the settings hold it: its identifier, twelve zero columns, no XData.
QString savedRecord(const QString &identifier, qint64 address, char kind = 'P');

// What the model writes for a module: the answer to its Hello (its radio pointed at the base
// station, then told it is configured), a timing command and the stop packet.
QByteArray handshakeFrames(qint64 module, quint32 high = 0x0013A200, quint32 low = 0x40B1C2D3);
inline QByteArray timingFrame(qint64 module, int interval, int selection = 0xE4)
{
    return buildTransmitRequest(module, ModuleBytes::bytes({'#', 0x84, interval, selection, '\r'}));
}
inline QByteArray stopFrame(qint64 module) { return buildTransmitRequest(module, "*\r"); }

// A model on one side of a pseudo-terminal and the test playing the base station on the other,
// with a clock the test moves by hand. Timer ticks are given by invoking the model's slots.
class ModelRig
{
public:
    // gps: 8 latitude, 4 longitude, 2 course, 1 speed.
    explicit ModelRig(int windUnits = 0, int gps = 0);

    Model &model() { return *model_; }
    PseudoTerminal &pty() { return pty_; }
    QString stateName() const { return model_->stateName(model_->currentState()); }

    // Opens the pseudo-terminal and the model's port: the model starts configuring the base
    // station. Its fast timer is stopped, so only tick() moves the configuration on.
    bool open();
    // Sets the clock to atMs and gives the model one fast-timer tick.
    void tick(qint64 atMs) { now_ = atMs; invoke("onFastTimer"); }
    void invoke(const char *slot) { QMetaObject::invokeMethod(model_.get(), slot); }
    // Answers the configuration like a radio already at 57600 baud; true once the model is ready.
    bool configure(quint32 addressHigh = 0x0013A200, quint32 addressLow = 0x40B1C2D3);

    // Writes bytes to the model and runs the event loop until it has read all of them.
    bool deliver(const QByteArray &bytes);
    bool deliverFrom(qint64 from, const QByteArray &data) { return deliver(ModuleBytes::receiveFrame(from, data)); }
    // Waits for at least count bytes from the model, then returns everything it wrote.
    QByteArray takeBytes(int count);
    QByteArray takeBytes(const QByteArray &expected) { return takeBytes(expected.size()); }
    bool wroteNothing() { return model_->serialPort()->bytesToWrite() == 0 && !pty_.waitForBytes(1, 10); }

    // Loads the modules (named "TX" and the last four hexadecimal digits of their address) as
    // saved modules and ends in State_Stopped.
    bool loadAndStop(const QList<qint64> &addresses);
    // Gives the start timer (every 100 ms) one tick per module and one more; false unless each
    // writes that module's timing and the last one nothing.
    bool startModules();
    // From State_Stopped through the start sequence into State_Running.
    bool startRunning() { model_->run(); return startModules() && model_->isRunning(); }

private:
    PseudoTerminal pty_;
    qint64 now_ = 0;
    int readyReads = 0;
    std::unique_ptr<Model> model_;
};

#endif
