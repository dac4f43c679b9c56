#include "link/SerialPortDialog.h"

#include "core/Model.h"
#include "ui_SerialPortDialog.h"

#include <QShowEvent>

SerialPortDialog::SerialPortDialog(Model *model, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::SerialPortDialog>()), model(model)
{
    ui->setupUi(this);
    listPorts();
}

SerialPortDialog::~SerialPortDialog() = default;

void SerialPortDialog::addPort(const QSerialPortInfo &info)
{
    ui->portSelection->addItem(info.portName(), info.systemLocation());
}

void SerialPortDialog::listPorts()
{
    ui->portSelection->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        addPort(info);
    selectPortName(model->serialPort()->portName());
}

void SerialPortDialog::selectPortName(const QString &name)
{
    // Fixed-string matching ignores case: "com4" finds COM4.
    const int index = ui->portSelection->findData(name, Qt::DisplayRole, Qt::MatchFixedString);
    if (index >= 0) {
        ui->portSelection->setCurrentIndex(index);
        ui->selectButton->setChecked(true);
    } else {
        ui->portEntry->setText(name);
        ui->manualButton->setChecked(true);
    }
}

QString SerialPortDialog::chosenPortName() const
{
    if (ui->selectButton->isChecked())
        return ui->portSelection->currentText();
    return ui->portEntry->text().trimmed();
}

void SerialPortDialog::showEvent(QShowEvent *event)
{
    // Spontaneous show events come from the window system (a window restored), not from opening.
    if (!event->spontaneous())
        listPorts();
    QDialog::showEvent(event);
}

void SerialPortDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QDialog::changeEvent(event);
}

void SerialPortDialog::on_portSelection_activated(int)
{
    ui->selectButton->setChecked(true);
}

void SerialPortDialog::on_portEntry_textEdited(const QString &)
{
    ui->manualButton->setChecked(true);
}

void SerialPortDialog::on_buttonBox_accepted()
{
    model->setPortName(chosenPortName());
}
