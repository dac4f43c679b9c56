// ventrolla-record publishing to a real Mosquitto broker that the test starts on a free loopback
// port, read by a subscriber of the test's own: every data set once and as logged, the retained
// status and the last will, a broker restarted in the middle of a run, a wrong password and a
// broker that is not there; and how the recorder reads its broker options.

#include "RecorderOptions.h"
#include "RecorderRun.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <mosquitto.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <vector>

namespace {

// A Mosquitto broker on loopback, its sessions kept on disk across a restart.
struct Broker
{
    QString dir;
    quint16 port = [] { QTcpServer probe; probe.listen(QHostAddress::LocalHost); return probe.serverPort(); }();
    QProcess process;

    // With a password file, clients must log in; with TLS files (CA, certificate, key), the
    // listener speaks TLS on localhost.
    bool start(const QString &passwordFile = {}, const QStringList &tls = {})
    {
        QFile conf(dir + "/mosquitto.conf");
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        // Started as root, the broker would turn into the user "mosquitto", a stranger to our files.
        const QString listener = tls.isEmpty() ? QStringLiteral("127.0.0.1")
                                               : "localhost\ncafile " + tls[0] + "\ncertfile " + tls[1] + "\nkeyfile " + tls[2];
        conf.write(QStringLiteral("listener %1 %5\npersistence true\npersistence_location %2/\nuser %3\n%4\nlog_type error\n")
                       .arg(port).arg(dir, QString::fromLocal8Bit(getpwuid(getuid())->pw_name),
                                      passwordFile.isEmpty() ? "allow_anonymous true" : "password_file " + passwordFile)
                       .arg(listener)
                       .toUtf8());
        conf.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start("mosquitto", {"-c", conf.fileName()});
        QTcpSocket probe;
        return process.waitForStarted() && waitUntil([&] {
            probe.abort();
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(20);
        });
    }
    void stop()
    {
        process.terminate(); // saves the sessions
        process.waitForFinished(5000);
    }
    QString url() const { return QStringLiteral("mqtt://127.0.0.1:%1").arg(port); }
    ~Broker() { stop(); }
};

// Everything published under ventrolla/#, read on the library's own thread. Its session stays on
// the broker, so what is published while it reconnects waits for it there.
class Subscriber
{
public:
    struct Message
    {
        QString topic;
        QJsonObject json;
        QByteArray payload;
        bool retained;
    };

    explicit Subscriber(quint16 port, const char *id = nullptr)
    {
        mosquitto_lib_init();
        client = mosquitto_new(id, id == nullptr, this);
        mosquitto_message_callback_set(client, [](mosquitto *, void *self, const mosquitto_message *m) {
            auto *s = static_cast<Subscriber *>(self);
            const std::lock_guard<std::mutex> lock(s->mutex);
            const QByteArray payload(static_cast<const char *>(m->payload), m->payloadlen);
            s->received.push_back({QString::fromUtf8(m->topic), QJsonDocument::fromJson(payload).object(), payload, m->retain});
        });
        mosquitto_connect_callback_set(client, [](mosquitto *mosq, void *, int) {
            mosquitto_subscribe(mosq, nullptr, "ventrolla/#", 1);
        });
        mosquitto_reconnect_delay_set(client, 1, 1, false);
        connected = mosquitto_connect(client, "127.0.0.1", port, 30) == MOSQ_ERR_SUCCESS
                    && mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS;
    }
    ~Subscriber()
    {
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, false);
        mosquitto_destroy(client);
    }
    std::vector<Message> messages(const QString &topicEnd)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        std::vector<Message> found;
        std::copy_if(received.begin(), received.end(), std::back_inserter(found),
                     [&](const Message &m) { return m.topic.endsWith(topicEnd); });
        return found;
    }
    QString lastState()
    {
        const auto status = messages("/status");
        return status.empty() ? QString() : status.back().json.value("state").toString();
    }
    bool connected = false;

private:
    mosquitto *client = nullptr;
    std::mutex mutex;
    std::vector<Message> received;
};

constexpr double metresPerSecondPerKnot = 1852.0 / 3600.0;

// The "modules" array a data set's message must carry, to the byte, from its log line: the
// logged digits as they are, speeds converted from knots with three decimals, null for an
// empty field.
QByteArray expectedModules(const QString &logLine)
{
    static const std::pair<const char *, int> names[] = {{"altitude_m", 1}, {"pressure_hPa", 2},
        {"temperature_degC", 3}, {"relative_humidity_percent", 4}, {"wind_direction_deg", 5}, {"wind_speed_m_s", 6},
        {"supply_V", 7}, {"latitude_deg", 9}, {"longitude_deg", 10}, {"course_deg", 11}, {"ground_speed_m_s", 12}};
    const QStringList fields = logLine.split(',');
    QStringList modules;
    for (int first = 2; first + loggedColumns <= fields.size(); first += loggedColumns) {
        const QStringList logged = fields.mid(first, loggedColumns);
        QString module = "{\"module_id\":\"" + logged[0] + '"';
        for (const auto &[name, column] : names) {
            QString value = logged[column];
            if ((column == 6 || column == 12) && !value.isEmpty())
                value = QString::number(value.toDouble() * metresPerSecondPerKnot, 'f', 3);
            module += QStringLiteral(",\"%1\":%2").arg(name, value.isEmpty() ? "null" : value);
        }
        modules << module + ",\"module_utc_time\":\"" + logged[8] + "\"}";
    }
    return "\"modules\":[" + modules.join(',').toUtf8() + "]}";
}

} // namespace

class TestRecorderBroker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(root.isValid()); }

    // Every data set once, as logged, in order; the status retained; offline at a clean end.
    void soundingIsPublished()
    {
        Broker &broker = newBroker();
        QVERIFY(broker.start());
        Subscriber subscriber(broker.port);
        QVERIFY(subscriber.connected);
        Run *run = newRun();
        QVERIFY(run->startSim(3, {"--gps"}));
        run->startRecorder(3, {"--gps", "latitude,longitude,course,speed", "--comment", "launch, site A", "--duration", "3",
                               "--mqtt", broker.url(), "--station", "site_1"});
        QVERIFY2(run->exitStatus(30000) == 0, run->output.constData());
        QVERIFY2(run->reported("broker: connected to " + broker.url()), run->output.constData());

        const QStringList lines = run->checkedLog("launch  site A");
        QVERIFY(waitUntil([&] { return subscriber.lastState() == "offline"; }));
        const auto sets = subscriber.messages("ventrolla/site_1/dataset");
        QVERIFY2(int(sets.size()) == lines.size() && lines.size() == run->dataSets(), run->output.constData());
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(sets[i].json.value("station").toString(), QStringLiteral("site_1"));
            QCOMPARE(sets[i].json.value("time").toString().mid(11, 8), lines[i].left(8));
            QCOMPARE(sets[i].json.value("interval_s").toInt(), 2);
            QCOMPARE(sets[i].json.value("comment").toString(), QStringLiteral("launch  site A"));
            QVERIFY2(sets[i].payload.endsWith(expectedModules(lines[i])), qPrintable(lines[i] + '\n' + sets[i].payload));
        }
        const auto status = subscriber.messages("ventrolla/site_1/status");
        QVERIFY(std::any_of(status.begin(), status.end(), [](const Subscriber::Message &m) {
            return m.json.value("state") == "Running" && m.json.value("modules").toArray().size() == 3
                   && m.json.value("wind_unit") == "knots";
        }));

        // A reader that comes later gets the last status at once, retained.
        Subscriber late(broker.port);
        QVERIFY(waitUntil([&] { return late.lastState() == "offline"; }));
        QVERIFY(late.messages("/status").back().retained && late.messages("/dataset").empty());
    }

    // XData records have their topic; a recorder gone without a goodbye leaves its will, "offline".
    void xdataAndLastWill()
    {
        Broker &broker = newBroker();
        QVERIFY(broker.start());
        Subscriber subscriber(broker.port);
        Run *run = newRun();
        QVERIFY(run->startSim(1, {"--xdata"}));
        run->startRecorder(1, {"--mqtt", broker.url(), "--station", "kite"});
        QVERIFY2(waitUntil([&] { return !subscriber.messages("ventrolla/kite/xdata").empty(); }, 20000), run->output.constData());
        const QJsonObject xdata = subscriber.messages("/xdata").front().json;
        QVERIFY(xdata.value("station") == "kite" && xdata.value("module_id") == "TX0001" && !xdata.value("xdata").toString().isEmpty());
        QVERIFY(QDateTime::fromString(xdata.value("time").toString(), Qt::ISODate).isValid());
        QCOMPARE(subscriber.lastState(), QStringLiteral("Running"));
        run->recorder.kill();
        QVERIFY(waitUntil([&] { return subscriber.lastState() == "offline"; }));
    }

    // The broker stopped and started again mid-run: the sets of the gap are queued and delivered
    // in order, but for the oldest beyond the queue's bound, dropped and counted; the log and the
    // local stream never notice.
    void brokerRestart_data()
    {
        QTest::addColumn<int>("queue"); // 0: the default, an hour of sets
        QTest::newRow("an hour") << 0;
        QTest::newRow("five sets") << 5;
    }
    void brokerRestart()
    {
        QFETCH(int, queue);
        Broker &broker = newBroker();
        QVERIFY(broker.start());
        auto subscriber = std::make_unique<Subscriber>(broker.port, "tst-restart");
        Run *run = newRun();
        QVERIFY(run->startSim(2));
        run->startRecorder(2, QStringList{"--mqtt", broker.url(), "--station", "gap"}
                                  + (queue ? QStringList{"--mqtt-queue", QString::number(queue)} : QStringList()));
        QLocalSocket client;
        QByteArray stream;
        connect(&client, &QLocalSocket::readyRead, [&] { stream += client.readAll(); });
        QVERIFY(waitUntil([&] {
            client.abort();
            client.connectToServer(run->dir + QStringLiteral("/Ventrolla"));
            return client.waitForConnected(50);
        }, 5000));

        QVERIFY2(waitUntil([&] { return subscriber->messages("/dataset").size() >= 3; }, 20000), run->output.constData());
        const int before = run->dataSets();
        broker.stop();
        QVERIFY2(waitUntil([&] { return run->dataSets() >= before + 8; }, 20000), run->output.constData());
        QVERIFY(broker.start());
        QVERIFY2(waitUntil([&] { return run->output.count("broker: connected") == 2; }, 10000),
                 run->output.constData());
        QVERIFY(run->reported("broker: disconnected; data sets are queued"));
        const int after = run->dataSets();
        QVERIFY(waitUntil([&] { return run->dataSets() >= after + 3; }, 20000));
        run->recorder.terminate();
        QVERIFY2(run->exitStatus(15000) == 0, run->output.constData());
        waitUntil([&] { return client.state() == QLocalSocket::UnconnectedState; }, 2000);

        const QStringList lines = run->checkedLog(QString());
        QVERIFY(waitUntil([&] { return subscriber->lastState() == "offline"; }));
        const auto sets = subscriber->messages("/dataset");
        // At-least-once: a set in flight when the broker went may come twice, never out of order.
        QByteArrayList received;
        int duplicates = 0;
        for (const auto &set : sets) {
            if (!received.isEmpty() && received.last() == set.payload)
                ++duplicates;
            else
                received << set.payload;
        }
        const QRegularExpressionMatch counts =
            QRegularExpression("broker: (\\d+) messages delivered, (\\d+) dropped, 0 undelivered").match(run->output);
        QVERIFY2(counts.hasMatch() && counts.captured(1).toInt() == received.size(), run->output.constData());
        const int dropped = counts.captured(2).toInt();
        QVERIFY(queue ? dropped > 0 : dropped == 0);
        QCOMPARE(run->output.count("data sets is full"), queue ? 1 : 0);
        // The dropped ones are the oldest of the gap: the received sets are the logged ones with
        // one run of `dropped` lines left out.
        QCOMPARE(received.size() + dropped, lines.size());
        int gap = 0;
        for (int i = 0; i < received.size(); ++i) {
            if (!gap && !received[i].endsWith(expectedModules(lines[i]))) {
                gap = dropped;
                // At the start of the broker's absence (a set in flight then is queued again).
                QVERIFY2(i >= before - 1 && i <= before + 1, qPrintable(QString::number(i)));
            }
            QVERIFY2(received[i].endsWith(expectedModules(lines[i + gap])), qPrintable(lines[i + gap] + '\n' + received[i]));
        }
        QCOMPARE(stream.count('\n'), lines.size());
        qInfo("%d data sets logged and streamed, %d during the broker's absence, %d received, %d twice, %d dropped",
              int(lines.size()), after - before, int(sets.size()), duplicates, dropped);
    }

    // A broker that refuses or is not there is reported once; the sounding goes on.
    void brokerFailures_data()
    {
        QTest::addColumn<bool>("brokerUp");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong password") << true << "connection refused: Connection Refused: not authorised.";
        QTest::newRow("no broker") << false << "connecting failed: Connection refused.";
    }
    void brokerFailures()
    {
        QFETCH(bool, brokerUp);
        QFETCH(QString, message);
        Broker &broker = newBroker();
        const QString passwords = broker.dir + "/passwords";
        QVERIFY(QProcess::execute("mosquitto_passwd", {"-c", "-b", passwords, "ops", "right"}) == 0);
        QVERIFY(!brokerUp || broker.start(passwords));
        QFile secret(broker.dir + "/secret");
        QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("wrong-s3cret\n"));
        secret.close();
        Run *run = newRun();
        QVERIFY(run->startSim(1));
        run->startRecorder(1, {"--duration", "4", "--mqtt", broker.url(), "--mqtt-user", "ops",
                               "--mqtt-password-file", secret.fileName()});
        QVERIFY2(run->exitStatus(30000) == 0, run->output.constData());
        QCOMPARE(run->output.count(QStringLiteral("Broker %1: %2").arg(broker.url(), message).toUtf8()), 1);
        QVERIFY(!run->output.contains("s3cret"));
        QVERIFY(run->dataSets() >= 5 && run->checkedLog(QString()).size() == run->dataSets());
        QVERIFY2(run->reported(QStringLiteral("broker: 0 messages delivered, 0 dropped, %1 undelivered").arg(run->dataSets())),
                 run->output.constData());
    }

    // TLS: the broker's certificate checked against the given authority, refused against the
    // system's.
    void tls()
    {
        Broker &broker = newBroker();
        const auto openssl = [&](const QString &arguments) {
            return QProcess::execute("sh", {"-c", "cd " + broker.dir + " && openssl " + arguments + " 2>/dev/null"}) == 0;
        };
        QFile ext(broker.dir + "/ext");
        QVERIFY(ext.open(QIODevice::WriteOnly) && ext.write("subjectAltName=DNS:localhost\n"));
        ext.close();
        QVERIFY(openssl("req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj /CN=TestCA"));
        QVERIFY(openssl("req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost"));
        QVERIFY(openssl("x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 -extfile ext"));
        QVERIFY(broker.start({}, {broker.dir + "/ca.pem", broker.dir + "/server.pem", broker.dir + "/server.key"}));
        const QString url = QStringLiteral("mqtts://localhost:%1").arg(broker.port);
        Run *trusted = newRun();
        Run *stranger = newRun();
        for (Run *run : {trusted, stranger}) {
            QVERIFY(run->startSim(1));
            run->startRecorder(1, QStringList{"--duration", "2", "--mqtt", url, "--station", "tls"}
                                      + (run == trusted ? QStringList{"--mqtt-cafile", broker.dir + "/ca.pem"} : QStringList()));
        }
        for (Run *run : {trusted, stranger})
            QVERIFY2(run->exitStatus(30000) == 0, run->output.constData());
        QVERIFY2(trusted->reported("broker: connected to " + url) && trusted->reported("0 dropped, 0 undelivered"),
                 trusted->output.constData());
        QVERIFY2(!stranger->reported("broker: connected") && stranger->output.count("Broker " + url.toUtf8()) == 1,
                 stranger->output.constData());
    }

    // Bad broker options end the program with status 2 before the port is opened.
    void brokerOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::newRow("plain") << QStringList{"--mqtt", "mqtt://broker.example:1884", "--station", "a-B_9"} << "";
        QTest::newRow("tls, default port") << QStringList{"--mqtt", "mqtts://broker.example"} << "";
        QTest::newRow("http") << QStringList{"--mqtt", "http://broker.example"} << "mqtt://host:port";
        QTest::newRow("credentials in URL") << QStringList{"--mqtt", "mqtt://u:p@host"} << "nothing more";
        QTest::newRow("path") << QStringList{"--mqtt", "mqtt://host/topic"} << "nothing more";
        QTest::newRow("port") << QStringList{"--mqtt", "mqtt://host:70000"} << "mqtt://host:port";
        QTest::newRow("station dot") << QStringList{"--mqtt", "mqtt://host", "--station", "site.1"} << "station";
        QTest::newRow("station slash") << QStringList{"--mqtt", "mqtt://host", "--station", "a/#"} << "station";
        QTest::newRow("queue") << QStringList{"--mqtt", "mqtt://host", "--mqtt-queue", "0"} << "--mqtt-queue";
        QTest::newRow("no password file") << QStringList{"--mqtt", "mqtt://host", "--mqtt-password-file", "/no/file"} << "password";
        QTest::newRow("without --mqtt") << QStringList{"--station", "x"} << "--station needs --mqtt";
    }
    void brokerOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        RecorderOptions options;
        QString message;
        QCOMPARE(options.parse(QStringList{"ventrolla-record", "--port", "/dev/null"} + arguments, message), error.isEmpty());
        QVERIFY2(message.contains(error), qPrintable(message));
        if (error.isEmpty()) {
            QVERIFY(options.broker.enabled && BrokerSettings::isValidStation(options.broker.station));
            return;
        }
        Run *run = newRun();
        run->startRaw(QStringList{"--port", root.path() + "/no-such-port"} + arguments);
        QVERIFY2(run->exitStatus(10000) == 2, run->output.constData());
    }

private:
    Run *newRun()
    {
        runs.push_back(std::make_unique<Run>());
        runs.back()->dir = root.path() + "/run" + QString::number(runs.size());
        QDir().mkpath(runs.back()->dir);
        return runs.back().get();
    }
    Broker &newBroker()
    {
        brokers.push_back(std::make_unique<Broker>());
        brokers.back()->dir = root.path() + "/broker" + QString::number(brokers.size());
        QDir().mkpath(brokers.back()->dir);
        return *brokers.back();
    }

    QTemporaryDir root{QDir::tempPath() + QStringLiteral("/recorder-broker-XXXXXX")};
    std::vector<std::unique_ptr<Run>> runs;
    std::vector<std::unique_ptr<Broker>> brokers;
};

VENTROLLA_TEST_MAIN(TestRecorderBroker)
#include "tst_RecorderBroker.moc"
