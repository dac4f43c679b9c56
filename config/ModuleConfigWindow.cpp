#include "config/ModuleConfigWindow.h"

#include "app/AcquireDialog_DynamicAltitude.h"
#include "config/CalibFinishDialog.h"
#include "config/CupAnemometerCalibDialog.h"
#include "config/ModuleConfigHelpDialog.h"
#include "config/ThermistorBetaDialog.h"
#include "config/ThermistorCalibOptionsDialog.h"
#include "config/ThermistorCalibTempDialog.h"
#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "link/SerialPortDialog.h"
#include "ui_ModuleConfigWindow.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QShowEvent>

ModuleConfigWindow::ModuleConfigWindow(Model *model, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::ModuleConfigWindow>()), model(model)
{
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    // The window keeps its size when the progress bar comes and goes.
    QSizePolicy barPolicy = ui->progressBar->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    ui->progressBar->setSizePolicy(barPolicy);
    connect(ui->acquireButton, &QPushButton::clicked, this,
            &ModuleConfigWindow::onAcquireClicked);
    connect(ui->clearModuleButton, &QPushButton::clicked, this,
            &ModuleConfigWindow::onClearModuleClicked);
    connect(ui->calibrateButton, &QPushButton::clicked, this,
            &ModuleConfigWindow::onCalibrateClicked);
    connect(ui->indoorToggleButton, &QPushButton::clicked, this,
            &ModuleConfigWindow::onIndoorModeToggleClicked);
    connect(ui->nextModuleButton, &QPushButton::clicked, this,
            &ModuleConfigWindow::onNextModuleClicked);
    connect(ui->previousModuleButton, &QPushButton::clicked, this,
            &ModuleConfigWindow::onPreviousModuleClicked);

    serialPortDialog = new SerialPortDialog(model, this);
    acquireDialog = new AcquireDialog_DynamicAltitude(
        model, ModuleConfigSettings::ConfigurationWindowMode, this);
    calibFinishDialog = new CalibFinishDialog(model, this);
    helpDialog = new ModuleConfigHelpDialog(this);
    connect(ui->helpButton, &QPushButton::clicked, helpDialog, &QWidget::show);
    connect(this, &ModuleConfigWindow::closing, this, &QWidget::hide);
    update();
}

ModuleConfigWindow::~ModuleConfigWindow() = default;

void ModuleConfigWindow::forceClose()
{
    forceClosing = true;
    close();
}

bool ModuleConfigWindow::isForceClosing() const
{
    return forceClosing;
}

void ModuleConfigWindow::update()
{
    ui->acquireButton->setEnabled(model->canAcquire() || model->canOpenPort());
    ui->clearModuleButton->setEnabled(model->canClearModule());
    ui->calibrateBox->setEnabled(model->canCalibrate());
    ui->thermistorRadioButton->setEnabled(model->canCalibrateThermistor());
    // A module without a thermistor shown after one with: a disabled choice left checked would
    // make Calibrate do nothing at all, so the choice moves to the compass every module has.
    if (ui->thermistorRadioButton->isChecked() && !ui->thermistorRadioButton->isEnabled())
        ui->compassRadioButton->setChecked(true);
    ui->moduleDisplay->setText(model->currentModuleText());
    ui->indoorModeBox->setEnabled(model->canToggleIndoor());
    ui->indoorStatus->setText(model->indoorStatusText());
    ui->nextModuleButton->setEnabled(model->canNextModule());
    ui->previousModuleButton->setEnabled(model->canPreviousModule());
    ui->progressBarLabel->setText(model->progressText());
    if (model->showsProgress()) {
        // A maximum of 0 turns the bar into a busy indicator.
        ui->progressBar->setMaximum(model->progressMaximum());
        ui->progressBar->setValue(model->progressValue());
        ui->progressBar->show();
    } else {
        ui->progressBar->hide();
    }
}

void ModuleConfigWindow::onAcquireClicked()
{
    if (model->canAcquire()) {
        model->acquire();
        return;
    }
    if (!model->canOpenPort() || serialPortDialog->exec() != QDialog::Accepted)
        return;
    // Once the port is open the base station is configured and acquisition follows by itself.
    if (!model->openPort())
        QMessageBox::warning(this, tr("Warning"), tr("Could not open serial port."));
}

void ModuleConfigWindow::onClearModuleClicked()
{
    model->clearModule();
}

void ModuleConfigWindow::onIndoorModeToggleClicked()
{
    model->toggleIndoor();
}

void ModuleConfigWindow::onNextModuleClicked()
{
    model->nextModule();
}

void ModuleConfigWindow::onPreviousModuleClicked()
{
    model->previousModule();
}

void ModuleConfigWindow::onCalibrateClicked()
{
    if (ui->anemometerRadioButton->isChecked()) {
        if (prepareAnemometerCalibration())
            model->startCalibration();
    } else if (ui->compassRadioButton->isChecked()) {
        model->setCalibrationType(ModuleConfigSettings::CompassCalibration);
        model->startCalibration();
    } else if (ui->thermistorRadioButton->isChecked()) {
        if (prepareThermistorCalibration())
            model->startCalibration();
    }
}

bool ModuleConfigWindow::prepareAnemometerCalibration()
{
    // Also decides from the module's kind whether it carries cups or a pitot tube.
    model->setCalibrationType(ModuleConfigSettings::AnemometerCalibration);
    if (!model->cupAnemometer())
        return true;
    if (QMessageBox::warning(this, tr("Calibrate Cup Anemometer?"),
                             tr("The anemometer has already been factory calibrated. Are you "
                                "sure you want to calibrate it?"),
                             QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel)
        != QMessageBox::Yes)
        return false;
    CupAnemometerCalibDialog constants;
    if (constants.exec() != QDialog::Accepted)
        return false;
    model->setCupCalibration(qint16(constants.slope()), qint8(constants.offset()));
    return true;
}

bool ModuleConfigWindow::prepareThermistorCalibration()
{
    ThermistorCalibOptionsDialog options;
    if (options.exec() != QDialog::Accepted)
        return false;
    model->setCalibrationType(ModuleConfigSettings::ThermistorCalibration);
    switch (options.option()) {
    case 1:
        model->setThermistorOption(ModuleConfigSettings::AutomaticThermistor);
        return true;
    case 2: {
        model->setThermistorOption(ModuleConfigSettings::ReferenceThermistor);
        ThermistorCalibTempDialog temperature;
        if (temperature.exec() != QDialog::Accepted)
            return false;
        model->setReferenceTemperature(temperature.temperature());
        return true;
    }
    case 3: {
        model->setThermistorOption(ModuleConfigSettings::BetaThermistor);
        ThermistorBetaDialog beta;
        if (beta.exec() != QDialog::Accepted)
            return false;
        model->setBeta(beta.beta());
        return true;
    }
    default:
        return false;
    }
}

void ModuleConfigWindow::showEvent(QShowEvent *event)
{
    // Spontaneous show events come from the window system (a window restored), not from opening.
    if (!event->spontaneous()) {
        model->setConfigMode(ModuleConfigSettings::ConfigurationWindowMode);
        connect(model, &Model::statusChanged, this, &ModuleConfigWindow::update,
                Qt::UniqueConnection);
        update();
    }
    QWidget::showEvent(event);
}

void ModuleConfigWindow::closeEvent(QCloseEvent *event)
{
    const bool busy = model->isCalibrating() || model->isAcquiring() || model->hasOutcome()
                      || model->isConfiguring() || model->showsProgress();
    if (busy && !forceClosing) {
        event->ignore();
        return;
    }
    disconnect(model, &Model::statusChanged, this, &ModuleConfigWindow::update);
    event->accept();
    emit closing();
}

void ModuleConfigWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        // The form's own texts stand in for the model's until they are asked for again.
        update();
    }
    QWidget::changeEvent(event);
}
