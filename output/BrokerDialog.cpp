#include "output/BrokerDialog.h"

#include "output/BrokerOutput.h"
#include "ui_BrokerDialog.h"

#include <QFileDialog>

BrokerDialog::BrokerDialog(BrokerOutput *broker, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::BrokerDialog>()), broker(broker)
{
    ui->setupUi(this);
    connect(broker, &BrokerOutput::statusChanged, this, &BrokerDialog::update);
    update();
}

BrokerDialog::~BrokerDialog() = default;

void BrokerDialog::setSettings(const BrokerSettings &settings)
{
    ui->enableCheck->setChecked(settings.enabled);
    ui->urlEdit->setText(settings.url);
    ui->stationEdit->setText(settings.station);
    ui->userEdit->setText(settings.user);
    ui->passwordEdit->setText(settings.password);
    ui->caFileEdit->setText(settings.caFile);
    ui->checkCertificateCheck->setChecked(settings.checkCertificate);
    ui->queueSpin->setValue(settings.queueSets);
    update();
}

BrokerSettings BrokerDialog::settings() const
{
    BrokerSettings settings;
    settings.enabled = ui->enableCheck->isChecked();
    settings.url = ui->urlEdit->text().trimmed();
    settings.station = ui->stationEdit->text().trimmed();
    settings.user = ui->userEdit->text();
    settings.password = ui->passwordEdit->text();
    settings.caFile = ui->caFileEdit->text().trimmed();
    settings.checkCertificate = ui->checkCertificateCheck->isChecked();
    settings.queueSets = ui->queueSpin->value();
    return settings;
}

void BrokerDialog::update()
{
    QString text = broker->statusText();
    if (!broker->errorString().isEmpty())
        text += QLatin1Char('\n') + broker->errorString();
    ui->stateLabel->setText(text);
}

void BrokerDialog::on_buttonBox_accepted()
{
    QString error;
    if (ui->enableCheck->isChecked() && !settings().validate(error)) {
        ui->stateLabel->setText(error);
        return;
    }
    accept();
}

void BrokerDialog::on_caFileButton_clicked()
{
    const QString file = QFileDialog::getOpenFileName(this, tr("Certificate Authority"),
                                                      ui->caFileEdit->text(),
                                                      tr("Certificates (*.pem *.crt);;All files (*)"));
    if (!file.isEmpty())
        ui->caFileEdit->setText(file);
}

void BrokerDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
