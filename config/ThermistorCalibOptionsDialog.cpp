#include "config/ThermistorCalibOptionsDialog.h"

#include "config/ThermistorBetaPasswordDialog.h"
#include "config/ThermistorCalibOptionsHelpDialog.h"
#include "ui_ThermistorCalibOptionsDialog.h"

#include <QButtonGroup>
#include <QMessageBox>

ThermistorCalibOptionsDialog::ThermistorCalibOptionsDialog(QWidget *parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::ThermistorCalibOptionsDialog>()),
      helpDialog(new ThermistorCalibOptionsHelpDialog(this))
{
    ui->setupUi(this);
    auto *options = new QButtonGroup(this);
    options->addButton(ui->autoCalibButton, 1);
    options->addButton(ui->manualCalibButton, 2);
    options->addButton(ui->changeBetaButton, 3);
    connect(options, &QButtonGroup::idClicked, this,
            &ThermistorCalibOptionsDialog::onOptionButtonClicked);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui->helpButton, &QPushButton::clicked, helpDialog, &QWidget::show);
    connect(this, &QDialog::finished, helpDialog, &QWidget::hide);
}

ThermistorCalibOptionsDialog::~ThermistorCalibOptionsDialog() = default;

int ThermistorCalibOptionsDialog::option() const
{
    return option_;
}

void ThermistorCalibOptionsDialog::onOptionButtonClicked(int id)
{
    option_ = id;
    const QString title = tr("Temperature Equilibrated?");
    switch (id) {
    case 1:
        if (QMessageBox::warning(this, title,
                                 tr("Caution: Please ensure that the flight module has stabilized "
                                    "at a fixed ambient temperature for several minutes before "
                                    "executing this command. Otherwise, erroneous temperature "
                                    "measurements may result."),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
            == QMessageBox::Ok)
            accept();
        break;
    case 2:
        if (QMessageBox::warning(this, title,
                                 tr("Caution: Please ensure that the flight module is at the same "
                                    "temperature as the reference temperature sensor. Otherwise, "
                                    "erroneous temperature measurements may result."),
                                 QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
            == QMessageBox::Ok)
            accept();
        break;
    case 3: {
        ThermistorBetaPasswordDialog password;
        if (password.exec() == QDialog::Accepted)
            accept();
        break;
    }
    default:
        reject();
        break;
    }
}
