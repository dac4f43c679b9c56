#ifndef VENTROLLA_TESTS_OUTPUTRECORDS_H
#define VENTROLLA_TESTS_OUTPUTRECORDS_H

#include "core/Model.h"
#include "link/FlightModule.h"

#include <QStringList>

// Known flight-module records put straight into a model's table, for the output tests.
namespace OutputRecords {

// The fourteen columns of a module, then radio address, ground elevation, indoor code (off),
// kind letter 'P' and no direct temperature.
inline QString savedRecord(const QStringList &columns, qint64 radioAddress)
{
    return (columns + QStringList{QString::number(radioAddress), QStringLiteral("0"),
                                  QStringLiteral("156"), QStringLiteral("80"), QStringLiteral("0")})
        .join(QLatin1Char(';'));
}

// Three modules: one with GPS fields and XData, one without GPS (empty cells), and one whose
// identifier holds a halfwidth katakana letter (sent by modules as a byte 0x80..0xFF).
inline QList<QStringList> threeModules()
{
    return {
        {"A17", "152.3", "995.12", "18.45", "63.2", "274", "7.8", "3.31", "12:00:01",
         "45.50123", "-73.56781", "118.4", "2.1", "xd-1"},
        {"B204", "301.0", "978.40", "16.02", "70.9", "281", "9.4", "3.28", "12:00:02", "", "",
         "", "", ""},
        {QStringLiteral("K") + QChar(0xFF85), "455.7", "961.77", "14.90", "74.0", "290", "11.2",
         "3.25", "", "", "", "", "", "x3"},
    };
}

// Appends the modules as new rows; false if a record was not accepted.
inline bool addModules(Model &model, const QList<QStringList> &modules)
{
    qint64 address = 0x0013A20040000000LL + model.rowCount();
    bool allValid = true;
    for (const QStringList &columns : modules) {
        auto *module = new FlightModule(savedRecord(columns, address++), model.windUnits());
        allValid = allValid && module->isValid();
        model.appendModule(module);
    }
    model.moduleList().refreshRecords();
    return allValid;
}

} // namespace OutputRecords

#endif
