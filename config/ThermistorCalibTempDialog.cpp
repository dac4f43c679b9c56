#include "config/ThermistorCalibTempDialog.h"

#include "ui_ThermistorCalibTempDialog.h"

#include <cmath>

ThermistorCalibTempDialog::ThermistorCalibTempDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ThermistorCalibTempDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this,
            &ThermistorCalibTempDialog::onOkClicked);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ThermistorCalibTempDialog::~ThermistorCalibTempDialog() = default;

quint16 ThermistorCalibTempDialog::temperature() const
{
    return temperature_;
}

void ThermistorCalibTempDialog::onOkClicked()
{
    if (ui->tempSpinBox->cleanText().trimmed().isEmpty())
        return;
    // Whole degrees and hundredths rounded apart (halves away from zero), so that -273.15
    // gives exactly 0 and 382.00 gives 65515.
    double whole = 0;
    const double fraction = std::modf(ui->tempSpinBox->value(), &whole);
    const long hundredths = std::lround(100 * whole) + std::lround(100 * fraction) + 27315;
    temperature_ = quint16(hundredths < 0 ? 0 : hundredths);
    accept();
}
