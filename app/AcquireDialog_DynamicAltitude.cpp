#include "app/AcquireDialog_DynamicAltitude.h"

#include "app/AcquireHelpDialog_DynamicAltitude.h"
#include "core/Model.h"
#include "ui_AcquireDialog_DynamicAltitude.h"

#include <QHeaderView>

AcquireDialog_DynamicAltitude::AcquireDialog_DynamicAltitude(Model *model, int configMode,
                                                             QWidget *parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::AcquireDialog_DynamicAltitude>()),
      model(model),
      configMode(configMode)
{
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    connect(this, &QDialog::accepted, this, &AcquireDialog_DynamicAltitude::closeDialogRequested);
    connect(this, &QDialog::rejected, this, &AcquireDialog_DynamicAltitude::closeDialogRequested);
    connect(model, &Model::statusChanged, this, &AcquireDialog_DynamicAltitude::update);

    // Only the identifiers: the user is waiting for each module to be listed.
    ui->tableView->setModel(model);
    for (int column = 1; column < model->columnCount(); ++column)
        ui->tableView->setColumnHidden(column, true);
    ui->tableView->horizontalHeader()->setStretchLastSection(true);

    helpDialog = new AcquireHelpDialog_DynamicAltitude(this);
    connect(ui->helpButton, &QPushButton::clicked, helpDialog, &QDialog::show);
    connect(helpDialog, &QDialog::accepted, helpDialog, &QDialog::hide);
    connect(helpDialog, &QDialog::rejected, helpDialog, &QDialog::hide);
}

AcquireDialog_DynamicAltitude::~AcquireDialog_DynamicAltitude() = default;

void AcquireDialog_DynamicAltitude::update()
{
    if (model->isAcquiring() && model->configMode() == configMode) {
        ui->okButton->setFocus();
        show();
    } else {
        hide();
    }
}

void AcquireDialog_DynamicAltitude::closeDialogRequested()
{
    // The dialog goes away at the model's next status change.
    model->stopAcquiring();
}

void AcquireDialog_DynamicAltitude::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
