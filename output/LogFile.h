#ifndef VENTROLLA_OUTPUT_LOGFILE_H
#define VENTROLLA_OUTPUT_LOGFILE_H

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTextStream>

class Model;

// Writes the model's data sets to a comma-separated log file: a title, date and header line
// when opened, then one line per data set and one per XData record. A comment can be attached
// to the next data line or to every following one; logging can be paused without closing.
//
// Every line is flushed as it is written. When a write fails (disk full, medium removed) the
// log stops, keeps everything already written up to the last complete line, and says so
// through writeFailed().
class LogFile : public QObject
{
    Q_OBJECT

public:
    explicit LogFile(Model *model, QObject *parent = nullptr);
    ~LogFile() override;

    // Opens a new log, truncating any existing file of that name. False when the file could
    // not be opened or its header could not be written; errorString() then tells why.
    bool begin(const QString &fileName);
    void stop();
    void setPaused(bool paused);
    bool isOpen() const;
    bool isPaused() const;
    // Commas, tabs, carriage returns and line feeds become spaces: the comment is one field.
    void setComment(const QString &text, bool repeating);
    QString comment() const;
    bool isCommentRepeating() const;
    // The comment on the data line of this data set, whether the line is written already or
    // is about to be (before or after this slot in the same signal); null when the line has
    // none or no line is written.
    QString commentFor(const QDateTime &dataTime) const;

    QString fileName() const;
    // Why the last begin() failed or the last running log stopped on a failed write, without
    // the file's name (fileName() gives it).
    QString errorString() const;

signals:
    // Emitted on every change of the open or paused state.
    void statusChanged();
    // A running log could not be written and has been stopped (isOpen() is false).
    void writeFailed(const QString &message);

public slots:
    void onDataSetReady(const QDateTime &dataTime);
    void onXDataReady(const QDateTime &dataTime, int dataRow);

private:
    QString cellText(int row, int column) const;
    bool flushLine();
    void closeAfterFailedWrite();
    void stopAfterFailedWrite();

    Model *model;
    QFile file;
    QTextStream stream;
    bool paused = false;
    QString comment_;
    bool repeating = false;
    QDateTime lastLineTime;
    QString lastLineComment;
    // Bytes of the file known to be written completely: the end of the last whole line.
    qint64 committedSize = 0;
    QString error;
};

#endif
