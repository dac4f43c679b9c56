// Draws the History window of simulated soundings into PNG files, without a display:
//     ventrolla-history-pictures [output folder]
// writes history-night.png (a night of eight modules from 40 to 460 m above the site: the
// inversion forms after sunset and breaks in the morning; one module silent for half an hour)
// and history-log.png (the window on a past six-hour log) into the folder (default: the current
// one).

#include "Atmosphere.h"
#include "SimulatedSounding.h"
#include "core/SoundingHistory.h"
#include "graph/HistoryWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qint64 hour = 3600 * 1000;

bool save(QWidget &window, const QString &path)
{
    QCoreApplication::processEvents();
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot make the folder %s\n", qPrintable(folder.path()));
        return 1;
    }

    // A site 1000 m up at 8 degrees east: solar time is half an hour ahead of UTC.
    const Atmosphere atmosphere(1000.0, 47.0, 8.0, 7);
    const SimulatedSounding sounding(atmosphere, 8, 40.0, 60.0);
    const qint64 evening = QDateTime(QDate(2026, 6, 20), QTime(17, 0), Qt::UTC).toMSecsSinceEpoch();

    SoundingHistory night;
    const qint64 silentFrom = evening + 8 * hour;
    for (qint64 t = evening; t < evening + 16 * hour; t += 10 * 1000) {
        night.appendSet(t);
        for (int m = 0; m < 8; ++m) {
            if (m == 3 && t >= silentFrom && t < silentFrom + hour / 2)
                continue;
            night.setSample(night.moduleIndex(sounding.moduleId(m)), sounding.sample(m, t));
        }
    }
    HistoryWindow window(&night);
    window.resize(1100, 760);
    window.findChild<QComboBox *>(QStringLiteral("spanBox"))->setCurrentIndex(3);
    window.show();
    if (!save(window, folder.filePath(QStringLiteral("history-night.png"))))
        return 1;

    QTemporaryDir temporary;
    const QString log = temporary.filePath(QStringLiteral("afternoon.csv"));
    const qint64 noon = QDateTime(QDate(2026, 6, 21), QTime(11, 0), Qt::UTC).toMSecsSinceEpoch();
    if (!sounding.writeLog(log, noon, noon + 6 * hour, 5000)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(log));
        return 1;
    }
    QEventLoop loop;
    QObject::connect(&window, &HistoryWindow::logLoaded, &loop, &QEventLoop::quit);
    if (!window.openLogs({log}))
        return 1;
    if (window.isLoading())
        loop.exec();
    window.findChild<QComboBox *>(QStringLiteral("quantityBox"))->setCurrentIndex(4);
    return save(window, folder.filePath(QStringLiteral("history-log.png"))) ? 0 : 1;
}
