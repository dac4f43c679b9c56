#ifndef VENTROLLA_APP_RECORD_RECORDER_H
#define VENTROLLA_APP_RECORD_RECORDER_H

#include "RecorderOptions.h"

#include <QObject>
#include <QTimer>

class LogFile;
class Model;
class ServerOutput;
class State;
class QTextStream;

// Runs one sounding without a display, as a user of the window would: configure the base
// station, acquire, stop, begin the log, run, stop, close the log. Progress goes to `out`, one
// line per event; finished() carries the exit status.
class Recorder : public QObject
{
    Q_OBJECT

public:
    enum ExitStatus {
        Success = 0,
        BadUsage = 2,
        PortNotOpened = 3,
        ConfigurationFailed = 4,
        NoModuleAcquired = 5,
        LogFailed = 6,
        BaseStationLost = 7,
        ExportFailed = 8,
    };

    Recorder(const RecorderOptions &options, QTextStream &out, QObject *parent = nullptr);
    ~Recorder() override;

    // Begins the sounding; false (with finished() already emitted) when the port cannot be opened.
    bool start();

    Model *model() const;

public slots:
    // A clean stop: modules are told to stop and the log is closed with every data set on disk.
    void requestStop();

signals:
    void finished(int exitStatus);

private:
    enum class Phase { Configuring, Acquiring, Stopping, Running, Finishing, Done };

    void onStatusChanged();
    void onStateEntered(State *state);
    void onModuleAdded(int row);
    void onDataSet();
    void onLogWriteFailed(const QString &message);
    void onBaseStationLost();
    void requestStopLater();
    void endAcquisition();
    void beginRun();
    void finish(int status);
    bool exportNetCdf();
    void report(const QString &line);

    RecorderOptions options;
    QTextStream &out;
    Model *model_ = nullptr;
    LogFile *log = nullptr;
    ServerOutput *server = nullptr;
    State *lastState = nullptr;
    Phase phase = Phase::Configuring;
    QTimer acquireTimer;
    QTimer durationTimer;
    int dataSets = 0;
    int pendingStatus = Success; // exit status once the modules are stopped
    bool stopRequested = false;
};

#endif
