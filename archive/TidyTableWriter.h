#ifndef VENTROLLA_ARCHIVE_TIDYTABLEWRITER_H
#define VENTROLLA_ARCHIVE_TIDYTABLEWRITER_H

#include "archive/SoundingRow.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Writes a sounding as a tidy comma-separated table: one row per data set and module, the
// unit in every column name (SoundingRow::columnNames()), an empty field for a missing value.
// Values read from the log keep the log's text; converted and derived ones are printed with
// fixed decimals. The file appears under its name only when commit() succeeds.
class TidyTableWriter
{
public:
    explicit TidyTableWriter(const QString &fileName);

    // Opens the temporary file beside the target and writes the column names.
    bool create();
    // One row; `time` is the ISO 8601 text of the data set's time.
    bool addRow(const QByteArray &time, const QString &comment, const SoundingRow &row,
                LogWindUnit unit);
    bool commit();

    QString errorString() const { return error; }

private:
    bool writeBuffer();

    QSaveFile file;
    QString error;
    QByteArray buffer;
};

#endif
