#ifndef VENTROLLA_CONFIG_THERMISTORCALIBOPTIONSDIALOG_H
#define VENTROLLA_CONFIG_THERMISTORCALIBOPTIONSDIALOG_H

#include <QDialog>

#include <memory>

class ThermistorCalibOptionsHelpDialog;
namespace Ui {
class ThermistorCalibOptionsDialog;
}

// Offers the three thermistor calibrations: automatic (1), against a reference temperature (2)
// and a new Beta value behind a password (3). Each asks for confirmation before the dialog is
// accepted with its option.
class ThermistorCalibOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ThermistorCalibOptionsDialog(QWidget *parent = nullptr);
    ~ThermistorCalibOptionsDialog() override;

    int option() const; // the id of the option chosen last

private slots:
    void onOptionButtonClicked(int id);

private:
    std::unique_ptr<Ui::ThermistorCalibOptionsDialog> ui;
    ThermistorCalibOptionsHelpDialog *helpDialog;
    int option_ = 0;
};

#endif
