#ifndef VENTROLLA_APP_ACQUIREHELPDIALOG_DYNAMICALTITUDE_H
#define VENTROLLA_APP_ACQUIREHELPDIALOG_DYNAMICALTITUDE_H

#include <QDialog>

#include <memory>

namespace Ui {
class AcquireHelpDialog_DynamicAltitude;
}

// How to acquire modules: one at a time, each switched on after the last one is listed.
class AcquireHelpDialog_DynamicAltitude : public QDialog
{
    Q_OBJECT

public:
    explicit AcquireHelpDialog_DynamicAltitude(QWidget *parent = nullptr);
    ~AcquireHelpDialog_DynamicAltitude() override;

protected:
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::AcquireHelpDialog_DynamicAltitude> ui;
};

#endif
