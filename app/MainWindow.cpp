#include "app/MainWindow.h"

#include "app/AboutWindow.h"
#include "app/AcquireDialog_DynamicAltitude.h"
#include "app/ExportLogDialog.h"
#include "app/ModuleTableView.h"
#include "app/SetupDialog.h"
#include "config/ModuleConfigWindow.h"
#include "core/Model.h"
#include "core/ModuleConfigSettings.h"
#include "core/SoundingHistory.h"
#include "core/SoundingHistoryFeed.h"
#include "core/Version.h"
#include "graph/AltitudeGraphScene.h"
#include "graph/AxisDialog.h"
#include "graph/AxisFitter.h"
#include "graph/DataGraphView.h"
#include "graph/GraphAxisModel.h"
#include "graph/HistoryWindow.h"
#include "graph/ModuleGraphScene.h"
#include "graph/PressureGraphScene.h"
#include "link/DataTimingDialog.h"
#include "link/ProgressDialog.h"
#include "link/SerialPortDialog.h"
#include "output/BrokerDialog.h"
#include "output/BrokerOutput.h"
#include "output/HighWindAlertDialog.h"
#include "output/HighWindAlertService.h"
#include "output/LogCommentDialog.h"
#include "output/LogFile.h"
#include "output/ServerOutput.h"
#include "output/SetHighWindThresholdDialog.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>

namespace {

const QString group = QStringLiteral("MainWindow");
const QString sizeKey = QStringLiteral("size");
const QString posKey = QStringLiteral("pos");
const QString splitterKey = QStringLiteral("mainSplitter");
const QString activeTabKey = QStringLiteral("activeTab");
const QString fitAxesKey = QStringLiteral("fitAxesAutomatically");
const QString logGroup = QStringLiteral("LogFile");
const QString directoryKey = QStringLiteral("directory");

// The shortest time between two repaints of the window. Reports come once a second or less
// often, so a change shown up to 75 ms late is not seen (with the paint itself, under 100 ms
// even on a busy machine), while the reports of fifty modules, which arrive within a fifth of a
// second, are painted in three repaints instead of a dozen or more.
constexpr int repaintIntervalMs = 75;

// The sizes of the splitter's panes (graphs, table) on a first start.
const QVariantList defaultSplitterSizes = {300, 1000};

// The lowest interval the modules send every GPS field at.
constexpr int firstIntervalWithGps = 2;
constexpr int lastInterval = 24;

QFrame *sunkenPanel()
{
    auto *panel = new QFrame;
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return panel;
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::MainWindow>())
{
    Q_INIT_RESOURCE(resources);

    // 1. The form and the title.
    ui->setupUi(this);
    showTitle();

    // 2. The run settings. The dialog cannot be refused: whatever it shows when closed counts.
    setupDialog = new SetupDialog(this);
    setupDialog->exec();

    // 3. The model, built with those settings, serving the main window.
    model = new Model(setupDialog->windUnits(), setupDialog->groundElevation(),
                      setupDialog->latitude(), setupDialog->longitude(), setupDialog->course(),
                      setupDialog->speed(), this);
    model->setConfigMode(ModuleConfigSettings::MainWindowMode);

    // 4. Menus and status bar follow the model.
    connect(model, &Model::statusChanged, this, &MainWindow::update);
    connect(model, &Model::statusChanged, this, &MainWindow::updateLogMenu);
    connect(model, &Model::statusChanged, this, &MainWindow::updateStatusBar);

    // 5. The central splitter: panes above the table come first. Then the outputs: the axes
    // of the graphs, the log, the live stream and the alert's sound.
    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    setCentralWidget(splitter);
    axisModel = new GraphAxisModel(model, this);
    axisFitter = new AxisFitter(model, axisModel, this);
    logFile = new LogFile(model, this);
    connect(logFile, &LogFile::statusChanged, this, &MainWindow::updateLogMenu);
    connect(logFile, &LogFile::statusChanged, this, &MainWindow::updateStatusBar);
    connect(logFile, &LogFile::writeFailed, this, &MainWindow::onLogWriteFailed);
    serverOutput = new ServerOutput(model, this);
    brokerOutput = new BrokerOutput(model, this);
    brokerOutput->setLog(logFile);
    connect(brokerOutput, &BrokerOutput::statusChanged, this, &MainWindow::updateBrokerPanel);
    connect(brokerOutput, &BrokerOutput::problem, this, &MainWindow::onBrokerProblem);
    alertService = new HighWindAlertService(model, this);
    connect(model, &Model::highWindAlertDetected, this, &MainWindow::onHighWindDetected);
    connect(model, &Model::baseStationLost, this, &MainWindow::onBaseStationLost);

    // 6. The dialogs, built once and reused.
    serialPortDialog = new SerialPortDialog(model, this);
    acquireDialog =
        new AcquireDialog_DynamicAltitude(model, ModuleConfigSettings::MainWindowMode, this);
    dataTimingDialog = new DataTimingDialog(model, this);
    progressDialog = new ProgressDialog(model, this);
    aboutWindow = new AboutWindow(this);
    axisDialog = new AxisDialog(axisModel, this);
    logFileDialog = new QFileDialog(this);
    logFileDialog->setAcceptMode(QFileDialog::AcceptSave);
    logFileDialog->setDefaultSuffix(QStringLiteral("csv"));
    // Even hidden, the dialog would watch the folder it shows, which is where the log grows: each
    // line written would have it read the folder again, and convert every file's time (a sixth
    // of the window's CPU during a sounding). It lists a folder when it goes there.
    if (auto *files = logFileDialog->findChild<QFileSystemModel *>())
        files->setOption(QFileSystemModel::DontWatchForChanges);
    logCommentDialog = new LogCommentDialog(logFile, this);
    brokerDialog = new BrokerDialog(brokerOutput, this);
    thresholdDialog = new SetHighWindThresholdDialog(model, this);
    alertDialog = new HighWindAlertDialog(this);
    connect(alertDialog, &HighWindAlertDialog::userAcknowledgedWindAlert, this,
            &MainWindow::onUserAcknowledgedWindAlert);
    configWindow = new ModuleConfigWindow(model, this);
    connect(configWindow, &ModuleConfigWindow::closing, this,
            &MainWindow::moduleConfigWindowClosing);
    history = std::make_unique<SoundingHistory>();
    historyFeed = new SoundingHistoryFeed(model, history.get(), this);
    historyWindow = new HistoryWindow(history.get(), this);
    connect(historyFeed, &SoundingHistoryFeed::setAppended, historyWindow,
            &HistoryWindow::liveSetAppended);
    connect(historyFeed, &SoundingHistoryFeed::cleared, historyWindow, &HistoryWindow::liveCleared);
    buildGraphTabs();

    // 7. The table of modules, the lowest pane.
    tableView = new ModuleTableView;
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setModel(model);
    tableView->horizontalHeader()->setStretchLastSection(true);
    tableView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tableView->setRefreshDeferred(true);
    connect(tableView, &ModuleTableView::refreshRequested, this, &MainWindow::requestFrame);
    splitter->addWidget(tableView);

    heldRepaint.setSingleShot(true);
    heldRepaint.setTimerType(Qt::PreciseTimer);
    connect(&heldRepaint, &QTimer::timeout, this, [this] {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(this, &request);
    });
    frame.setSingleShot(true);
    frame.setTimerType(Qt::PreciseTimer);
    connect(&frame, &QTimer::timeout, this, [this] {
        frameDue = true;
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(this, &request);
        frameDue = false;
    });

    // 8. Status bar, saved settings, and everything drawn once from the model's state.
    buildStatusBar();
    readSettings();
    moduleActions = {ui->action_Acquire,        ui->action_Run,
                     ui->action_Stop,           ui->actionData_Interval,
                     ui->action_Module_Config,  ui->actionReset,
                     ui->actionLoad_Saved_Modules, ui->actionClear_Saved_Modules};
    update();
    updateLogMenu();
    updateStatusBar();
    const BrokerSettings broker = BrokerSettings::load();
    if (broker.enabled)
        startBroker(broker);
    updateBrokerPanel();
}

MainWindow::~MainWindow()
{
    writeSettings();
    // Children are destroyed in the order they were made, the model first; the log, closing in
    // its destructor, must not call back into a window whose model is gone.
    logFile->disconnect(this);
    // The history goes before the children: the model must not feed it while it dies.
    model->disconnect(historyFeed);
    brokerOutput->disconnect(this);
}

void MainWindow::showTitle()
{
    setWindowTitle(
        tr("Ventrolla %1.%2.%3").arg(Version::major).arg(Version::minor).arg(Version::patch));
}

void MainWindow::buildGraphTabs()
{
    graphTabs = new QTabWidget;
    graphTabs->setObjectName(QStringLiteral("graphTabs"));
    moduleView = new DataGraphView;
    moduleView->setObjectName(QStringLiteral("moduleGraphView"));
    pressureView = new DataGraphView;
    pressureView->setObjectName(QStringLiteral("pressureGraphView"));
    altitudeView = new DataGraphView;
    altitudeView->setObjectName(QStringLiteral("altitudeGraphView"));
    graphTabs->addTab(moduleView, tr("Module"));
    graphTabs->addTab(pressureView, tr("Pressure"));
    graphTabs->addTab(altitudeView, tr("Altitude"));
    splitter->addWidget(graphTabs);

    moduleScene = new ModuleGraphScene(model, axisModel, this);
    pressureScene = new PressureGraphScene(model, axisModel, this);
    altitudeScene = new AltitudeGraphScene(model, axisModel, this);
    moduleView->setScene(moduleScene);
    pressureView->setScene(pressureScene);
    altitudeView->setScene(altitudeScene);
    // The graphs take the modules' reports in when the window repaints (see event()).
    graphScenes = {moduleScene, pressureScene, altitudeScene};
    for (DataGraphScene *scene : qAsConst(graphScenes)) {
        scene->setRedrawDeferred(true);
        connect(scene, &DataGraphScene::redrawRequested, this, &MainWindow::requestFrame);
    }
    connect(graphTabs, &QTabWidget::currentChanged, this, &MainWindow::graphTabChanged);
}

void MainWindow::buildStatusBar()
{
    ledGrey = QPixmap(QStringLiteral(":/leds/resource/led_grey.png"));
    ledRed = QPixmap(QStringLiteral(":/leds/resource/led_red.png"));
    ledGreen = QPixmap(QStringLiteral(":/leds/resource/led_green.png"));
    ledYellow = QPixmap(QStringLiteral(":/leds/resource/led_yellow.png"));

    auto makeLabel = [](const char *name) {
        auto *label = new QLabel;
        label->setObjectName(QString::fromLatin1(name));
        return label;
    };
    stateLed = makeLabel("stateLed");
    stateText = makeLabel("stateText");
    logLed = makeLabel("logLed");
    logText = makeLabel("logText");
    intervalText = makeLabel("intervalText");

    QFrame *statePanel = sunkenPanel();
    auto *stateLayout = new QHBoxLayout(statePanel);
    stateLayout->addWidget(stateLed);
    stateLayout->addWidget(stateText);
    stateLayout->addStretch();

    QFrame *logPanel = sunkenPanel();
    auto *logLayout = new QHBoxLayout(logPanel);
    logLayout->addWidget(logLed);
    logLayout->addWidget(logText);
    logLayout->addStretch();

    QFrame *intervalPanel = sunkenPanel();
    auto *intervalLayout = new QHBoxLayout(intervalPanel);
    intervalLayout->addWidget(intervalText);

    // The broker's panel shows only while publishing is on.
    brokerText = makeLabel("brokerText");
    brokerPanel = sunkenPanel();
    auto *brokerLayout = new QHBoxLayout(brokerPanel);
    brokerLayout->addWidget(brokerText);

    for (QFrame *panel : {statePanel, logPanel, intervalPanel, brokerPanel}) {
        panel->layout()->setContentsMargins(4, 0, 4, 0);
        ui->statusBar->addPermanentWidget(panel, 1);
    }
}

void MainWindow::on_action_Publish_to_Broker_triggered()
{
    brokerDialog->setSettings(BrokerSettings::load());
    if (brokerDialog->exec() != QDialog::Accepted)
        return;
    const BrokerSettings broker = brokerDialog->settings();
    broker.save();
    if (broker.enabled)
        startBroker(broker);
    else
        brokerOutput->stop();
}

void MainWindow::startBroker(const BrokerSettings &settings)
{
    if (!brokerOutput->start(settings))
        showWarning(tr("Warning"), tr("Could not publish to the broker:\n%1").arg(brokerOutput->errorString()));
}

void MainWindow::onBrokerProblem(const QString &message)
{
    // One box, reused and never modal: a broker going up and down must not bury the window.
    if (!brokerProblemBox) {
        brokerProblemBox = new QMessageBox(QMessageBox::Warning, tr("Broker"), QString(), QMessageBox::Ok, this);
        brokerProblemBox->setObjectName(QStringLiteral("brokerProblemBox"));
        brokerProblemBox->setModal(false);
    }
    brokerProblemBox->setText(message);
    brokerProblemBox->show();
}

void MainWindow::updateBrokerPanel()
{
    brokerText->setText(brokerOutput->statusText());
    brokerPanel->setToolTip(brokerOutput->errorString());
    brokerPanel->setVisible(brokerOutput->connection() != BrokerOutput::Connection::Off);
}

void MainWindow::readSettings()
{
    QSettings settings;
    settings.beginGroup(group);
    resize(settings.value(sizeKey, QSize(600, 500)).toSize());
    move(settings.value(posKey, QPoint(200, 200)).toPoint());
    QList<int> sizes;
    const QVariantList stored = settings.value(splitterKey, defaultSplitterSizes).toList();
    for (const QVariant &size : stored)
        sizes << size.toInt();
    splitter->setSizes(sizes);
    graphTabs->setCurrentIndex(settings.value(activeTabKey, 0).toInt());
    graphTabChanged(graphTabs->currentIndex());
    ui->actionFit_Axes_Automatically->setChecked(settings.value(fitAxesKey, false).toBool());
    settings.endGroup();

    settings.beginGroup(logGroup);
    logFileDialog->setDirectory(settings.value(directoryKey, QStringLiteral(".")).toString());
}

void MainWindow::writeSettings() const
{
    QSettings settings;
    settings.beginGroup(group);
    settings.setValue(sizeKey, size());
    settings.setValue(posKey, pos());
    QVariantList sizes;
    const QList<int> current = splitter->sizes();
    for (int size : current)
        sizes << size;
    settings.setValue(splitterKey, sizes);
    settings.setValue(activeTabKey, graphTabs->currentIndex());
    settings.setValue(fitAxesKey, ui->actionFit_Axes_Automatically->isChecked());
    settings.endGroup();

    settings.beginGroup(logGroup);
    settings.setValue(directoryKey, logFileDialog->directory().absolutePath());
}

void MainWindow::update()
{
    ui->action_Acquire->setEnabled(model->canAcquire() || model->canOpenPort());
    ui->action_Run->setEnabled(model->canRun());
    ui->action_Stop->setEnabled(model->canStop());
    ui->actionData_Interval->setEnabled(model->canChangeDataInterval());
    ui->action_Module_Config->setEnabled(model->canCalibrate() || model->canOpenPort()
                                         || model->canAcquire());
    ui->actionReset->setEnabled(model->canReset());
    ui->actionLoad_Saved_Modules->setEnabled(model->canLoadSavedModules());
    ui->actionClear_Saved_Modules->setEnabled(model->canClearSavedModules());
    ui->actionActivate_High_Wind->setEnabled(!model->isHighWindAlertActive());
    ui->actionDeactivate_High_Wind->setEnabled(model->isHighWindAlertActive());
}

void MainWindow::updateLogMenu()
{
    const bool open = logFile->isOpen();
    ui->action_Begin_Logging->setEnabled(model->canBeginLogging() && !open);
    ui->action_Comment->setEnabled(open);
    ui->action_Pause_Log->setEnabled(open);
    ui->action_Pause_Log->setChecked(logFile->isPaused());
    ui->action_Stop_Logging->setEnabled(open);
}

void MainWindow::updateStatusBar()
{
    if (model->isRunning()) {
        stateLed->setPixmap(ledGreen);
        stateText->setText(tr("Running"));
    } else if (model->isStopping()) {
        stateLed->setPixmap(ledYellow);
        stateText->setText(tr("Stopping"));
    } else if (model->canRun()) {
        stateLed->setPixmap(ledRed);
        stateText->setText(tr("Stopped"));
    } else if (model->isStarting()) {
        stateLed->setPixmap(ledYellow);
        stateText->setText(tr("Starting"));
    } else {
        stateLed->setPixmap(ledGrey);
        stateText->setText(tr("Not Ready"));
    }
    if (logFile->isPaused()) {
        logLed->setPixmap(ledYellow);
        logText->setText(tr("Log Paused"));
    } else if (logFile->isOpen()) {
        logLed->setPixmap(ledGreen);
        logText->setText(tr("Logging"));
    } else {
        logLed->setPixmap(ledRed);
        logText->setText(tr("Log Stopped"));
    }
    intervalText->setText(tr("Interval: ") + model->dataIntervalText());
}

void MainWindow::on_action_Acquire_triggered()
{
    if (logFile->isOpen()) {
        const QMessageBox::StandardButton answer = QMessageBox::warning(
            this, tr("Close log file?"),
            tr("The current operation requires closing the current log file. Ok to continue?"),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer != QMessageBox::Ok)
            return;
        logFile->stop();
    }
    if (model->canAcquire()) {
        model->acquire();
    } else if (model->canOpenPort()) {
        // The dialog hands the chosen name to the model when accepted.
        if (serialPortDialog->exec() == QDialog::Accepted && !model->openPort())
            QMessageBox::warning(this, tr("Warning"), tr("Could not open serial port."),
                                 QMessageBox::Ok);
    }
}

void MainWindow::on_actionReset_triggered()
{
    model->reset();
}

void MainWindow::on_actionLoad_Saved_Modules_triggered()
{
    model->loadSavedModules();
}

void MainWindow::on_actionClear_Saved_Modules_triggered()
{
    model->clearSavedModules();
}

void MainWindow::on_action_Run_triggered()
{
    model->run();
}

void MainWindow::on_action_Stop_triggered()
{
    model->stop();
}

void MainWindow::on_actionData_Interval_triggered()
{
    dataTimingDialog->exec();
    const int index = model->dataInterval();
    if (index < firstIntervalWithGps || index > lastInterval) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("Modules will not send latitude, longitude, course or speed GPS "
                                "data when an interval of one second is used."));
    }
}

void MainWindow::on_action_About_triggered()
{
    aboutWindow->show();
    aboutWindow->raise();
}

void MainWindow::on_action_Exit_triggered()
{
    close();
}

void MainWindow::on_action_Module_Config_triggered()
{
    // The configuration window takes the model over until it closes.
    disconnect(model, &Model::statusChanged, this, &MainWindow::update);
    for (QAction *moduleAction : qAsConst(moduleActions))
        moduleAction->setEnabled(false);
    configWindow->show();
    configWindow->raise();
}

void MainWindow::on_action_History_triggered()
{
    historyWindow->show();
    historyWindow->raise();
    historyWindow->activateWindow();
}

void MainWindow::moduleConfigWindowClosing()
{
    if (configWindow->isForceClosing())
        return; // quitting
    model->setConfigMode(ModuleConfigSettings::MainWindowMode);
    connect(model, &Model::statusChanged, this, &MainWindow::update);
    update();
    updateLogMenu();
    updateStatusBar();
}

void MainWindow::on_action_Begin_Logging_triggered()
{
    if (logFileDialog->exec() != QDialog::Accepted)
        return;
    const QStringList files = logFileDialog->selectedFiles();
    if (!files.isEmpty() && !logFile->begin(files.first()))
        showWarning(tr("Warning"), tr("Could not open the log file %1:\n%2")
                                       .arg(QDir::toNativeSeparators(files.first()),
                                            logFile->errorString()));
}

void MainWindow::on_action_Comment_triggered()
{
    if (logCommentDialog->exec() == QDialog::Accepted)
        logFile->setComment(logCommentDialog->commentText(), logCommentDialog->isRepeating());
}

void MainWindow::on_action_Pause_Log_triggered(bool checked)
{
    logFile->setPaused(checked);
}

void MainWindow::on_action_Stop_Logging_triggered()
{
    logFile->stop();
}

void MainWindow::on_action_Export_Log_triggered()
{
    if (!exportLogDialog)
        exportLogDialog = new ExportLogDialog(this);
    // Not modal: the sounding goes on while a past one is exported.
    exportLogDialog->show();
    exportLogDialog->raise();
    exportLogDialog->activateWindow();
}

void MainWindow::editAxis(int id)
{
    axisDialog->setAxisId(id);
    axisDialog->open(); // window-modal, without holding the event loop
}

void MainWindow::on_action_Altitude_triggered() { editAxis(GraphAxisModel::IndependentAltitude); }
void MainWindow::on_action_Pressure_triggered() { editAxis(GraphAxisModel::IndependentPressure); }
void MainWindow::on_action_Pressure_2_triggered() { editAxis(2); }
void MainWindow::on_action_Temperature_triggered() { editAxis(3); }
void MainWindow::on_action_Humidity_triggered() { editAxis(4); }
void MainWindow::on_actionWind_Speed_triggered() { editAxis(6); }

void MainWindow::on_actionFit_Axes_to_Data_triggered()
{
    axisFitter->fit();
}

void MainWindow::on_actionFit_Axes_Automatically_toggled(bool checked)
{
    axisFitter->setAutomatic(checked);
}

void MainWindow::graphTabChanged(int index)
{
    // The graphs are named by their independent axis, as the fitter names them.
    static const int graphs[] = {GraphAxisModel::ModuleAxis, GraphAxisModel::IndependentPressure,
                                 GraphAxisModel::IndependentAltitude};
    if (index >= 0 && index < int(std::size(graphs)))
        axisFitter->setGraph(graphs[index]);
    // Graphs out of sight do no work for each data set; they catch up when their tab is shown.
    DataGraphScene *const scenes[] = {moduleScene, pressureScene, altitudeScene};
    for (int tab = 0; tab < int(std::size(scenes)); ++tab)
        scenes[tab]->setShown(tab == index);
}

void MainWindow::on_actionSet_Threshold_High_Wind_triggered()
{
    thresholdDialog->exec();
}

void MainWindow::on_actionActivate_High_Wind_triggered()
{
    model->setHighWindAlertActive(true);
}

void MainWindow::on_actionDeactivate_High_Wind_triggered()
{
    model->setHighWindAlertActive(false);
    alertService->stop();
}

void MainWindow::onHighWindDetected(int)
{
    if (!alertService->isAlerting())
        alertService->start();
    // A box on screen is neither refreshed nor raised again.
    if (alertDialog->isVisible())
        return;
    alertDialog->setText(tr("Wind speeds greater than %1 %2 were detected!")
                             .arg(model->highWindThreshold())
                             .arg(model->windUnits() != 0 ? tr("m/s") : tr("knots")));
    alertDialog->show();
}

void MainWindow::onUserAcknowledgedWindAlert()
{
    model->setHighWindAlertActive(false);
    if (alertDialog->isVisible())
        alertDialog->hide();
    alertService->stop();
}

void MainWindow::onLogWriteFailed(const QString &message)
{
    // The log has stopped; the operator must know at once that the sounding is not recorded.
    showWarning(tr("Log Stopped"),
                tr("The log file %1 could not be written:\n%2\n\nLogging has stopped; the "
                   "acquisition goes on. Choose Log > Begin to begin a new log.")
                    .arg(QDir::toNativeSeparators(logFile->fileName()), message));
}

void MainWindow::onBaseStationLost()
{
    showWarning(tr("Base station lost"),
                tr("The base station on %1 stopped answering and its port was closed.\n\n"
                   "Check the cable and the power, then choose Acquire Modules to configure it "
                   "again; the modules stay in the table.")
                    .arg(model->serialPort()->portName()));
}

void MainWindow::showWarning(const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::requestFrame()
{
    if (!frame.isActive())
        frame.start(repaintIntervalMs);
}

bool MainWindow::event(QEvent *event)
{
    // Fifty modules report within a fifth of a second, each changing the table and the graph a
    // few milliseconds after the last: painted one by one, the graph would be painted fifty
    // times a second. The table and the graphs take the reports in at the next frame, at most
    // a repaint interval after the first of them, and paint them at once. Other repaints (the
    // user's doings) come at once, but never sooner than an interval after the last.
    if (event->type() == QEvent::UpdateRequest) {
        // Asked again while the table and graphs mark what they changed: the repaint under way
        // paints it.
        if (repainting)
            return true;
        if (!frameDue) {
            // A frame is coming; it paints everything.
            if (frame.isActive())
                return true;
            const qint64 wait =
                lastRepaint.isValid() ? repaintIntervalMs - lastRepaint.elapsed() : 0;
            if (wait > 0) {
                if (!heldRepaint.isActive())
                    heldRepaint.start(int(wait));
                return true;
            }
        }
        frame.stop();
        heldRepaint.stop();
        lastRepaint.start();
        repainting = true;
        if (tableView)
            tableView->refreshPendingRows();
        for (DataGraphScene *scene : qAsConst(graphScenes))
            scene->redrawPendingRows();
        repainting = false;
    }
    return QMainWindow::event(event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, tr("Quit Ventrolla?"),
        tr("Quitting requires that all flight modules be\r\n"
           "powered off before the system can be run again.\r\n"
           "Really Quit?"),
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
        configWindow->forceClose();
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        showTitle();
        // Not yet built while the form is first set up.
        if (model)
            updateStatusBar();
    }
    QMainWindow::changeEvent(event);
}
