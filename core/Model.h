#ifndef VENTROLLA_CORE_MODEL_H
#define VENTROLLA_CORE_MODEL_H

#include "link/ApiFrame.h"
#include "link/FlightModuleList.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QSerialPort>
#include <QTimer>

#include <functional>

class CompassCalibrator;
class FlightModule;
class State;
class State_Unconfigured;
class State_Configuring;
class State_Unacquired;
class State_Acquiring;
class State_Stopped;
class State_Starting;
class State_Running;
class State_Stopping;
class State_Acquiring_Calib;
class State_CalibrationDelay;
class State_Calibrating_Compass;
class State_Calibrating_Anemometer;
class State_Calibrating_Thermistor;
class State_ChangingModuleIndoorMode;
class State_CalibSuccess;
class State_CalibFailure;
struct ModuleConfigSettings;

// The centre of the application: the table of acquired flight modules (one row per module,
// fourteen columns of engineering values) and the owner of everything the acquisition needs.
// Every event and nearly every user request is forwarded to the current state, which decides.
class Model : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The model's timers, shared by the states. A state that does not handle a timer's tick
    // stops that timer.
    struct Timers
    {
        QTimer fast;          // 20 ms: base-station configuration, calibration steps
        QTimer timeout;       // time limits of the current state
        QTimer start;         // paces the start sequence
        QTimer stop;          // paces the stop sequence
        QTimer calibSolution; // 100 ms: paces the compass solution
    };

    // One instance of every state class, created with the model and kept for its whole life.
    struct States
    {
        State_Unconfigured *unconfigured = nullptr;
        State_Configuring *configuring = nullptr;
        State_Unacquired *unacquired = nullptr;
        State_Acquiring *acquiring = nullptr;
        State_Stopped *stopped = nullptr;
        State_Starting *starting = nullptr;
        State_Running *running = nullptr;
        State_Stopping *stopping = nullptr;
        State_Acquiring_Calib *acquiringCalib = nullptr;
        State_CalibrationDelay *calibrationDelay = nullptr;
        State_Calibrating_Compass *calibratingCompass = nullptr;
        State_Calibrating_Anemometer *calibratingAnemometer = nullptr;
        State_Calibrating_Thermistor *calibratingThermistor = nullptr;
        State_ChangingModuleIndoorMode *changingModuleIndoorMode = nullptr;
        State_CalibSuccess *calibSuccess = nullptr;
        State_CalibFailure *calibFailure = nullptr;
    };

    Model(int windUnits, int groundElevation, bool latitude, bool longitude, bool course,
          bool speed, QObject *parent = nullptr);
    ~Model() override;

    // Table interface.
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // User-facing state operations: each asks the current state.
    bool canOpenPort();
    bool openPort();
    bool setPortName(const QString &name);
    bool isConfiguring();
    bool isBaseStationReady();
    int configurationProgress();
    bool canAcquire();
    bool isAcquiring();
    void acquire();
    void stopAcquiring();
    bool canBeginLogging();
    bool canReset();
    void reset();
    bool canLoadSavedModules();
    void loadSavedModules();
    bool canClearSavedModules();
    void clearSavedModules();
    bool canRun();
    void run();
    bool isStarting();
    bool isRunning();
    bool canStop();
    bool isStopping();
    void stop();
    bool canChangeDataInterval();
    bool showsProgress();
    QString progressText();
    int progressValue();
    int progressMaximum();
    bool canClearModule();
    void clearModule();
    bool canNextModule();
    bool canPreviousModule();
    void nextModule();
    void previousModule();
    QString currentModuleText();
    QString indoorStatusText();
    bool canToggleIndoor();
    void toggleIndoor();
    bool canCalibrate();
    bool isCalibrating();
    void startCalibration();
    bool canCalibrateThermistor();
    bool hasOutcome();
    QString outcomeTitle();
    QString outcomeMessage();
    void acknowledgeOutcome();

    // Run settings.
    int moduleCount() const;
    int dataInterval() const;
    void setDataInterval(int index);
    QString dataIntervalText() const;
    // The interval in seconds (60 for "1 minutes"); 0 for an index out of range.
    int dataIntervalSeconds() const;
    int highWindThreshold() const;
    void setHighWindThreshold(int threshold);
    bool isHighWindAlertActive() const;
    void setHighWindAlertActive(bool active);
    int windUnits() const;
    int groundElevation() const;
    quint8 fieldSelection() const;

    // Module configuration settings.
    int configMode() const;
    void setConfigMode(int mode);
    int calibrationType() const;
    void setCalibrationType(int type);
    int cupAnemometer() const;
    int thermistorOption() const;
    void setThermistorOption(int option);
    void setCupCalibration(qint16 slope, qint8 offset);
    qint16 cupSlope() const;
    qint8 cupOffset() const;
    void setReferenceTemperature(quint16 hundredthsKelvin);
    quint16 referenceTemperature() const;
    void setBeta(quint16 beta);
    quint16 beta() const;

    // Calibration results. The compass calibrator exists only during a compass calibration.
    CompassCalibrator *compassCalibrator() const;
    void renewCompassCalibrator();
    void destroyCompassCalibrator();
    void setCompassResults(float meanMagnitude, float meanDeviation, float distortion);
    float compassMeanMagnitude() const;
    float compassMeanDeviation() const;
    float compassDistortion() const; // share of badly corrected samples, 0 to 1
    bool lastCalibrationSucceeded() const;
    void setLastCalibrationSucceeded(bool succeeded);

    // Table rows.
    void appendModule(FlightModule *module);
    void appendModules(const QList<FlightModule *> &modules);
    void adoptNewModule(int newModuleNumber);
    void clearModules();
    void removeModule(int row);
    void refreshTable();
    // Moves whenever the row's cells may have changed (FlightModuleList::recordRevision): the
    // table's readers use it to skip the rows a refresh of the whole table left untouched.
    quint64 recordRevision(int row) const;

    // Pending state: where an intermediate state goes when it finishes.
    void setPendingState(State *state);
    void enterPendingState();
    bool isPendingStateSet() const;

    // Signals on behalf of the states.
    void emitDataSetReady(const QDateTime &dataTime);
    void emitXDataReady(const QDateTime &dataTime, int row);
    void emitStatusChanged();
    void emitHighWindAlert(int windspeed);

    // Commands to flight modules: one transmit request (or remote AT commands) each.
    void sendTiming(qint64 radioAddress, bool fast);
    void sendTimingToModule(int moduleNumber, bool fast);
    void sendStop(int moduleNumber);
    void configureModuleRadio(qint64 radioAddress);
    void sendCompassCalibrationStart(qint64 radioAddress);
    void sendAnemometerCalibration(qint64 radioAddress);
    void sendIndoorOn(qint64 radioAddress);
    void sendIndoorOff(qint64 radioAddress);
    void sendCompassSolutionFirstPart(qint64 radioAddress);
    void sendCompassSolutionSecondPart(qint64 radioAddress);
    void sendInternalThermistorCalibration(qint64 radioAddress);
    void sendThermistorReference(qint64 radioAddress);
    void sendThermistorBeta(qint64 radioAddress);
    void writeToBaseStation(const QByteArray &bytes);

    // Frames from the base station.
    void processBaseStationData(const QByteArray &bytes, bool acceptNewModules);
    void handleReceivedFrame(const ApiFrame &frame, bool acceptNewModules);

    // What the states work with.
    QSerialPort *serialPort() const;
    FlightModuleList &moduleList();
    const FlightModuleList &moduleList() const;
    FlightModuleList &newModuleList();
    Timers &timers();
    const States &states() const;
    State *currentState() const;
    // The name of a state of this model, as progress reports show it ("Running").
    QString stateName(const State *state) const;
    void setCurrentState(State *state);
    quint32 baseStationAddressHigh() const;
    quint32 baseStationAddressLow() const;
    void setBaseStationAddress(quint32 high, quint32 low);

    // Milliseconds of a monotonic clock, with which the states measure their time limits.
    // A test may put a clock of its own in its place.
    qint64 elapsedMs() const;
    void setClock(std::function<qint64()> clock);

signals:
    void statusChanged();
    void dataSetReady(const QDateTime &dataTime);
    void xdataReady(const QDateTime &dataTime, int dataRow);
    void highWindAlertDetected(int windspeed);
    // The serial port failed for good (device removed) and was closed; the model is back in
    // State_Unconfigured with its modules, so Acquire opens the port again.
    void baseStationLost();

private slots:
    void onFastTimer();
    void onSingleShotTimer();
    void onTimeoutTimer();
    void onStartTimer();
    void onStopTimer();
    void onCalibSolutionTimer();
    void onNewBaseStationData();
    void onSerialPortError(QSerialPort::SerialPortError error);
    void handleHelloMessage(int moduleNumber);
    void handleDataMessage(int moduleNumber);
    void handleXDataMessage(int moduleNumber);
    void handleNewModuleHelloMessage(int moduleNumber);
    void handleNewModuleDataMessage(int moduleNumber);
    void handleNewModuleCalibReadyMessage(int moduleNumber);
    void handleCalibReadyMessage(int moduleNumber);
    void handleCalibDataMessage(int moduleNumber);
    void handleCalibOkMessage(int moduleNumber);
    void handleCalibErrMessage(int moduleNumber);
    void handleCalibDonePitotMessage(int moduleNumber);
    void handleCalibCupOkMessage(int moduleNumber);
    void handleIndoorAckMessage(int moduleNumber);
    void handleIntThermCalDoneMessage(int moduleNumber);
    void handleExtThermCalOkMessage(int moduleNumber, quint16 tempEcho);
    void handleChangeBetaOkMessage(int moduleNumber);

private:
    void sendToModule(qint64 radioAddress, const QByteArray &payload);
    void readSettings();
    void writeSettings() const;

    int groundElevation_;
    int windUnits_;
    quint8 fieldSelection_ = 0;
    quint8 dataInterval_ = 1;
    Timers timers_;
    QSerialPort *serialPort_ = nullptr;
    quint32 baseStationAddressHigh_ = 0;
    quint32 baseStationAddressLow_ = 0;
    ApiFrameParser frameParser;
    FlightModuleList moduleList_;
    FlightModuleList newModuleList_;
    ModuleConfigSettings *configSettings = nullptr;
    State *currentState_ = nullptr;
    States states_;
    bool pendingFlag = false;
    State *pendingState = nullptr;
    CompassCalibrator *compassCalibrator_ = nullptr;
    float compassMeanMagnitude_ = 0;
    float compassMeanDeviation_ = 0;
    float compassDistortion_ = 0;
    bool lastCalibrationSucceeded_ = false;
    qint16 cupSlope_ = 0;
    qint8 cupOffset_ = 0;
    quint16 referenceTemperature_ = 0;
    quint16 beta_ = 0;
    int highWindThreshold_ = 10;
    bool highWindAlertActive = false;
    QElapsedTimer monotonic;
    std::function<qint64()> clock;
};

#endif
