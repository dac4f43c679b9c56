#ifndef VENTROLLA_ARCHIVE_TIDYTABLEWRITER_H
#define VENTROLLA_ARCHIVE_TIDYTABLEWRITER_H

#include "archive/SoundingRow.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes a sounding as a tidy comma-separated table: one row per data set and module, the
// unit in every column name (SoundingRow::columnNames()), an empty field for a missing value.
// Values read from the log keep the log's text; converted and derived ones are printed with
// fixed decimals. The file is written under a temporary name beside the target and renamed when
// commit() succeeds; it is not synced to disk first, since the log it comes from can always
// give it again, and a sync of a large table would hold the caller for seconds.
class TidyTableWriter
{
public:
    explicit TidyTableWriter(const QString &fileName);
    ~TidyTableWriter();
    TidyTableWriter(const TidyTableWriter &) = delete;
    TidyTableWriter &operator=(const TidyTableWriter &) = delete;

    // Opens the temporary file beside the target and writes the column names.
    bool create();
    // One row; `time` is the ISO 8601 text of the data set's time.
    bool addRow(const QByteArray &time, const QString &comment, const SoundingRow &row,
                LogWindUnit unit);
    bool commit();

    QString errorString() const { return error; }

private:
    bool writeBuffer();
    bool fail(const QString &reason);

    QString finalName;
    QFile file;
    QString error;
    QByteArray buffer;
};

#endif
