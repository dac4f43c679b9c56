#include "app/MainWindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
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
