// The window program before and at start-up: which arguments answer on the terminal instead of
// opening the window, and the release the window title and the About window show. What the
// answers say, from the installed program without a display: tests/install/tst_install.sh.

#include "ModalAnswer.h"
#include "TestSupport.h"

#include "app/AboutWindow.h"
#include "app/MainWindow.h"
#include "app/StartupOptions.h"
#include "core/Version.h"

#include <QtTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(StartupOptions::Action)

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void argumentsDecideWhetherTheWindowOpens_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<StartupOptions::Action>("action");
        using A = StartupOptions::Action;
        QTest::newRow("none") << QStringList{} << A::OpenWindow;
        QTest::newRow("toolkit options") << QStringList{"-platform", "offscreen", "-style", "fusion"}
                                         << A::OpenWindow;
        QTest::newRow("unknown argument") << QStringList{"--helpful", "-version"} << A::OpenWindow;
        QTest::newRow("--help") << QStringList{"--help"} << A::ShowHelp;
        QTest::newRow("-h after toolkit options") << QStringList{"-platform", "xcb", "-h"} << A::ShowHelp;
        QTest::newRow("-?") << QStringList{"-?"} << A::ShowHelp;
        QTest::newRow("--version") << QStringList{"--version"} << A::ShowVersion;
        QTest::newRow("-v") << QStringList{"-v"} << A::ShowVersion;
        QTest::newRow("help wins over an earlier version") << QStringList{"-v", "--help"} << A::ShowHelp;
    }

    void argumentsDecideWhetherTheWindowOpens()
    {
        QFETCH(QStringList, arguments);
        QFETCH(StartupOptions::Action, action);
        // The program's own name never counts, whatever it is.
        QCOMPARE(StartupOptions::action(QStringList{"--help"} + arguments), action);
    }

    void windowAndAboutShowTheRelease()
    {
        const QString release = QString::fromLatin1(Version::text);
        QCOMPARE(release.split(QLatin1Char('.')).size(), 3);

        answerModal([](QWidget *setup) { clickButton(setup, QDialogButtonBox::Ok); });
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Ventrolla %1").arg(release));

        AboutWindow about;
        QCOMPARE(about.findChild<QLabel *>(QStringLiteral("versionLabel"))->text(),
                 QStringLiteral("Version %1.%2").arg(release).arg(Version::build));
    }
};

VENTROLLA_GUI_TEST_MAIN(TestStartup)
#include "tst_Startup.moc"
