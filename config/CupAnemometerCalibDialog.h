#ifndef VENTROLLA_CONFIG_CUPANEMOMETERCALIBDIALOG_H
#define VENTROLLA_CONFIG_CUPANEMOMETERCALIBDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class CupAnemometerCalibDialog;
}

// Asks for a cup anemometer's slope and offset, sent to the module in thousandths and
// hundredths.
class CupAnemometerCalibDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CupAnemometerCalibDialog(QWidget *parent = nullptr);
    ~CupAnemometerCalibDialog() override;

    quint16 slope() const;  // thousandths, 0 to 999
    quint8 offset() const;  // hundredths, 0 to 99

private slots:
    void onOkClicked();

private:
    std::unique_ptr<Ui::CupAnemometerCalibDialog> ui;
    quint16 slope_ = 0;
    quint8 offset_ = 0;
};

#endif
