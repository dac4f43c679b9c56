#include "app/AcquireHelpDialog_DynamicAltitude.h"

#include "ui_AcquireHelpDialog_DynamicAltitude.h"

AcquireHelpDialog_DynamicAltitude::AcquireHelpDialog_DynamicAltitude(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::AcquireHelpDialog_DynamicAltitude>())
{
    ui->setupUi(this);
}

AcquireHelpDialog_DynamicAltitude::~AcquireHelpDialog_DynamicAltitude() = default;

void AcquireHelpDialog_DynamicAltitude::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
