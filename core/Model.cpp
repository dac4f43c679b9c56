#include "core/Model.h"

#include "config/CompassCalibrator.h"
#include "config/State_Acquiring_Calib.h"
#include "config/State_CalibFailure.h"
#include "config/State_CalibSuccess.h"
#include "config/State_Calibrating_Anemometer.h"
#include "config/State_Calibrating_Compass.h"
#include "config/State_Calibrating_Thermistor.h"
#include "config/State_CalibrationDelay.h"
#include "config/State_ChangingModuleIndoorMode.h"
#include "core/ModuleConfigSettings.h"
#include "core/State_Running.h"
#include "core/State_Starting.h"
#include "core/State_Stopped.h"
#include "core/State_Stopping.h"
#include "core/State_Unacquired.h"
#include "core/State_Unconfigured.h"
#include "core/State_Acquiring.h"
#include "link/FlightModule.h"
#include "link/State_Configuring.h"

#include <QSettings>

#include <utility>

namespace {

const QString baseStationGroup = QStringLiteral("BaseStation");
const QString portKey = QStringLiteral("port");
const QString dataGroup = QStringLiteral("Data");
const QString delayByteKey = QStringLiteral("delayByte");
constexpr int defaultDataInterval = 2;
constexpr int lastDataInterval = 24;

// Interval lengths of the positions 1 to 12 of each half (seconds, then minutes).
constexpr int intervalLengths[12] = {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60};

} // namespace

Model::Model(int windUnits, int groundElevation, bool latitude, bool longitude, bool course,
             bool speed, QObject *parent)
    : QAbstractTableModel(parent), groundElevation_(groundElevation), windUnits_(windUnits)
{
    // Hours, minutes, seconds and altitude are always asked for.
    fieldSelection_ = 0xE4;
    if (latitude)
        fieldSelection_ |= 0x10;
    if (longitude)
        fieldSelection_ |= 0x08;
    if (course)
        fieldSelection_ |= 0x02;
    if (speed)
        fieldSelection_ |= 0x01;

    configSettings = new ModuleConfigSettings(this);
    monotonic.start();

    serialPort_ = new QSerialPort;
    connect(serialPort_, &QSerialPort::readyRead, this, &Model::onNewBaseStationData);
    connect(serialPort_, &QSerialPort::errorOccurred, this, &Model::onSerialPortError);

    timers_.fast.setInterval(20);
    connect(&timers_.fast, &QTimer::timeout, this, &Model::onFastTimer);
    connect(&timers_.timeout, &QTimer::timeout, this, &Model::onTimeoutTimer);
    connect(&timers_.start, &QTimer::timeout, this, &Model::onStartTimer);
    connect(&timers_.stop, &QTimer::timeout, this, &Model::onStopTimer);
    timers_.calibSolution.setInterval(100);
    connect(&timers_.calibSolution, &QTimer::timeout, this, &Model::onCalibSolutionTimer);

    FlightModuleList *list = &moduleList_;
    connect(list, &FlightModuleList::hello, this, &Model::handleHelloMessage);
    connect(list, &FlightModuleList::data, this, &Model::handleDataMessage);
    connect(list, &FlightModuleList::xdata, this, &Model::handleXDataMessage);
    connect(list, &FlightModuleList::calibReady, this, &Model::handleCalibReadyMessage);
    connect(list, &FlightModuleList::calibDataCompass, this, &Model::handleCalibDataMessage);
    connect(list, &FlightModuleList::calibOk, this, &Model::handleCalibOkMessage);
    connect(list, &FlightModuleList::calibErr, this, &Model::handleCalibErrMessage);
    connect(list, &FlightModuleList::calibDonePitot, this, &Model::handleCalibDonePitotMessage);
    connect(list, &FlightModuleList::calibCupOk, this, &Model::handleCalibCupOkMessage);
    connect(list, &FlightModuleList::indoorAck, this, &Model::handleIndoorAckMessage);
    connect(list, &FlightModuleList::intThermCalDone, this, &Model::handleIntThermCalDoneMessage);
    connect(list, &FlightModuleList::extThermCalOk, this, &Model::handleExtThermCalOkMessage);
    connect(list, &FlightModuleList::changeBetaOk, this, &Model::handleChangeBetaOkMessage);

    // Only these three messages matter from modules that are not in the table yet.
    FlightModuleList *newList = &newModuleList_;
    connect(newList, &FlightModuleList::hello, this, &Model::handleNewModuleHelloMessage);
    connect(newList, &FlightModuleList::data, this, &Model::handleNewModuleDataMessage);
    connect(newList, &FlightModuleList::calibReady, this,
            &Model::handleNewModuleCalibReadyMessage);

    states_.unconfigured = new State_Unconfigured(this);
    states_.configuring = new State_Configuring(this);
    states_.unacquired = new State_Unacquired(this);
    states_.acquiring = new State_Acquiring(this);
    states_.stopped = new State_Stopped(this);
    states_.starting = new State_Starting(this);
    states_.running = new State_Running(this);
    states_.stopping = new State_Stopping(this);
    states_.acquiringCalib = new State_Acquiring_Calib(this);
    states_.calibrationDelay = new State_CalibrationDelay(this);
    states_.calibratingCompass = new State_Calibrating_Compass(this);
    states_.calibratingAnemometer = new State_Calibrating_Anemometer(this);
    states_.calibratingThermistor = new State_Calibrating_Thermistor(this);
    states_.changingModuleIndoorMode = new State_ChangingModuleIndoorMode(this);
    states_.calibSuccess = new State_CalibSuccess(this);
    states_.calibFailure = new State_CalibFailure(this);
    states_.unconfigured->enter();
    pendingFlag = false;

    readSettings();
}

Model::~Model()
{
    writeSettings();
    // Nothing may reach a state while they are being deleted.
    serialPort_->disconnect(this);
    delete states_.unconfigured;
    delete states_.configuring;
    delete states_.unacquired;
    delete states_.acquiring;
    delete states_.stopped;
    delete states_.starting;
    delete states_.running;
    delete states_.stopping;
    delete states_.acquiringCalib;
    delete states_.calibrationDelay;
    delete states_.calibratingCompass;
    delete states_.calibratingAnemometer;
    delete states_.calibratingThermistor;
    delete states_.changingModuleIndoorMode;
    delete states_.calibSuccess;
    delete states_.calibFailure;
    currentState_ = nullptr;
    delete serialPort_;
    delete compassCalibrator_;
    delete configSettings;
}

void Model::readSettings()
{
    QSettings settings;
    settings.beginGroup(baseStationGroup);
    setPortName(settings.value(portKey, QStringLiteral("COM1")).toString());
    settings.endGroup();

    // A stored index outside 1 to 24 (hand-edited or corrupt settings) would give the modules
    // an interval they do not understand: the default serves instead.
    settings.beginGroup(dataGroup);
    bool ok = false;
    const int stored = settings.value(delayByteKey, defaultDataInterval).toInt(&ok);
    dataInterval_ = quint8(ok && stored >= 1 && stored <= lastDataInterval ? stored
                                                                             : defaultDataInterval);
}

void Model::writeSettings() const
{
    QSettings settings;
    settings.beginGroup(baseStationGroup);
    settings.setValue(portKey, serialPort_->portName());
    settings.endGroup();
    settings.beginGroup(dataGroup);
    settings.setValue(delayByteKey, int(dataInterval_));
}

// ---- table interface ----

int Model::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : moduleList_.count();
}

int Model::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FlightModule::ColumnCount;
}

QVariant Model::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return moduleList_.value(index.row(), index.column());
}

QVariant Model::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    const bool metresPerSecond = windUnits_ == 1;
    switch (section) {
    case 0: return QStringLiteral("Module ID");
    case 1: return QStringLiteral("Alt (m)");
    case 2: return QStringLiteral("P (mbar)");
    case 3: return QStringLiteral("T (deg C)");
    case 4: return QStringLiteral("%RH");
    case 5: return QStringLiteral("Wind (degrees)");
    case 6: return metresPerSecond ? QStringLiteral("Wind (m/s)") : QStringLiteral("Wind (knots)");
    case 7: return QStringLiteral("Supply (V)");
    case 8: return QStringLiteral("UTC Time");
    case 9: return QStringLiteral("Latitude (deg)");
    case 10: return QStringLiteral("Longitude (deg)");
    case 11: return QStringLiteral("Course (deg)");
    case 12: return metresPerSecond ? QStringLiteral("Speed (m/s)") : QStringLiteral("Speed (knots)");
    case 13: return QStringLiteral("XData");
    default: return QVariant();
    }
}

Qt::ItemFlags Model::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    return QAbstractTableModel::flags(index);
}

// ---- forwarding to the current state ----

bool Model::canOpenPort() { return currentState_->canOpenPort(); }
bool Model::openPort() { return currentState_->openPort(); }
bool Model::setPortName(const QString &name) { return currentState_->setPortName(name); }
bool Model::isConfiguring() { return currentState_->isConfiguring(); }
bool Model::isBaseStationReady() { return currentState_->isBaseStationReady(); }
int Model::configurationProgress() { return currentState_->configurationProgress(); }
bool Model::canAcquire() { return currentState_->canAcquire(); }
bool Model::isAcquiring() { return currentState_->isAcquiring(); }
void Model::acquire() { currentState_->acquire(); }
void Model::stopAcquiring() { currentState_->stopAcquiring(); }
bool Model::canBeginLogging() { return currentState_->canBeginLogging(); }
bool Model::canReset() { return currentState_->canReset(); }
void Model::reset() { currentState_->reset(); }
bool Model::canLoadSavedModules() { return currentState_->canLoadSavedModules(); }
void Model::loadSavedModules() { currentState_->loadSavedModules(); }
bool Model::canClearSavedModules() { return currentState_->canClearSavedModules(); }
void Model::clearSavedModules() { currentState_->clearSavedModules(); }
bool Model::canRun() { return currentState_->canRun(); }
void Model::run() { currentState_->run(); }
bool Model::isStarting() { return currentState_->isStarting(); }
bool Model::isRunning() { return currentState_->isRunning(); }
bool Model::canStop() { return currentState_->canStop(); }
bool Model::isStopping() { return currentState_->isStopping(); }
void Model::stop() { currentState_->stop(); }
bool Model::canChangeDataInterval() { return currentState_->canChangeDataInterval(); }
bool Model::showsProgress() { return currentState_->showsProgress(); }
QString Model::progressText() { return currentState_->progressText(); }
int Model::progressValue() { return currentState_->progressValue(); }
int Model::progressMaximum() { return currentState_->progressMaximum(); }
bool Model::canClearModule() { return currentState_->canClearModule(); }
void Model::clearModule() { currentState_->clearModule(); }
bool Model::canNextModule() { return currentState_->canNextModule(); }
bool Model::canPreviousModule() { return currentState_->canPreviousModule(); }
void Model::nextModule() { currentState_->nextModule(); }
void Model::previousModule() { currentState_->previousModule(); }
QString Model::currentModuleText() { return currentState_->currentModuleText(); }
QString Model::indoorStatusText() { return currentState_->indoorStatusText(); }
bool Model::canToggleIndoor() { return currentState_->canToggleIndoor(); }
void Model::toggleIndoor() { currentState_->toggleIndoor(); }
bool Model::canCalibrate() { return currentState_->canCalibrate(); }
bool Model::isCalibrating() { return currentState_->isCalibrating(); }
void Model::startCalibration() { currentState_->startCalibration(); }
bool Model::canCalibrateThermistor() { return currentState_->canCalibrateThermistor(); }
bool Model::hasOutcome() { return currentState_->hasOutcome(); }
QString Model::outcomeTitle() { return currentState_->outcomeTitle(); }
QString Model::outcomeMessage() { return currentState_->outcomeMessage(); }
void Model::acknowledgeOutcome() { currentState_->acknowledgeOutcome(); }

void Model::onFastTimer() { currentState_->onFastTimer(); }
void Model::onSingleShotTimer() { currentState_->onSingleShotTimer(); }
void Model::onTimeoutTimer() { currentState_->onTimeoutTimer(); }
void Model::onStartTimer() { currentState_->onStartTimer(); }
void Model::onStopTimer() { currentState_->onStopTimer(); }
void Model::onCalibSolutionTimer() { currentState_->onCalibSolutionTimer(); }
void Model::handleHelloMessage(int n) { currentState_->handleHelloMessage(n); }
void Model::handleDataMessage(int n) { currentState_->handleDataMessage(n); }
void Model::handleXDataMessage(int n) { currentState_->handleXDataMessage(n); }
void Model::handleNewModuleHelloMessage(int n) { currentState_->handleNewModuleHelloMessage(n); }
void Model::handleNewModuleDataMessage(int n) { currentState_->handleNewModuleDataMessage(n); }
void Model::handleNewModuleCalibReadyMessage(int n)
{
    currentState_->handleNewModuleCalibReadyMessage(n);
}
void Model::handleCalibReadyMessage(int n) { currentState_->handleCalibReadyMessage(n); }
void Model::handleCalibDataMessage(int n) { currentState_->handleCalibDataMessage(n); }
void Model::handleCalibOkMessage(int n) { currentState_->handleCalibOkMessage(n); }
void Model::handleCalibErrMessage(int n) { currentState_->handleCalibErrMessage(n); }
void Model::handleCalibDonePitotMessage(int n) { currentState_->handleCalibDonePitotMessage(n); }
void Model::handleCalibCupOkMessage(int n) { currentState_->handleCalibCupOkMessage(n); }
void Model::handleIndoorAckMessage(int n) { currentState_->handleIndoorAckMessage(n); }
void Model::handleIntThermCalDoneMessage(int n) { currentState_->handleIntThermCalDoneMessage(n); }
void Model::handleExtThermCalOkMessage(int n, quint16 tempEcho)
{
    currentState_->handleExtThermCalOkMessage(n, tempEcho);
}
void Model::handleChangeBetaOkMessage(int n) { currentState_->handleChangeBetaOkMessage(n); }

void Model::onNewBaseStationData()
{
    currentState_->handleBaseStationData(serialPort_->readAll());
}

void Model::onSerialPortError(QSerialPort::SerialPortError error)
{
    // A device that went away reports its error again and again for as long as the port stays
    // open, which would freeze the event loop: close it at once and say so.
    const bool fatal = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
                       || error == QSerialPort::WriteError;
    if (!fatal || !serialPort_->isOpen())
        return;
    serialPort_->close();
    // Nothing already received is lost: values that reached the table since the last data set
    // go out as one more set. Then the application is back where Acquire opens the port again
    // (the modules stay in the table), instead of a state that can no longer reach the radio.
    if (currentState_ == states_.running)
        states_.running->closeDataSet();
    states_.unconfigured->enter();
    emit baseStationLost();
}

// ---- run settings ----

int Model::moduleCount() const
{
    return moduleList_.count();
}

int Model::dataInterval() const
{
    return dataInterval_;
}

void Model::setDataInterval(int index)
{
    if (currentState_->canChangeDataInterval())
        dataInterval_ = quint8(index);
    emit statusChanged();
}

QString Model::dataIntervalText() const
{
    if (dataInterval_ < 1 || dataInterval_ > lastDataInterval)
        return QString();
    const int position = (dataInterval_ - 1) % 12;
    const QString unit = dataInterval_ <= 12 ? QStringLiteral(" seconds") : QStringLiteral(" minutes");
    return QString::number(intervalLengths[position]) + unit;
}

int Model::dataIntervalSeconds() const
{
    if (dataInterval_ < 1 || dataInterval_ > lastDataInterval)
        return 0;
    const int length = intervalLengths[(dataInterval_ - 1) % 12];
    return dataInterval_ <= 12 ? length : length * 60;
}

int Model::highWindThreshold() const { return highWindThreshold_; }
void Model::setHighWindThreshold(int threshold) { highWindThreshold_ = threshold; }
bool Model::isHighWindAlertActive() const { return highWindAlertActive; }

void Model::setHighWindAlertActive(bool active)
{
    highWindAlertActive = active;
    emit statusChanged();
}

int Model::windUnits() const { return windUnits_; }
int Model::groundElevation() const { return groundElevation_; }
quint8 Model::fieldSelection() const { return fieldSelection_; }

// ---- module configuration settings ----

int Model::configMode() const { return configSettings->configMode; }

void Model::setConfigMode(int mode)
{
    configSettings->configMode = mode;
    moduleList_.selectLast();
}

int Model::calibrationType() const { return configSettings->calibrationType; }

void Model::setCalibrationType(int type)
{
    configSettings->calibrationType = type;
    if (type == 1) {
        const FlightModule *module = moduleList_.currentModule();
        configSettings->cupAnemometer = module && module->kindLetter() == 'P' ? 0 : 1;
    }
}

int Model::cupAnemometer() const { return configSettings->cupAnemometer; }
int Model::thermistorOption() const { return configSettings->thermistorOption; }
void Model::setThermistorOption(int option) { configSettings->thermistorOption = option; }

void Model::setCupCalibration(qint16 slope, qint8 offset)
{
    cupSlope_ = slope;
    cupOffset_ = offset;
}

qint16 Model::cupSlope() const { return cupSlope_; }
qint8 Model::cupOffset() const { return cupOffset_; }
void Model::setReferenceTemperature(quint16 hundredthsKelvin) { referenceTemperature_ = hundredthsKelvin; }
quint16 Model::referenceTemperature() const { return referenceTemperature_; }
void Model::setBeta(quint16 value) { beta_ = value; }
quint16 Model::beta() const { return beta_; }

// ---- calibration results ----

CompassCalibrator *Model::compassCalibrator() const { return compassCalibrator_; }

void Model::renewCompassCalibrator()
{
    delete compassCalibrator_;
    compassCalibrator_ = new CompassCalibrator;
}

void Model::destroyCompassCalibrator()
{
    delete compassCalibrator_;
    compassCalibrator_ = nullptr;
}

void Model::setCompassResults(float meanMagnitude, float meanDeviation, float distortion)
{
    compassMeanMagnitude_ = meanMagnitude;
    compassMeanDeviation_ = meanDeviation;
    compassDistortion_ = distortion;
}

float Model::compassMeanMagnitude() const { return compassMeanMagnitude_; }
float Model::compassMeanDeviation() const { return compassMeanDeviation_; }
float Model::compassDistortion() const { return compassDistortion_; }
bool Model::lastCalibrationSucceeded() const { return lastCalibrationSucceeded_; }
void Model::setLastCalibrationSucceeded(bool succeeded) { lastCalibrationSucceeded_ = succeeded; }

// ---- table rows ----

void Model::appendModule(FlightModule *module)
{
    if (!module)
        return;
    const int row = moduleList_.count();
    beginInsertRows(QModelIndex(), row, row);
    moduleList_.appendModule(module);
    endInsertRows();
}

void Model::appendModules(const QList<FlightModule *> &modules)
{
    if (modules.isEmpty())
        return;
    beginInsertRows(QModelIndex(), 0, modules.size() - 1);
    for (FlightModule *module : modules)
        moduleList_.appendModule(module);
    endInsertRows();
}

void Model::adoptNewModule(int newModuleNumber)
{
    appendModule(newModuleList_.takeModule(newModuleNumber));
}

void Model::clearModules()
{
    if (moduleList_.count() > 0) {
        beginRemoveRows(QModelIndex(), 0, moduleList_.count() - 1);
        moduleList_.clear();
        endRemoveRows();
    }
    newModuleList_.clear();
}

void Model::removeModule(int row)
{
    if (row < 0 || row >= moduleList_.count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    moduleList_.removeModule(row);
    endRemoveRows();
}

void Model::refreshTable()
{
    const int rows = moduleList_.count();
    if (rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, FlightModule::GroundSpeedColumn));
}

quint64 Model::recordRevision(int row) const
{
    return moduleList_.recordRevision(row);
}

// ---- pending state and signals ----

void Model::setPendingState(State *state)
{
    pendingFlag = true;
    pendingState = state;
}

void Model::enterPendingState()
{
    pendingFlag = false;
    pendingState->enter();
}

bool Model::isPendingStateSet() const { return pendingFlag; }

void Model::emitDataSetReady(const QDateTime &dataTime) { emit dataSetReady(dataTime); }
void Model::emitXDataReady(const QDateTime &dataTime, int row) { emit xdataReady(dataTime, row); }
void Model::emitStatusChanged() { emit statusChanged(); }

void Model::emitHighWindAlert(int windspeed)
{
    if (highWindAlertActive)
        emit highWindAlertDetected(windspeed);
}

// ---- commands to flight modules ----

void Model::sendToModule(qint64 radioAddress, const QByteArray &payload)
{
    serialPort_->write(buildTransmitRequest(radioAddress, payload));
}

void Model::sendTiming(qint64 radioAddress, bool fast)
{
    // One minute has two indexes; the modules know it as 12.
    const quint8 interval = fast ? 1 : (dataInterval_ == 13 ? 12 : dataInterval_);
    QByteArray payload("#\x84", 2);
    for (const quint8 argument : {interval, fieldSelection_}) {
        if (argument == '#' || argument == '!') {
            payload.append('!');
            payload.append(char(argument ^ 0x20));
        } else {
            payload.append(char(argument));
        }
    }
    payload.append('\r');
    sendToModule(radioAddress, payload);
}

void Model::sendTimingToModule(int moduleNumber, bool fast)
{
    if (const FlightModule *module = moduleList_.module(moduleNumber))
        sendTiming(module->radioAddress(), fast);
}

void Model::sendStop(int moduleNumber)
{
    if (const FlightModule *module = moduleList_.module(moduleNumber))
        sendToModule(module->radioAddress(), QByteArrayLiteral("*\r"));
}

void Model::configureModuleRadio(qint64 radioAddress)
{
    // Point the module's radio at the base station, set its retries and packetization
    // timeout, store the settings, then ask the module to answer.
    QByteArray frames;
    frames += buildRemoteAtCommand(radioAddress, "DH" + bigEndianBytes32(baseStationAddressHigh_));
    frames += buildRemoteAtCommand(radioAddress, "DL" + bigEndianBytes32(baseStationAddressLow_));
    frames += buildRemoteAtCommand(radioAddress, QByteArray("RR\x0F", 3));
    frames += buildRemoteAtCommand(radioAddress, QByteArray("RO\x09", 3));
    frames += buildRemoteAtCommand(radioAddress, QByteArrayLiteral("WR"));
    frames += buildTransmitRequest(radioAddress, QByteArray("#\x90\r", 3));
    serialPort_->write(frames);
}

void Model::sendCompassCalibrationStart(qint64 radioAddress)
{
    sendToModule(radioAddress, QByteArray("#\x92\r", 3));
}

void Model::sendAnemometerCalibration(qint64 radioAddress)
{
    if (!configSettings->cupAnemometer) {
        sendToModule(radioAddress, QByteArray("#\x97\r", 3));
        return;
    }
    QByteArray payload("#\x99", 2);
    payload.append(char((quint16(cupSlope_) >> 8) & 0xFF));
    payload.append(char(quint16(cupSlope_) & 0xFF));
    payload.append(char(cupOffset_));
    payload.append('\r');
    sendToModule(radioAddress, payload);
}

void Model::sendIndoorOn(qint64 radioAddress)
{
    sendToModule(radioAddress, QByteArray("#\x9B\r", 3));
}

void Model::sendIndoorOff(qint64 radioAddress)
{
    sendToModule(radioAddress, QByteArray("#\x9C\r", 3));
}

// The 72-character solution goes out in two transmit requests: '#', 0x94 and the first half,
// then the second half and the terminator, which continue the same command at the module.
void Model::sendCompassSolutionFirstPart(qint64 radioAddress)
{
    if (!compassCalibrator_)
        return;
    const QByteArray text = compassCalibrator_->solutionText();
    sendToModule(radioAddress, QByteArray("#\x94", 2) + text.left(36));
}

void Model::sendCompassSolutionSecondPart(qint64 radioAddress)
{
    if (!compassCalibrator_)
        return;
    const QByteArray text = compassCalibrator_->solutionText();
    sendToModule(radioAddress, text.mid(36, 36) + '\r');
}

void Model::sendInternalThermistorCalibration(qint64 radioAddress)
{
    sendToModule(radioAddress, QByteArray("#\x9F\r", 3));
}

void Model::sendThermistorReference(qint64 radioAddress)
{
    QByteArray payload("#\xA1", 2);
    payload.append(char(referenceTemperature_ >> 8));
    payload.append(char(referenceTemperature_ & 0xFF));
    payload.append('\r');
    sendToModule(radioAddress, payload);
}

void Model::sendThermistorBeta(qint64 radioAddress)
{
    QByteArray payload("#\xA3", 2);
    payload.append(char(beta_ >> 8));
    payload.append(char(beta_ & 0xFF));
    payload.append('\r');
    sendToModule(radioAddress, payload);
}

void Model::writeToBaseStation(const QByteArray &bytes)
{
    serialPort_->write(bytes);
}

// ---- frames from the base station ----

void Model::processBaseStationData(const QByteArray &bytes, bool acceptNewModules)
{
    frameParser.feed(bytes);
    while (frameParser.hasFrame())
        handleReceivedFrame(frameParser.takeFrame(), acceptNewModules);
}

void Model::handleReceivedFrame(const ApiFrame &frame, bool acceptNewModules)
{
    if (moduleList_.handlePayload(frame.sourceAddress, frame.payload))
        return;
    if (!acceptNewModules)
        return;
    if (!newModuleList_.contains(frame.sourceAddress))
        newModuleList_.addModule(frame.sourceAddress, windUnits_, groundElevation_);
    newModuleList_.handlePayload(frame.sourceAddress, frame.payload);
}

// ---- what the states work with ----

QSerialPort *Model::serialPort() const { return serialPort_; }
FlightModuleList &Model::moduleList() { return moduleList_; }
const FlightModuleList &Model::moduleList() const { return moduleList_; }
FlightModuleList &Model::newModuleList() { return newModuleList_; }
Model::Timers &Model::timers() { return timers_; }
const Model::States &Model::states() const { return states_; }
State *Model::currentState() const { return currentState_; }

QString Model::stateName(const State *state) const
{
    const std::pair<const State *, const char *> names[] = {
        {states_.unconfigured, "Unconfigured"}, {states_.configuring, "Configuring"},
        {states_.unacquired, "Unacquired"},     {states_.acquiring, "Acquiring"},
        {states_.stopped, "Stopped"},           {states_.starting, "Starting"},
        {states_.running, "Running"},           {states_.stopping, "Stopping"},
        {states_.acquiringCalib, "Acquiring_Calib"},
        {states_.calibrationDelay, "CalibrationDelay"},
        {states_.calibratingCompass, "Calibrating_Compass"},
        {states_.calibratingAnemometer, "Calibrating_Anemometer"},
        {states_.calibratingThermistor, "Calibrating_Thermistor"},
        {states_.changingModuleIndoorMode, "ChangingModuleIndoorMode"},
        {states_.calibSuccess, "CalibSuccess"},
        {states_.calibFailure, "CalibFailure"},
    };
    for (const auto &[candidate, name] : names) {
        if (state == candidate)
            return QString::fromLatin1(name);
    }
    return QStringLiteral("Unknown");
}
void Model::setCurrentState(State *state) { currentState_ = state; }
quint32 Model::baseStationAddressHigh() const { return baseStationAddressHigh_; }
quint32 Model::baseStationAddressLow() const { return baseStationAddressLow_; }

void Model::setBaseStationAddress(quint32 high, quint32 low)
{
    baseStationAddressHigh_ = high;
    baseStationAddressLow_ = low;
}

qint64 Model::elapsedMs() const
{
    return clock ? clock() : monotonic.elapsed();
}

void Model::setClock(std::function<qint64()> newClock)
{
    clock = std::move(newClock);
}
