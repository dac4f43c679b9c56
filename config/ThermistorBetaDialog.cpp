#include "config/ThermistorBetaDialog.h"

#include "ui_ThermistorBetaDialog.h"

ThermistorBetaDialog::ThermistorBetaDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ThermistorBetaDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ThermistorBetaDialog::onOkClicked);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ThermistorBetaDialog::~ThermistorBetaDialog() = default;

quint16 ThermistorBetaDialog::beta() const
{
    return beta_;
}

void ThermistorBetaDialog::onOkClicked()
{
    bool ok = false;
    const quint16 value = ui->betaSpinBox->cleanText().trimmed().toUShort(&ok, 10);
    if (!ok)
        return;
    beta_ = value;
    accept();
}
