// The configuration window: its controls, progress bar and close check in each state, the
// questions and dialogs before a calibration starts, and a session against the simulator.

#include "BaseStationSimulator.h"
#include "ModalAnswer.h"
#include "ModuleBytes.h"
#include "TestSupport.h"

#include "app/AcquireDialog_DynamicAltitude.h"
#include "config/CalibFinishDialog.h"
#include "config/ModuleConfigWindow.h"
#include "config/State_Acquiring_Calib.h"
#include "config/State_CalibFailure.h"
#include "config/State_CalibrationDelay.h"
#include "config/State_Calibrating_Anemometer.h"
#include "core/Model.h"
#include "core/State_Stopped.h"
#include "core/State_Unacquired.h"
#include "core/State_Unconfigured.h"
#include "link/FlightModule.h"
#include "link/State_Configuring.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

namespace {

// Kinds: 'D' cup anemometer, 'Q' pitot tube, both with a thermistor; 'P' pitot without one.
void addModules(Model &model, const QByteArray &kinds)
{
    for (int i = 0; i < kinds.size(); ++i) {
        auto *module = new FlightModule(0x100 + i, 0, 0);
        module->processPayload(ModuleBytes::hello(kinds[i], "M" + QByteArray::number(i)));
        model.appendModule(module);
    }
}

State *stateNamed(const Model &model, const QString &name)
{
    const Model::States &s = model.states();
    for (State *state : std::initializer_list<State *>{
             s.unconfigured, s.configuring, s.unacquired, s.stopped, s.acquiringCalib,
             s.calibrationDelay, s.calibratingAnemometer, s.calibFailure})
        if (model.stateName(state) == name)
            return state;
    return nullptr;
}

// The answer waiting for the next modal window; withdrawn after each test.
QPointer<QTimer> armed;

// Answers the modal windows in turn, noting their titles (and the texts of message boxes).
// Each step sets fields ("name=value") and then presses a standard button or a named one; a
// window beyond the steps is noted and shut.
void answerInTurn(QStringList &titles, QStringList &texts, QStringList steps)
{
    delete armed;
    armed = answerModal([&titles, &texts, steps](QWidget *modal) mutable {
        armed.clear();
        titles << modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            texts << box->text();
            if (box->button(QMessageBox::Cancel))
                QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
        }
        if (steps.isEmpty()) {
            modal->close();
            return;
        }
        QStringList actions = steps.takeFirst().split(';');
        const QString press = actions.takeLast();
        for (const QString &field : qAsConst(actions)) {
            const QString name = field.section('=', 0, 0), value = field.section('=', 1);
            if (auto *spin = modal->findChild<QAbstractSpinBox *>(name))
                spin->setProperty("value", value.toDouble());
            else
                modal->findChild<QLineEdit *>(name)->setText(value);
        }
        answerInTurn(titles, texts, steps);
        const QHash<QString, QDialogButtonBox::StandardButton> standard = {
            {"Ok", QDialogButtonBox::Ok}, {"Cancel", QDialogButtonBox::Cancel},
            {"Yes", QDialogButtonBox::Yes}};
        if (standard.contains(press))
            clickButton(modal, standard[press]);
        else
            modal->findChild<QPushButton *>(press)->click();
    });
}

} // namespace

class TestModuleConfigWindow : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void cleanup() { delete armed; }

    void eachState_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QByteArray>("kinds");
        QTest::addColumn<QStringList>("enabled");
        QTest::addColumn<QString>("shown");    // module display
        QTest::addColumn<int>("maximum");      // of the progress bar; -1 hidden
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("staysOpen");   // refuses a close request
        const QStringList idle = {"acquireButton", "clearModuleButton", "compassRadioButton",
                                  "anemometerRadioButton", "calibrateButton",
                                  "indoorToggleButton"};
        const QStringList none;
        QTest::newRow("no port") << "Unconfigured" << QByteArray() << QStringList{"acquireButton"}
                                 << "<None>" << -1 << 0 << false;
        QTest::newRow("configuring") << "Configuring" << QByteArray() << none << "<None>" << -1
                                     << 0 << true;
        QTest::newRow("unacquired") << "Unacquired" << QByteArray()
                                    << QStringList{"acquireButton"} << "<None>" << -1 << 0 << false;
        QTest::newRow("last of two, no thermistor")
            << "Stopped" << QByteArray("QP") << idle + QStringList{"previousModuleButton"} << "M1"
            << -1 << 0 << false;
        QTest::newRow("one module") << "Stopped" << QByteArray("D")
                                    << idle + QStringList{"thermistorRadioButton"} << "M0" << -1
                                    << 0 << false;
        QTest::newRow("acquiring") << "Acquiring_Calib" << QByteArray() << none << "<None>" << 0
                                   << 0 << true;
        QTest::newRow("compass delay, 1.6 s") << "CalibrationDelay" << QByteArray("D") << none
                                              << "M0" << 100 << 16 << true;
        QTest::newRow("pitot calibration, 1.6 s") << "Calibrating_Anemometer" << QByteArray("Q")
                                                  << none << "M0" << 100 << 2 << true;
        QTest::newRow("outcome") << "CalibFailure" << QByteArray("D") << none << "M0" << -1 << 0
                                 << true;
    }

    void eachState()
    {
        QFETCH(QString, state);
        QFETCH(QByteArray, kinds);
        QFETCH(QStringList, enabled);
        QFETCH(QString, shown);
        QFETCH(int, maximum);
        QFETCH(int, value);
        QFETCH(bool, staysOpen);
        Model model(0, 0, false, false, false, false);
        qint64 now = 0;
        model.setClock([&now] { return now; });
        addModules(model, kinds);
        ModuleConfigWindow window(&model);
        QSignalSpy closing(&window, &ModuleConfigWindow::closing);
        window.show();
        QCOMPARE(model.configMode(), 1);
        stateNamed(model, state)->enter();
        now = 1600;
        QMetaObject::invokeMethod(&model, "onFastTimer");

        for (const char *name : {"acquireButton", "clearModuleButton", "compassRadioButton",
                                 "anemometerRadioButton", "thermistorRadioButton",
                                 "calibrateButton", "indoorToggleButton", "nextModuleButton",
                                 "previousModuleButton"})
            QVERIFY2(window.findChild<QWidget *>(name)->isEnabled() == enabled.contains(name), name);
        QVERIFY(window.findChild<QWidget *>("helpButton")->isEnabled());
        QCOMPARE(window.findChild<QLabel *>("moduleDisplay")->text(), shown);
        QCOMPARE(window.findChild<QLabel *>("progressBarLabel")->text(), model.progressText());
        auto *bar = window.findChild<QProgressBar *>("progressBar");
        QCOMPARE(bar->isVisible(), maximum >= 0);
        if (maximum >= 0)
            QCOMPARE(QPair(bar->maximum(), bar->value()), QPair(maximum, value));

        // A flow or an outcome on show keeps the window open, unless the application quits.
        window.close();
        QCOMPARE(window.isVisible(), staysOpen);
        if (staysOpen)
            window.forceClose();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.isForceClosing(), staysOpen);
        QCOMPARE(closing.count(), 1);
    }

    void calibrationStart_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("setting"); // calibrationType * 10 + thermistorOption
        QTest::addColumn<int>("stored");  // slope * 100 + offset, reference temperature or Beta
        const QString wind = "anemometerRadioButton", thermistor = "thermistorRadioButton";
        const QString cup = "Calibrate Cup Anemometer?", options = "Thermistor Options";
        const QString sure = "Temperature Equilibrated?";
        QTest::newRow("compass") << QByteArray("D") << "compassRadioButton" << QStringList()
                                 << QStringList() << "CalibrationDelay" << 0 << 0;
        QTest::newRow("pitot") << QByteArray("Q") << wind << QStringList() << QStringList()
                               << "Calibrating_Anemometer" << 10 << 0;
        QTest::newRow("cup, Cancel") << QByteArray("D") << wind << QStringList{"Cancel"}
                                     << QStringList{cup} << "Stopped" << 10 << 0;
        QTest::newRow("cup, constants")
            << QByteArray("D") << wind
            << QStringList{"Yes", "slopeSpinBox=0.5;offsetSpinBox=0.25;Ok"}
            << QStringList{cup, "Calibration Input"} << "Calibrating_Anemometer" << 10 << 50025;
        QTest::newRow("cup, constants cancelled")
            << QByteArray("D") << wind << QStringList{"Yes", "Cancel"}
            << QStringList{cup, "Calibration Input"} << "Stopped" << 10 << 0;
        QTest::newRow("automatic") << QByteArray("D") << thermistor
                                   << QStringList{"autoCalibButton", "Ok"}
                                   << QStringList{options, sure} << "Calibrating_Thermistor" << 20
                                   << 0;
        QTest::newRow("reference") << QByteArray("D") << thermistor
                                   << QStringList{"manualCalibButton", "Ok", "tempSpinBox=21.5;Ok"}
                                   << QStringList{options, sure, "Thermistor Calibration"}
                                   << "Calibrating_Thermistor" << 21 << 29465;
        QTest::newRow("Beta") << QByteArray("D") << thermistor
                              << QStringList{"changeBetaButton", "passwordEdit=7319;Ok",
                                             "betaSpinBox=4000;Ok"}
                              << QStringList{options, "Thermistor Beta Password", "Edit Beta Value"}
                              << "Calibrating_Thermistor" << 22 << 4000;
        QTest::newRow("options cancelled") << QByteArray("D") << thermistor
                                           << QStringList{"Cancel"} << QStringList{options}
                                           << "Stopped" << 0 << 0;
        QTest::newRow("module without thermistor") << QByteArray("P") << thermistor
                                                   << QStringList() << QStringList() << "Stopped"
                                                   << 0 << 0;
    }

    void calibrationStart()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, choice);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, titles);
        QFETCH(QString, state);
        QFETCH(int, setting);
        QFETCH(int, stored);
        Model model(0, 0, false, false, false, false);
        addModules(model, kind);
        model.states().stopped->enter();
        ModuleConfigWindow window(&model);
        window.show();
        window.findChild<QRadioButton *>(choice)->setChecked(true);
        QStringList seen, texts;
        answerInTurn(seen, texts, steps);
        QTest::mouseClick(window.findChild<QPushButton *>("calibrateButton"), Qt::LeftButton);
        QCOMPARE(seen, titles);
        if (titles.value(0) == "Calibrate Cup Anemometer?")
            QCOMPARE(texts.value(0), QStringLiteral("The anemometer has already been factory "
                                                    "calibrated. Are you sure you want to "
                                                    "calibrate it?"));
        QCOMPARE(model.stateName(model.currentState()), state);
        QCOMPARE(model.calibrationType() * 10 + model.thermistorOption(), setting);
        QCOMPARE(model.cupSlope() * 100 + model.cupOffset() + model.referenceTemperature()
                     + model.beta(),
                 stored);
    }

    void acquireAsksForThePortFirst()
    {
        Model model(0, 0, false, false, false, false);
        ModuleConfigWindow window(&model);
        window.show();
        auto *acquire = window.findChild<QPushButton *>("acquireButton");
        QStringList titles, texts;
        answerInTurn(titles, texts, {"Cancel"});
        QTest::mouseClick(acquire, Qt::LeftButton);
        answerInTurn(titles, texts, {"portEntry=/nonexistent/radio;Ok", "Ok"});
        QTest::mouseClick(acquire, Qt::LeftButton);
        QCOMPARE(titles, QStringList({"Serial Port Selection", "Serial Port Selection", "Warning"}));
        QCOMPARE(texts, QStringList{"Could not open serial port."});
        QCOMPARE(model.currentState(), model.states().unconfigured);
    }

    // Acquire two modules through the window, pick the cup module, calibrate its anemometer,
    // acknowledge the outcome and close the window.
    void sessionAgainstTheSimulator()
    {
        BaseStationSimulator::Settings settings;
        settings.guardTimeMs = 100; // the model's clock below runs four times real time
        settings.powerOnDelayMs = 0;
        settings.powerOnIntervalMs = 60;
        settings.speed = 100;
        for (const char kind : {'D', 'Q'}) {
            SimulatedModule::Settings module;
            module.kind = kind;
            module.identifier = QStringLiteral("SIM-%1").arg(kind);
            settings.modules << module;
        }
        BaseStationSimulator simulator(settings);
        QVERIFY(simulator.start());
        Model model(0, 0, false, false, false, false);
        QElapsedTimer wall;
        wall.start();
        qint64 frozen = -1; // the calibration's time limit must not depend on the machine
        model.setClock([&] { return frozen >= 0 ? frozen : wall.elapsed() * 4; });
        ModuleConfigWindow window(&model);
        QSignalSpy closing(&window, &ModuleConfigWindow::closing);
        window.show();
        const auto click = [&window](const char *name) {
            QTest::mouseClick(window.findChild<QAbstractButton *>(name), Qt::LeftButton);
        };
        const auto shown = [&window] { return window.findChild<QLabel *>("moduleDisplay")->text(); };

        QStringList titles, texts;
        answerInTurn(titles, texts, {"portEntry=" + simulator.portName() + ";Ok"});
        click("acquireButton");
        auto *acquiring = window.findChild<AcquireDialog_DynamicAltitude *>();
        QTRY_VERIFY_WITH_TIMEOUT(acquiring->isVisible(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 2, 5000);
        QTest::mouseClick(acquiring->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        QCOMPARE(shown(), QStringLiteral("SIM-Q"));
        click("previousModuleButton");
        QCOMPARE(shown(), QStringLiteral("SIM-D"));

        frozen = wall.elapsed() * 4;
        click("anemometerRadioButton");
        answerInTurn(titles, texts, {"Yes", "slopeSpinBox=0.9;offsetSpinBox=0.1;Ok"});
        click("calibrateButton");
        QVERIFY(model.isCalibrating());
        auto *result = window.findChild<CalibFinishDialog *>();
        QTRY_VERIFY_WITH_TIMEOUT(result->isVisible(), 5000);
        QCOMPARE(result->windowTitle(), QStringLiteral("Calibration Succeeded"));
        window.close();
        QVERIFY(window.isVisible());
        clickButton(result, QDialogButtonBox::Ok);
        QVERIFY(!result->isVisible());
        QVERIFY(window.findChild<QWidget *>("calibrateButton")->isEnabled());
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(closing.count(), 1);
    }
};

VENTROLLA_GUI_TEST_MAIN(TestModuleConfigWindow)
#include "tst_ModuleConfigWindow.moc"
