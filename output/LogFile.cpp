#include "output/LogFile.h"

#include "core/Model.h"

#include <QDate>
#include <QLocale>

namespace {

// The C locale keeps the digits ASCII whatever the user's locale.
QString timeText(const QDateTime &dataTime)
{
    return QLocale::c().toString(dataTime, QStringLiteral("hh:mm:ss"));
}

} // namespace

LogFile::LogFile(Model *model_, QObject *parent) : QObject(parent), model(model_), stream(&file)
{
    // Module identifiers may hold characters outside Latin-1; the file must not depend on the
    // locale the program happens to run under.
    stream.setCodec("UTF-8");
    emit statusChanged();
    if (model) {
        connect(model, &Model::dataSetReady, this, &LogFile::onDataSetReady);
        connect(model, &Model::xdataReady, this, &LogFile::onXDataReady);
    }
}

LogFile::~LogFile()
{
    stop();
}

bool LogFile::begin(const QString &fileName)
{
    paused = false;
    emit statusChanged();
    comment_.clear();
    repeating = false;
    error.clear();

    if (file.isOpen())
        file.close();
    stream.resetStatus();
    committedSize = 0;
    file.setFileName(fileName);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Text)) {
        error = file.errorString();
        emit statusChanged();
        return false;
    }

    stream << "Ventrolla log file\n";
    stream << "Date " << QLocale::c().toString(QDate::currentDate(), QStringLiteral("M/dd/yyyy"))
           << "\n\n";
    stream << "Time,Comment";
    if (model) {
        const int rows = model->rowCount();
        const int columns = model->columnCount();
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns - 1; ++column)
                stream << ',' << model->headerData(column, Qt::Horizontal).toString();
        }
    }
    stream << '\n';
    if (!flushLine()) {
        closeAfterFailedWrite();
        emit statusChanged();
        return false;
    }
    emit statusChanged();
    return true;
}

void LogFile::stop()
{
    paused = false;
    emit statusChanged();
    comment_.clear();
    repeating = false;
    file.close();
    emit statusChanged();
}

void LogFile::setPaused(bool paused_)
{
    paused = paused_;
    emit statusChanged();
}

bool LogFile::isOpen() const
{
    return file.isOpen();
}

bool LogFile::isPaused() const
{
    return paused;
}

void LogFile::setComment(const QString &text, bool repeating_)
{
    QString cleaned = text;
    for (const QChar separator : {QLatin1Char(','), QLatin1Char('\t'), QLatin1Char('\r'),
                                  QLatin1Char('\n')})
        cleaned.replace(separator, QLatin1Char(' '));
    comment_ = cleaned;
    repeating = repeating_;
}

QString LogFile::comment() const
{
    return comment_;
}

bool LogFile::isCommentRepeating() const
{
    return repeating;
}

QString LogFile::commentFor(const QDateTime &dataTime) const
{
    QString text;
    if (lastLineTime.isValid() && lastLineTime == dataTime)
        text = lastLineComment;
    else if (file.isOpen() && !paused)
        text = comment_;
    return text.isEmpty() ? QString() : text;
}

QString LogFile::fileName() const
{
    return file.fileName();
}

QString LogFile::errorString() const
{
    return error;
}

void LogFile::onDataSetReady(const QDateTime &dataTime)
{
    if (!file.isOpen() || paused)
        return;
    stream << timeText(dataTime) << ',' << comment_;
    lastLineTime = dataTime;
    lastLineComment = comment_;
    if (!repeating)
        comment_.clear();
    if (model) {
        const int rows = model->rowCount();
        const int columns = model->columnCount();
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns - 1; ++column)
                stream << ',' << cellText(row, column);
        }
    }
    stream << '\n';
    if (!flushLine())
        stopAfterFailedWrite();
}

void LogFile::onXDataReady(const QDateTime &dataTime, int dataRow)
{
    if (!file.isOpen() || paused)
        return;
    const int columns = model ? model->columnCount() : 0;
    stream << timeText(dataTime) << ",<XDATA>," << cellText(dataRow, 0) << ','
           << cellText(dataRow, columns - 1) << '\n';
    if (!flushLine())
        stopAfterFailedWrite();
}

QString LogFile::cellText(int row, int column) const
{
    if (!model)
        return QString();
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

// Pushes the line through the stream and the file's buffer to the system; only then does it
// count as written.
bool LogFile::flushLine()
{
    stream.flush();
    if (stream.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
        return false;
    committedSize = file.pos();
    return true;
}

void LogFile::closeAfterFailedWrite()
{
    // Only why: the windows and the recorder name the file themselves.
    error = file.error() != QFileDevice::NoError ? file.errorString() : QString();
    if (error.isEmpty() || file.error() == QFileDevice::UnspecifiedError)
        error = tr("The data could not be written");

    const bool regularFile = !file.isSequential();
    paused = false;
    comment_.clear();
    repeating = false;
    // Closing drops whatever could not be written; a line may still have been written in part,
    // so the file is cut back to its last complete line.
    file.close();
    stream.resetStatus();
    if (regularFile)
        QFile::resize(file.fileName(), committedSize);
}

void LogFile::stopAfterFailedWrite()
{
    closeAfterFailedWrite();
    emit statusChanged();
    emit writeFailed(error);
}
