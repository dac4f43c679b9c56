// The configuration window in one session against the simulator: its controls, progress bar and
// close check at every step, every way into a calibration (which answers the thermistor options
// every way), closing, opening again and quitting. The calibration dialogs on their own: what each
// makes of its input, the result dialog and its indicator.

#include "BaseStationSimulator.h"
#include "ModalAnswer.h"
#include "TestSupport.h"

#include "app/AcquireDialog_DynamicAltitude.h"
#include "config/CalibFinishDialog.h"
#include "config/CupAnemometerCalibDialog.h"
#include "config/ModuleConfigWindow.h"
#include "config/State_CalibSuccess.h"
#include "config/ThermistorBetaDialog.h"
#include "config/ThermistorBetaPasswordDialog.h"
#include "config/ThermistorCalibTempDialog.h"
#include "core/Model.h"
#include "core/State_Stopped.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

static QPointer<QTimer> armed; // the answer waiting for the next modal window

// Answers the modal windows in turn, noting their titles ("(default?)" where Cancel is offered
// but not the default). A step sets fields ("name=value;") and presses a standard or a named
// button; a window beyond the steps is shut.
static void answerInTurn(QStringList &titles, QStringList steps)
{
    delete armed;
    armed = answerModal([&titles, steps](QWidget *modal) mutable {
        armed.clear();
        const auto *box = qobject_cast<QMessageBox *>(modal);
        const QAbstractButton *cancel = box ? box->button(QMessageBox::Cancel) : nullptr;
        titles << modal->windowTitle() + (cancel && box->defaultButton() != cancel ? " (default?)" : "");
        QStringList actions = steps.isEmpty() ? QStringList{""} : steps.takeFirst().split(';');
        const QString press = actions.takeLast();
        for (const QString &field : qAsConst(actions)) {
            QWidget *input = modal->findChild<QWidget *>(field.section('=', 0, 0));
            input->setProperty(input->inherits("QLineEdit") ? "text" : "value", field.section('=', 1));
        }
        answerInTurn(titles, steps);
        const int button =
            QMetaEnum::fromType<QDialogButtonBox::StandardButtons>().keyToValue(qPrintable(press));
        if (press.isEmpty())
            modal->close();
        else if (button >= 0)
            clickButton(modal, QDialogButtonBox::StandardButton(button));
        else
            modal->findChild<QPushButton *>(press)->click();
    });
}

class TestModuleConfigWindow : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void sessionAgainstTheSimulator()
    {
        BaseStationSimulator::Settings settings;
        settings.guardTimeMs = 100; // the model's clock below runs four times real time
        settings.powerOnDelayMs = 0;
        settings.powerOnIntervalMs = 60;
        settings.speed = 100;
        settings.modules = {{'D', "SIM-D"}, {'P', "SIM-P"}}; // cups and a thermistor; pitot alone
        BaseStationSimulator simulator(settings);
        QVERIFY(simulator.start());
        Model model(0, 0, false, false, false, false);
        QElapsedTimer wall;
        wall.start();
        qint64 frozen = -1; // then no time limit of a calibration runs out on a slow machine
        model.setClock([&] { return frozen >= 0 ? frozen : wall.elapsed() * 4; });
        ModuleConfigWindow window(&model);
        QSignalSpy closing(&window, &ModuleConfigWindow::closing);
        auto *result = window.findChild<CalibFinishDialog *>();
        const auto click = [&window](const QString &name) {
            QTest::mouseClick(window.findChild<QAbstractButton *>(name), Qt::LeftButton);
        };
        const auto acknowledge = [&window, result] {
            QTRY_VERIFY_WITH_TIMEOUT(result->isVisible(), 5000);
            QCOMPARE(result->windowTitle(), QStringLiteral("Calibration Succeeded"));
            QVERIFY(!window.close() && window.isVisible()); // not while the outcome is on show
            clickButton(result, QDialogButtonBox::Ok);
        };
        // Which controls are enabled ('1', in the order below), the module shown '|' the progress
        // label and bar (maximum/value while shown); with all controls disabled, a close request.
        const auto expect = [&](const QString &enabled, const QString &shown) {
            QString seen;
            for (const QString &name : QString("acquire clearModule compassRadio anemometerRadio "
                                               "thermistorRadio calibrate indoorToggle nextModule "
                                               "previousModule help").split(' '))
                seen += window.findChild<QWidget *>(name + "Button")->isEnabled() ? '1' : '0';
            QCOMPARE(seen, enabled + '1');
            auto *bar = window.findChild<QProgressBar *>("progressBar");
            QCOMPARE(window.findChild<QLabel *>("moduleDisplay")->text() + '|'
                         + window.findChild<QLabel *>("progressBarLabel")->text()
                         + (bar->isVisible() ? QString(" %1/%2").arg(bar->maximum()).arg(bar->value()) : ""),
                     shown);
            if (!enabled.contains('1'))
                QVERIFY(!window.close() && window.isVisible());
        };
        window.show();

        QStringList titles;
        answerInTurn(titles, {"portEntry=/nonexistent/radio;Ok", "Ok"}); // the port does not open
        click("acquireButton");
        answerInTurn(titles, {"portEntry=" + simulator.portName() + ";Ok"});
        click("acquireButton");
        QCOMPARE(titles, QStringList({"Serial Port Selection", "Warning", "Serial Port Selection"}));
        expect("000000000", "<None>|"); // configuring the radio
        auto *acquiring = window.findChild<AcquireDialog_DynamicAltitude *>();
        QTRY_VERIFY_WITH_TIMEOUT(acquiring->isVisible(), 5000);
        expect("000000000", "<None>|Searching for new modules... 0/0");
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), 2, 5000);
        QTest::mouseClick(acquiring->findChild<QPushButton *>("okButton"), Qt::LeftButton);
        expect("111101101", "SIM-P|"); // no thermistor
        click("previousModuleButton");
        expect("111111110", "SIM-D|");

        // Module, choice, answers to the modal windows and their titles ('|' between them), then the
        // state, type and thermistor option, cup constants, reference temperature and Beta.
        const struct { const char *module, *choice, *steps, *titles, *outcome; } ways[] = {
            {"SIM-D", "anemometer", "Yes|slopeSpinBox=0.5;offsetSpinBox=0.25;Ok",
             "Calibrate Cup Anemometer?|Calibration Input", "Calibrating_Anemometer 10 500/25 0/0"},
            {"SIM-D", "anemometer", "Cancel", "Calibrate Cup Anemometer?", "Stopped 10 500/25 0/0"},
            {"SIM-P", "anemometer", "", "", "Calibrating_Anemometer 10 500/25 0/0"}, // pitot
            {"SIM-D", "thermistor", "Cancel", "Thermistor Options", "Stopped 10 500/25 0/0"},
            {"SIM-D", "thermistor", "autoCalibButton|Ok",
             "Thermistor Options|Temperature Equilibrated?", "Calibrating_Thermistor 20 500/25 0/0"},
            {"SIM-D", "thermistor", "manualCalibButton|Ok|Ok", // at 0 degrees Celsius
             "Thermistor Options|Temperature Equilibrated?|Thermistor Calibration",
             "Calibrating_Thermistor 21 500/25 27315/0"},
            {"SIM-D", "thermistor", "changeBetaButton|passwordEdit=7319;Ok|Ok",
             "Thermistor Options|Thermistor Beta Password|Edit Beta Value",
             "Calibrating_Thermistor 22 500/25 27315/3068"},
            {"SIM-D", "thermistor", "autoCalibButton|Cancel", // back to the options, then shut
             "Thermistor Options|Temperature Equilibrated?|Thermistor Options", "Stopped 22 500/25 27315/3068"},
            {"SIM-D", "thermistor", "changeBetaButton|passwordEdit=7318;Ok|Cancel", // a wrong password
             "Thermistor Options|Thermistor Beta Password|Thermistor Beta Password|Thermistor Options",
             "Stopped 22 500/25 27315/3068"},
        };
        frozen = wall.elapsed() * 4;
        for (const auto &way : ways) {
            click(way.module == QLatin1String("SIM-D") ? "previousModuleButton" : "nextModuleButton");
            click(QLatin1String(way.choice) + "RadioButton");
            QStringList seen;
            answerInTurn(seen, QString(way.steps).split('|', Qt::SkipEmptyParts));
            click("calibrateButton");
            QCOMPARE(seen.join('|'), QString(way.titles));
            QCOMPARE(QString("%1 %2%3 %4/%5 %6/%7").arg(model.stateName(model.currentState()))
                         .arg(model.calibrationType()).arg(model.thermistorOption())
                         .arg(model.cupSlope()).arg(model.cupOffset())
                         .arg(model.referenceTemperature()).arg(model.beta()), QString(way.outcome));
            if (model.isCalibrating())
                acknowledge();
        }
        // Shown a module without a thermistor, the choice moves to the compass: Calibrate is never
        // a silent click.
        QVERIFY(window.findChild<QRadioButton *>("thermistorRadioButton")->isChecked());
        click("nextModuleButton");
        QVERIFY(window.findChild<QRadioButton *>("compassRadioButton")->isChecked());
        // Remove forgets the module shown.
        click("clearModuleButton");
        QCOMPARE(model.rowCount(), 1);
        expect("111111100", "SIM-D|");
        QVERIFY(window.close() && !window.isForceClosing() && closing.count() == 1);

        // Opened again, it shows the module left; quitting closes it even during a calibration.
        window.show();
        expect("111111100", "SIM-D|");
        click("compassRadioButton");
        click("calibrateButton");
        frozen += 1600;
        QMetaObject::invokeMethod(&model, "onFastTimer");
        expect("000000000", "SIM-D|Waiting 10 seconds... 100/16");
        window.forceClose();
        QVERIFY(!window.isVisible() && window.isForceClosing() && closing.count() == 2);
    }

    // What each calibration dialog makes of the texts typed into its fields in form order; -1: it
    // refuses them and stays open.
    void inputDialogs()
    {
        const std::tuple<QString, QStringList, int> examples[] = {{"cup", {"0.999", "0.99"}, 999 * 1000 + 99},
            {"cup", {"", "0.5"}, -1}, {"temperature", {"21.50"}, 29465}, {"temperature", {"-273.15"}, 0},
            {"temperature", {"382.00"}, 65515}, {"temperature", {""}, -1}, {"beta", {}, 3068}, // as it opens
            {"beta", {"65535"}, 65535}, {"beta", {""}, -1}, {"password", {" 7319 "}, 0}, {"password", {"7318"}, -1}};
        for (const auto &[dialog, texts, value] : examples) {
            CupAnemometerCalibDialog cup;
            ThermistorCalibTempDialog temperature;
            ThermistorBetaDialog beta;
            ThermistorBetaPasswordDialog password;
            const QHash<QString, QPair<QDialog *, std::function<int()>>> dialogs = {
                {"cup", {&cup, [&] { return cup.slope() * 1000 + cup.offset(); }}},
                {"temperature", {&temperature, [&] { return int(temperature.temperature()); }}},
                {"beta", {&beta, [&] { return int(beta.beta()); }}},
                {"password", {&password, [] { return 0; }}}};
            QDialog *d = dialogs[dialog].first;
            d->show();
            const QList<QLineEdit *> fields = d->findChildren<QLineEdit *>();
            for (int i = 0; i < texts.size(); ++i) {
                fields[i]->selectAll();
                fields[i]->del();
                QTest::keyClicks(fields[i], texts[i]);
            }
            QCOMPARE(fields[0]->echoMode(), dialog == "password" ? QLineEdit::Password : QLineEdit::Normal);
            clickButton(d, QDialogButtonBox::Ok);
            QCOMPARE(d->result() == QDialog::Accepted, value >= 0);
            const int made = d->isVisible() ? -1 : dialogs[dialog].second();
            QCOMPARE(dialog + ' ' + QString::number(made), dialog + ' ' + QString::number(value));
        }
    }

    // Green to yellow to red as the distortion goes from 0 to 12.5 to 25 %.
    void indicatorColour()
    {
        const std::tuple<float, int, int> examples[] = {{-0.1f, 0, 255}, {0.0f, 0, 255}, {0.0625f, 128, 255},
            {0.125f, 255, 255}, {0.1875f, 255, 128}, {0.25f, 255, 0}, {0.6f, 255, 0}};
        for (const auto &[distortion, red, green] : examples)
            QCOMPARE(CalibFinishDialog::indicatorColour(distortion), QColor(red, green, 0));
    }

    void resultDialog()
    {
        Model model(0, 0, false, false, false, false);
        CalibFinishDialog dialog(&model);
        model.setCompassResults(1.0f, 0.05f, 0.25f);
        model.setLastCalibrationSucceeded(true);
        model.states().calibSuccess->enter();
        QVERIFY(dialog.isVisible() && !dialog.isModal());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Calibration Succeeded"));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("infoText"))->text(),
                 QStringLiteral("The module was successfully calibrated."));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("distortionPercentText"))->text(), QStringLiteral("25.0 %"));
        QCOMPARE(dialog.findChild<QWidget *>(QStringLiteral("warningIndicator"))->styleSheet(),
                 QStringLiteral("background-color: rgb(255, 0, 0); border-radius: 6px;"));
        QWidget *distortion = dialog.findChild<QWidget *>(QStringLiteral("distortionWidget"));
        QVERIFY(distortion->isVisible());
        clickButton(&dialog, QDialogButtonBox::Ok);
        QVERIFY(model.currentState() == model.states().stopped && !dialog.isVisible());

        // After an anemometer outcome only title and message show; closing acknowledges too.
        model.setCalibrationType(1);
        model.states().calibSuccess->enter();
        QVERIFY(dialog.isVisible() && !distortion->isVisible());
        dialog.close();
        QVERIFY(model.currentState() == model.states().stopped && !dialog.isVisible());
    }
};

VENTROLLA_GUI_TEST_MAIN(TestModuleConfigWindow)
#include "tst_ModuleConfigWindow.moc"
