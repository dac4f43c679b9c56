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

private:
    bool fail(const QString &text);
    bool readModules();
    bool readModuleDescription(const QString &description, SimulatedModule::Settings &module);

    QCommandLineParser parser;
    BaseStationSimulator::Settings settings_;
    QString error;
    int compassWaitMs = 0;
};

#endif
