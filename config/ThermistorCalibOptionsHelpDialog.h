#ifndef VENTROLLA_CONFIG_THERMISTORCALIBOPTIONSHELPDIALOG_H
#define VENTROLLA_CONFIG_THERMISTORCALIBOPTIONSHELPDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class ThermistorCalibOptionsHelpDialog;
}

// What the three thermistor options do.
class ThermistorCalibOptionsHelpDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ThermistorCalibOptionsHelpDialog(QWidget *parent = nullptr);
    ~ThermistorCalibOptionsHelpDialog() override;

private:
    std::unique_ptr<Ui::ThermistorCalibOptionsHelpDialog> ui;
};

#endif
