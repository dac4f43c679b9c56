#include "app/MainWindow.h"

#include "app/AboutWindow.h"
#include "app/AcquireDialog_DynamicAltitude.h"
#include "app/ModuleTableView.h"
#include "app/SetupDialog.h"
#include "core/Model.h"
#include "link/DataTimingDialog.h"
#include "link/ProgressDialog.h"
#include "link/SerialPortDialog.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>

namespace {

const QString group = QStringLiteral("MainWindow");
const QString sizeKey = QStringLiteral("size");
const QString posKey = QStringLiteral("pos");
const QString splitterKey = QStringLiteral("mainSplitter");

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
    model->setConfigMode(0);

    // 4. Menus and status bar follow the model.
    connect(model, &Model::statusChanged, this, &MainWindow::update);
    connect(model, &Model::statusChanged, this, &MainWindow::updateLogMenu);
    connect(model, &Model::statusChanged, this, &MainWindow::updateStatusBar);

    // 5. The central splitter: panes above the table come first.
    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("mainSplitter"));
    setCentralWidget(splitter);

    // 6. The dialogs, built once and reused.
    serialPortDialog = new SerialPortDialog(model, this);
    acquireDialog = new AcquireDialog_DynamicAltitude(model, 0, this);
    dataTimingDialog = new DataTimingDialog(model, this);
    progressDialog = new ProgressDialog(model, this);
    aboutWindow = new AboutWindow(this);

    // 7. The table of modules, the lowest pane.
    tableView = new ModuleTableView;
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setModel(model);
    tableView->horizontalHeader()->setStretchLastSection(true);
    tableView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    splitter->addWidget(tableView);

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
}

MainWindow::~MainWindow()
{
    writeSettings();
}

void MainWindow::showTitle()
{
    setWindowTitle(tr("Ventrolla %1.%2.%3").arg(8).arg(1).arg(6));
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

    for (QFrame *panel : {statePanel, logPanel, intervalPanel}) {
        panel->layout()->setContentsMargins(4, 0, 4, 0);
        ui->statusBar->addPermanentWidget(panel, 1);
    }
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
    // No log is open in this window: a log can begin whenever the state allows it.
    ui->action_Begin_Logging->setEnabled(model->canBeginLogging());
    ui->action_Comment->setEnabled(false);
    ui->action_Pause_Log->setEnabled(false);
    ui->action_Pause_Log->setChecked(false);
    ui->action_Stop_Logging->setEnabled(false);
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
    intervalText->setText(tr("Interval: ") + model->dataIntervalText());
}

void MainWindow::on_action_Acquire_triggered()
{
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

void MainWindow::closeEvent(QCloseEvent *event)
{
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        this, tr("Quit Ventrolla?"),
        tr("Quitting requires that all flight modules be\r\n"
           "powered off before the system can be run again.\r\n"
           "Really Quit?"),
        QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Ok)
        event->accept();
    else
        event->ignore();
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
