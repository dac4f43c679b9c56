#ifndef VENTROLLA_CONFIG_THERMISTORCALIBTEMPDIALOG_H
#define VENTROLLA_CONFIG_THERMISTORCALIBTEMPDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class ThermistorCalibTempDialog;
}

// Asks for the reference temperature in degrees Celsius, sent to the module in hundredths of a
// kelvin.
class ThermistorCalibTempDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ThermistorCalibTempDialog(QWidget *parent = nullptr);
    ~ThermistorCalibTempDialog() override;

    quint16 temperature() const; // hundredths of a kelvin

private slots:
    void onOkClicked();

private:
    std::unique_ptr<Ui::ThermistorCalibTempDialog> ui;
    quint16 temperature_ = 0;
};

#endif
