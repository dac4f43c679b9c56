#ifndef VENTROLLA_GRAPH_HISTORYWINDOW_H
#define VENTROLLA_GRAPH_HISTORYWINDOW_H

#include "archive/LogHistoryLoader.h"
#include "core/SoundingHistory.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class HistoryWindow;
}

class HistorySectionView;
class HistorySeriesView;

// The "History" window: the time-height section above the time series of one quantity, over
// the last 10 minutes, hour, 6 hours or the whole sounding. It shows the live sounding (new sets
// at the right edge, the scroll bar goes back in time) or a past one read from its logs. While
// hidden it draws nothing, so it costs the live sounding nothing.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryWindow(SoundingHistory *liveHistory, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // For a new set in the live history, and when the live history was cleared.
    void liveSetAppended();
    void liveCleared();

    // Shows the past sounding of these logs; false, with a warning shown, when one cannot be
    // read. The window draws as the lines are read (logLoaded() when all are in).
    bool openLogs(const QStringList &fileNames);
    bool isLoading() const;
    bool isShowingLive() const;

    // The two views as a PNG or SVG picture (by the name's suffix); false, with a warning shown,
    // when the file cannot be written.
    bool exportImage(const QString &fileName);

    HistorySectionView *sectionView() const;
    HistorySeriesView *seriesView() const;

signals:
    void logLoaded();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private slots:
    void on_quantityBox_currentIndexChanged(int index);
    void on_spanBox_currentIndexChanged(int index);
    void on_verticalBox_currentIndexChanged(int index);
    void on_liveButton_clicked();
    void on_openLogButton_clicked();
    void on_exportButton_clicked();

private:
    void showHistory(SoundingHistory *history);
    void appendSets();
    void readLogSlice();
    void onScrolled(int value);
    void updateScrollBar();
    void updateTitle();
    void fillQuantities();

    std::unique_ptr<Ui::HistoryWindow> ui;
    SoundingHistory *live;
    SoundingHistory pastHistory;
    SoundingHistory *shown;
    LogHistoryLoader loader;
    QTimer loadTimer;
    QString pastName;
    bool settingScrollBar = false;
};

#endif
