#include "config/CalibFinishDialog.h"

#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "ui_CalibFinishDialog.h"

#include <algorithm>

CalibFinishDialog::CalibFinishDialog(Model *model, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::CalibFinishDialog>()), model(model)
{
    ui->setupUi(this);
    connect(model, &Model::statusChanged, this, &CalibFinishDialog::update);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &CalibFinishDialog::calibrationDone);
}

CalibFinishDialog::~CalibFinishDialog() = default;

QColor CalibFinishDialog::indicatorColour(float distortion)
{
    if (distortion < 0)
        return QColor(0, 255, 0);
    const float eight = 8 * distortion;
    if (distortion <= 0.125f)
        return QColor(eight >= 1 ? 255 : int(eight * 255 + 0.5), 255, 0);
    const float rest = 2 - eight;
    return QColor(255, rest < 0 ? 0 : std::max(0, int(rest * 255 + 0.5)), 0);
}

void CalibFinishDialog::update()
{
    if (!model->hasOutcome()) {
        if (isVisible())
            hide();
        return;
    }
    if (model->calibrationType() == ModuleConfigSettings::CompassCalibration
        && model->lastCalibrationSucceeded()) {
        const float distortion = model->compassDistortion();
        const float percent = distortion * 100;
        ui->distortionPercentText->setText(QStringLiteral("%1 %").arg(double(percent), 0, 'f', 1));
        const QColor colour = indicatorColour(distortion);
        ui->warningIndicator->setStyleSheet(
            QStringLiteral("background-color: rgb(%1, %2, %3); border-radius: 6px;")
                .arg(colour.red())
                .arg(colour.green())
                .arg(colour.blue()));
        ui->distortionWidget->show();
    } else {
        ui->distortionWidget->hide();
    }
    setWindowTitle(model->outcomeTitle());
    ui->infoText->setText(model->outcomeMessage());
    if (!isVisible())
        show();
}

void CalibFinishDialog::calibrationDone()
{
    model->acknowledgeOutcome();
}

void CalibFinishDialog::reject()
{
    // The state returns to idle and the next update() hides the dialog.
    model->acknowledgeOutcome();
    QDialog::reject();
}
