#include "Recorder.h"
#include "RecorderOptions.h"
#include "SignalWatcher.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanel"));
    QCoreApplication::setApplicationName(QStringLiteral("Ventrolla"));

    QTextStream err(stderr);
    RecorderOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), error)) {
        err << "ventrolla-record: " << error << "\nTry 'ventrolla-record --help'.\n";
        err.flush();
        return Recorder::BadUsage;
    }

    Recorder recorder(options, err);
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &recorder, &Recorder::requestStop);
    QObject::connect(&recorder, &Recorder::finished, &app, &QCoreApplication::exit);
    recorder.start();
    return app.exec();
}
