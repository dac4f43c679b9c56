#include "link/DataTimingDialog.h"

#include "core/Model.h"
#include "ui_DataTimingDialog.h"

namespace {

// Interval lengths of positions 0 to 11; the same twelve serve for seconds and minutes.
constexpr int lengths[] = {1, 2, 3, 4, 5, 6, 10, 12, 15, 20, 30, 60};
constexpr int firstSecondsIndex = 1;
constexpr int firstMinutesIndex = 13;
constexpr int lastMinutesIndex = 24;

} // namespace

DataTimingDialog::DataTimingDialog(Model *model, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::DataTimingDialog>()), model(model)
{
    ui->setupUi(this);
    for (int length : lengths)
        ui->interval->addItem(QString::number(length), length);
    connect(model, &Model::statusChanged, this, &DataTimingDialog::update);
}

DataTimingDialog::~DataTimingDialog() = default;

int DataTimingDialog::selectedIndex() const
{
    const int position = ui->interval->currentIndex();
    return position + (ui->minutes->isChecked() ? firstMinutesIndex : firstSecondsIndex);
}

void DataTimingDialog::update()
{
    const int index = model->dataInterval();
    if (index >= firstMinutesIndex && index <= lastMinutesIndex) {
        ui->minutes->setChecked(true);
        ui->interval->setCurrentIndex(index - firstMinutesIndex);
    } else if (index >= firstSecondsIndex && index < firstMinutesIndex) {
        ui->seconds->setChecked(true);
        ui->interval->setCurrentIndex(index - firstSecondsIndex);
    } else {
        ui->seconds->setChecked(true);
        ui->interval->setCurrentIndex(0);
    }
}

void DataTimingDialog::showEvent(QShowEvent *event)
{
    // The model may not have announced a change since the dialog was built (a fresh start):
    // opened then, the dialog would show no unit and the first length instead of the interval.
    update();
    QDialog::showEvent(event);
}

void DataTimingDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}

void DataTimingDialog::on_seconds_clicked()
{
    model->setDataInterval(selectedIndex());
}

void DataTimingDialog::on_minutes_clicked()
{
    model->setDataInterval(selectedIndex());
}

void DataTimingDialog::on_interval_activated(int)
{
    model->setDataInterval(selectedIndex());
}
