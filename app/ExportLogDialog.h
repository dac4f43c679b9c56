#ifndef VENTROLLA_APP_EXPORTLOGDIALOG_H
#define VENTROLLA_APP_EXPORTLOGDIALOG_H

#include <QDialog>
#include <QStringList>
#include <QTimer>

#include <memory>

class SoundingExport;
namespace Ui {
class ExportLogDialog;
}

// Exports the logs of one sounding to a NetCDF file or a tidy table, chosen by the target's
// suffix. The export runs a slice at a time from the event loop, so the window keeps
// acquiring and drawing while a long log is read; the result or the error comes in a box.
// Closing the dialog during an export abandons it and leaves no file behind.
class ExportLogDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ExportLogDialog(QWidget *parent = nullptr);
    ~ExportLogDialog() override;

    void setLogFiles(const QStringList &files);
    QStringList logFiles() const;
    void setTarget(const QString &fileName);
    bool isExporting() const;

signals:
    // An export ended: successfully or not, with the text the box shows.
    void exportFinished(bool success, const QString &message);

protected:
    void changeEvent(QEvent *event) override;
    void reject() override;

private slots:
    void on_addLogsButton_clicked();
    void on_removeLogButton_clicked();
    void on_browseButton_clicked();
    void startExport();
    void onStep();

private:
    void updateButtons();
    void finishExport(bool success, const QString &message);

    std::unique_ptr<Ui::ExportLogDialog> ui;
    std::unique_ptr<SoundingExport> exporter;
    QTimer stepTimer;
    QStringList warnings;
};

#endif
