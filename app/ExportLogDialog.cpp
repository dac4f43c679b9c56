#include "app/ExportLogDialog.h"

#include "archive/SoundingExport.h"
#include "ui_ExportLogDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Lines of one slice: about a tenth of a second of work for fifty modules on a slow machine.
constexpr int linesPerStep = 200;
constexpr int warningsShown = 10;

} // namespace

ExportLogDialog::ExportLogDialog(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ExportLogDialog>())
{
    ui->setupUi(this);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("&Export"));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ExportLogDialog::startExport);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &ExportLogDialog::reject);
    connect(ui->targetEdit, &QLineEdit::textChanged, this, &ExportLogDialog::updateButtons);
    stepTimer.setInterval(0);
    connect(&stepTimer, &QTimer::timeout, this, &ExportLogDialog::onStep);
    updateButtons();
}

ExportLogDialog::~ExportLogDialog() = default;

void ExportLogDialog::setLogFiles(const QStringList &files)
{
    ui->logList->clear();
    ui->logList->addItems(files);
    updateButtons();
}

QStringList ExportLogDialog::logFiles() const
{
    QStringList files;
    for (int row = 0; row < ui->logList->count(); ++row)
        files << ui->logList->item(row)->text();
    return files;
}

void ExportLogDialog::setTarget(const QString &fileName)
{
    ui->targetEdit->setText(fileName);
}

bool ExportLogDialog::isExporting() const
{
    return exporter != nullptr;
}

void ExportLogDialog::on_addLogsButton_clicked()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, tr("Logs of One Sounding"), QString(),
                                                            tr("Log files (*.csv);;All files (*)"));
    for (const QString &file : files) {
        if (!logFiles().contains(file))
            ui->logList->addItem(file);
    }
    updateButtons();
}

void ExportLogDialog::on_removeLogButton_clicked()
{
    delete ui->logList->currentItem();
    updateButtons();
}

void ExportLogDialog::on_browseButton_clicked()
{
    QString selectedFilter;
    const QString netcdf = tr("NetCDF (*.nc)");
    const QString table = tr("Table (*.csv)");
    QString file = QFileDialog::getSaveFileName(this, tr("Export To"), ui->targetEdit->text(),
                                                netcdf + QStringLiteral(";;") + table, &selectedFilter);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += selectedFilter == table ? QStringLiteral(".csv") : QStringLiteral(".nc");
    ui->targetEdit->setText(file);
}

void ExportLogDialog::startExport()
{
    if (isExporting() || logFiles().isEmpty() || ui->targetEdit->text().isEmpty())
        return;
    ExportSettings settings;
    settings.logFiles = logFiles();
    const QString target = ui->targetEdit->text();
    if (QFileInfo(target).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
        settings.csvFile = target;
    else
        settings.netcdfFile = target;
    settings.source = QStringLiteral("Ventrolla %1").arg(QCoreApplication::applicationVersion());
    settings.history = QStringLiteral("Export Log... of %1 to %2")
                           .arg(settings.logFiles.join(QStringLiteral(", ")), target);
    exporter = std::make_unique<SoundingExport>(settings);
    warnings.clear();
    ui->progressBar->setValue(0);
    updateButtons();
    stepTimer.start();
}

void ExportLogDialog::onStep()
{
    const bool more = exporter->step(linesPerStep);
    for (const QString &warning : exporter->takeWarnings()) {
        if (warnings.size() < warningsShown)
            warnings << warning;
    }
    ui->progressBar->setValue(int(exporter->progress() * ui->progressBar->maximum()));
    if (more)
        return;
    if (exporter->status() != SoundingExport::Success) {
        finishExport(false, tr("The export failed: %1").arg(exporter->errorString()));
        return;
    }
    QString message = tr("%n data sets exported to %1.", nullptr, exporter->dataSetCount())
                          .arg(QDir::toNativeSeparators(ui->targetEdit->text()));
    if (exporter->warningCount() > 0) {
        message += QLatin1Char('\n')
                   + tr("%n lines could not be read and were skipped or read in part:", nullptr,
                        int(exporter->warningCount()))
                   + QLatin1Char('\n') + warnings.join(QLatin1Char('\n'));
    }
    finishExport(true, message);
}

void ExportLogDialog::finishExport(bool success, const QString &message)
{
    stepTimer.stop();
    exporter.reset();
    updateButtons();
    auto *box = new QMessageBox(success ? QMessageBox::Information : QMessageBox::Warning,
                                success ? tr("Export Log") : tr("Warning"), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    emit exportFinished(success, message);
}

void ExportLogDialog::reject()
{
    // Dropping the export removes what it had written so far.
    stepTimer.stop();
    exporter.reset();
    ui->progressBar->setValue(0);
    updateButtons();
    QDialog::reject();
}

void ExportLogDialog::updateButtons()
{
    const bool exporting = isExporting();
    ui->buttonBox->button(QDialogButtonBox::Ok)
        ->setEnabled(!exporting && ui->logList->count() > 0 && !ui->targetEdit->text().isEmpty());
    ui->addLogsButton->setEnabled(!exporting);
    ui->removeLogButton->setEnabled(!exporting && ui->logList->count() > 0);
    ui->browseButton->setEnabled(!exporting);
    ui->targetEdit->setEnabled(!exporting);
}

void ExportLogDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("&Export"));
    }
    QDialog::changeEvent(event);
}
