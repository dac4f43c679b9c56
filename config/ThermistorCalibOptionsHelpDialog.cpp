#include "config/ThermistorCalibOptionsHelpDialog.h"

#include "ui_ThermistorCalibOptionsHelpDialog.h"

ThermistorCalibOptionsHelpDialog::ThermistorCalibOptionsHelpDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ThermistorCalibOptionsHelpDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ThermistorCalibOptionsHelpDialog::~ThermistorCalibOptionsHelpDialog() = default;
