// The high-wind alert's sound, box and threshold dialog on a machine without a sound card.

#include "TestSupport.h"
#include "core/Model.h"
#include "output/HighWindAlertDialog.h"
#include "output/HighWindAlertService.h"
#include "output/SetHighWindThresholdDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

class TestHighWindAlert : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void soundWithoutAudioDeviceNeitherCrashesNorHangs()
    {
        Model model(0, 0, false, false, false, false);
        QElapsedTimer took;
        took.start();
        {
            HighWindAlertService service(&model);
            QVERIFY(!service.isAlerting());
            service.start();
            QVERIFY(service.isAlerting());
            QTest::qWait(50); // the player's own events: no device, no codec
            QVERIFY(QMetaObject::invokeMethod(&service, "onTimer")); // the 600 ms repeat
            QVERIFY(service.isAlerting());
            service.stop();
            QVERIFY(!service.isAlerting());
            service.start();
        } // destroyed while alerting
        QVERIFY(took.elapsed() < 5000);
    }

    void boxAcknowledgesOnOkAndOnClose()
    {
        HighWindAlertDialog box;
        QCOMPARE(box.windowTitle(), QStringLiteral("High Wind Alert!"));
        QCOMPARE(box.icon(), QMessageBox::Warning);
        QVERIFY(!box.isModal());
        QCOMPARE(box.buttons().size(), 1);
        QSignalSpy acknowledged(&box, &HighWindAlertDialog::userAcknowledgedWindAlert);
        box.show();
        QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
        QCOMPARE(acknowledged.count(), 1);
        QVERIFY(!box.isVisible());
        box.show();
        box.close();
        QCOMPARE(acknowledged.count(), 2);
    }

    void thresholdDialog_data()
    {
        QTest::addColumn<int>("windUnits");
        QTest::addColumn<QString>("unit");
        QTest::newRow("knots") << 0 << "Knots";
        QTest::newRow("metres per second") << 1 << "m/s";
    }

    void thresholdDialog()
    {
        QFETCH(int, windUnits);
        QFETCH(QString, unit);
        Model model(windUnits, 0, false, false, false, false);
        model.setHighWindThreshold(12);
        SetHighWindThresholdDialog dialog(&model);
        auto *input = dialog.findChild<QSpinBox *>(QStringLiteral("userInput"));
        auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("unitLabel"))->text(), unit);
        QCOMPARE(input->value(), 12);

        // A cancelled value leaves the threshold alone but is offered again next time.
        dialog.show();
        input->setValue(25);
        buttons->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(model.highWindThreshold(), 12);
        dialog.show();
        QCOMPARE(input->value(), 25);
        buttons->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(model.highWindThreshold(), 25);
    }
};

VENTROLLA_GUI_TEST_MAIN(TestHighWindAlert)
#include "tst_HighWindAlert.moc"
