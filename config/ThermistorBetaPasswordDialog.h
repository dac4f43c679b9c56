#ifndef VENTROLLA_CONFIG_THERMISTORBETAPASSWORDDIALOG_H
#define VENTROLLA_CONFIG_THERMISTORBETAPASSWORDDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class ThermistorBetaPasswordDialog;
}

// Guards the Beta change with a fixed password; a wrong one leaves the dialog open without a
// word.
class ThermistorBetaPasswordDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ThermistorBetaPasswordDialog(QWidget *parent = nullptr);
    ~ThermistorBetaPasswordDialog() override;

private slots:
    void checkPassword();

private:
    std::unique_ptr<Ui::ThermistorBetaPasswordDialog> ui;
};

#endif
