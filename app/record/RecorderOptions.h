#ifndef VENTROLLA_APP_RECORD_RECORDEROPTIONS_H
#define VENTROLLA_APP_RECORD_RECORDEROPTIONS_H

#include <QString>
#include <QStringList>

// The run settings of one unattended sounding, from the command line.
struct RecorderOptions
{
    QString port;
    int interval = 0; // data interval index 1 to 24 ("10s" is 7, "1m" 13); 0 keeps the saved one
    int windUnits = 0; // 0 knots, 1 metres per second
    int groundElevation = 0;
    bool latitude = false;
    bool longitude = false;
    bool course = false;
    bool speed = false;
    int moduleTarget = 0; // end acquisition once this many modules are in the table; 0: no target
    int acquireSeconds = 60;
    QString logFile;
    QString netcdfFile; // the log exported there when the run ends
    QString comment;
    int durationSeconds = 0; // 0: until SIGINT or SIGTERM
    bool server = true;

    // Parses the arguments; on bad usage returns false with a message in error. Exits the
    // process for --help and --version, as QCommandLineParser does.
    bool parse(const QStringList &arguments, QString &error);
};

#endif
