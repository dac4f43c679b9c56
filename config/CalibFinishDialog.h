#ifndef VENTROLLA_CONFIG_CALIBFINISHDIALOG_H
#define VENTROLLA_CONFIG_CALIBFINISHDIALOG_H

#include <QColor>
#include <QDialog>

#include <memory>

class Model;
namespace Ui {
class CalibFinishDialog;
}

// Shows the outcome of a calibration while the model is in an outcome state, with the compass
// distortion beside a green-to-red indicator after a successful compass calibration. It shows
// and hides itself from the model's state; Ok or closing it acknowledges the outcome.
class CalibFinishDialog : public QDialog
{
    Q_OBJECT

public:
    CalibFinishDialog(Model *model, QWidget *parent = nullptr);
    ~CalibFinishDialog() override;

    // Green up to 0 %, yellow at 12.5 %, red from 25 % of distorted samples.
    static QColor indicatorColour(float distortion);

public slots:
    void update();
    void calibrationDone();
    // Escape and the window's close button acknowledge like Ok.
    void reject() override;

private:
    std::unique_ptr<Ui::CalibFinishDialog> ui;
    Model *model;
};

#endif
