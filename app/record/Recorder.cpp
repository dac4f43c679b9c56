#include "Recorder.h"

#include "archive/SoundingExport.h"
#include "core/Model.h"
#include "core/State_Acquiring.h"
#include "core/State_Running.h"
#include "core/State_Starting.h"
#include "core/State_Stopped.h"
#include "core/State_Stopping.h"
#include "core/State_Unacquired.h"
#include "core/State_Unconfigured.h"
#include "core/Version.h"
#include "link/FlightModule.h"
#include "link/State_Configuring.h"
#include "output/BrokerOutput.h"
#include "output/LogFile.h"
#include "output/ServerOutput.h"

#include <QTextStream>

Recorder::Recorder(const RecorderOptions &options, QTextStream &out, QObject *parent)
    : QObject(parent), options(options), out(out)
{
    acquireTimer.setSingleShot(true);
    durationTimer.setSingleShot(true);
    connect(&acquireTimer, &QTimer::timeout, this, &Recorder::endAcquisition);
    connect(&durationTimer, &QTimer::timeout, this, &Recorder::requestStop);
}

Recorder::~Recorder() = default;

Model *Recorder::model() const
{
    return model_;
}

bool Recorder::start()
{
    model_ = new Model(options.windUnits, options.groundElevation, options.latitude,
                       options.longitude, options.course, options.speed, this);
    connect(model_, &Model::statusChanged, this, &Recorder::onStatusChanged);
    connect(model_, &Model::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row)
                    onModuleAdded(row);
            });
    connect(model_, &Model::dataSetReady, this, &Recorder::onDataSet);
    connect(model_, &Model::baseStationLost, this, &Recorder::onBaseStationLost);

    log = new LogFile(model_, this);
    connect(log, &LogFile::writeFailed, this, &Recorder::onLogWriteFailed);
    if (options.server) {
        server = new ServerOutput(model_, this);
        if (!server->isListening())
            report(QStringLiteral("data server: the name \"Ventrolla\" is held by another "
                                  "program; no live stream"));
    }

    if (options.broker.enabled) {
        broker = new BrokerOutput(model_, this);
        broker->setLog(log);
        connect(broker, &BrokerOutput::statusChanged, this, &Recorder::onBrokerStatusChanged);
        connect(broker, &BrokerOutput::problem, this, [this](const QString &message) { report(message); });
        report(QStringLiteral("broker: publishing to %1 as station %2")
                   .arg(options.broker.url, options.broker.station));
        if (!broker->start(options.broker))
            report(broker->errorString());
    }

    lastState = model_->currentState();
    if (options.interval > 0)
        model_->setDataInterval(options.interval);
    model_->setPortName(options.port);
    if (!model_->openPort()) {
        report(QStringLiteral("Could not open serial port %1.").arg(options.port));
        finish(PortNotOpened);
        return false;
    }
    return true;
}

void Recorder::requestStop()
{
    switch (phase) {
    case Phase::Configuring:
        report(QStringLiteral("stopped before acquisition"));
        finish(Success);
        break;
    case Phase::Acquiring:
        stopRequested = true;
        endAcquisition();
        break;
    case Phase::Stopping:
        stopRequested = true;
        break;
    case Phase::Running:
        if (model_->canStop()) {
            phase = Phase::Finishing;
            model_->stop();
        } else {
            stopRequested = true; // still starting: stop as soon as running
        }
        break;
    case Phase::Finishing:
        // Asked again while the modules are being stopped: do not wait for them.
        finish(pendingStatus);
        break;
    case Phase::Done:
        break;
    }
}

void Recorder::onStatusChanged()
{
    State *state = model_->currentState();
    if (state == lastState)
        return;
    lastState = state;
    report(QStringLiteral("state: %1").arg(model_->stateName(state)));
    onStateEntered(state);
}

void Recorder::onStateEntered(State *state)
{
    const Model::States &states = model_->states();
    if (phase == Phase::Done)
        return;
    if (state == states.unconfigured) {
        // Later than configuration, this is the base station lost: baseStationLost() follows.
        if (phase == Phase::Configuring) {
            report(QStringLiteral("The base station could not be configured. Make sure it is "
                                  "turned on and try again."));
            finish(ConfigurationFailed);
        }
    } else if (state == states.acquiring && phase == Phase::Configuring) {
        phase = Phase::Acquiring;
        acquireTimer.start(options.acquireSeconds * 1000);
    } else if (state == states.unacquired) {
        report(QStringLiteral("No flight module was acquired."));
        finish(NoModuleAcquired);
    } else if (state == states.stopped) {
        if (phase == Phase::Finishing)
            finish(pendingStatus);
        else if (stopRequested)
            finish(Success);
        else
            beginRun();
    } else if (state == states.running) {
        if (stopRequested) {
            requestStopLater();
        } else if (options.durationSeconds > 0) {
            durationTimer.start(options.durationSeconds * 1000);
        }
    }
}

void Recorder::onModuleAdded(int row)
{
    const QString id = model_->data(model_->index(row, FlightModule::ModuleIdColumn)).toString();
    report(QStringLiteral("module acquired: %1 (%2 in the table)").arg(id).arg(model_->rowCount()));
    if (phase == Phase::Acquiring && options.moduleTarget > 0
        && model_->rowCount() >= options.moduleTarget) {
        // Not from inside the frame handling that added the row.
        QTimer::singleShot(0, this, &Recorder::endAcquisition);
    }
}

void Recorder::endAcquisition()
{
    if (phase != Phase::Acquiring)
        return;
    acquireTimer.stop();
    phase = Phase::Stopping;
    model_->stopAcquiring();
}

void Recorder::beginRun()
{
    if (!options.logFile.isEmpty()) {
        if (!log->begin(options.logFile)) {
            report(QStringLiteral("log: could not open %1: %2").arg(options.logFile, log->errorString()));
            finish(LogFailed);
            return;
        }
        report(QStringLiteral("log: writing %1").arg(options.logFile));
        if (!options.comment.isEmpty())
            log->setComment(options.comment, true);
    }
    phase = Phase::Running;
    model_->run();
}

void Recorder::onDataSet()
{
    ++dataSets;
    report(QStringLiteral("data set %1").arg(dataSets));
}

void Recorder::onLogWriteFailed(const QString &message)
{
    report(QStringLiteral("log: writing %1 failed, logging stopped: %2").arg(log->fileName(), message));
    pendingStatus = LogFailed;
    requestStopLater();
}

void Recorder::requestStopLater()
{
    // Never from inside a model signal: the state that emitted it is still at work.
    QMetaObject::invokeMethod(this, &Recorder::requestStop, Qt::QueuedConnection);
}

void Recorder::onBaseStationLost()
{
    // The port is closed: no stop packet can go out. Every announced set is already on disk.
    report(QStringLiteral("The base station was lost."));
    finish(BaseStationLost);
}

void Recorder::onBrokerStatusChanged()
{
    const bool connected = broker->connection() == BrokerOutput::Connection::Connected;
    if (connected == brokerWasConnected)
        return;
    brokerWasConnected = connected;
    if (connected)
        report(QStringLiteral("broker: connected to %1").arg(broker->url()));
    else if (broker->connection() != BrokerOutput::Connection::Off)
        report(QStringLiteral("broker: disconnected; data sets are queued"));
}

void Recorder::finish(int status)
{
    if (phase == Phase::Done)
        return;
    phase = Phase::Done;
    acquireTimer.stop();
    durationTimer.stop();
    if (log && log->isOpen()) {
        log->stop();
        report(QStringLiteral("log: closed after %1 data sets").arg(dataSets));
        if (!options.netcdfFile.isEmpty() && !exportNetCdf() && status == Success)
            status = ExportFailed;
    }
    if (broker && broker->connection() != BrokerOutput::Connection::Off) {
        broker->stop();
        report(QStringLiteral("broker: %1 messages delivered, %2 dropped, %3 undelivered")
                   .arg(broker->acknowledgedCount())
                   .arg(broker->droppedCount())
                   .arg(broker->queuedCount()));
    }
    // Queued, so that a caller about to enter the event loop still sees it.
    QMetaObject::invokeMethod(this, [this, status] { emit finished(status); }, Qt::QueuedConnection);
}

bool Recorder::exportNetCdf()
{
    // The run is over: nothing waits on the event loop any more, so the export may take its time.
    ExportSettings settings;
    settings.logFiles = QStringList{options.logFile};
    settings.netcdfFile = options.netcdfFile;
    settings.source = QStringLiteral("ventrolla-record ") + QLatin1String(Version::text);
    settings.history = QStringLiteral("ventrolla-record --log %1 --netcdf %2").arg(options.logFile, options.netcdfFile);
    SoundingExport exporter(settings);
    const SoundingExport::Status status =
        exporter.run([this](const QString &warning) { report(QStringLiteral("export: warning: ") + warning); });
    if (status != SoundingExport::Success) {
        report(QStringLiteral("export: failed: %1").arg(exporter.errorString()));
        return false;
    }
    report(QStringLiteral("export: wrote %1").arg(options.netcdfFile));
    return true;
}

void Recorder::report(const QString &line)
{
    out << line << '\n';
    out.flush();
}
