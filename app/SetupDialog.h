#ifndef VENTROLLA_APP_SETUPDIALOG_H
#define VENTROLLA_APP_SETUPDIALOG_H

#include <QDialog>

#include <memory>

namespace Ui {
class SetupDialog;
}

// The run settings chosen once at start-up, before the model exists: the altitude reference,
// the wind speed unit and the optional GPS fields the modules are asked to send. Remembered for
// the next start; written when the dialog is destroyed, with the main window.
class SetupDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SetupDialog(QWidget *parent = nullptr);
    ~SetupDialog() override;

    int windUnits() const; // 1 metres per second, 0 knots
    void setWindUnits(int units);
    // Metres above sea level of the ground when altitude is relative to it, else 0.
    int groundElevation() const;
    bool latitude() const;
    void setLatitude(bool on);
    bool longitude() const;
    void setLongitude(bool on);
    bool course() const;
    void setCourse(bool on);
    bool speed() const;
    void setSpeed(bool on);

protected:
    void changeEvent(QEvent *event) override;

private slots:
    void on_ground_toggled(bool checked);

private:
    void readSettings();
    void writeSettings() const;

    std::unique_ptr<Ui::SetupDialog> ui;
};

#endif
