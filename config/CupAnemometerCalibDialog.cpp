#include "config/CupAnemometerCalibDialog.h"

#include "ui_CupAnemometerCalibDialog.h"

#include <cmath>

CupAnemometerCalibDialog::CupAnemometerCalibDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::CupAnemometerCalibDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this,
            &CupAnemometerCalibDialog::onOkClicked);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CupAnemometerCalibDialog::~CupAnemometerCalibDialog() = default;

quint16 CupAnemometerCalibDialog::slope() const
{
    return slope_;
}

quint8 CupAnemometerCalibDialog::offset() const
{
    return offset_;
}

void CupAnemometerCalibDialog::onOkClicked()
{
    if (ui->slopeSpinBox->cleanText().trimmed().isEmpty()
        || ui->offsetSpinBox->cleanText().trimmed().isEmpty())
        return;
    // The module takes the fractional parts only; std::round takes halves away from zero.
    double whole = 0;
    slope_ = quint16(std::round(std::modf(ui->slopeSpinBox->value(), &whole) * 1000));
    offset_ = quint8(std::round(std::modf(ui->offsetSpinBox->value(), &whole) * 100));
    accept();
}
