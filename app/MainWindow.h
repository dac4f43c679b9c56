#ifndef VENTROLLA_APP_MAINWINDOW_H
#define VENTROLLA_APP_MAINWINDOW_H

#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include <memory>

class AboutWindow;
class AcquireDialog_DynamicAltitude;
class AltitudeGraphScene;
class AxisDialog;
class AxisFitter;
class DataGraphScene;
class DataGraphView;
class DataTimingDialog;
class ExportLogDialog;
class GraphAxisModel;
class HighWindAlertDialog;
class HighWindAlertService;
class HistoryWindow;
class BrokerDialog;
class BrokerOutput;
class LogCommentDialog;
class LogFile;
class QFrame;
class QMessageBox;
struct BrokerSettings;
class Model;
class ModuleConfigWindow;
class ModuleGraphScene;
class ModuleTableView;
class PressureGraphScene;
class ProgressDialog;
class QAction;
class QFileDialog;
class QLabel;
class QSplitter;
class QTabWidget;
class SerialPortDialog;
class ServerOutput;
class SetHighWindThresholdDialog;
class SetupDialog;
class SoundingHistory;
class SoundingHistoryFeed;
namespace Ui {
class MainWindow;
}

// The application's one main window: the table of modules with their latest values under the
// three profile graphs, the System menu's acquisition commands, the log, the high-wind alert and
// a status bar with the run state, the log and the interval. It owns no acquisition logic: it
// turns the user's commands into calls on the model and redraws its menus and status bar from
// the model's answers whenever the model's or the log's status changes.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Asks for the run settings (the set-up dialog, modal) before anything else is built.
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

public slots:
    void update();
    void updateLogMenu();
    void updateStatusBar();
    void moduleConfigWindowClosing();
    void onHighWindDetected(int windspeed);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void on_action_Acquire_triggered();
    void on_actionReset_triggered();
    void on_actionLoad_Saved_Modules_triggered();
    void on_actionClear_Saved_Modules_triggered();
    void on_action_Run_triggered();
    void on_action_Stop_triggered();
    void on_actionData_Interval_triggered();
    void on_action_About_triggered();
    void on_action_Exit_triggered();
    void on_action_Module_Config_triggered();
    void on_action_Begin_Logging_triggered();
    void on_action_Comment_triggered();
    void on_action_Pause_Log_triggered(bool checked);
    void on_action_Stop_Logging_triggered();
    void on_action_Export_Log_triggered();
    void on_action_Altitude_triggered();
    void on_action_Pressure_triggered();
    void on_action_Pressure_2_triggered();
    void on_action_Temperature_triggered();
    void on_action_Humidity_triggered();
    void on_actionWind_Speed_triggered();
    void on_action_History_triggered();
    void on_actionFit_Axes_to_Data_triggered();
    void on_actionFit_Axes_Automatically_toggled(bool checked);
    void graphTabChanged(int index);
    void on_actionSet_Threshold_High_Wind_triggered();
    void on_actionActivate_High_Wind_triggered();
    void on_actionDeactivate_High_Wind_triggered();
    void onUserAcknowledgedWindAlert();
    void onLogWriteFailed(const QString &message);
    void onBaseStationLost();
    void on_action_Publish_to_Broker_triggered();
    void updateBrokerPanel();
    void onBrokerProblem(const QString &message);

private:
    void showTitle();
    void buildGraphTabs();
    void buildStatusBar();
    void startBroker(const BrokerSettings &settings);
    void editAxis(int id);
    // A warning that does not hold the event loop: data keeps arriving while it is shown.
    void showWarning(const QString &title, const QString &text);
    void readSettings();
    void writeSettings() const;

    std::unique_ptr<Ui::MainWindow> ui;
    Model *model = nullptr;
    SerialPortDialog *serialPortDialog = nullptr;
    AcquireDialog_DynamicAltitude *acquireDialog = nullptr;
    DataTimingDialog *dataTimingDialog = nullptr;
    SetupDialog *setupDialog = nullptr;
    ProgressDialog *progressDialog = nullptr;
    AboutWindow *aboutWindow = nullptr;
    GraphAxisModel *axisModel = nullptr;
    LogFile *logFile = nullptr;
    ServerOutput *serverOutput = nullptr;
    BrokerOutput *brokerOutput = nullptr;
    BrokerDialog *brokerDialog = nullptr;
    QMessageBox *brokerProblemBox = nullptr; // made at the first problem
    HighWindAlertService *alertService = nullptr;
    AxisDialog *axisDialog = nullptr;
    AxisFitter *axisFitter = nullptr;
    QFileDialog *logFileDialog = nullptr;
    LogCommentDialog *logCommentDialog = nullptr;
    ExportLogDialog *exportLogDialog = nullptr; // made when first asked for
    SetHighWindThresholdDialog *thresholdDialog = nullptr;
    HighWindAlertDialog *alertDialog = nullptr;
    ModuleConfigWindow *configWindow = nullptr;
    // The sounding's history, fed from every data set, and its window.
    std::unique_ptr<SoundingHistory> history;
    SoundingHistoryFeed *historyFeed = nullptr;
    HistoryWindow *historyWindow = nullptr;
    // The actions that act on modules, all disabled while the configuration window has them.
    QList<QAction *> moduleActions;

    QPixmap ledGrey;
    QPixmap ledRed;
    QPixmap ledGreen;
    QPixmap ledYellow;
    QLabel *stateLed = nullptr;
    QLabel *stateText = nullptr;
    QLabel *logLed = nullptr;
    QLabel *logText = nullptr;
    QLabel *intervalText = nullptr;
    QFrame *brokerPanel = nullptr;
    QLabel *brokerText = nullptr;

    QSplitter *splitter = nullptr;
    QTabWidget *graphTabs = nullptr;
    DataGraphView *moduleView = nullptr;
    DataGraphView *pressureView = nullptr;
    DataGraphView *altitudeView = nullptr;
    ModuleGraphScene *moduleScene = nullptr;
    PressureGraphScene *pressureScene = nullptr;
    AltitudeGraphScene *altitudeScene = nullptr;
    QList<DataGraphScene *> graphScenes;
    ModuleTableView *tableView = nullptr;

    // The window repaints at most every few milliseconds (event()).
    void requestFrame();
    QElapsedTimer lastRepaint;
    QTimer heldRepaint;
    QTimer frame; // runs while the modules' reports wait for the repaint that shows them
    bool frameDue = false;
    bool repainting = false; // while the table and graphs take in their changed rows
};

#endif
