#ifndef VENTROLLA_OUTPUT_SERVEROUTPUT_H
#define VENTROLLA_OUTPUT_SERVEROUTPUT_H

#include <QDateTime>
#include <QLocalServer>
#include <QObject>
#include <QString>

class Model;
class QLocalSocket;

// Streams every data set of the model to one local client as a tab-separated line. The server
// listens on a local socket named "Ventrolla" while no client is served and stops listening
// while one is, so a second client is refused until the first one leaves.
//
// Only programs of the same user may connect. A stale socket left by a crashed run is taken
// over; a name held by a live server is left alone (isListening() stays false). A client that
// stops reading is dropped once maxUnsentBytes() are waiting for it, and the server listens
// again.
class ServerOutput : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 defaultMaxUnsentBytes = 1024 * 1024;

    explicit ServerOutput(Model *model, QObject *parent = nullptr);
    ~ServerOutput() override;

    static QString serverName();

    bool isListening() const;
    bool hasClient() const;
    // Why the server could not listen the last time it tried; empty while it listens or serves.
    QString errorString() const;

    qint64 maxUnsentBytes() const;
    void setMaxUnsentBytes(qint64 bytes);

signals:
    // Emitted when the server starts or fails to listen, and when a client comes or goes.
    void statusChanged();

public slots:
    void handleNewConnection();
    void handleDisconnect();
    void onDataSetReady(const QDateTime &dataTime);

private slots:
    void discardClientInput();

private:
    enum class NameHolder { None, LiveServer, StaleSocket };

    void listen();
    NameHolder probeName() const;
    bool removeStaleSocket();
    void releaseClient();

    Model *model;
    QLocalServer server;
    QLocalSocket *client = nullptr;
    qint64 maxUnsentBytes_ = defaultMaxUnsentBytes;
    QString error;
};

#endif
