#include "ExportOptions.h"
#include "core/Version.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ventrolla-export"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    ExportOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), error)) {
        err << "ventrolla-export: " << error << "\nTry 'ventrolla-export --help'.\n";
        return SoundingExport::BadUsage;
    }
    options.settings.source = QStringLiteral("ventrolla-export ") + QLatin1String(Version::text);

    // A file of garbage would warn once a line; the first ones tell what is wrong.
    constexpr int warningsShown = 100;
    SoundingExport exporter(options.settings);
    int warned = 0;
    const SoundingExport::Status status = exporter.run([&err, &warned](const QString &warning) {
        if (++warned <= warningsShown)
            err << "ventrolla-export: warning: " << warning << '\n';
    });
    if (warned > warningsShown)
        err << "ventrolla-export: " << warned - warningsShown << " more warnings not shown\n";
    if (status != SoundingExport::Success) {
        err << "ventrolla-export: " << exporter.errorString() << '\n';
        return status;
    }
    if (options.settings.netcdfFile.isEmpty() && options.settings.csvFile.isEmpty())
        out << exporter.summary();
    else
        err << "ventrolla-export: " << exporter.dataSetCount() << " data sets exported, "
            << exporter.warningCount() << " warnings\n";
    return SoundingExport::Success;
}
