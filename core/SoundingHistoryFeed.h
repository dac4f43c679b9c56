#ifndef VENTROLLA_CORE_SOUNDINGHISTORYFEED_H
#define VENTROLLA_CORE_SOUNDINGHISTORYFEED_H

#include <QHash>
#include <QObject>
#include <QVariant>

class Model;
class SoundingHistory;

// Copies every data set the model announces from its table into the sounding's history. A
// module whose UTC time has not moved since its last set was silent: its values in the table
// are old, so the history gets a gap there, not a repeat. A new acquisition starts a new
// sounding and clears the history; Stop and Run of the same modules keep it.
class SoundingHistoryFeed : public QObject
{
    Q_OBJECT

public:
    SoundingHistoryFeed(Model *model, SoundingHistory *history, QObject *parent = nullptr);

    SoundingHistory *history() const;

signals:
    void setAppended();
    void cleared();

private:
    void onDataSetReady(const QDateTime &dataTime);
    void onStatusChanged();

    Model *model;
    SoundingHistory *history_;
    QHash<QString, QVariant> lastUtcTime;
    bool wasAcquiring = false;
};

#endif
