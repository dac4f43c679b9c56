#include "config/ModuleConfigHelpDialog.h"

#include "ui_ModuleConfigHelpDialog.h"

ModuleConfigHelpDialog::ModuleConfigHelpDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ModuleConfigHelpDialog>())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ModuleConfigHelpDialog::~ModuleConfigHelpDialog() = default;
