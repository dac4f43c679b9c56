#ifndef VENTROLLA_APP_RECORD_SIGNALWATCHER_H
#define VENTROLLA_APP_RECORD_SIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal delivered in the event loop. The handler only
// writes a byte to a socket pair; everything else happens outside signal context.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *notifier = nullptr;
};

#endif
