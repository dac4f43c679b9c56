#ifndef VENTROLLA_CONFIG_THERMISTORBETADIALOG_H
#define VENTROLLA_CONFIG_THERMISTORBETADIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class ThermistorBetaDialog;
}

// Asks for the thermistor's new Beta value, the constant with which the module turns the
// thermistor's reading into a temperature.
class ThermistorBetaDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ThermistorBetaDialog(QWidget *parent = nullptr);
    ~ThermistorBetaDialog() override;

    quint16 beta() const;

private slots:
    void onOkClicked();

private:
    std::unique_ptr<Ui::ThermistorBetaDialog> ui;
    quint16 beta_ = 0;
};

#endif
