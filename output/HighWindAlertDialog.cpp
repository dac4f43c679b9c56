#include "output/HighWindAlertDialog.h"

HighWindAlertDialog::HighWindAlertDialog(QWidget *parent) : QMessageBox(parent)
{
    setModal(false);
    setWindowModality(Qt::NonModal);
    setIcon(QMessageBox::Warning);
    setWindowTitle(tr("High Wind Alert!"));
    setStandardButtons(QMessageBox::Ok);
    connect(this, &QMessageBox::buttonClicked, this, &HighWindAlertDialog::onButtonClicked);
}

void HighWindAlertDialog::onButtonClicked(QAbstractButton *)
{
    emit userAcknowledgedWindAlert();
}

void HighWindAlertDialog::closeEvent(QCloseEvent *event)
{
    emit userAcknowledgedWindAlert();
    QMessageBox::closeEvent(event);
}
