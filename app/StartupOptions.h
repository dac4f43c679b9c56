#ifndef VENTROLLA_APP_STARTUPOPTIONS_H
#define VENTROLLA_APP_STARTUPOPTIONS_H

#include <QString>
#include <QStringList>

// The window program's own command line, read before QApplication exists: --help and --version
// answer on standard output and end the program, so that they work where there is no display
// (a terminal, a package build making the manual page). Every other argument is left to
// QApplication, which takes its own (-platform, -style...) and ignores the rest, as it always has.
class StartupOptions
{
public:
    enum class Action { OpenWindow, ShowHelp, ShowVersion };

    // arguments as main() receives them, the program name first.
    static Action action(const QStringList &arguments);
    static QStringList arguments(int argc, const char *const *argv);

    static QString helpText();
    static QString versionText();
};

#endif
