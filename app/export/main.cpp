#include "ExportOptions.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ventrolla-export"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VENTROLLA_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    ExportOptions options;
    QString error;
    if (!options.parse(QCoreApplication::arguments(), error)) {
        err << "ventrolla-export: " << error << "\nTry 'ventrolla-export --help'.\n";
        return SoundingExport::BadUsage;
    }
    options.settings.source = QStringLiteral("ventrolla-export " VENTROLLA_VERSION);

    SoundingExport exporter(options.settings);
    const SoundingExport::Status status = exporter.run([&err](const QString &warning) {
        err << "ventrolla-export: warning: " << warning << '\n';
    });
    if (status != SoundingExport::Success) {
        err << "ventrolla-export: " << exporter.errorString() << '\n';
        return status;
    }
    if (options.settings.netcdfFile.isEmpty() && options.settings.csvFile.isEmpty())
        out << exporter.summary();
    else
        err << "ventrolla-export: " << exporter.dataSetCount() << " data sets exported ("
            << exporter.warningCount() << " warnings)\n";
    return SoundingExport::Success;
}
