#include "config/ThermistorBetaPasswordDialog.h"

#include "ui_ThermistorBetaPasswordDialog.h"

namespace {

const QString password = QStringLiteral("7319");

} // namespace

ThermistorBetaPasswordDialog::ThermistorBetaPasswordDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ThermistorBetaPasswordDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this,
            &ThermistorBetaPasswordDialog::checkPassword);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ThermistorBetaPasswordDialog::~ThermistorBetaPasswordDialog() = default;

void ThermistorBetaPasswordDialog::checkPassword()
{
    if (ui->passwordEdit->text().trimmed() == password)
        accept();
}
