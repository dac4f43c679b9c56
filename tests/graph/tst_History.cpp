// The history window's views: the section's colours between modules at known values, its gaps
// and edges; incremental drawing giving the very picture a full redraw gives; the window on
// the logs of a past sounding and its picture export.

#include "Atmosphere.h"
#include "SimulatedSounding.h"
#include "TestSupport.h"
#include "core/SoundingHistory.h"
#include "graph/HistoryColourMap.h"
#include "graph/HistorySectionView.h"
#include "graph/HistorySeriesView.h"
#include "graph/HistoryWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

constexpr qint64 second = 1000;
constexpr float none = std::numeric_limits<float>::quiet_NaN();

SoundingHistory::Sample at(float altitude, float temperature, float pressure = none)
{
    SoundingHistory::Sample s;
    s.fill(none);
    s[SoundingHistory::Altitude] = altitude;
    s[SoundingHistory::Pressure] = pressure;
    s[SoundingHistory::Temperature] = temperature;
    return s;
}

int luma(QRgb c)
{
    return 299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c);
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 8 && std::abs(qGreen(a) - qGreen(b)) <= 8
           && std::abs(qBlue(a) - qBlue(b)) <= 8;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void sectionBetweenModules_data();
    void sectionBetweenModules();
    void incrementalDrawingIsTheFullPicture_data();
    void incrementalDrawingIsTheFullPicture();
    void windowOnPastLogs();
    void scrollsBackAndFollowsAgain();
    void drawsWhenShownAndReadsTheCursor();
    void colourMapsRunEvenly();
};

void TestHistory::sectionBetweenModules_data()
{
    QTest::addColumn<bool>("pressure");
    QTest::addColumn<qint64>("time");
    QTest::addColumn<double>("height");
    QTest::addColumn<float>("expected");
    // A at 100 m and 1000 hPa reads 10 + t/100 s, B at 200 m and 900 hPa 20, C at 300 m and
    // 810 hPa 40; sets every 10 s up to 590 s (B silent at 300 s), none until 1200 s, then
    // every 10 s to 1490 s. On the pressure axis the section is linear in log pressure.
    QTest::newRow("pressure, midway A to B") << true << 101 * second << 948.68 << 15.5f;
    QTest::newRow("pressure, above C") << true << 101 * second << 805.0 << none;
    QTest::newRow("between A and B") << false << 101 * second << 150.0 << 15.5f;
    QTest::newRow("between B and C") << false << 101 * second << 275.0 << 35.0f;
    QTest::newRow("later, near A") << false << 501 * second << 125.0 << 16.25f;
    QTest::newRow("above the highest") << false << 101 * second << 302.0 << none;
    QTest::newRow("below the lowest") << false << 101 * second << 98.0 << none;
    QTest::newRow("B silent, below it") << false << 301 * second << 150.0 << none;
    QTest::newRow("B silent, above it") << false << 301 * second << 250.0 << none;
    QTest::newRow("no sets") << false << 900 * second << 150.0 << none;
    QTest::newRow("after the gap") << false << 1251 * second << 150.0 << 21.25f;
}

void TestHistory::sectionBetweenModules()
{
    QFETCH(bool, pressure);
    QFETCH(qint64, time);
    QFETCH(double, height);
    QFETCH(float, expected);
    SoundingHistory history;
    for (qint64 t = 0; t < 1500 * second; t += 10 * second) {
        if (t >= 600 * second && t < 1200 * second)
            continue;
        history.appendSet(t);
        history.setSample(history.moduleIndex(QStringLiteral("A")), at(100, 10 + float(t) / 100000, 1000));
        if (t != 300 * second)
            history.setSample(history.moduleIndex(QStringLiteral("B")), at(200, 20, 900));
        history.setSample(history.moduleIndex(QStringLiteral("C")), at(300, 40, 810));
    }
    HistorySectionView view;
    view.resize(980, 420);
    view.setSpan(0);
    view.setVertical(pressure ? SoundingHistory::Pressure : SoundingHistory::Altitude);
    view.setHistory(&history);

    const float value = view.valueAt(time, height);
    const QRgb colour = view.colourAt(time, height);
    if (std::isnan(expected)) {
        QVERIFY2(std::isnan(value), qPrintable(QString::number(double(value))));
        QCOMPARE(colour, qRgb(255, 255, 255));
    } else {
        QVERIFY2(std::abs(value - expected) < 0.05f, qPrintable(QString::number(double(value))));
        QVERIFY(near(colour, view.colourOf(expected)));
        QVERIFY(!near(colour, view.colourOf(expected + 2)));
    }
}

void TestHistory::incrementalDrawingIsTheFullPicture_data()
{
    QTest::addColumn<bool>("section");
    QTest::addColumn<qint64>("span");
    QTest::newRow("section, 10 min") << true << 600 * second;
    QTest::newRow("section, all") << true << qint64(0);
    QTest::newRow("series, 10 min") << false << 600 * second;
    QTest::newRow("series, all") << false << qint64(0);
}

void TestHistory::incrementalDrawingIsTheFullPicture()
{
    QFETCH(bool, section);
    QFETCH(qint64, span);
    SoundingHistory history;
    std::unique_ptr<HistoryView> view;
    if (section)
        view = std::make_unique<HistorySectionView>();
    else
        view = std::make_unique<HistorySeriesView>();
    view->resize(600, 300);
    view->setSpan(span);
    view->setHistory(&history);

    // A and D hold the ranges still; B and C wander between them, B falls silent for a minute
    // and the whole line for five.
    for (int i = 0; i < 1500; ++i) {
        const qint64 t = 1000 * second + i * 1300 + (i >= 900 ? 300 * second : 0);
        history.appendSet(t);
        history.setSample(history.moduleIndex(QStringLiteral("A")), at(100, 0));
        if (i < 400 || i > 460)
            history.setSample(history.moduleIndex(QStringLiteral("B")), at(180, 50 + 40 * std::sin(i / 40.0f)));
        history.setSample(history.moduleIndex(QStringLiteral("C")), at(260, 50 + 45 * std::cos(i / 25.0f)));
        history.setSample(history.moduleIndex(QStringLiteral("D")), at(340, 100));
        view->appendSets();
    }
    const QImage incremental = view->plotImage();
    view->redraw();
    QCOMPARE(incremental.size(), view->plotImage().size());
    // The series' lines may cross in another order, and a line clipped at the left edge may
    // differ by a pixel from the one drawn before the picture scrolled; the section is exact.
    const auto pixel = [section](const QImage &image, int x, int y) {
        return section || image.pixel(x, y) == qRgb(255, 255, 255) ? image.pixel(x, y) : 0u;
    };
    int differing = 0;
    for (int y = 0; y < incremental.height(); ++y) {
        for (int x = 0; x < incremental.width(); ++x)
            differing += pixel(incremental, x, y) != pixel(view->plotImage(), x, y) ? 1 : 0;
    }
    QVERIFY2(differing <= (section ? 0 : 8), qPrintable(QString::number(differing)));
}

void TestHistory::windowOnPastLogs()
{
    // One sounding in two logs, given out of order.
    QTemporaryDir folder;
    const Atmosphere atmosphere(1000.0, 47.0, 8.0, 3);
    const SimulatedSounding sounding(atmosphere, 3, 50.0, 100.0);
    const qint64 start = QDateTime(QDate(2026, 6, 21), QTime(10, 0)).toMSecsSinceEpoch();
    const QString early = folder.filePath(QStringLiteral("early.csv"));
    const QString late = folder.filePath(QStringLiteral("late.csv"));
    QVERIFY(sounding.writeLog(early, start, start + 1200 * second, 5 * second));
    QVERIFY(sounding.writeLog(late, start + 1200 * second, start + 1800 * second, 5 * second));

    SoundingHistory live;
    HistoryWindow window(&live);
    window.resize(900, 600);
    window.show();
    QSignalSpy loaded(&window, &HistoryWindow::logLoaded);
    QVERIFY(window.openLogs({late, early}));
    QVERIFY(loaded.count() == 1 || loaded.wait(5000));
    QVERIFY(!window.isShowingLive());
    const QString title = window.findChild<QLabel *>(QStringLiteral("titleLabel"))->text();
    const auto text = [](qint64 ms) {
        return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    QVERIFY2(title.contains(text(start)) && title.contains(text(start + 1795 * second)),
             qPrintable(title));
    // The middle module's temperature, read back from the log, is drawn at its height.
    const float temperature = sounding.sample(1, start + 900 * second)[SoundingHistory::Temperature];
    QVERIFY(std::abs(window.sectionView()->valueAt(start + 901500, 1150.0) - temperature) < 0.01f);

    const QString png = folder.filePath(QStringLiteral("history.png"));
    const QString svg = folder.filePath(QStringLiteral("history.svg"));
    QVERIFY(window.exportImage(png) && window.exportImage(svg));
    QVERIFY(QImage(png).height() >= window.sectionView()->height() + window.seriesView()->height());
    QFile svgFile(svg);
    QVERIFY(svgFile.open(QIODevice::ReadOnly) && svgFile.readAll().contains("<svg"));

    // A file that is no log leaves the window on the live sounding.
    QVERIFY(!window.openLogs({svg}));
    QVERIFY(window.isShowingLive());
}

void TestHistory::scrollsBackAndFollowsAgain()
{
    SoundingHistory live;
    HistoryWindow window(&live);
    window.resize(900, 600);
    window.findChild<QComboBox *>(QStringLiteral("spanBox"))->setCurrentIndex(0); // 10 min
    window.show();
    const auto run = [&](qint64 from, qint64 to) {
        for (qint64 t = from; t < to; t += second) {
            live.appendSet(t);
            live.setSample(live.moduleIndex(QStringLiteral("A")), at(100, float(t % 7000) / 1000));
            live.setSample(live.moduleIndex(QStringLiteral("B")), at(200, 3));
            window.liveSetAppended();
        }
    };
    const qint64 start = 1'000'000 * second;
    run(start, start + 1800 * second);
    auto *bar = window.findChild<QScrollBar *>(QStringLiteral("timeScrollBar"));
    QCOMPARE(bar->maximum(), 1799);
    QCOMPARE(bar->value(), bar->maximum());
    HistorySectionView *section = window.sectionView();
    QVERIFY(section->endTime() > start + 1799 * second);

    bar->setValue(900);
    QVERIFY(!section->isFollowing() && !window.seriesView()->isFollowing());
    QVERIFY(std::abs(section->endTime() - (start + 900 * second)) < 2 * second);
    const QImage back = section->plotImage();
    run(start + 1800 * second, start + 1900 * second);
    QCOMPARE(section->plotImage(), back);
    QCOMPARE(bar->value(), 900);

    bar->setValue(bar->maximum());
    QVERIFY(section->isFollowing());
    QVERIFY(section->endTime() > start + 1899 * second);
}

void TestHistory::drawsWhenShownAndReadsTheCursor()
{
    SoundingHistory live;
    HistoryWindow window(&live);
    window.resize(900, 600);
    const qint64 start = 1'000'000 * second;
    for (qint64 t = start; t < start + 100 * second; t += second) {
        live.appendSet(t);
        live.setSample(live.moduleIndex(QStringLiteral("A")), at(100, 10));
        live.setSample(live.moduleIndex(QStringLiteral("B")), at(300, 30));
        window.liveSetAppended();
    }
    // Hidden, the window drew nothing; shown, it draws all there is.
    HistorySectionView *section = window.sectionView();
    QVERIFY(section->plotImage().isNull() || section->colourAt(start + 99 * second, 200) == qRgb(255, 255, 255));
    window.show();
    QVERIFY(near(section->colourAt(start + 99 * second, 200), section->colourOf(20)));

    const QRect plot = section->plotRect();
    QMouseEvent move(QEvent::MouseMove, QPointF(plot.right(), plot.center().y()), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(section, &move);
    const QString cursor = window.findChild<QLabel *>(QStringLiteral("cursorLabel"))->text();
    QVERIFY2(cursor.startsWith(HistoryView::timeText(start + 99 * second).left(5))
                 && cursor.endsWith(QStringLiteral("200 m: 20.0 deg C")),
             qPrintable(cursor));
    QVERIFY(section->readout(QPoint(plot.right(), plot.top() + 1)).endsWith(QStringLiteral("no data")));
    QVERIFY(section->readout(QPoint(plot.left() - 5, plot.center().y())).isEmpty());
}

void TestHistory::colourMapsRunEvenly()
{
    // The sequential map grows lighter at every step, so it reads in grey too; the diverging one
    // is white in the middle and equally dark at both ends.
    const HistoryColourMap sequential(HistoryColourMap::Sequential);
    for (int i = 1; i <= 32; ++i)
        QVERIFY(luma(sequential.at(i / 32.0)) > luma(sequential.at((i - 1) / 32.0)));
    const HistoryColourMap diverging(HistoryColourMap::Diverging);
    QVERIFY(luma(diverging.at(0.5)) > 240 * 1000);
    QVERIFY(std::abs(luma(diverging.at(0)) - luma(diverging.at(1))) < 30 * 1000);
    for (int i = 1; i <= 16; ++i) {
        QVERIFY(luma(diverging.at(0.5 + i / 32.0)) < luma(diverging.at(0.5 + (i - 1) / 32.0)));
        QVERIFY(luma(diverging.at(0.5 - i / 32.0)) < luma(diverging.at(0.5 - (i - 1) / 32.0)));
    }
    QVERIFY(qBlue(diverging.at(0)) > qRed(diverging.at(0)) && qRed(diverging.at(1)) > qBlue(diverging.at(1)));
}

VENTROLLA_GUI_TEST_MAIN(TestHistory)
#include "tst_History.moc"
