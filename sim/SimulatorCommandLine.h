#ifndef VENTROLLA_TOOLS_SIMULATORCOMMANDLINE_H
#define VENTROLLA_TOOLS_SIMULATORCOMMANDLINE_H

#include "BaseStationSimulator.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// The options of ventrolla-sim, turned into the simulator's settings.
class SimulatorCommandLine
{
public:
    enum class Outcome { Run, Help, Version, Error };

    SimulatorCommandLine();

    // arguments as QCoreApplication::arguments() gives them, the program name first.
    Outcome parse(const QStringList &arguments);

    BaseStationSimulator::Settings settings() const;
    bool isVerbose() const;
    QString helpText() const;
    QString errorText() const;
    // Lines of a replayed log that were skipped, each naming its line.
    QStringList warnings() const;

private:
    bool fail(const QString &text);
    bool readModules();
    bool readModuleDescription(const QString &description, SimulatedModule::Settings &module);
    bool readReplay();

    QCommandLineParser parser;
    BaseStationSimulator::Settings settings_;
    QString error;
    QStringList warnings_;
    int compassWaitMs = 0;
};

#endif
