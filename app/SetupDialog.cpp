#include "app/SetupDialog.h"

#include "ui_SetupDialog.h"

#include <QSettings>

namespace {

const QString group = QStringLiteral("SetupDialog");
const QString windUnitsKey = QStringLiteral("windUnits");
const QString latitudeKey = QStringLiteral("latitude");
const QString longitudeKey = QStringLiteral("longitude");
const QString courseKey = QStringLiteral("course");
const QString speedKey = QStringLiteral("speed");
const QString groundElevationKey = QStringLiteral("groundElevation");
const QString relativeAltitudeKey = QStringLiteral("relativeAltitude");

} // namespace

SetupDialog::SetupDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::SetupDialog>())
{
    ui->setupUi(this);
    readSettings();
}

SetupDialog::~SetupDialog()
{
    writeSettings();
}

void SetupDialog::readSettings()
{
    QSettings settings;
    settings.beginGroup(group);
    setWindUnits(settings.value(windUnitsKey, 0).toInt());
    setLatitude(settings.value(latitudeKey, false).toBool());
    setLongitude(settings.value(longitudeKey, false).toBool());
    setCourse(settings.value(courseKey, false).toBool());
    setSpeed(settings.value(speedKey, false).toBool());
    ui->elevation->setValue(settings.value(groundElevationKey, 0).toInt());
    if (settings.value(relativeAltitudeKey, false).toBool())
        ui->ground->setChecked(true);
    else
        ui->seaLevel->setChecked(true);
}

void SetupDialog::writeSettings() const
{
    QSettings settings;
    settings.beginGroup(group);
    settings.setValue(windUnitsKey, windUnits());
    settings.setValue(latitudeKey, latitude());
    settings.setValue(longitudeKey, longitude());
    settings.setValue(courseKey, course());
    settings.setValue(speedKey, speed());
    settings.setValue(relativeAltitudeKey, ui->ground->isChecked());
    // Kept even while sea level is chosen, so the site's elevation need not be typed again.
    settings.setValue(groundElevationKey, ui->elevation->value());
}

int SetupDialog::windUnits() const
{
    return ui->windspeed_mps->isChecked() ? 1 : 0;
}

void SetupDialog::setWindUnits(int units)
{
    if (units == 1)
        ui->windspeed_mps->setChecked(true);
    else
        ui->windspeed_knots->setChecked(true);
}

int SetupDialog::groundElevation() const
{
    return ui->ground->isChecked() ? ui->elevation->value() : 0;
}

bool SetupDialog::latitude() const { return ui->latitude->isChecked(); }
void SetupDialog::setLatitude(bool on) { ui->latitude->setChecked(on); }
bool SetupDialog::longitude() const { return ui->longitude->isChecked(); }
void SetupDialog::setLongitude(bool on) { ui->longitude->setChecked(on); }
bool SetupDialog::course() const { return ui->course->isChecked(); }
void SetupDialog::setCourse(bool on) { ui->course->setChecked(on); }
bool SetupDialog::speed() const { return ui->speed->isChecked(); }
void SetupDialog::setSpeed(bool on) { ui->speed->setChecked(on); }

void SetupDialog::on_ground_toggled(bool checked)
{
    ui->elevation->setEnabled(checked);
    ui->elevationLabel->setEnabled(checked);
}

void SetupDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}
