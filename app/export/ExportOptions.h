#ifndef VENTROLLA_APP_EXPORT_EXPORTOPTIONS_H
#define VENTROLLA_APP_EXPORT_EXPORTOPTIONS_H

#include "archive/SoundingExport.h"

#include <QString>
#include <QStringList>

// The command line of ventrolla-export.
struct ExportOptions
{
    ExportSettings settings;

    // Parses the arguments; on bad usage returns false with a message in error. Exits the
    // process for --help and --version, as QCommandLineParser does.
    bool parse(const QStringList &arguments, QString &error);

    // Reads "+HH:MM" or "-HH:MM" (-12:00 to +14:00) as seconds; false for anything else.
    static bool parseUtcOffset(const QString &text, int &seconds);
};

#endif
