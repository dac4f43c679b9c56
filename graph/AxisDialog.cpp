#include "graph/AxisDialog.h"

#include "graph/GraphAxisModel.h"
#include "ui_AxisDialog.h"

#include <QPushButton>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Truncated to a whole number a spin box can hold (a stored limit may lie beyond int).
int truncated(double value)
{
    return int(std::clamp(std::trunc(value), double(INT_MIN), double(INT_MAX)));
}

} // namespace

AxisDialog::AxisDialog(GraphAxisModel *axes, QWidget *parent)
    : QDialog(parent), ui(new Ui::AxisDialog), axes(axes)
{
    ui->setupUi(this);
    connect(this, &QDialog::accepted, this, &AxisDialog::acceptResults);
    connect(this, &QDialog::rejected, this, &AxisDialog::update);
    connect(axes, &GraphAxisModel::changed, this, &AxisDialog::update);
}

AxisDialog::~AxisDialog()
{
    delete ui;
}

void AxisDialog::setAxisId(int id)
{
    axisId = id;
    update();
}

void AxisDialog::update()
{
    axis = axes->axis(axisId);
    setWindowTitle(axis.title());
    const int lower = truncated(axis.lowerLimit());
    const int upper = truncated(axis.upperLimit());
    ui->Minimum->setRange(lower, upper);
    ui->Maximum->setRange(lower, upper);
    ui->Minimum->setValue(truncated(axis.minimum()));
    ui->Maximum->setValue(truncated(axis.maximum()));
    ui->Intervals->setRange(1, 50);
    ui->Intervals->setValue(axis.intervals());
    enableOk();
}

void AxisDialog::acceptResults()
{
    axis.setRange(ui->Minimum->value(), ui->Maximum->value());
    axis.setIntervals(ui->Intervals->value());
    axes->setAxis(axisId, axis);
}

void AxisDialog::on_Minimum_valueChanged(int)
{
    enableOk();
}

void AxisDialog::on_Maximum_valueChanged(int)
{
    enableOk();
}

void AxisDialog::enableOk()
{
    ui->buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(ui->Minimum->value() < ui->Maximum->value());
}

void AxisDialog::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        update(); // the window title is the axis title, not the form's
    }
}
