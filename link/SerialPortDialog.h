#ifndef VENTROLLA_LINK_SERIALPORTDIALOG_H
#define VENTROLLA_LINK_SERIALPORTDIALOG_H

#include <QDialog>
#include <QSerialPortInfo>

#include <memory>

class Model;
namespace Ui {
class SerialPortDialog;
}

// Picks the base station's serial port: one of the ports the system lists, or a name typed by
// hand (a pseudo-terminal or a device the system does not list). The list is read afresh every
// time the dialog is opened, so a radio plugged in meanwhile is offered.
class SerialPortDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SerialPortDialog(Model *model, QWidget *parent = nullptr);
    ~SerialPortDialog() override;

    // Makes the listed port of that name current (ignoring case), or puts the name into the
    // manual field when no port of that name is listed.
    void selectPortName(const QString &name);
    // What OK hands to the model: the listed port or the manual entry without surrounding blanks.
    QString chosenPortName() const;

public slots:
    void addPort(const QSerialPortInfo &info);

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void on_portSelection_activated(int index);
    void on_portEntry_textEdited(const QString &text);
    void on_buttonBox_accepted();

private:
    void listPorts();

    std::unique_ptr<Ui::SerialPortDialog> ui;
    Model *model;
};

#endif
