#ifndef VENTROLLA_APP_ACQUIREDIALOG_DYNAMICALTITUDE_H
#define VENTROLLA_APP_ACQUIREDIALOG_DYNAMICALTITUDE_H

#include <QDialog>

#include <memory>

class AcquireHelpDialog_DynamicAltitude;
class Model;
namespace Ui {
class AcquireDialog_DynamicAltitude;
}

// Lists the modules acquired so far while acquisition runs, and ends it with Done (or Escape).
// It shows and hides itself from the model's state: only for acquisition started by its own
// window (the main window's acquisition and the configuration window's are told apart by the
// model's configuration mode).
class AcquireDialog_DynamicAltitude : public QDialog
{
    Q_OBJECT

public:
    AcquireDialog_DynamicAltitude(Model *model, int configMode, QWidget *parent = nullptr);
    ~AcquireDialog_DynamicAltitude() override;

public slots:
    void update();
    void closeDialogRequested();

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::AcquireDialog_DynamicAltitude> ui;
    Model *model;
    int configMode;
    AcquireHelpDialog_DynamicAltitude *helpDialog;
};

#endif
