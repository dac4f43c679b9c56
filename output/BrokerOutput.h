#ifndef VENTROLLA_OUTPUT_BROKEROUTPUT_H
#define VENTROLLA_OUTPUT_BROKEROUTPUT_H

#include "output/BrokerSettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostInfo>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

class LogFile;
class Model;
struct mosquitto;

// Publishes every data set and XData record of the model to an MQTT broker, with a retained
// status and a last will, under ventrolla/<station>/.
//
// The broker can never hold up the acquisition: the client library runs on the event loop (its
// socket through socket notifiers, its keep-alives on a timer), the connection is made without
// waiting (the host name is looked up first, off the loop), and data sets that cannot be
// delivered wait in a bounded queue, oldest dropped first, until the broker acknowledges them.
// A lost connection is retried after 1, 2, 4 ... seconds, at most a minute apart; everything
// not acknowledged is then sent again in order.
class BrokerOutput : public QObject
{
    Q_OBJECT

public:
    enum class Connection { Off, LookingUp, Connecting, Connected, Waiting };

    explicit BrokerOutput(Model *model, QObject *parent = nullptr);
    ~BrokerOutput() override;

    // The log whose comment the data-set messages carry; may be null.
    void setLog(LogFile *log);

    // Starts publishing with these settings, replacing any earlier ones; false (with
    // errorString()) when they cannot be used. Queued data sets are kept across a restart.
    bool start(const BrokerSettings &settings);
    // Says "offline" on the status topic and disconnects; the queue is kept.
    void stop();

    Connection connection() const;
    // One line for a status bar: "Broker: connected", "Broker: retrying in 8 s (12 queued)" ...
    QString statusText() const;
    // The last failure, naming the broker; empty after a successful connection.
    QString errorString() const;
    QString url() const;

    int queuedCount() const;
    int queueLimit() const;
    qint64 acknowledgedCount() const;
    qint64 droppedCount() const;

public slots:
    // Tries again at once instead of at the end of the current back-off.
    void retryNow();

signals:
    void statusChanged();
    // A failure or a dropped data set, worth telling the user once.
    void problem(const QString &message);

private:
    struct Pending
    {
        QByteArray topic;
        QByteArray payload;
        int mid = 0; // message id while sent and not yet acknowledged
    };
    // What the library's callbacks report; handled after the library call returns.
    struct Event
    {
        enum Kind { Connack, Disconnect, Published } kind;
        int value;
    };

    void onDataSetReady(const QDateTime &dataTime);
    void onXDataReady(const QDateTime &dataTime, int row);
    void onStatusChanged();
    void enqueue(const QByteArray &topic, QByteArray payload);
    void connectToBroker();
    void onHostFound(const QHostInfo &info);
    void openConnection(const QString &host);
    void onReadable();
    void onWritable();
    void onHousekeeping();
    void afterLibraryCall(int rc, const char *what);
    void handleEvents();
    void sendPending();
    void publishStatus();
    void updateWriteNotifier();
    void connectionLost(const QString &message);
    void closeClient();
    void setConnection(Connection connection);
    QString brokerText(const char *what, int rc) const;

    static void onConnectCallback(mosquitto *mosq, void *self, int rc);
    static void onDisconnectCallback(mosquitto *mosq, void *self, int rc);
    static void onPublishCallback(mosquitto *mosq, void *self, int mid);

    Model *model;
    LogFile *log = nullptr;
    BrokerSettings settings;
    BrokerSettings::Address address;
    QByteArray topicDataSet;
    QByteArray topicXData;
    QByteArray topicStatus;
    QByteArray lastStatus;
    bool statusSent = false; // lastStatus is on the broker

    mosquitto *client = nullptr;
    std::unique_ptr<QSocketNotifier> readNotifier;
    std::unique_ptr<QSocketNotifier> writeNotifier;
    QTimer housekeeping;
    QTimer retryTimer;
    int retryDelayMs = 1000;
    int lookupId = -1;
    int housekeepingTicks = 0;
    QString refusal;  // the broker's answer when it refused the connection
    QString reported; // the last failure told through problem()
    Connection connection_ = Connection::Off;
    QString error;

    std::deque<Pending> queue;
    std::size_t sentCount = 0; // queue entries from the front handed to the library
    std::vector<Event> events;
    qint64 acknowledged = 0;
    qint64 dropped = 0;
};

#endif
