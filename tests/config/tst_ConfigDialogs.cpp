// The calibration dialogs: what each makes of its input, the result dialog and its indicator.
// The thermistor options are answered in every way by the configuration window's test.

#include "ModalAnswer.h"
#include "TestSupport.h"

#include "config/CalibFinishDialog.h"
#include "config/CupAnemometerCalibDialog.h"
#include "config/State_CalibSuccess.h"
#include "config/ThermistorBetaDialog.h"
#include "config/ThermistorBetaPasswordDialog.h"
#include "config/ThermistorCalibTempDialog.h"
#include "core/Model.h"
#include "core/State_Stopped.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>

class TestConfigDialogs : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void inputDialogs_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QStringList>("texts"); // typed into the input fields in form order
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<int>("value");
        QTest::newRow("cup") << "cup" << QStringList{"0.999", "0.99"} << true << 999 * 1000 + 99;
        QTest::newRow("cup, empty slope") << "cup" << QStringList{"", "0.5"} << false << 0;
        QTest::newRow("21.50 C") << "temperature" << QStringList{"21.50"} << true << 29465;
        QTest::newRow("-273.15 C") << "temperature" << QStringList{"-273.15"} << true << 0;
        QTest::newRow("382.00 C") << "temperature" << QStringList{"382.00"} << true << 65515;
        QTest::newRow("no temperature") << "temperature" << QStringList{""} << false << 0;
        QTest::newRow("Beta as it opens") << "beta" << QStringList{} << true << 3068;
        QTest::newRow("Beta 65535") << "beta" << QStringList{"65535"} << true << 65535;
        QTest::newRow("no Beta") << "beta" << QStringList{""} << false << 0;
        QTest::newRow("password") << "password" << QStringList{" 7319 "} << true << 0;
        QTest::newRow("wrong password") << "password" << QStringList{"7318"} << false << 0;
    }

    void inputDialogs()
    {
        QFETCH(QString, dialog);
        QFETCH(QStringList, texts);
        QFETCH(bool, accepted);
        QFETCH(int, value);
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
        QCOMPARE(d->result() == QDialog::Accepted, accepted);
        QCOMPARE(d->isVisible(), !accepted);
        if (accepted)
            QCOMPARE(dialogs[dialog].second(), value);
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
        QCOMPARE(model.currentState(), model.states().stopped);
        QVERIFY(!dialog.isVisible());

        // After an anemometer outcome only title and message show; closing acknowledges too.
        model.setCalibrationType(1);
        model.states().calibSuccess->enter();
        QVERIFY(dialog.isVisible() && !distortion->isVisible());
        dialog.close();
        QCOMPARE(model.currentState(), model.states().stopped);
        QVERIFY(!dialog.isVisible());
    }
};

VENTROLLA_GUI_TEST_MAIN(TestConfigDialogs)
#include "tst_ConfigDialogs.moc"
