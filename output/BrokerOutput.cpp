#include "output/BrokerOutput.h"

#include "core/Model.h"
#include "output/BrokerMessages.h"
#include "output/LogFile.h"

#include <QCoreApplication>
#include <QHostAddress>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr int maxInFlight = 20;       // as many as the library sends without waiting
constexpr int keepAliveSeconds = 30;
constexpr int connectTimeoutTicks = 15; // housekeeping ticks (seconds) to wait for CONNACK
constexpr int maxRetryDelayMs = 60000;
constexpr int qos = 1;

bool libraryReady()
{
    // Once per process; the library is needed until the program ends.
    static const bool ready = mosquitto_lib_init() == MOSQ_ERR_SUCCESS;
    return ready;
}

} // namespace

BrokerOutput::BrokerOutput(Model *model_, QObject *parent) : QObject(parent), model(model_)
{
    housekeeping.setInterval(1000);
    retryTimer.setSingleShot(true);
    connect(&housekeeping, &QTimer::timeout, this, &BrokerOutput::onHousekeeping);
    connect(&retryTimer, &QTimer::timeout, this, &BrokerOutput::connectToBroker);
    connect(model, &Model::dataSetReady, this, &BrokerOutput::onDataSetReady);
    connect(model, &Model::xdataReady, this, &BrokerOutput::onXDataReady);
    connect(model, &Model::statusChanged, this, &BrokerOutput::onStatusChanged);
}

BrokerOutput::~BrokerOutput()
{
    // Still says "offline", but tells no one here: the listeners may be going too.
    blockSignals(true);
    stop();
}

void BrokerOutput::setLog(LogFile *log_)
{
    log = log_;
}

bool BrokerOutput::start(const BrokerSettings &settings_)
{
    stop();
    QString message;
    if (!settings_.validate(message) || !BrokerSettings::parseUrl(settings_.url, address, message)) {
        error = message;
        return false;
    }
    if (!libraryReady()) {
        error = QStringLiteral("The MQTT client library could not be initialised.");
        return false;
    }
    settings = settings_;
    const QByteArray base = "ventrolla/" + settings.station.toUtf8() + '/';
    topicDataSet = base + "dataset";
    topicXData = base + "xdata";
    topicStatus = base + "status";
    lastStatus = BrokerMessages::status(*model, settings.station);
    error.clear();
    retryDelayMs = 1000;
    connectToBroker();
    return true;
}

void BrokerOutput::stop()
{
    retryTimer.stop();
    if (lookupId >= 0) {
        QHostInfo::abortHostLookup(lookupId);
        lookupId = -1;
    }
    if (client && connection_ == Connection::Connected) {
        // A clean disconnect sends no will: say "offline" ourselves.
        const QByteArray offline = BrokerMessages::offline(settings.station);
        if (mosquitto_publish(client, nullptr, topicStatus.constData(), offline.size(),
                              offline.constData(), qos, true) == MOSQ_ERR_SUCCESS
            && mosquitto_disconnect(client) == MOSQ_ERR_SUCCESS) {
            // A few hundred bytes to a socket that was writable a moment ago: they leave at once
            // unless the broker stopped reading, and then it is gone for us anyway.
            for (int attempt = 0; attempt < 10 && mosquitto_want_write(client); ++attempt) {
                if (mosquitto_loop_write(client, 1) != MOSQ_ERR_SUCCESS)
                    break;
            }
        }
    }
    closeClient();
    setConnection(Connection::Off);
}

BrokerOutput::Connection BrokerOutput::connection() const
{
    return connection_;
}

QString BrokerOutput::statusText() const
{
    QString text;
    switch (connection_) {
    case Connection::Off:
        return tr("Broker: off");
    case Connection::LookingUp:
    case Connection::Connecting:
        text = tr("Broker: connecting");
        break;
    case Connection::Connected:
        text = tr("Broker: connected");
        break;
    case Connection::Waiting:
        text = tr("Broker: disconnected");
        break;
    }
    if (connection_ != Connection::Connected && !queue.empty())
        text += tr(", %1 queued").arg(queue.size());
    if (dropped > 0)
        text += tr(", %1 dropped").arg(dropped);
    return text;
}

QString BrokerOutput::errorString() const
{
    return error;
}

QString BrokerOutput::url() const
{
    return settings.url;
}

int BrokerOutput::queuedCount() const
{
    return int(queue.size());
}

int BrokerOutput::queueLimit() const
{
    if (settings.queueSets > 0)
        return settings.queueSets;
    return std::max(60, 3600 / std::max(1, model->dataIntervalSeconds()));
}

qint64 BrokerOutput::acknowledgedCount() const
{
    return acknowledged;
}

qint64 BrokerOutput::droppedCount() const
{
    return dropped;
}

void BrokerOutput::retryNow()
{
    if (connection_ == Connection::Waiting) {
        retryTimer.stop();
        connectToBroker();
    }
}

void BrokerOutput::onDataSetReady(const QDateTime &dataTime)
{
    if (connection_ == Connection::Off)
        return;
    const QString comment = log ? log->commentFor(dataTime) : QString();
    enqueue(topicDataSet, BrokerMessages::dataSet(*model, settings.station, dataTime, comment));
}

void BrokerOutput::onXDataReady(const QDateTime &dataTime, int row)
{
    if (connection_ == Connection::Off || row < 0 || row >= model->rowCount())
        return;
    enqueue(topicXData, BrokerMessages::xdata(*model, settings.station, dataTime, row));
}

void BrokerOutput::onStatusChanged()
{
    if (connection_ == Connection::Off)
        return;
    QByteArray status = BrokerMessages::status(*model, settings.station);
    if (status == lastStatus)
        return;
    lastStatus = std::move(status);
    statusSent = false;
    publishStatus();
}

void BrokerOutput::enqueue(const QByteArray &topic, QByteArray payload)
{
    queue.push_back(Pending{topic, std::move(payload), 0});
    const std::size_t limit = std::size_t(queueLimit());
    if (queue.size() > limit) {
        const std::size_t excess = queue.size() - limit;
        for (std::size_t i = 0; i < excess; ++i) {
            if (queue.front().mid != 0)
                --sentCount; // its acknowledgement, if it still comes, finds nothing
            queue.pop_front();
        }
        if (dropped == 0)
            emit problem(tr("Broker %1: the queue of %2 data sets is full; the oldest are "
                            "dropped until the broker takes them again.")
                             .arg(settings.url)
                             .arg(limit));
        dropped += qint64(excess);
    }
    if (connection_ == Connection::Connected)
        sendPending();
    else
        emit statusChanged();
}

void BrokerOutput::connectToBroker()
{
    closeClient();
    const QHostAddress literal(address.host);
    if (!literal.isNull()) {
        openConnection(address.host);
        return;
    }
    // The system's resolver blocks; Qt asks it from a thread of its own.
    setConnection(Connection::LookingUp);
    lookupId = QHostInfo::lookupHost(address.host, this, &BrokerOutput::onHostFound);
}

void BrokerOutput::onHostFound(const QHostInfo &info)
{
    if (info.lookupId() != lookupId)
        return;
    lookupId = -1;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        connectionLost(tr("Broker %1: the host %2 was not found (%3).")
                           .arg(settings.url, address.host, info.errorString()));
        return;
    }
    // The certificate names the host, so TLS needs the name; the library finds it again at
    // once, as the system has just answered for it.
    openConnection(address.tls ? address.host : info.addresses().constFirst().toString());
}

void BrokerOutput::openConnection(const QString &host)
{
    const QByteArray id = "ventrolla-" + settings.station.toUtf8() + '-'
                          + QByteArray::number(QCoreApplication::applicationPid());
    client = mosquitto_new(id.constData(), true, this);
    if (!client) {
        connectionLost(tr("Broker %1: could not create a client (%2).")
                           .arg(settings.url, QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    mosquitto_connect_callback_set(client, &BrokerOutput::onConnectCallback);
    mosquitto_disconnect_callback_set(client, &BrokerOutput::onDisconnectCallback);
    mosquitto_publish_callback_set(client, &BrokerOutput::onPublishCallback);

    const QByteArray offline = BrokerMessages::offline(settings.station);
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray caFile = settings.caFile.toLocal8Bit();
    int rc = mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    const char *what = "setting the protocol";
    if (rc == MOSQ_ERR_SUCCESS) {
        what = "setting the last will";
        rc = mosquitto_will_set(client, topicStatus.constData(), offline.size(),
                                offline.constData(), qos, true);
    }
    if (rc == MOSQ_ERR_SUCCESS && !user.isEmpty()) {
        what = "setting the user name";
        rc = mosquitto_username_pw_set(client, user.constData(),
                                       password.isEmpty() ? nullptr : password.constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && address.tls) {
        what = "setting up TLS";
        rc = mosquitto_tls_set(client, caFile.isEmpty() ? nullptr : caFile.constData(),
                               caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                               nullptr);
        if (rc == MOSQ_ERR_SUCCESS && !settings.checkCertificate)
            rc = mosquitto_tls_opts_set(client, 0, nullptr, nullptr);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_tls_insecure_set(client, !settings.checkCertificate);
    }
    if (rc == MOSQ_ERR_SUCCESS) {
        what = "connecting";
        // Does not wait for the TCP handshake: the socket reports it writable once connected.
        rc = mosquitto_connect_async(client, host.toUtf8().constData(), address.port,
                                     keepAliveSeconds);
    }
    const int socket = rc == MOSQ_ERR_SUCCESS ? mosquitto_socket(client) : -1;
    if (socket < 0) {
        connectionLost(brokerText(what, rc));
        return;
    }
    readNotifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    writeNotifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    connect(readNotifier.get(), &QSocketNotifier::activated, this, &BrokerOutput::onReadable);
    connect(writeNotifier.get(), &QSocketNotifier::activated, this, &BrokerOutput::onWritable);
    housekeepingTicks = 0;
    housekeeping.start();
    setConnection(Connection::Connecting);
    updateWriteNotifier();
}

void BrokerOutput::onReadable()
{
    if (client)
        afterLibraryCall(mosquitto_loop_read(client, 1), "reading");
}

void BrokerOutput::onWritable()
{
    if (client)
        afterLibraryCall(mosquitto_loop_write(client, 1), "writing");
}

void BrokerOutput::onHousekeeping()
{
    if (!client)
        return;
    if (connection_ == Connection::Connecting && ++housekeepingTicks > connectTimeoutTicks) {
        connectionLost(tr("Broker %1: no answer to the connection request.").arg(settings.url));
        return;
    }
    afterLibraryCall(mosquitto_loop_misc(client), "keeping the connection alive");
}

void BrokerOutput::afterLibraryCall(int rc, const char *what)
{
    const int savedErrno = errno;
    handleEvents();
    if (!client)
        return;
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(client) < 0) {
        errno = savedErrno;
        connectionLost(refusal.isEmpty() ? brokerText(what, rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc)
                                         : refusal);
        return;
    }
    updateWriteNotifier();
}

void BrokerOutput::handleEvents()
{
    // Swapped out first: what is handled here may call into the library again.
    std::vector<Event> batch;
    batch.swap(events);
    for (const Event &event : batch) {
        if (!client)
            return;
        switch (event.kind) {
        case Event::Connack:
            if (event.value != 0) {
                refusal = tr("Broker %1: connection refused: %2")
                              .arg(settings.url, QString::fromUtf8(mosquitto_connack_string(event.value)));
                break;
            }
            retryDelayMs = 1000;
            error.clear();
            reported.clear();
            setConnection(Connection::Connected);
            statusSent = false;
            publishStatus();
            sendPending();
            break;
        case Event::Disconnect:
            break; // seen by the caller through the closed socket
        case Event::Published: {
            const auto end = queue.begin() + std::ptrdiff_t(sentCount);
            const auto it = std::find_if(queue.begin(), end,
                                         [&](const Pending &p) { return p.mid == event.value; });
            if (it != end) {
                queue.erase(it);
                --sentCount;
                ++acknowledged;
                sendPending();
            }
            break;
        }
        }
    }
}

void BrokerOutput::sendPending()
{
    while (client && connection_ == Connection::Connected && sentCount < queue.size()
           && sentCount < std::size_t(maxInFlight)) {
        Pending &next = queue[sentCount];
        int mid = 0;
        const int rc = mosquitto_publish(client, &mid, next.topic.constData(), next.payload.size(),
                                         next.payload.constData(), qos, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            connectionLost(brokerText("publishing", rc));
            return;
        }
        next.mid = mid;
        ++sentCount;
    }
    if (client)
        updateWriteNotifier();
}

void BrokerOutput::publishStatus()
{
    if (!client || connection_ != Connection::Connected || statusSent)
        return;
    const int rc = mosquitto_publish(client, nullptr, topicStatus.constData(), lastStatus.size(),
                                     lastStatus.constData(), qos, true);
    if (rc != MOSQ_ERR_SUCCESS) {
        connectionLost(brokerText("publishing the status", rc));
        return;
    }
    statusSent = true;
    updateWriteNotifier();
}

void BrokerOutput::updateWriteNotifier()
{
    if (client && writeNotifier)
        writeNotifier->setEnabled(mosquitto_want_write(client));
}

void BrokerOutput::connectionLost(const QString &message)
{
    closeClient();
    for (Pending &pending : queue)
        pending.mid = 0;
    sentCount = 0;
    statusSent = false;
    error = message;
    if (message != reported) {
        // Said once per kind of failure, not at every retry.
        reported = message;
        emit problem(message);
    }
    retryTimer.start(retryDelayMs);
    retryDelayMs = std::min(retryDelayMs * 2, maxRetryDelayMs);
    setConnection(Connection::Waiting);
}

void BrokerOutput::closeClient()
{
    housekeeping.stop();
    readNotifier.reset();
    writeNotifier.reset();
    if (client) {
        mosquitto_destroy(client);
        client = nullptr;
    }
    events.clear();
    refusal.clear();
}

void BrokerOutput::setConnection(Connection connection)
{
    if (connection_ == connection)
        return;
    connection_ = connection;
    emit statusChanged();
}

QString BrokerOutput::brokerText(const char *what, int rc) const
{
    // The handshake fails in whichever call happens to run it: one text for all of them.
    if (rc == MOSQ_ERR_TLS)
        return tr("Broker %1: the TLS connection failed: the broker's certificate is not signed by "
                  "a trusted authority or does not name the host, or the port does not speak TLS.")
            .arg(settings.url);
    QString reason = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                          : QString::fromUtf8(mosquitto_strerror(rc));
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return tr("Broker %1: %2 failed: %3.").arg(settings.url, QString::fromLatin1(what), reason);
}

void BrokerOutput::onConnectCallback(mosquitto *, void *self, int rc)
{
    static_cast<BrokerOutput *>(self)->events.push_back(Event{Event::Connack, rc});
}

void BrokerOutput::onDisconnectCallback(mosquitto *, void *self, int rc)
{
    static_cast<BrokerOutput *>(self)->events.push_back(Event{Event::Disconnect, rc});
}

void BrokerOutput::onPublishCallback(mosquitto *, void *self, int mid)
{
    static_cast<BrokerOutput *>(self)->events.push_back(Event{Event::Published, mid});
}
