#ifndef VENTROLLA_OUTPUT_BROKERDIALOG_H
#define VENTROLLA_OUTPUT_BROKERDIALOG_H

#include "output/BrokerSettings.h"

#include <QDialog>

#include <memory>

class BrokerOutput;
namespace Ui {
class BrokerDialog;
}

// Edits where the data sets are published and shows the broker connection as it changes.
// OK is refused, with the reason shown, while publishing is enabled with an unusable URL or
// station; the main window saves and applies the accepted settings.
class BrokerDialog : public QDialog
{
    Q_OBJECT

public:
    explicit BrokerDialog(BrokerOutput *broker, QWidget *parent = nullptr);
    ~BrokerDialog() override;

    void setSettings(const BrokerSettings &settings);
    BrokerSettings settings() const;

public slots:
    void update();

private slots:
    void on_buttonBox_accepted();
    void on_caFileButton_clicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::BrokerDialog> ui;
    BrokerOutput *broker;
};

#endif
