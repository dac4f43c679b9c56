#include "app/StartupOptions.h"

#include "core/Version.h"

StartupOptions::Action StartupOptions::action(const QStringList &arguments)
{
    Action action = Action::OpenWindow;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        // Help wins over version wherever each stands, as with the other programs.
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")
            || argument == QLatin1String("-?"))
            return Action::ShowHelp;
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v"))
            action = Action::ShowVersion;
    }
    return action;
}

QStringList StartupOptions::arguments(int argc, const char *const *argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

QString StartupOptions::helpText()
{
    return QStringLiteral(
        "Usage: ventrolla [OPTION]...\n"
        "Ground station for atmospheric soundings by moored balloon or kite: configures the base\n"
        "station on a serial port, acquires the flight modules, runs them and shows their values\n"
        "in a table and profile graphs, writes the log file, serves the live data stream, raises\n"
        "the high-wind alert and calibrates modules.\n"
        "\n"
        "Options:\n"
        "  -h, --help     Show this help and exit.\n"
        "  -v, --version  Show the version and exit.\n"
        "\n"
        "The toolkit's own options are accepted too, among them -platform NAME,\n"
        "-style NAME and -display DISPLAY; other arguments are ignored.\n");
}

QString StartupOptions::versionText()
{
    return QStringLiteral("ventrolla (Ventrolla) %1\n").arg(QLatin1String(Version::text));
}
