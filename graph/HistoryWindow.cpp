#include "HistoryWindow.h"

#include "HistorySectionView.h"
#include "HistorySeriesView.h"
#include "ui_HistoryWindow.h"

#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QSvgGenerator>

namespace {

// The span chooser's entries, in order; 0 is the whole sounding.
constexpr qint64 spans[] = {10 * 60 * 1000, 60 * 60 * 1000, 6 * 60 * 60 * 1000, 0};

// The quantity chooser's entries, in order.
constexpr SoundingHistory::Quantity quantities[] = {
    SoundingHistory::Temperature,  SoundingHistory::PotentialTemperature,
    SoundingHistory::DewPoint,     SoundingHistory::Humidity,
    SoundingHistory::WindSpeed,    SoundingHistory::WindDirection,
    SoundingHistory::WindEast,     SoundingHistory::WindNorth,
    SoundingHistory::Pressure,     SoundingHistory::Altitude,
};

// Log lines read per turn of the event loop, in milliseconds of work.
constexpr int loadSliceMs = 40;

QString dateTimeText(qint64 msecs)
{
    return HistoryView::timeText(msecs, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

HistoryWindow::HistoryWindow(SoundingHistory *liveHistory, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::HistoryWindow>()), live(liveHistory),
      shown(liveHistory)
{
    ui->setupUi(this);
    fillQuantities();
    ui->spanBox->setCurrentIndex(1);
    ui->liveButton->setEnabled(false);
    for (HistoryView *view : {static_cast<HistoryView *>(ui->sectionView),
                              static_cast<HistoryView *>(ui->seriesView)}) {
        view->setSpan(spans[ui->spanBox->currentIndex()]);
        view->setQuantity(quantities[ui->quantityBox->currentIndex()]);
        view->setHistory(shown);
        connect(view, &HistoryView::cursorMoved, ui->cursorLabel, &QLabel::setText);
    }
    connect(ui->timeScrollBar, &QScrollBar::valueChanged, this, &HistoryWindow::onScrolled);
    loadTimer.setInterval(0);
    connect(&loadTimer, &QTimer::timeout, this, &HistoryWindow::readLogSlice);
    updateScrollBar();
    updateTitle();
}

HistoryWindow::~HistoryWindow() = default;

HistorySectionView *HistoryWindow::sectionView() const
{
    return ui->sectionView;
}

HistorySeriesView *HistoryWindow::seriesView() const
{
    return ui->seriesView;
}

void HistoryWindow::fillQuantities()
{
    const QSignalBlocker blocker(ui->quantityBox);
    const int index = qMax(0, ui->quantityBox->currentIndex());
    ui->quantityBox->clear();
    for (SoundingHistory::Quantity quantity : quantities) {
        ui->quantityBox->addItem(SoundingHistory::nameText(quantity) + QStringLiteral(" (")
                                 + SoundingHistory::unitText(quantity) + QLatin1Char(')'));
    }
    ui->quantityBox->setCurrentIndex(index);
}

bool HistoryWindow::isShowingLive() const
{
    return shown == live;
}

bool HistoryWindow::isLoading() const
{
    return loadTimer.isActive();
}

void HistoryWindow::liveSetAppended()
{
    if (isShowingLive() && isVisible())
        appendSets();
}

void HistoryWindow::liveCleared()
{
    if (isShowingLive())
        showHistory(live);
}

void HistoryWindow::showHistory(SoundingHistory *history)
{
    shown = history;
    ui->liveButton->setEnabled(!isShowingLive());
    ui->sectionView->setHistory(history);
    ui->seriesView->setHistory(history);
    updateScrollBar();
    updateTitle();
}

void HistoryWindow::appendSets()
{
    ui->sectionView->appendSets();
    ui->seriesView->appendSets();
    updateScrollBar();
    updateTitle();
}

bool HistoryWindow::openLogs(const QStringList &fileNames)
{
    loadTimer.stop();
    if (fileNames.isEmpty() || !loader.open(fileNames, &pastHistory)) {
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Warning"),
                                    tr("Could not read the log.\n%1").arg(loader.errorString()),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        if (!isShowingLive())
            showHistory(live);
        return false;
    }
    pastName = QFileInfo(fileNames.first()).fileName();
    if (fileNames.size() > 1)
        pastName = tr("%1 and %n more", nullptr, fileNames.size() - 1).arg(pastName);
    // The first slice is drawn at once, the rest as it comes.
    loader.readSome(loadSliceMs);
    showHistory(&pastHistory);
    if (loader.isDone())
        emit logLoaded();
    else
        loadTimer.start();
    return true;
}

void HistoryWindow::readLogSlice()
{
    const bool more = loader.readSome(loadSliceMs);
    if (isVisible())
        appendSets();
    if (!more) {
        loadTimer.stop();
        // The whole sounding, ranges fitted to all of it.
        showHistory(&pastHistory);
        emit logLoaded();
    }
}

bool HistoryWindow::exportImage(const QString &fileName)
{
    bool written = false;
    if (fileName.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(fileName);
        svg.setSize(ui->viewsArea->size());
        svg.setViewBox(ui->viewsArea->rect());
        svg.setTitle(windowTitle());
        QPainter painter;
        if (painter.begin(&svg)) {
            ui->viewsArea->render(&painter);
            written = painter.end() && QFileInfo(fileName).size() > 0;
        }
    } else {
        written = ui->viewsArea->grab().save(fileName, "PNG");
    }
    if (!written) {
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Warning"),
                                    tr("Could not write the image %1.").arg(fileName),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    return written;
}

void HistoryWindow::updateScrollBar()
{
    const qint64 span = spans[ui->spanBox->currentIndex()];
    const qsizetype count = shown->setCount();
    const QSignalBlocker blocker(ui->timeScrollBar);
    if (span == 0 || count == 0) {
        ui->timeScrollBar->setEnabled(false);
        ui->timeScrollBar->setRange(0, 0);
        return;
    }
    // Positions are the seconds from the first set to the right edge.
    const int total = int((shown->setTime(count - 1) - shown->setTime(0)) / 1000);
    const int spanSeconds = int(span / 1000);
    const bool following = ui->sectionView->isFollowing();
    ui->timeScrollBar->setEnabled(total > spanSeconds);
    ui->timeScrollBar->setRange(qMin(spanSeconds, total), total);
    ui->timeScrollBar->setPageStep(spanSeconds);
    ui->timeScrollBar->setSingleStep(qMax(1, spanSeconds / 20));
    if (following)
        ui->timeScrollBar->setValue(total);
}

void HistoryWindow::onScrolled(int value)
{
    const qsizetype count = shown->setCount();
    if (count == 0)
        return;
    for (HistoryView *view : {static_cast<HistoryView *>(ui->sectionView),
                              static_cast<HistoryView *>(ui->seriesView)}) {
        if (value >= ui->timeScrollBar->maximum())
            view->follow();
        else
            view->scrollTo(shown->setTime(0) + qint64(value) * 1000);
    }
}

void HistoryWindow::updateTitle()
{
    const qsizetype count = shown->setCount();
    const QString source = isShowingLive() ? tr("Live sounding") : pastName;
    if (count == 0) {
        ui->titleLabel->setText(isShowingLive() ? tr("Live sounding: no data yet") : source);
        return;
    }
    ui->titleLabel->setText(tr("%1, %2 to %3")
                                .arg(source, dateTimeText(shown->setTime(0)),
                                     dateTimeText(shown->setTime(count - 1))));
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    // Nothing was drawn while hidden.
    ui->sectionView->redraw();
    ui->seriesView->redraw();
    updateScrollBar();
    updateTitle();
    QWidget::showEvent(event);
}

void HistoryWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        fillQuantities();
        updateTitle();
    }
    QWidget::changeEvent(event);
}

void HistoryWindow::on_quantityBox_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    ui->sectionView->setQuantity(quantities[index]);
    ui->seriesView->setQuantity(quantities[index]);
}

void HistoryWindow::on_spanBox_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    ui->sectionView->setSpan(spans[index]);
    ui->seriesView->setSpan(spans[index]);
    ui->sectionView->follow();
    ui->seriesView->follow();
    updateScrollBar();
}

void HistoryWindow::on_verticalBox_currentIndexChanged(int index)
{
    ui->sectionView->setVertical(index == 1 ? SoundingHistory::Pressure : SoundingHistory::Altitude);
}

void HistoryWindow::on_liveButton_clicked()
{
    loadTimer.stop();
    showHistory(live);
}

void HistoryWindow::on_openLogButton_clicked()
{
    const QStringList names = QFileDialog::getOpenFileNames(
        this, tr("Open Log"), QString(), tr("Logs (*.csv);;All files (*)"));
    if (!names.isEmpty())
        openLogs(names);
}

void HistoryWindow::on_exportButton_clicked()
{
    QString selected;
    const QString name = QFileDialog::getSaveFileName(
        this, tr("Export Image"), QString(), tr("PNG image (*.png);;SVG image (*.svg)"), &selected);
    if (name.isEmpty())
        return;
    QString fileName = name;
    if (QFileInfo(name).suffix().isEmpty())
        fileName += selected.contains(QLatin1String("svg")) ? QStringLiteral(".svg") : QStringLiteral(".png");
    exportImage(fileName);
}
