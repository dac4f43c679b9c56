#ifndef VENTROLLA_LINK_DATATIMINGDIALOG_H
#define VENTROLLA_LINK_DATATIMINGDIALOG_H

#include <QDialog>

#include <memory>

class Model;
namespace Ui {
class DataTimingDialog;
}

// Picks the interval at which the modules report: one of twelve lengths, in seconds or minutes.
// Every choice goes to the model at once; the model keeps it only when its state allows, and
// the dialog then shows whatever the model holds.
class DataTimingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DataTimingDialog(Model *model, QWidget *parent = nullptr);
    ~DataTimingDialog() override;

    // The interval index (1 to 24) of the current choice.
    int selectedIndex() const;

public slots:
    void update();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void on_seconds_clicked();
    void on_minutes_clicked();
    void on_interval_activated(int index);

private:
    std::unique_ptr<Ui::DataTimingDialog> ui;
    Model *model;
};

#endif
