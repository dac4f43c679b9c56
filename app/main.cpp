#include "app/MainWindow.h"
#include "app/StartupOptions.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>

int main(int argc, char **argv)
{
    // Before QApplication, which would end the program where no display can be opened.
    switch (StartupOptions::action(StartupOptions::arguments(argc, argv))) {
    case StartupOptions::Action::ShowHelp:
        std::fputs(qPrintable(StartupOptions::helpText()), stdout);
        return 0;
    case StartupOptions::Action::ShowVersion:
        std::fputs(qPrintable(StartupOptions::versionText()), stdout);
        return 0;
    case StartupOptions::Action::OpenWindow:
        break;
    }

    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icon/resource/WindowIcon.png")));
    QApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QApplication::setOrganizationDomain(QStringLiteral("corvanel.com"));
    QApplication::setApplicationName(QStringLiteral("Ventrolla"));

    MainWindow window;
    window.show();
    return app.exec();
}
