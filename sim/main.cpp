#include "BaseStationSimulator.h"
#include "SimulatorCommandLine.h"
#include "core/Version.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ventrolla-sim"));

    SimulatorCommandLine commandLine;
    switch (commandLine.parse(QCoreApplication::arguments())) {
    case SimulatorCommandLine::Outcome::Help:
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        return 0;
    case SimulatorCommandLine::Outcome::Version:
        std::printf("ventrolla-sim (Ventrolla) %s\n", Version::text);
        return 0;
    case SimulatorCommandLine::Outcome::Error:
        std::fprintf(stderr, "ventrolla-sim: %s\n", qPrintable(commandLine.errorText()));
        return 2;
    case SimulatorCommandLine::Outcome::Run:
        break;
    }
    for (const QString &warning : commandLine.warnings())
        std::fprintf(stderr, "ventrolla-sim: %s\n", qPrintable(warning));

    BaseStationSimulator simulator(commandLine.settings());
    if (commandLine.isVerbose()) {
        QObject::connect(&simulator, &BaseStationSimulator::logMessage, [](const QString &text) {
            std::fprintf(stderr, "%s %s\n",
                         qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))),
                         qPrintable(text));
        });
    }
    if (!simulator.start()) {
        std::fprintf(stderr, "ventrolla-sim: could not open a pseudo-terminal\n");
        return 1;
    }
    // Whoever started us reads this line to learn which device to open.
    std::printf("%s\n", qPrintable(simulator.portName()));
    std::fflush(stdout);
    return app.exec();
}
