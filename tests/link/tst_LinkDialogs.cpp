// The serial-port, data-timing and base-station progress dialogs against a real model.

#include "BaseStationSimulator.h"
#include "ModalAnswer.h"
#include "PseudoTerminal.h"
#include "TestSupport.h"

#include "core/Model.h"
#include "link/DataTimingDialog.h"
#include "link/ProgressDialog.h"
#include "link/SerialPortDialog.h"

#include <QtTest>
#include <QtWidgets>

class TestLinkDialogs : public SettingsTestCase
{
    Q_OBJECT

private slots:
    // The model's interval, a choice (", configuring": while the base station is configured, when the
    // interval stays), what the dialog shows when opened and after the choice, the index sent.
    void timingDialogShowsAndSendsTheIndex()
    {
        const std::tuple<int, QString, QString, int> examples[] = {{13, "seconds", "1 min, 1 s", 1},
            {13, "last", "1 min, 60 min", 24}, {7, "minutes", "10 s, 10 min", 19}, {0, "minutes", "1 s, 1 min", 13},
            {25, "next", "1 s, 2 s", 2}, {2, "minutes, configuring", "2 s, 2 s", 2}};
        for (const auto &[modelIndex, choice, shown, sentIndex] : examples) {
            Model model(0, 0, false, false, false, false);
            model.setDataInterval(modelIndex);
            // Built after the model's last status change: opening it must still show the model.
            DataTimingDialog dialog(&model);
            dialog.show();
            auto *interval = dialog.findChild<QComboBox *>(QStringLiteral("interval"));
            auto *minutes = dialog.findChild<QRadioButton *>(QStringLiteral("minutes"));
            auto *seconds = dialog.findChild<QRadioButton *>(QStringLiteral("seconds"));
            const auto showing = [&] {
                return interval->currentText() + (minutes->isChecked() ? " min" : seconds->isChecked() ? " s" : "");
            };
            QStringList seen{showing()};
            PseudoTerminal line;
            if (choice.endsWith(QLatin1String(", configuring")))
                QVERIFY(line.open() && model.setPortName(line.slavePath()) && model.openPort());
            if (choice.startsWith(QLatin1String("seconds")))
                QTest::mouseClick(seconds, Qt::LeftButton);
            else if (choice.startsWith(QLatin1String("minutes")))
                QTest::mouseClick(minutes, Qt::LeftButton);
            else
                QTest::keyClick(interval, choice == QLatin1String("last") ? Qt::Key_End : Qt::Key_Down);
            QCOMPARE(seen << showing(), shown.split(QStringLiteral(", ")));
            QCOMPARE(model.dataInterval(), sentIndex);
        }
    }

    // Opening lists the ports afresh; a name is selected from the list (in any case) or entered.
    void portDialogSelectsAndHandsOverTheName()
    {
        Model model(0, 0, false, false, false, false);
        SerialPortDialog dialog(&model);
        auto *ports = dialog.findChild<QComboBox *>(QStringLiteral("portSelection"));
        auto *entry = dialog.findChild<QLineEdit *>(QStringLiteral("portEntry"));
        auto *selectButton = dialog.findChild<QRadioButton *>(QStringLiteral("selectButton"));
        auto *manualButton = dialog.findChild<QRadioButton *>(QStringLiteral("manualButton"));
        ports->addItem(QStringLiteral("gone"));
        dialog.show();
        QCOMPARE(ports->findText(QStringLiteral("gone")), -1);
        QCOMPARE(ports->count(), QSerialPortInfo::availablePorts().size());
        ports->addItem(QStringLiteral("COM3"));
        ports->addItem(QStringLiteral("COM4"));

        dialog.selectPortName(QStringLiteral("com4"));
        QCOMPARE(ports->currentText(), QStringLiteral("COM4"));
        QVERIFY(selectButton->isChecked());
        QCOMPARE(dialog.chosenPortName(), QStringLiteral("COM4"));

        dialog.selectPortName(QStringLiteral("COM9"));
        QVERIFY(manualButton->isChecked());
        QCOMPARE(entry->text(), QStringLiteral("COM9"));

        // Typing chooses the manual entry; the blanks around the name are dropped.
        selectButton->setChecked(true);
        entry->clear();
        QTest::keyClicks(entry, QStringLiteral("  COM9 "));
        QVERIFY(manualButton->isChecked());
        clickButton(&dialog, QDialogButtonBox::Ok);
        QCOMPARE(model.serialPort()->portName(), QStringLiteral("COM9"));
    }

    void progressDialogReportsASilentBaseStation()
    {
        BaseStationSimulator::Settings settings;
        settings.faults.ignoreGuardSequence = true;
        BaseStationSimulator radio(settings);
        QVERIFY(radio.start());
        Model model(0, 0, false, false, false, false);
        // Nine seconds of the three-rate search pass in about half a second.
        QElapsedTimer wall;
        wall.start();
        model.setClock([&wall] { return wall.elapsed() * 20; });
        ProgressDialog dialog(&model);
        model.setPortName(radio.portName());
        QVERIFY(model.openPort() && dialog.isVisible());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Configuring base station"));
        auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
        QTRY_VERIFY(bar->value() > 0);

        MessageSeen seen;
        answerMessage(seen, QDialogButtonBox::Ok);
        QTRY_COMPARE_WITH_TIMEOUT(seen.title, QStringLiteral("Base station failure"), 5000);
        QCOMPARE(seen.text, QStringLiteral("Configuration failed!\nMake sure base station is "
                                           "turned on and try again."));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QVERIFY(!dialog.isVisible() && model.canOpenPort());
    }
};

VENTROLLA_GUI_TEST_MAIN(TestLinkDialogs)
#include "tst_LinkDialogs.moc"
