// Opens the module configuration window on its own, until the main window offers it: choose
// Acquire and give the serial-port dialog the base station's port, or the port that
// ventrolla-sim prints for its simulated base station.

#include "config/ModuleConfigWindow.h"
#include "core/Model.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QApplication::setOrganizationDomain(QStringLiteral("corvanel.com"));
    QApplication::setApplicationName(QStringLiteral("Ventrolla"));
    Model model(0, 0, false, false, false, false);
    ModuleConfigWindow window(&model);
    window.show();
    return app.exec();
}
