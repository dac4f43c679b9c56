#include "OutputRecords.h"
#include "TestSupport.h"
#include "core/Model.h"
#include "output/ServerOutput.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QtTest>

#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using OutputRecords::addModules;
using OutputRecords::threeModules;

namespace {

const QByteArray fieldsA17 = "\tA17\t152.3\t995.12\t18.45\t63.2\t274\t7.8\t3.31\t12:00:01\t45.50123"
                             "\t-73.56781\t118.4\t2.1\txd-1";
const QByteArray fieldsB204 = "\tB204\t301.0\t978.40\t16.02\t70.9\t281\t9.4\t3.28\t12:00:02\t\t\t\t\t";
const QByteArray fieldsK = "\tK\xEF\xBE\x85\t455.7\t961.77\t14.90\t74.0\t290\t11.2\t3.25\t\t\t\t\t\tx3";

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2024, 3, 9), QTime(hour, minute, second));
}

QString socketPath()
{
    return QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/Ventrolla");
}

// A client of the data stream, connected once the server has taken it on.
std::unique_ptr<QLocalSocket> connectClient(ServerOutput &server)
{
    auto client = std::make_unique<QLocalSocket>();
    client->connectToServer(ServerOutput::serverName());
    if (!client->waitForConnected(1000))
        return nullptr;
    QElapsedTimer waited;
    waited.start();
    while (!server.hasClient() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return server.hasClient() ? std::move(client) : nullptr;
}

QByteArray nextLine(QLocalSocket &client)
{
    QElapsedTimer waited;
    waited.start();
    while (!client.canReadLine() && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return client.readLine();
}

// A plain socket bound to the name and closed without removing it, as a killed process leaves.
bool leaveStaleSocket()
{
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0
                       && ::listen(fd, 1) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(socketPath());
}

// A client that connects and then never reads.
int connectSilentClient()
{
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

class TestServerOutput : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void lineHoldsEveryColumn_data();
    void lineHoldsEveryColumn();
    void onlyTheSameUserMayConnect();
    void secondClientWaitsForTheFirst();
    void dataSetsWithoutClientAreLost();
    void clientThatSendsIsStillServed();
    void staleSocketIsTakenOver();
    void liveServerIsLeftAlone();
    void liveServerIsLeftAloneWhenListeningAgain();
    void clientThatNeverReadsIsDropped();
};

void TestServerOutput::initTestCase()
{
    // The socket name must live in this program's own temporary folder.
    QVERIFY2(socketPath().startsWith(TestSupport::sandboxPath()), qPrintable(socketPath()));
}

void TestServerOutput::init()
{
    SettingsTestCase::init();
    QLocalServer::removeServer(ServerOutput::serverName());
}

void TestServerOutput::lineHoldsEveryColumn_data()
{
    QTest::addColumn<int>("modules");
    QTest::addColumn<QByteArray>("fields");

    QTest::newRow("no modules") << 0 << QByteArray();
    QTest::newRow("one module") << 1 << fieldsA17;
    QTest::newRow("three modules") << 3 << fieldsA17 + fieldsB204 + fieldsK;
}

void TestServerOutput::lineHoldsEveryColumn()
{
    QFETCH(int, modules);
    QFETCH(QByteArray, fields);

    Model model(1, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules().mid(0, modules)));
    ServerOutput server(&model);
    QVERIFY(server.isListening());
    QCOMPARE(server.errorString(), QString());
    auto client = connectClient(server);
    QVERIFY(client);

    model.emitDataSetReady(at(7, 8, 9));
    model.emitDataSetReady(at(17, 0, 0));
    QCOMPARE(nextLine(*client), "07:08:09" + fields + "\n");
    QCOMPARE(nextLine(*client), "17:00:00" + fields + "\n");
}

void TestServerOutput::onlyTheSameUserMayConnect()
{
    Model model(0, 0, false, false, false, false);
    ServerOutput server(&model);
    QVERIFY(server.isListening());
    const QFile::Permissions permissions = QFileInfo(socketPath()).permissions();
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                      | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QVERIFY(permissions & QFile::WriteOwner);
    QCOMPARE(permissions & others, QFile::Permissions());
}

void TestServerOutput::secondClientWaitsForTheFirst()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules().mid(0, 1)));
    ServerOutput server(&model);
    QSignalSpy status(&server, &ServerOutput::statusChanged);
    auto first = connectClient(server);
    QVERIFY(first);
    QVERIFY(!server.isListening());
    QVERIFY(status.count() >= 1);

    QLocalSocket second;
    second.connectToServer(ServerOutput::serverName());
    QVERIFY(!second.waitForConnected(200));

    model.emitDataSetReady(at(1, 1, 1));
    QCOMPARE(nextLine(*first), "01:01:01" + fieldsA17 + "\n");

    first->disconnectFromServer();
    QTRY_VERIFY(server.isListening());
    QVERIFY(!server.hasClient());
    auto third = connectClient(server);
    QVERIFY(third);
    model.emitDataSetReady(at(1, 1, 2));
    QCOMPARE(nextLine(*third), "01:01:02" + fieldsA17 + "\n");
}

void TestServerOutput::dataSetsWithoutClientAreLost()
{
    Model model(0, 0, false, false, false, false);
    ServerOutput server(&model);
    model.emitDataSetReady(at(2, 0, 0));
    model.emitDataSetReady(at(2, 0, 1));
    auto client = connectClient(server);
    QVERIFY(client);
    model.emitDataSetReady(at(2, 0, 2));
    QCOMPARE(nextLine(*client), QByteArray("02:00:02\n"));
    QCOMPARE(client->bytesAvailable(), qint64(0));
}

void TestServerOutput::clientThatSendsIsStillServed()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules()));
    ServerOutput server(&model);
    // Well below what the lines sent here add up to, so that a client read too slowly
    // would be dropped.
    server.setMaxUnsentBytes(16 * 1024);
    auto client = connectClient(server);
    QVERIFY(client);

    const QByteArray line = "04:00:00" + fieldsA17 + fieldsB204 + fieldsK + "\n";
    const int lines = 4000;
    QByteArray received;
    for (int i = 0; i < lines; ++i) {
        client->write("status?\n");
        model.emitDataSetReady(at(4, 0, 0));
        QCoreApplication::processEvents();
        received += client->readAll();
    }
    QTRY_COMPARE(received += client->readAll(), line.repeated(lines));
    QVERIFY(server.hasClient());
}

void TestServerOutput::staleSocketIsTakenOver()
{
    QVERIFY(leaveStaleSocket());
    Model model(0, 0, false, false, false, false);
    ServerOutput server(&model);
    QVERIFY2(server.isListening(), qPrintable(server.errorString()));
    auto client = connectClient(server);
    QVERIFY(client);
    model.emitDataSetReady(at(3, 3, 3));
    QCOMPARE(nextLine(*client), QByteArray("03:03:03\n"));

    // The same holds when the server listens again after its client has gone.
    QVERIFY(leaveStaleSocket());
    client->disconnectFromServer();
    QTRY_VERIFY(!server.hasClient());
    QVERIFY2(server.isListening(), qPrintable(server.errorString()));
    client = connectClient(server);
    QVERIFY(client);
}

namespace {

// Whether a client reached the server: its first bytes arrived there.
bool reached(QLocalServer &server, QList<QLocalSocket *> &accepted, const QByteArray &hello)
{
    while (server.hasPendingConnections())
        accepted.append(server.nextPendingConnection());
    for (QLocalSocket *socket : qAsConst(accepted)) {
        if (socket->peek(hello.size()) == hello)
            return true;
    }
    return false;
}

} // namespace

void TestServerOutput::liveServerIsLeftAlone()
{
    QLocalServer other;
    QVERIFY(other.listen(ServerOutput::serverName()));
    Model model(0, 0, false, false, false, false);
    ServerOutput server(&model);
    QVERIFY(!server.isListening());
    QVERIFY(!server.errorString().isEmpty());

    // Clients still reach the server that held the name first.
    QLocalSocket client;
    client.connectToServer(ServerOutput::serverName());
    QVERIFY(client.waitForConnected(1000));
    client.write("ping");
    QList<QLocalSocket *> accepted;
    QTRY_VERIFY(reached(other, accepted, "ping"));
    QVERIFY(!server.hasClient());
}

void TestServerOutput::liveServerIsLeftAloneWhenListeningAgain()
{
    Model model(0, 0, false, false, false, false);
    ServerOutput server(&model);
    auto client = connectClient(server);
    QVERIFY(client);

    // While the client is served the name is free, and another server takes it.
    QLocalServer other;
    QVERIFY(other.listen(ServerOutput::serverName()));
    QSignalSpy status(&server, &ServerOutput::statusChanged);
    client->disconnectFromServer();
    QTRY_VERIFY(!server.hasClient());
    QVERIFY(!server.isListening());
    QVERIFY(!server.errorString().isEmpty());
    QVERIFY(status.count() >= 1);

    QLocalSocket next;
    next.connectToServer(ServerOutput::serverName());
    QVERIFY(next.waitForConnected(1000));
    next.write("pong");
    QList<QLocalSocket *> accepted;
    QTRY_VERIFY(reached(other, accepted, "pong"));
}

void TestServerOutput::clientThatNeverReadsIsDropped()
{
    Model model(0, 0, false, false, false, false);
    QVERIFY(addModules(model, threeModules()));
    ServerOutput server(&model);
    QCOMPARE(server.maxUnsentBytes(), ServerOutput::defaultMaxUnsentBytes);
    server.setMaxUnsentBytes(16 * 1024);
    const int silent = connectSilentClient();
    QVERIFY(silent >= 0);
    QTRY_VERIFY(server.hasClient());

    // The system's socket buffer fills first, then the server's own.
    int sent = 0;
    while (server.hasClient() && sent < 100000) {
        model.emitDataSetReady(at(5, 0, 0));
        QCoreApplication::processEvents();
        ++sent;
    }
    QVERIFY(!server.hasClient());
    QVERIFY(server.isListening());
    ::close(silent);

    auto next = connectClient(server);
    QVERIFY(next);
    model.emitDataSetReady(at(5, 0, 1));
    QCOMPARE(nextLine(*next), "05:00:01" + fieldsA17 + fieldsB204 + fieldsK + "\n");
}

VENTROLLA_TEST_MAIN(TestServerOutput)

#include "tst_ServerOutput.moc"
