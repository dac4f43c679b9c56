// The main window: the model it builds from the set-up dialog, its actions and status bar in
// every state, the acquire, log comment and high-wind dialogs, the alert's box and sound, the
// messages it asks the user to answer, and how its module table repaints.

#include "ModalAnswer.h"
#include "ModelHarness.h"
#include "TestSupport.h"

#include "app/AcquireDialog_DynamicAltitude.h"
#include "app/MainWindow.h"
#include "app/ModuleTableView.h"
#include "app/SetupDialog.h"
#include "config/ModuleConfigWindow.h"
#include "core/Model.h"
#include "config/State_CalibrationDelay.h"
#include "core/State_Acquiring.h"
#include "core/State_Running.h"
#include "core/State_Starting.h"
#include "core/State_Stopped.h"
#include "core/State_Stopping.h"
#include "core/State_Unacquired.h"
#include "core/State_Unconfigured.h"
#include "graph/HistoryWindow.h"
#include "graph/AxisFitter.h"
#include "graph/DataGraphScene.h"
#include "graph/DataMarker.h"
#include "graph/GraphAxisModel.h"
#include "link/State_Configuring.h"
#include "link/FlightModule.h"
#include "output/HighWindAlertService.h"
#include "output/LogFile.h"

#include <QTcpServer>
#include <QtTest>
#include <QtWidgets>

#include <memory>

namespace {

std::unique_ptr<MainWindow> openWindow()
{
    answerModal([](QWidget *setup) { clickButton(setup, QDialogButtonBox::Ok); });
    return std::make_unique<MainWindow>();
}

Model *modelOf(MainWindow &window) { return window.findChild<Model *>(); }
QString labelText(MainWindow &window, const char *name) { return window.findChild<QLabel *>(name)->text(); }
QAction *action(MainWindow &window, const char *name) { return window.findChild<QAction *>(name); }

QImage ledOf(MainWindow &window, const char *name = "stateLed")
{
    return window.findChild<QLabel *>(QLatin1String(name))->pixmap(Qt::ReturnByValue).toImage();
}

QImage ledImage(const QString &colour)
{
    return QPixmap(QStringLiteral(":/leds/resource/led_%1.png").arg(colour)).toImage();
}

// The newest of the warning boxes that do not hold the event loop.
QMessageBox *shownBox(MainWindow &window)
{
    QMessageBox *shown = nullptr;
    for (QMessageBox *box : window.findChildren<QMessageBox *>())
        shown = box->isVisible() ? box : shown;
    return shown;
}

// Values that change silently and are then announced as a range without the last column, as
// the module table announces its refreshes.
class QuietTable : public QAbstractTableModel
{
public:
    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : cells.size(); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? cells[index.row()][index.column()] : QVariant();
    }
    void announce() { emit dataChanged(index(0, 0), index(rowCount() - 1, 1)); }

    QVector<QStringList> cells{{"SND1", "1013.2", "xdata=1"}, {"SND2", "998.7", "xdata=2"}};
};

// What the window shows of the table, and what the table would paint now.
QImage onScreen(ModuleTableView &view)
{
    const auto *window = static_cast<QImage *>(view.backingStore()->paintDevice());
    const QRect area(view.viewport()->mapTo(&view, QPoint(0, 0)), view.viewport()->size());
    return window->copy(area).convertToFormat(QImage::Format_RGB32);
}

QImage current(ModuleTableView &view)
{
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestMainWindow : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void setupDecidesTheModel_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<int>("windUnits");
        QTest::addColumn<int>("groundElevation");
        QTest::addColumn<int>("fieldSelection");
        QTest::newRow("first start") << QVariantMap() << 0 << 0 << 0xE4;
        QTest::newRow("ground at 250 m") << QVariantMap{{"relativeAltitude", true}, {"groundElevation", 250}} << 0
                                         << 250 << 0xE4;
        QTest::newRow("sea level, 250 m kept") << QVariantMap{{"relativeAltitude", false}, {"groundElevation", 250}}
                                               << 0 << 0 << 0xE4;
        QTest::newRow("unknown units are knots") << QVariantMap{{"windUnits", 2}} << 0 << 0 << 0xE4;
        QTest::newRow("m/s and latitude") << QVariantMap{{"windUnits", 1}, {"latitude", true}} << 1 << 0 << 0xF4;
        QTest::newRow("all GPS fields") << QVariantMap{{"longitude", true}, {"course", true}, {"speed", true},
                                                       {"latitude", true}} << 0 << 0 << 0xFF;
    }

    void setupDecidesTheModel()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(int, windUnits);
        QFETCH(int, groundElevation);
        QFETCH(int, fieldSelection);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QSettings().setValue(QStringLiteral("SetupDialog/") + it.key(), it.value());
        auto window = openWindow();
        Model *model = modelOf(*window);
        QCOMPARE(model->windUnits(), windUnits);
        QCOMPARE(model->groundElevation(), groundElevation);
        QCOMPARE(int(model->fieldSelection()), fieldSelection);
        QCOMPARE(model->configMode(), 0);
        QCOMPARE(labelText(*window, "unitLabel"), QString(windUnits ? "m/s" : "Knots")); // of the alert threshold
        auto *setup = window->findChild<SetupDialog *>();
        QCOMPARE(setup->findChild<QSpinBox *>(QStringLiteral("elevation"))->isEnabled(),
                 stored.value(QStringLiteral("relativeAltitude")).toBool());
        QCOMPARE(window->size(), QSize(600, 500));
        QCOMPARE(window->pos(), QPoint(200, 200));
        window->move(150, 120);
        window->resize(700, 450);
        window.reset();

        QSettings settings;
        QCOMPARE(settings.allKeys().filter(QStringLiteral("SetupDialog/")).size(), 7); // every choice written back
        QCOMPARE(settings.value(QStringLiteral("SetupDialog/windUnits")).toInt(), windUnits);
        QCOMPARE(settings.value(QStringLiteral("SetupDialog/groundElevation")).toInt(),
                 stored.value(QStringLiteral("groundElevation"), 0).toInt());
        QCOMPARE(QRect(settings.value(QStringLiteral("MainWindow/pos")).toPoint(),
                       settings.value(QStringLiteral("MainWindow/size")).toSize()), QRect(150, 120, 700, 450));
    }

    void actionsAndStatusFollowTheState_data()
    {
        // The row's name is the state (with a module in the table from Stopped on), and whether
        // modules are saved or the alert armed. Enabled: Acquire, Run, Stop, Data Interval, Acquire
        // and Configure, Reset, Load Saved, Clear Saved, Activate, Deactivate.
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("status"); // the colour of the light, then the text
        QTest::newRow("unconfigured") << "1001100010" << "grey Not Ready";
        QTest::newRow("unconfigured, saved") << "1001100110" << "grey Not Ready";
        QTest::newRow("configuring") << "0000000010" << "grey Not Ready";
        QTest::newRow("unacquired, saved") << "1000101110" << "grey Not Ready";
        QTest::newRow("acquiring") << "0000000010" << "grey Not Ready";
        QTest::newRow("stopped") << "1101110010" << "red Stopped";
        QTest::newRow("stopped, armed") << "1101110001" << "red Stopped";
        QTest::newRow("starting") << "0000000010" << "yellow Starting";
        QTest::newRow("running") << "0010000010" << "green Running";
        QTest::newRow("stopping") << "0000000010" << "yellow Stopping";
    }

    void actionsAndStatusFollowTheState()
    {
        QFETCH(QString, enabled);
        QFETCH(QString, status);
        const QString row = QString::fromLatin1(QTest::currentDataTag());
        const QString state = row.section(',', 0, 0);
        if (row.endsWith(QLatin1String("saved")))
            QSettings().setValue(QStringLiteral("FlightModuleList/records"), savedRecord("SND1", 0x0013A20000000001));
        auto window = openWindow();
        Model *model = modelOf(*window);
        QCOMPARE(labelText(*window, "intervalText"), QStringLiteral("Interval: 2 seconds"));
        if (QStringList({"stopped", "starting", "running", "stopping"}).contains(state))
            model->appendModule(new FlightModule(0x0013A20000000100, 0, 0));
        model->setHighWindAlertActive(row.endsWith(QLatin1String("armed")));
        const Model::States &states = model->states();
        for (State *candidate : QList<State *>{states.unconfigured, states.configuring, states.unacquired,
                                               states.acquiring, states.stopped, states.starting, states.running,
                                               states.stopping}) {
            if (model->stateName(candidate).compare(state, Qt::CaseInsensitive) == 0)
                candidate->enter();
        }
        QCOMPARE(model->stateName(model->currentState()).toLower(), state);
        QString actual;
        for (const char *name : {"action_Acquire", "action_Run", "action_Stop", "actionData_Interval",
                                 "action_Module_Config", "actionReset", "actionLoad_Saved_Modules",
                                 "actionClear_Saved_Modules", "actionActivate_High_Wind", "actionDeactivate_High_Wind"})
            actual += action(*window, name)->isEnabled() ? '1' : '0';
        QCOMPARE(actual, enabled);
        QCOMPARE(labelText(*window, "stateText"), status.section(' ', 1));
        QCOMPARE(ledOf(*window), ledImage(status.section(' ', 0, 0)));
    }

    void acquireDialogFollowsAcquisition()
    {
        auto window = openWindow();
        Model *model = modelOf(*window);
        auto *dialog = window->findChild<AcquireDialog_DynamicAltitude *>();
        QVERIFY(!dialog->isVisible());
        model->states().acquiring->enter();
        QVERIFY(dialog->isVisible());
        auto *table = dialog->findChild<QTableView *>(QStringLiteral("tableView"));
        QVERIFY(!table->isColumnHidden(0) && table->isColumnHidden(1) && table->isColumnHidden(13));

        // Acquisition for the configuration window is not this dialog's.
        for (const int mode : {1, 0}) {
            model->setConfigMode(mode);
            model->emitStatusChanged();
            QCOMPARE(dialog->isVisible(), mode == 0);
        }

        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!model->isAcquiring() && !dialog->isVisible());
    }

    // Begin, pause and stop a log from the Log menu, its panel and actions at each step; comments
    // from their dialog, which shows the log's comment again at each change of the log's state;
    // the log-close question before acquiring, answered both ways; the settings of the tabs and
    // the log folder.
    void logMenuAndPanel()
    {
        auto window = openWindow();
        window->show();
        Model *model = modelOf(*window);
        auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("graphTabs"));
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0) + tabs->tabText(1) + tabs->tabText(2), QStringLiteral("ModulePressureAltitude"));
        QCOMPARE(tabs->currentIndex(), 0);
        for (int tab = 0; tab < 3; ++tab)
            QVERIFY(static_cast<QGraphicsView *>(tabs->widget(tab))->scene());
        model->appendModule(new FlightModule(0x0013A20000000100, 0, 0));
        model->states().stopped->enter();

        const auto logState = [&] {
            QString enabled;
            for (const char *name : {"action_Begin_Logging", "action_Comment", "action_Pause_Log",
                                     "action_Stop_Logging"})
                enabled += action(*window, name)->isEnabled() ? '1' : '0';
            return enabled + (action(*window, "action_Pause_Log")->isChecked() ? " checked " : " ")
                   + labelText(*window, "logText");
        };
        QCOMPARE(logState(), QStringLiteral("1000 Log Stopped"));
        QCOMPARE(ledOf(*window, "logLed"), ledImage(QStringLiteral("red")));

        const QString folder = TestSupport::sandboxPath();
        answerModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            // Typed into the name field: selectFile() leaves that field alone once it has the focus.
            dialog->setDirectory(folder);
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("sounding"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        action(*window, "action_Begin_Logging")->trigger();
        QVERIFY(QFile::exists(folder + QStringLiteral("/sounding.csv")));
        QCOMPARE(logState(), QStringLiteral("0111 Logging"));
        QCOMPARE(ledOf(*window, "logLed"), ledImage(QStringLiteral("green")));
        auto *log = window->findChild<LogFile *>();
        auto *comment = window->findChild<QLineEdit *>(QStringLiteral("Comment"));
        auto *repeating = window->findChild<QRadioButton *>(QStringLiteral("RepeatingComment"));
        answerModal([&](QWidget *dialog) {
            comment->setText(QStringLiteral("gusty,\tlow cloud"));
            repeating->setChecked(true);
            clickButton(dialog, QDialogButtonBox::Ok);
        });
        action(*window, "action_Comment")->trigger();
        QVERIFY(log->isCommentRepeating());
        action(*window, "action_Pause_Log")->trigger();
        QCOMPARE(logState(), QStringLiteral("0111 checked Log Paused"));
        QCOMPARE(ledOf(*window, "logLed"), ledImage(QStringLiteral("yellow")));
        QCOMPARE(comment->text(), QStringLiteral("gusty  low cloud")); // one field, as logged
        answerModal([&](QWidget *dialog) {
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("ClearButton")), Qt::LeftButton);
            QTest::keyClicks(comment, QStringLiteral("launch"));
            clickButton(dialog, QDialogButtonBox::Ok);
        });
        action(*window, "action_Comment")->trigger();
        QCOMPARE(log->comment(), QStringLiteral("launch"));

        MessageSeen seen;
        for (const auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            answerMessage(seen, answer);
            action(*window, "action_Acquire")->trigger();
            QCOMPARE(seen.title, QStringLiteral("Close log file?"));
            QCOMPARE(seen.text, QStringLiteral("The current operation requires closing the current log file. Ok to "
                                               "continue?"));
            QCOMPARE(seen.defaultButton, QMessageBox::Cancel);
            // Cancel starts nothing; Ok closes the log and acquires.
            QCOMPARE(model->isStarting(), answer == QDialogButtonBox::Ok);
        }
        QCOMPARE(logState(), QStringLiteral("1000 Log Stopped"));
        QVERIFY(comment->text().isEmpty() && !repeating->isChecked());

        tabs->setCurrentIndex(2);
        window.reset();
        QSettings settings;
        QCOMPARE(settings.value(QStringLiteral("MainWindow/activeTab")).toInt(), 2);
        QCOMPARE(settings.value(QStringLiteral("LogFile/directory")).toString(), QDir(folder).absolutePath());
    }

    // The two fitting entries end the Graph menu. Switched on while the modules run, the automatic
    // fit widens the axes of the graph in view when a module leaves them, at most once a second,
    // and never narrows them; Fit Axes to Data narrows. The choice is kept.
    void graphMenuFitsTheAxes()
    {
        auto window = openWindow();
        QStringList entries;
        for (QAction *entry : window->findChild<QMenu *>(QStringLiteral("menu_Graph"))->actions())
            entries.append(entry->text());
        QCOMPARE(entries, QStringList({"&Independent Axes", "&Dependent Axes", "", "Fit Axes to Data",
                                       "Fit Axes Automatically", "", "&History..."}));
        QAction *automatic = action(*window, "actionFit_Axes_Automatically");
        QVERIFY(automatic->isCheckable() && !automatic->isChecked());

        Model *model = modelOf(*window);
        qint64 now = 0;
        model->setClock([&now] { return now; });
        auto *axes = window->findChild<GraphAxisModel *>();
        const auto axisText = [axes](int id) { return axes->axis(id).toString().section(',', 0, 1); };
        GraphAxis temperature = axes->axis(3);
        temperature.setRange(-100, 100);
        temperature.setIntervals(5);
        axes->setAxis(3, temperature);
        for (const char *module : {"A;100;1004;14.6;50;0;3", "B;650;990;2.5;50;0;18", "C;300;1001;9;50;0;11"})
            model->appendModule(new FlightModule(QString::fromLatin1(module) + ";3.30;12:00:00;;;;;;1;0;156;80;0", 0));
        const auto climb = [model](int altitude) {
            ModuleBytes::DataFields d;
            d.flags = 0xE4;
            d.altitude = altitude;
            model->moduleList().module(1)->processPayload(ModuleBytes::data(d));
            model->moduleList().refreshRecords();
            model->refreshTable();
        };
        auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("graphTabs"));
        tabs->setCurrentIndex(2);
        model->states().running->enter();

        automatic->trigger();
        QCOMPARE(axisText(-1) + ' ' + axisText(3), QStringLiteral("0,1000 -100,100"));
        auto *fitter = window->findChild<AxisFitter *>();
        auto *held = fitter->findChild<QTimer *>(QStringLiteral("heldFit"));
        now = 400;
        climb(1200);
        QVERIFY(held->isActive() && held->interval() == 600);
        QCOMPARE(axisText(-1), QStringLiteral("0,1000"));
        QMetaObject::invokeMethod(fitter, "fitHeld");
        QCOMPARE(axisText(-1), QStringLiteral("0,2500"));
        climb(200);
        QCOMPARE(axisText(-1), QStringLiteral("0,2500"));
        action(*window, "actionFit_Axes_to_Data")->trigger();
        QCOMPARE(axisText(-1) + ' ' + axisText(3), QStringLiteral("0,500 5,30"));

        // Out of sight while a module climbs and its axis changes, the altitude graph draws both
        // once its tab is shown again.
        tabs->setCurrentIndex(0);
        climb(450);
        GraphAxis altitude = axes->axis(-1);
        altitude.setRange(0, 900);
        axes->setAxis(-1, altitude);
        tabs->setCurrentIndex(2);
        const auto *graph = static_cast<DataGraphScene *>(static_cast<QGraphicsView *>(tabs->widget(2))->scene());
        QCOMPARE(graph->markers(3)[1]->pos().y(), 0.5 * graph->plotHeight());

        // In sight, the graph takes a report in at the window's next frame, not before; its
        // item lists hand the items out as the rows stand.
        const DataMarker *marker = graph->markers(3)[1];
        climb(800);
        QCOMPARE(marker->pos().y(), 0.5 * graph->plotHeight());
        const auto placed = [&](double metres) {
            altitude = axes->axis(-1);
            return (altitude.maximum() - metres) / (altitude.maximum() - altitude.minimum())
                   * graph->plotHeight();
        };
        QTRY_VERIFY(qAbs(marker->pos().y() - placed(800)) < 1e-9);
        climb(600);
        QVERIFY(qAbs(graph->markers(3)[1]->pos().y() - placed(600)) < 1e-9);

        window.reset();
        QVERIFY(QSettings().value(QStringLiteral("MainWindow/fitAxesAutomatically")).toBool());
        window = openWindow();
        QVERIFY(action(*window, "actionFit_Axes_Automatically")->isChecked());
    }

    // The threshold dialog offers a cancelled value again. The alert sounds (silently, without an
    // audio device) and its box names the threshold, is not refreshed while shown, and its OK or
    // closing it disarms the alert. A failed log write and a lost base station are told at once
    // (without holding the data coming in: an answer is not needed for the test to go on).
    void alertAndWarnings()
    {
        auto window = openWindow();
        window->show();
        Model *model = modelOf(*window);
        auto *threshold = window->findChild<QSpinBox *>(QStringLiteral("userInput"));
        for (const auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            answerModal([&](QWidget *dialog) {
                threshold->setValue(threshold->value() + 5);
                clickButton(dialog, answer);
            });
            action(*window, "actionSet_Threshold_High_Wind")->trigger();
            QCOMPARE(model->highWindThreshold(), answer == QDialogButtonBox::Ok ? 20 : 10);
        }
        auto *sound = window->findChild<HighWindAlertService *>();
        action(*window, "actionActivate_High_Wind")->trigger();
        QVERIFY(model->isHighWindAlertActive() && !sound->isAlerting());
        model->emitHighWindAlert(22);
        QMessageBox *alert = shownBox(*window);
        QVERIFY(alert && !alert->isModal() && alert->icon() == QMessageBox::Warning && alert->buttons().size() == 1);
        QCOMPARE(alert->windowTitle(), QStringLiteral("High Wind Alert!"));
        QCOMPARE(alert->text(), QStringLiteral("Wind speeds greater than 20 knots were detected!"));
        QTest::qWait(50); // the player's own events: no device, no codec
        QVERIFY(QMetaObject::invokeMethod(sound, "onTimer") && sound->isAlerting()); // the 600 ms repeat
        model->setHighWindThreshold(30);
        model->emitHighWindAlert(35);
        QCOMPARE(alert->text(), QStringLiteral("Wind speeds greater than 20 knots were detected!"));
        alert->button(QMessageBox::Ok)->click();
        QVERIFY(!model->isHighWindAlertActive() && !alert->isVisible() && !sound->isAlerting());
        QVERIFY(action(*window, "actionActivate_High_Wind")->isEnabled());
        action(*window, "actionActivate_High_Wind")->trigger();
        model->emitHighWindAlert(35);
        QVERIFY(alert->isVisible() && alert->close() && !model->isHighWindAlertActive());

        auto *log = window->findChild<LogFile *>();
        QVERIFY(log->begin(TestSupport::sandboxPath() + QStringLiteral("/full.csv")));
        emit log->writeFailed(QStringLiteral("No space left on device"));
        QMessageBox *box = shownBox(*window);
        QVERIFY(box && box->text().count(QStringLiteral("full.csv")) == 1
                && box->text().contains(QStringLiteral("No space left on device"))
                && box->text().contains(QStringLiteral("new log")));
        box->close();

        // A port lost while the base station is configured: one box, the lost base station with
        // its port, not a failed configuration first.
        PseudoTerminal pty;
        QVERIFY(pty.open() && model->setPortName(pty.slavePath()) && model->openPort());
        QVERIFY(model->isConfiguring());
        QSignalSpy lost(model, &Model::baseStationLost);
        MessageSeen seen;
        QPointer<QTimer> answer = answerMessage(seen, QDialogButtonBox::Ok);
        pty.closeMaster();
        QVERIFY(lost.wait(2000));
        QTRY_VERIFY(!seen.title.isEmpty());
        QCOMPARE(seen.title, QStringLiteral("Base station lost"));
        QVERIFY2(seen.text.contains(pty.slavePath().section(QLatin1String("/dev/"), 1)), qPrintable(seen.text));
        QTest::qWait(20);
        QVERIFY(!shownBox(*window) && !answer);
        action(*window, "actionActivate_High_Wind")->trigger();
        model->emitHighWindAlert(35);
        QVERIFY(sound->isAlerting()); // and the window goes while it sounds
    }

    // While the configuration window is open it has the modules: the main window's module
    // commands stay disabled whatever the state allows, until the window closes. Quitting
    // closes it too, whatever it is doing.
    void configurationWindowTakesTheModules()
    {
        auto window = openWindow();
        window->show();
        Model *model = modelOf(*window);
        auto *config = window->findChild<ModuleConfigWindow *>();
        model->appendModule(new FlightModule(0x0013A20000000100, 0, 0));
        model->states().stopped->enter();
        QVERIFY(action(*window, "action_Run")->isEnabled());

        action(*window, "action_Module_Config")->trigger();
        QVERIFY(config->isVisible());
        QCOMPARE(model->configMode(), 1);
        model->emitStatusChanged();
        for (const char *name : {"action_Acquire", "action_Run", "actionData_Interval",
                                 "action_Module_Config", "actionReset"})
            QVERIFY2(!action(*window, name)->isEnabled(), name);
        QVERIFY(action(*window, "action_Begin_Logging")->isEnabled());

        config->close();
        QCOMPARE(model->configMode(), 0);
        QVERIFY(action(*window, "action_Run")->isEnabled());

        action(*window, "action_Module_Config")->trigger();
        model->states().calibrationDelay->enter(); // a flow the window will not leave
        config->close();
        QVERIFY(config->isVisible());
        MessageSeen seen;
        answerMessage(seen, QDialogButtonBox::Ok);
        window->close();
        QVERIFY(!config->isVisible() && !window->isVisible());
    }

    void historyKeepsTheSounding()
    {
        auto window = openWindow();
        window->show();
        Model *model = modelOf(*window);
        auto *history = window->findChild<HistoryWindow *>();
        const QList<QAction *> graphMenu = window->findChild<QMenu *>("menu_Graph")->actions();
        QVERIFY(graphMenu.indexOf(action(*window, "action_History"))
                > graphMenu.indexOf(window->findChild<QMenu *>("menu_Dependent_Axes")->menuAction()));
        action(*window, "action_History")->trigger();
        QVERIFY(history->isVisible() && history->isShowingLive());

        model->appendModule(new FlightModule(0x0013A20000000100, 0, 0));
        const QDateTime first = QDateTime::currentDateTime();
        model->emitDataSetReady(first);
        model->emitDataSetReady(first.addSecs(1));
        const QString title = history->findChild<QLabel *>("titleLabel")->text();
        QVERIFY2(title.endsWith(first.addSecs(1).toString("yyyy-MM-dd HH:mm:ss")), qPrintable(title));
        model->states().acquiring->enter();
        QVERIFY(history->findChild<QLabel *>("titleLabel")->text().endsWith("no data yet"));
    }

    void messagesToTheUser()
    {
        auto window = openWindow();
        window->show();
        Model *model = modelOf(*window);
        MessageSeen seen;

        // A port that cannot be opened.
        answerModal([&seen](QWidget *portDialog) {
            auto *entry = portDialog->findChild<QLineEdit *>(QStringLiteral("portEntry"));
            entry->clear();
            QTest::keyClicks(entry, QStringLiteral("/nonexistent/ttyVENTROLLA"));
            answerMessage(seen, QDialogButtonBox::Ok);
            clickButton(portDialog, QDialogButtonBox::Ok);
        });
        action(*window, "action_Acquire")->trigger();
        QCOMPARE(seen.title, QStringLiteral("Warning"));
        QCOMPARE(seen.text, QStringLiteral("Could not open serial port."));
        QVERIFY(model->canOpenPort());

        // One second: no GPS fields. Two seconds: no warning.
        for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Down}) {
            seen = MessageSeen();
            QTimer *warning = nullptr;
            answerModal([&](QWidget *timing) {
                QTest::keyClick(timing->findChild<QComboBox *>(QStringLiteral("interval")), key);
                warning = answerMessage(seen, QDialogButtonBox::Ok);
                clickButton(timing, QDialogButtonBox::Ok);
            });
            action(*window, "actionData_Interval")->trigger();
            const QString gpsWarning = QStringLiteral("Modules will not send latitude, longitude, course or speed GPS "
                                                      "data when an interval of one second is used.");
            QCOMPARE(seen.text, key == Qt::Key_Home ? gpsWarning : QString());
            delete warning;
        }
        QCOMPARE(model->dataInterval(), 2);

        // Quitting: Cancel keeps the window, Ok closes it.
        const QString question = QStringLiteral("Quitting requires that all flight modules be\r\npowered off before "
                                                "the system can be run again.\r\nReally Quit?");
        for (const auto answer : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
            answerMessage(seen, answer);
            action(*window, "action_Exit")->trigger();
            QCOMPARE(seen.title, QStringLiteral("Quit Ventrolla?"));
            QCOMPARE(seen.text, question);
            QCOMPARE(seen.defaultButton, QMessageBox::Cancel);
            QCOMPARE(window->isVisible(), answer == QDialogButtonBox::Cancel);
        }
    }

    // The module table repaints what changed although the model announces whole rows, including a
    // column the announcement leaves out, and widens a column for a longer text.
    void showsWhatTheModelHolds_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("same form") << 0 << 1 << "1009.8";
        QTest::newRow("longer") << 1 << 1 << "1234567.8";
        QTest::newRow("left out of the announcement") << 1 << 2 << "xdata=wind 7";
    }

    void showsWhatTheModelHolds()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        QuietTable table;
        ModuleTableView view;
        view.setModel(&table);
        view.horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        view.resize(420, 160);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        table.announce();
        QTRY_COMPARE(onScreen(view), current(view));
        const int width = view.columnWidth(column);

        table.cells[row][column] = text;
        table.announce();
        QTRY_COMPARE(onScreen(view), current(view));
        if (text.size() > 8)
            QVERIFY(view.columnWidth(column) > width);
    }

    // The table's own painting of a cell gives the style's pixels, for the plain cells it paints
    // itself and for those it leaves to the style (cut short, selected, with spaces).
    void paintsCellsAsTheStyleDoes()
    {
        QStandardItemModel cells(3, 4);
        const QStringList texts = {"SND1", "1013.2", "-12.75", "12:00:05", "4.15", "",
                                   "xdata=wind 7", "a text far too long for its cell", "998.7",
                                   "0", "47.123456", "right"};
        for (int i = 0; i < texts.size(); ++i)
            cells.setItem(i / 4, i % 4, new QStandardItem(texts[i]));
        cells.item(2, 3)->setTextAlignment(Qt::AlignRight | Qt::AlignBottom);
        cells.item(2, 2)->setEnabled(false);
        QPalette palette;
        palette.setColor(QPalette::Active, QPalette::Text, Qt::black);
        palette.setColor(QPalette::Inactive, QPalette::Text, Qt::darkBlue);
        palette.setColor(QPalette::Disabled, QPalette::Text, Qt::gray);
        ModuleTableView ours;
        QTableView styles;
        for (QTableView *view : {static_cast<QTableView *>(&ours), &styles}) {
            view->setPalette(palette);
            view->setModel(&cells);
            view->resize(420, 160);
            for (int column = 0; column < 4; ++column)
                view->setColumnWidth(column, 90);
            view->setRowHeight(1, 40);
            view->setCurrentIndex(cells.index(2, 0));
        }
        QCOMPARE(ours.viewport()->grab().toImage(), styles.viewport()->grab().toImage());
    }

    // Log > Publish to Broker...: OK refused while the station is unusable, the accepted
    // settings kept in "Broker" and applied at once, the panel shown only while publishing.
    void publishToBroker()
    {
        auto window = openWindow();
        window->show();
        const QList<QAction *> logActions = window->findChild<QMenu *>(QStringLiteral("menu_Log"))->actions();
        QCOMPARE(logActions.last()->text(), QStringLiteral("Publish to Broker..."));
        QTcpServer unused;
        QVERIFY(unused.listen(QHostAddress::LocalHost));
        const QString url = QStringLiteral("mqtt://127.0.0.1:%1").arg(unused.serverPort());
        unused.close(); // nobody there: the connection is refused at once
        auto *panel = window->findChild<QLabel *>(QStringLiteral("brokerText"));
        QVERIFY(!panel->isVisible());

        QString refusal;
        for (const bool enable : {true, false}) {
            answerModal([&](QWidget *dialog) {
                dialog->findChild<QCheckBox *>(QStringLiteral("enableCheck"))->setChecked(enable);
                dialog->findChild<QLineEdit *>(QStringLiteral("urlEdit"))->setText(url);
                dialog->findChild<QLineEdit *>(QStringLiteral("stationEdit"))->setText(QStringLiteral("site.2"));
                clickButton(dialog, QDialogButtonBox::Ok);
                refusal = dialog->isVisible() ? dialog->findChild<QLabel *>(QStringLiteral("stateLabel"))->text() : QString();
                dialog->findChild<QLineEdit *>(QStringLiteral("stationEdit"))->setText(QStringLiteral("site_2"));
                clickButton(dialog, QDialogButtonBox::Ok);
            });
            logActions.last()->trigger();
            QCOMPARE(refusal.contains(QStringLiteral("station")), enable);
            QSettings settings;
            QCOMPARE(settings.value(QStringLiteral("Broker/enabled")).toBool(), enable);
            QCOMPARE(settings.value(QStringLiteral("Broker/station")).toString(), QStringLiteral("site_2"));
            QCOMPARE(panel->isVisible(), enable);
            if (enable) {
                QTRY_COMPARE(panel->text(), QStringLiteral("Broker: disconnected"));
                auto *box = window->findChild<QMessageBox *>(QStringLiteral("brokerProblemBox"));
                QVERIFY(box && box->isVisible() && !box->isModal() && box->text().contains(QStringLiteral("Connection refused")));
            }
        }
    }
};

VENTROLLA_GUI_TEST_MAIN(TestMainWindow)
#include "tst_MainWindow.moc"
