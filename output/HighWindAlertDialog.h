#ifndef VENTROLLA_OUTPUT_HIGHWINDALERTDIALOG_H
#define VENTROLLA_OUTPUT_HIGHWINDALERTDIALOG_H

#include <QAbstractButton>
#include <QMessageBox>

// The visible half of the high-wind alert: a warning box that leaves the rest of the window
// usable. OK, or closing the box by its frame, acknowledges the alert.
class HighWindAlertDialog : public QMessageBox
{
    Q_OBJECT

public:
    explicit HighWindAlertDialog(QWidget *parent = nullptr);

signals:
    void userAcknowledgedWindAlert();

private slots:
    void onButtonClicked(QAbstractButton *button);

protected:
    void closeEvent(QCloseEvent *event) override;
};

#endif
