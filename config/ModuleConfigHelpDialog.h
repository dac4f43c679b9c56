#ifndef VENTROLLA_CONFIG_MODULECONFIGHELPDIALOG_H
#define VENTROLLA_CONFIG_MODULECONFIGHELPDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class ModuleConfigHelpDialog;
}

// How to acquire, select, remove and calibrate modules in the configuration window.
class ModuleConfigHelpDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ModuleConfigHelpDialog(QWidget *parent = nullptr);
    ~ModuleConfigHelpDialog() override;

private:
    std::unique_ptr<Ui::ModuleConfigHelpDialog> ui;
};

#endif
