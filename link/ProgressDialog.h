#ifndef VENTROLLA_LINK_PROGRESSDIALOG_H
#define VENTROLLA_LINK_PROGRESSDIALOG_H

#include <QDialog>

#include <memory>

class Model;
namespace Ui {
class ProgressDialog;
}

// Shows the base station's configuration while it runs and says so when it failed. It follows
// the model alone: it appears as configuration starts (again after being closed, at the next
// tick) and disappears when configuration ends.
class ProgressDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProgressDialog(Model *model, QWidget *parent = nullptr);
    ~ProgressDialog() override;

public slots:
    void update();

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::ProgressDialog> ui;
    Model *model;
};

#endif
