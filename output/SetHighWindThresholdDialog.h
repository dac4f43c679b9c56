#ifndef VENTROLLA_OUTPUT_SETHIGHWINDTHRESHOLDDIALOG_H
#define VENTROLLA_OUTPUT_SETHIGHWINDTHRESHOLDDIALOG_H

#include <QDialog>

#include <memory>

class Model;

namespace Ui {
class SetHighWindThresholdDialog;
}

// Edits the model's high-wind threshold, in whole units of the table's wind column. A
// cancelled value stays in the spin box and is offered again the next time.
class SetHighWindThresholdDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SetHighWindThresholdDialog(Model *model, QWidget *parent = nullptr);
    ~SetHighWindThresholdDialog() override;

private slots:
    void onOk();
    void onCancel();

private:
    std::unique_ptr<Ui::SetHighWindThresholdDialog> ui;
    Model *model;
};

#endif
