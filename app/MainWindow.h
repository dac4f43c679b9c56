#ifndef VENTROLLA_APP_MAINWINDOW_H
#define VENTROLLA_APP_MAINWINDOW_H

#include <QList>
#include <QMainWindow>
#include <QPixmap>

#include <memory>

class AboutWindow;
class AcquireDialog_DynamicAltitude;
class DataTimingDialog;
class Model;
class ProgressDialog;
class QAction;
class QLabel;
class QSplitter;
class QTableView;
class SerialPortDialog;
class SetupDialog;
namespace Ui {
class MainWindow;
}

// The application's one main window: the table of modules with their latest values, the
// System menu's acquisition commands and a status bar with the run state and the interval.
// It owns no acquisition logic: it turns the user's commands into calls on the model and
// redraws its menus and status bar from the model's answers whenever the model's status
// changes.
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

protected:
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

private:
    void showTitle();
    void buildStatusBar();
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

    QSplitter *splitter = nullptr;
    QTableView *tableView = nullptr;
};

#endif
