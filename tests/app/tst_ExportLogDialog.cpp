// "Export Log..." in the main window's Log menu and the dialog it opens: the export runs from
// the event loop with progress, reports its result or error in a box, and closing the dialog
// mid-way leaves no file.

#include "ModalAnswer.h"
#include "TestSupport.h"

#include "app/ExportLogDialog.h"
#include "app/MainWindow.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QByteArray group =
    ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (m/s),Supply (V),UTC Time,"
    "Latitude (deg),Longitude (deg),Course (deg),Speed (m/s)";

// A log long enough to take many slices of the event loop.
QString writeLog(const QString &path, int lines)
{
    QByteArray log = "Ventrolla log file\nDate 3/09/2024\n\nTime,Comment" + group + "\n";
    for (int i = 0; i < lines; ++i) {
        log += QTime(10, 0).addSecs(i).toString("hh:mm:ss").toLatin1()
               + ",,M1,100.0,990.0,12.5,60.0,180,4.0,3.30,09:00:00,,,,\n";
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(log);
    return path;
}

QMessageBox *shownBox(QWidget &parent)
{
    for (QMessageBox *box : parent.findChildren<QMessageBox *>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

class TestExportLogDialog : public QObject
{
    Q_OBJECT

private slots:
    void logMenuEndsWithExport();
    void exportsFromTheEventLoop_data();
    void exportsFromTheEventLoop();
    void closingAbandonsTheExport();

private:
    QTemporaryDir dir;
};

void TestExportLogDialog::logMenuEndsWithExport()
{
    answerModal([](QWidget *setup) { clickButton(setup, QDialogButtonBox::Ok); });
    MainWindow window;
    auto *menu = window.findChild<QMenu *>(QStringLiteral("menu_Log"));
    QStringList entries;
    for (QAction *action : menu->actions())
        entries << action->text().remove('&');
    QCOMPARE(entries, (QStringList{"Begin", "Comment", "Pause", "Stop", "Export Log..."}));
    menu->actions().last()->trigger();
    auto *dialog = window.findChild<ExportLogDialog *>();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
}

void TestExportLogDialog::exportsFromTheEventLoop_data()
{
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");

    QTest::newRow("netcdf") << "long" << "out.nc" << true << "3000 data sets exported to";
    QTest::newRow("table") << "long" << "out.csv" << true << "3000 data sets exported to";
    QTest::newRow("foreign file") << "foreign" << "bad.nc" << false << "not a Ventrolla log";
    QTest::newRow("unwritable") << "long" << "no/such/folder/out.nc" << false << "cannot write";
}

void TestExportLogDialog::exportsFromTheEventLoop()
{
    QFETCH(QString, log);
    QFETCH(QString, target);
    QFETCH(bool, success);
    QFETCH(QString, message);

    QWidget parent;
    ExportLogDialog dialog(&parent);
    const QString logPath = dir.filePath(log + ".csv");
    if (log == QLatin1String("long"))
        writeLog(logPath, 3000);
    else
        QFile(logPath).open(QIODevice::WriteOnly);
    dialog.setLogFiles({logPath});
    dialog.setTarget(dir.filePath(target));
    dialog.show();
    QSignalSpy finished(&dialog, &ExportLogDialog::exportFinished);
    auto *progress = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    int progressSeen = 0;
    connect(progress, &QProgressBar::valueChanged, [&](int value) {
        if (value > 0 && value < progress->maximum())
            ++progressSeen;
    });

    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    // The click returns at once: the work is done in slices from the event loop.
    QVERIFY(dialog.isExporting());
    QVERIFY(finished.isEmpty());
    QVERIFY(TestSupport::waitUntil([&] { return !finished.isEmpty(); }, 20000));
    QCOMPARE(finished.first().at(0).toBool(), success);
    QVERIFY2(finished.first().at(1).toString().contains(message), qPrintable(finished.first().at(1).toString()));
    if (success)
        QVERIFY(progressSeen > 1);
    QMessageBox *box = shownBox(dialog);
    QVERIFY(box);
    QCOMPARE(box->icon(), success ? QMessageBox::Information : QMessageBox::Warning);
    QCOMPARE(box->text(), finished.first().at(1).toString());
    QCOMPARE(QFile::exists(dir.filePath(target)), success);
    box->close();
}

void TestExportLogDialog::closingAbandonsTheExport()
{
    ExportLogDialog dialog;
    dialog.setLogFiles({writeLog(dir.filePath("abandoned.csv"), 20000)});
    dialog.setTarget(dir.filePath("abandoned.nc"));
    dialog.show();
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QTest::qWait(20);
    QVERIFY(dialog.isExporting());
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close)->click();
    QVERIFY(!dialog.isExporting());
    QCOMPARE(QDir(dir.path()).entryList({"abandoned*"}), QStringList{"abandoned.csv"});
}

VENTROLLA_GUI_TEST_MAIN(TestExportLogDialog)
#include "tst_ExportLogDialog.moc"
