#ifndef VENTROLLA_CONFIG_MODULECONFIGWINDOW_H
#define VENTROLLA_CONFIG_MODULECONFIGWINDOW_H

#include <QWidget>

#include <memory>

class AcquireDialog_DynamicAltitude;
class CalibFinishDialog;
class Model;
class ModuleConfigHelpDialog;
class SerialPortDialog;
namespace Ui {
class ModuleConfigWindow;
}

// The window in which the user acquires flight modules and then, for the module shown, removes
// it, toggles its indoor mode or calibrates its compass, anemometer or thermistor.
//
// It holds no flow logic: every control calls a model operation that the current state carries
// out, and the window redraws itself from the model's answers on every statusChanged() while it
// is open. It cannot be closed while a flow or an outcome is on show, except when the
// application quits (forceClose()).
class ModuleConfigWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ModuleConfigWindow(Model *model, QWidget *parent = nullptr);
    ~ModuleConfigWindow() override;

    // Closes the window whatever the model is doing; the main window calls it on quitting.
    void forceClose();
    bool isForceClosing() const;

signals:
    // The window accepted a close request: the main window takes over again.
    void closing();

public slots:
    void update();
    void onAcquireClicked();
    void onClearModuleClicked();
    void onCalibrateClicked();
    void onIndoorModeToggleClicked();
    void onNextModuleClicked();
    void onPreviousModuleClicked();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Collect what a calibration needs from the user; false when the user backs out.
    bool prepareAnemometerCalibration();
    bool prepareThermistorCalibration();

    std::unique_ptr<Ui::ModuleConfigWindow> ui;
    Model *model;
    ModuleConfigHelpDialog *helpDialog;
    SerialPortDialog *serialPortDialog;
    AcquireDialog_DynamicAltitude *acquireDialog;
    CalibFinishDialog *calibFinishDialog;
    bool forceClosing = false;
};

#endif
