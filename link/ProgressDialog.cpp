#include "link/ProgressDialog.h"

#include "core/Model.h"
#include "ui_ProgressDialog.h"

#include <QMessageBox>
#include <QSerialPort>

ProgressDialog::ProgressDialog(Model *model, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ProgressDialog>()), model(model)
{
    ui->setupUi(this);
    connect(model, &Model::statusChanged, this, &ProgressDialog::update);
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::update()
{
    if (model->isConfiguring()) {
        setWindowTitle(tr("Configuring base station"));
        ui->progressBar->setValue(model->configurationProgress());
        if (isHidden())
            show();
    } else if (isVisible()) {
        // Configuration has just ended; a state that is not ready means it failed. A port that
        // went away is the base station lost, which the window reports with the port's name.
        if (!model->isBaseStationReady() && model->serialPort()->isOpen()) {
            QMessageBox::warning(this, tr("Base station failure"),
                                 tr("Configuration failed!\nMake sure base station is turned on "
                                    "and try again."),
                                 QMessageBox::Ok);
        }
        hide();
    }
}

void ProgressDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
