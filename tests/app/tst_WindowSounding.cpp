// A whole sounding through the real window, driven as a user would: the set-up dialog, Acquire
// with the simulator's port typed in, the base station configured, three modules acquired,
// Done, a log begun, a client on the live stream, the high-wind alert armed, Run, the table
// holding what the simulator sent, the alert raised and acknowledged, Stop, the configuration
// window opened and closed, and quitting; the log and the stream carry the same data sets.

#include "BaseStationSimulator.h"
#include "ModalAnswer.h"
#include "TestSupport.h"

#include "app/AcquireDialog_DynamicAltitude.h"
#include "app/MainWindow.h"
#include "config/ModuleConfigWindow.h"
#include "core/Model.h"
#include "link/ProgressDialog.h"
#include "output/HighWindAlertDialog.h"
#include "output/HighWindAlertService.h"

#include <QAction>
#include <QBackingStore>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLocalSocket>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

namespace {

constexpr int moduleCount = 3;

// What the table shows of a Data message ("P (mbar)", "%RH", "Wind (degrees)", "Supply (V)",
// "UTC Time"), read from the message's bytes: '#', the type 0x09, then the payload with '#'
// and '!' sent as '!' and the byte XOR 0x20.
QStringList shownValues(const QByteArray &message)
{
    QByteArray payload;
    for (int i = 2; i < message.size(); ++i)
        payload.append(message[i] == '!' ? char(message[++i] ^ 0x20) : message[i]);
    const auto word = [&payload](int at) { return quint8(payload[at]) << 8 | quint8(payload[at + 1]); };
    const auto twoDigits = [&payload](int at) {
        return QStringLiteral("%1").arg(quint8(payload[at]), 2, 10, QLatin1Char('0'));
    };
    return {QString::number(word(1) / 10.0, 'f', 1), QString::number(word(5) / 10.0, 'f', 1),
            QString::number(word(7)), QString::number(word(11) / 100.0, 'f', 2),
            twoDigits(14) + ':' + twoDigits(15) + ':' + twoDigits(16)};
}

} // namespace

class TestWindowSounding : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void soundingThroughTheWindow()
    {
        BaseStationSimulator::Settings settings;
        settings.guardTimeMs = 100; // matches the model's clock below, four times real time
        settings.powerOnDelayMs = 0;
        settings.powerOnIntervalMs = 60;
        settings.speed = 25; // a report every 80 ms at the two-second interval
        settings.startTime = QDateTime(QDate(2024, 6, 1), QTime(10, 0), Qt::UTC);
        QHash<QString, QHash<QString, QStringList>> sent; // module, UTC time: what it sent
        for (int i = 0; i < moduleCount; ++i) {
            SimulatedModule::Settings module;
            module.identifier = QStringLiteral("SND%1").arg(i + 1);
            module.heightAboveGround = 50 + 300 * i;
            settings.modules << module;
        }
        BaseStationSimulator simulator(settings);
        QVERIFY(simulator.start());
        for (int i = 0; i < moduleCount; ++i) {
            const QString id = settings.modules[i].identifier;
            connect(simulator.module(i), &SimulatedModule::transmitted,
                    [&sent, id](qint64, const QByteArray &message) {
                        if (message.size() > 18 && message[1] == 0x09) {
                            const QStringList values = shownValues(message);
                            sent[id][values.last()] = values;
                        }
                    });
        }

        answerModal([](QWidget *setup) { clickButton(setup, QDialogButtonBox::Ok); });
        MainWindow window;
        window.show();
        auto *model = window.findChild<Model *>();
        QElapsedTimer wall;
        wall.start();
        model->setClock([&wall] { return wall.elapsed() * 4; });
        const auto trigger = [&window](const char *action) {
            window.findChild<QAction *>(QLatin1String(action))->trigger();
        };
        const auto state = [&window] {
            return window.findChild<QLabel *>(QStringLiteral("stateText"))->text();
        };

        answerModal([&simulator](QWidget *portDialog) {
            auto *entry = portDialog->findChild<QLineEdit *>(QStringLiteral("portEntry"));
            entry->selectAll();
            QTest::keyClicks(entry, simulator.portName());
            clickButton(portDialog, QDialogButtonBox::Ok);
        });
        trigger("action_Acquire");
        QVERIFY(window.findChild<ProgressDialog *>()->isVisible());
        auto *acquireDialog = window.findChild<AcquireDialog_DynamicAltitude *>();
        QTRY_VERIFY_WITH_TIMEOUT(acquireDialog->isVisible(), 5000);
        QVERIFY(!window.findChild<ProgressDialog *>()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), moduleCount, 8000);
        QTest::mouseClick(acquireDialog->findChild<QPushButton *>(QStringLiteral("okButton")),
                          Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("Stopped"), 5000);
        QVERIFY(!acquireDialog->isVisible());

        // A log begun from the Log menu, a client on the stream, and the alert armed at one
        // knot, which the simulated wind exceeds.
        const QString logPath = TestSupport::sandboxPath() + QStringLiteral("/sounding.csv");
        answerModal([&logPath](QWidget *dialog) {
            // Typed as a user would: the name field has the focus, which selectFile() respects.
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(logPath);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        trigger("action_Begin_Logging");
        QLocalSocket stream;
        stream.connectToServer(QStringLiteral("Ventrolla"));
        QVERIFY(stream.waitForConnected(2000));
        answerModal([](QWidget *dialog) {
            dialog->findChild<QSpinBox *>(QStringLiteral("userInput"))->setValue(1);
            clickButton(dialog, QDialogButtonBox::Ok);
        });
        trigger("actionSet_Threshold_High_Wind");
        trigger("actionActivate_High_Wind");

        // Every data set: each row of the table holds what its module sent for that time.
        const QAbstractItemModel *table =
            window.findChild<QTableView *>(QStringLiteral("tableView"))->model();
        int checkedSets = 0;
        QStringList mismatches;
        connect(model, &Model::dataSetReady, [&] {
            ++checkedSets;
            for (int row = 0; row < table->rowCount(); ++row) {
                QStringList shown;
                for (int column : {2, 4, 5, 7, 8})
                    shown << table->index(row, column).data().toString();
                const QString id = table->index(row, 0).data().toString();
                if (sent.value(id).value(shown.last()) != shown)
                    mismatches << id + ": " + shown.join(QLatin1Char(' '));
            }
        });
        trigger("action_Run");
        QCOMPARE(state(), QStringLiteral("Starting"));
        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("Running"), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(checkedSets >= 5, 8000);
        QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join(QLatin1Char('\n'))));
        QCOMPARE(sent.size(), moduleCount);

        // The alert sounds and shows its box until OK, which disarms it.
        auto *alertBox = window.findChild<HighWindAlertDialog *>();
        auto *alertSound = window.findChild<HighWindAlertService *>();
        QVERIFY(alertBox->isVisible() && alertSound->isAlerting());
        QCOMPARE(alertBox->text(),
                 QStringLiteral("Wind speeds greater than 1 knots were detected!"));
        clickButton(alertBox, QDialogButtonBox::Ok);
        QVERIFY(!alertBox->isVisible() && !alertSound->isAlerting());
        QVERIFY(!model->isHighWindAlertActive());

        trigger("action_Stop");
        QCOMPARE(state(), QStringLiteral("Stopping"));
        QTRY_COMPARE_WITH_TIMEOUT(state(), QStringLiteral("Stopped"), 5000);

        // The window's pixels of the table are the table painted now: the last reports reached
        // the screen.
        auto *tableView = window.findChild<QTableView *>(QStringLiteral("tableView"));
        const auto onScreen = [tableView] {
            const auto *pixels = static_cast<QImage *>(tableView->backingStore()->paintDevice());
            return pixels->copy(QRect(tableView->viewport()->mapTo(tableView->window(), QPoint()),
                                      tableView->viewport()->size()))
                .convertToFormat(QImage::Format_RGB32);
        };
        QTRY_COMPARE(onScreen(),
                     tableView->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32));

        // The configuration window holds the module commands while it is open.
        auto *configWindow = window.findChild<ModuleConfigWindow *>();
        auto *run = window.findChild<QAction *>(QStringLiteral("action_Run"));
        trigger("action_Module_Config");
        QVERIFY(configWindow->isVisible() && !run->isEnabled());
        QVERIFY(configWindow->close());
        QVERIFY(run->isEnabled());

        // Every data line of the log is the matching stream line without its XData column,
        // with a comment field after the time.
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList logged =
            QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(3);
        QStringList streamed;
        const auto readStream = [&] {
            while (stream.canReadLine())
                streamed << QString::fromUtf8(stream.readLine()).chopped(1);
            return streamed.size();
        };
        QTRY_COMPARE(readStream(), logged.size());
        QVERIFY(logged.size() >= 5);
        for (int i = 0; i < logged.size(); ++i) {
            const QStringList fields = streamed[i].split(QLatin1Char('\t'));
            QCOMPARE(fields.size(), 1 + 14 * moduleCount);
            QStringList expected = {fields[0], QString()};
            for (int module = 0; module < moduleCount; ++module)
                expected += fields.mid(1 + 14 * module, 13);
            QCOMPARE(logged[i].split(QLatin1Char(',')), expected);
        }

        MessageSeen seen;
        answerMessage(seen, QDialogButtonBox::Ok);
        trigger("action_Exit");
        QCOMPARE(seen.title, QStringLiteral("Quit Ventrolla?"));
        QVERIFY(!window.isVisible());
    }
};

VENTROLLA_GUI_TEST_MAIN(TestWindowSounding)
#include "tst_WindowSounding.moc"
