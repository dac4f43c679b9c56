#include "output/ServerOutput.h"

#include "core/Model.h"

#include <QDir>
#include <QLocalSocket>
#include <QLocale>
#include <QTextStream>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#endif

namespace {

// How long a server that may hold the name gets to answer before it is taken to be alive.
constexpr int probeTimeoutMs = 500;

} // namespace

ServerOutput::ServerOutput(Model *model_, QObject *parent) : QObject(parent), model(model_)
{
    // The stream carries the user's measurements: no other account may read it.
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (model)
        connect(model, &Model::dataSetReady, this, &ServerOutput::onDataSetReady);
    connect(&server, &QLocalServer::newConnection, this, &ServerOutput::handleNewConnection);
    listen();
}

ServerOutput::~ServerOutput()
{
    // The socket must not call back into a half-destroyed server when it goes.
    server.disconnect(this);
    if (client) {
        client->disconnect(this);
        client->deleteLater();
        client = nullptr;
    }
}

QString ServerOutput::serverName()
{
    return QStringLiteral("Ventrolla");
}

bool ServerOutput::isListening() const
{
    return server.isListening();
}

bool ServerOutput::hasClient() const
{
    return client != nullptr;
}

QString ServerOutput::errorString() const
{
    return error;
}

qint64 ServerOutput::maxUnsentBytes() const
{
    return maxUnsentBytes_;
}

void ServerOutput::setMaxUnsentBytes(qint64 bytes)
{
    maxUnsentBytes_ = bytes;
}

void ServerOutput::handleNewConnection()
{
    releaseClient();
    client = server.nextPendingConnection();
    if (!client)
        return;
    server.close();
    connect(client, &QLocalSocket::disconnected, this, &ServerOutput::handleDisconnect);
    connect(client, &QLocalSocket::readyRead, this, &ServerOutput::discardClientInput);
    emit statusChanged();
}

void ServerOutput::handleDisconnect()
{
    releaseClient();
    listen();
}

void ServerOutput::onDataSetReady(const QDateTime &dataTime)
{
    if (!client)
        return;
    {
        QTextStream stream(client);
        stream.setCodec("UTF-8");
        stream << QLocale::c().toString(dataTime, QStringLiteral("hh:mm:ss"));
        if (model) {
            const int rows = model->rowCount();
            const int columns = model->columnCount();
            for (int row = 0; row < rows; ++row) {
                for (int column = 0; column < columns; ++column) {
                    stream << '\t'
                           << model->data(model->index(row, column), Qt::DisplayRole).toString();
                }
            }
        }
        stream << '\n';
    }
    // A client that does not read would otherwise make the unsent data grow for the whole run.
    if (client && client->bytesToWrite() > maxUnsentBytes_) {
        releaseClient();
        listen();
    }
}

// Nothing the client sends means anything; it is dropped so that it cannot pile up.
void ServerOutput::discardClientInput()
{
    if (client)
        client->readAll();
}

void ServerOutput::releaseClient()
{
    if (!client)
        return;
    client->disconnect(this);
    client->abort();
    client->deleteLater();
    client = nullptr;
}

void ServerOutput::listen()
{
    error.clear();
    // Listening with access options replaces whatever sits at the socket's path, so a server
    // that still answers under the name is looked for first and left alone.
    NameHolder holder = probeName();
    if (holder == NameHolder::StaleSocket && !removeStaleSocket())
        holder = NameHolder::LiveServer;
    if (holder == NameHolder::LiveServer) {
        error = tr("The local socket name %1 is already taken.").arg(serverName());
    } else if (!server.listen(serverName())) {
        // The name may have been left behind between the probe and the attempt.
        if (server.serverError() == QAbstractSocket::AddressInUseError
            && probeName() == NameHolder::StaleSocket && removeStaleSocket()
            && server.listen(serverName())) {
            error.clear();
        } else {
            error = server.errorString();
        }
    }
    emit statusChanged();
}

ServerOutput::NameHolder ServerOutput::probeName() const
{
    QLocalSocket probe;
    probe.connectToServer(serverName());
    if (probe.waitForConnected(probeTimeoutMs)) {
        probe.abort();
        return NameHolder::LiveServer;
    }
    switch (probe.error()) {
    case QLocalSocket::ServerNotFoundError:
        return NameHolder::None;
    case QLocalSocket::ConnectionRefusedError:
        return NameHolder::StaleSocket;
    default:
        // Busy, too slow or not ours to reach: someone is there.
        return NameHolder::LiveServer;
    }
}

// Removes the name of a server that no longer runs. Only a socket is removed: a file of
// another kind at that path is not ours to delete.
bool ServerOutput::removeStaleSocket()
{
#ifdef Q_OS_UNIX
    const QString path = QDir::cleanPath(QDir::tempPath()) + QLatin1Char('/') + serverName();
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT;
    if (!S_ISSOCK(status.st_mode))
        return false;
#endif
    return QLocalServer::removeServer(serverName());
}
