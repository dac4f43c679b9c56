#include "output/SetHighWindThresholdDialog.h"

#include "core/Model.h"
#include "ui_SetHighWindThresholdDialog.h"

SetHighWindThresholdDialog::SetHighWindThresholdDialog(Model *model, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::SetHighWindThresholdDialog>()), model(model)
{
    ui->setupUi(this);
    ui->userInput->setValue(model->highWindThreshold());
    // The unit is that of the wind column, fixed for the whole run.
    ui->unitLabel->setText(model->windUnits() != 0 ? tr("m/s") : tr("Knots"));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &SetHighWindThresholdDialog::onOk);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this,
            &SetHighWindThresholdDialog::onCancel);
}

SetHighWindThresholdDialog::~SetHighWindThresholdDialog() = default;

void SetHighWindThresholdDialog::onOk()
{
    model->setHighWindThreshold(ui->userInput->value());
    accept();
}

void SetHighWindThresholdDialog::onCancel()
{
    reject();
}
