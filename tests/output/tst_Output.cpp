// The log file and the live data stream, fed by a model whose table holds known records.

#include "TestSupport.h"
#include "core/Model.h"
#include "link/FlightModule.h"
#include "output/LogFile.h"
#include "output/ServerOutput.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Three modules: one with GPS fields and XData, one without GPS (empty cells), and one whose
// identifier holds a halfwidth katakana letter (sent by modules as a byte 0x80..0xFF).
const QList<QStringList> modules = {
    {"A17", "152.3", "995.12", "18.45", "63.2", "274", "7.8", "3.31", "12:00:01", "45.50123",
     "-73.56781", "118.4", "2.1", "xd-1"},
    {"B204", "301.0", "978.40", "16.02", "70.9", "281", "9.4", "3.28", "12:00:02", "", "", "", "", ""},
    {"K\uFF85", "455.7", "961.77", "14.90", "74.0", "290", "11.2", "3.25", "", "", "", "", "", "x3"},
};

// Appends the first count modules (from first) as new rows of the table.
void addModules(Model &model, int count, int from = 0)
{
    for (int i = from; i < from + count; ++i) {
        const QString record = (modules[i] + QStringList{QString::number(0x0013A20040000000LL + i),
                                                         "0", "156", "80", "0"}).join(';');
        model.appendModule(new FlightModule(record, model.windUnits()));
    }
    model.moduleList().refreshRecords();
}

// The modules' cells as the log writes them (without XData) or as the stream sends them.
QByteArray fields(int count, char separator = ',', int from = 0)
{
    QByteArray out;
    for (int i = from; i < from + count; ++i)
        out += separator + (separator == ',' ? QStringList(modules[i].mid(0, 13)) : modules[i]).join(separator).toUtf8();
    return out;
}

QDateTime at(int hour, int minute, int second)
{
    return QDateTime(QDate(2024, 3, 9), QTime(hour, minute, second));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

const QByteArray header = "Ventrolla log file\nDate "
                          + QLocale::c().toString(QDate::currentDate(), QStringLiteral("M/dd/yyyy")).toLatin1()
                          + "\n\nTime,Comment";
const QByteArray columnsKnots = ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),"
                                "Supply (V),UTC Time,Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";

QString socketPath()
{
    return QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/Ventrolla");
}

bool waitFor(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 2000)
            return false;
        QTest::qWait(2);
    }
    return true;
}

// A client of the data stream, connected once the server has taken it on.
std::unique_ptr<QLocalSocket> connectClient(ServerOutput &server)
{
    auto client = std::make_unique<QLocalSocket>();
    client->connectToServer(ServerOutput::serverName());
    if (!client->waitForConnected(1000) || !waitFor([&] { return server.hasClient(); }))
        return nullptr;
    return client;
}

QByteArray nextLine(QLocalSocket &client)
{
    waitFor([&] { return client.canReadLine(); });
    return client.readLine();
}

// A plain socket at the server's path: listening and closed without removing it, as a killed
// process leaves it, or connected to the server and never reading. -1 when that fails.
int rawSocket(bool listening)
{
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, path.constData(), size_t(qMin<int>(path.size(), sizeof address.sun_path - 1)));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto *a = reinterpret_cast<sockaddr *>(&address);
    if (listening ? ::bind(fd, a, sizeof address) != 0 || ::listen(fd, 1) != 0
                  : ::connect(fd, a, sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    if (listening)
        ::close(fd);
    return fd;
}

// Whether a client of the name reaches this other server.
bool reached(QLocalServer &server)
{
    QLocalSocket client;
    client.connectToServer(ServerOutput::serverName());
    return client.waitForConnected(1000) && server.waitForNewConnection(1000)
           && server.nextPendingConnection();
}

} // namespace

class TestOutput : public SettingsTestCase
{
    Q_OBJECT

private slots:
    void init()
    {
        SettingsTestCase::init();
        QLocalServer::removeServer(ServerOutput::serverName());
        dir = std::make_unique<QTemporaryDir>();
    }

    void linesHoldEveryColumn_data()
    {
        QTest::addColumn<int>("windUnits");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("columns");
        QTest::newRow("no modules") << 0 << 0 << QByteArray();
        QTest::newRow("one module, knots") << 0 << 1 << columnsKnots;
        QByteArray metres = columnsKnots;
        metres.replace("knots", "m/s");
        QTest::newRow("three modules, m/s") << 1 << 3 << metres + metres + metres;
    }

    void linesHoldEveryColumn()
    {
        QFETCH(int, windUnits);
        QFETCH(int, count);
        QFETCH(QByteArray, columns);
        Model model(windUnits, 0, false, false, false, false);
        addModules(model, count);
        LogFile log(&model);
        ServerOutput server(&model);
        QSignalSpy failures(&log, &LogFile::writeFailed);
        QVERIFY(log.begin(path("run.csv")));
        QVERIFY(log.isOpen());
        QCOMPARE(readAll(path("run.csv")), header + columns + "\n");
        QVERIFY(server.isListening());
        QCOMPARE(server.errorString(), QString());
        auto client = connectClient(server);
        QVERIFY(client);

        model.emitDataSetReady(at(9, 5, 7));
        model.emitDataSetReady(at(23, 59, 59));
        QCOMPARE(readAll(path("run.csv")), header + columns + "\n09:05:07," + fields(count)
                                               + "\n23:59:59," + fields(count) + "\n");
        QCOMPARE(nextLine(*client), "09:05:07" + fields(count, '\t') + "\n");
        QCOMPARE(nextLine(*client), "23:59:59" + fields(count, '\t') + "\n");
        QCOMPARE(failures.count(), 0);
    }

    void logCommentsXDataAndPause()
    {
        Model model(0, 0, false, false, false, false);
        addModules(model, 1);
        LogFile log(&model);
        // Data sets while stopped leave the comment waiting; begin() forgets it.
        log.setComment(QStringLiteral("kept"), false);
        model.emitDataSetReady(at(10, 0, 0));
        QCOMPARE(log.comment(), QStringLiteral("kept"));
        QVERIFY(log.begin(path("c.csv")));
        QCOMPARE(log.comment(), QString());
        // A comment is one field.
        log.setComment(QStringLiteral("gust, 12 kt\tnear\r\nsummit,"), true);
        QCOMPARE(log.comment(), QStringLiteral("gust  12 kt near  summit "));
        QSignalSpy status(&log, &LogFile::statusChanged);
        log.setPaused(true);
        QVERIFY(log.isPaused() && log.isOpen());
        model.emitDataSetReady(at(10, 0, 1));
        model.emitXDataReady(at(10, 0, 1), 0);
        log.setPaused(false);
        QCOMPARE(status.count(), 2);
        log.setComment(QStringLiteral("in cloud"), true);
        model.emitDataSetReady(at(10, 0, 2));
        model.emitXDataReady(at(10, 0, 3), 0); // neither carries nor uses up the comment
        model.emitDataSetReady(at(10, 0, 4));
        log.setComment(QStringLiteral("launch"), false);
        QVERIFY(!log.isCommentRepeating());
        model.emitDataSetReady(at(10, 0, 5));
        model.emitDataSetReady(at(10, 0, 6));
        // Modules added while logging widen the data lines.
        addModules(model, 1, 1);
        model.emitXDataReady(at(10, 0, 7), 1);
        model.emitDataSetReady(at(10, 0, 8));
        log.setComment(QStringLiteral("again"), true);
        log.setPaused(true);
        log.stop();
        QVERIFY(!log.isOpen() && !log.isPaused());
        QCOMPARE(log.comment(), QString());
        QVERIFY(!log.isCommentRepeating());
        model.emitDataSetReady(at(10, 0, 9));
        QCOMPARE(readAll(path("c.csv")), header + columnsKnots + "\n10:00:02,in cloud" + fields(1)
                                             + "\n10:00:03,<XDATA>,A17,xd-1\n10:00:04,in cloud" + fields(1)
                                             + "\n10:00:05,launch" + fields(1) + "\n10:00:06," + fields(1)
                                             + "\n10:00:07,<XDATA>,B204,\n10:00:08," + fields(2) + "\n");
        // A new log starts its file afresh and closes the previous one.
        QVERIFY(log.begin(path("c.csv")));
        QVERIFY(log.begin(path("d.csv")));
        model.emitDataSetReady(at(10, 0, 10));
        QCOMPARE(readAll(path("c.csv")), header + columnsKnots + columnsKnots + "\n");
        QCOMPARE(readAll(path("d.csv")), header + columnsKnots + columnsKnots + "\n10:00:10," + fields(2) + "\n");
    }

    void logThatCannotBeWrittenSaysSo()
    {
        Model model(0, 0, false, false, false, false);
        LogFile log(&model);
        log.setComment(QStringLiteral("pending"), true);
        log.setPaused(true);
        QSignalSpy status(&log, &LogFile::statusChanged);
        QSignalSpy failures(&log, &LogFile::writeFailed);
        QVERIFY(!log.begin(path("missing-folder/log.csv")));
        QVERIFY(!log.isOpen() && !log.isPaused() && !log.isCommentRepeating());
        QVERIFY(!log.errorString().isEmpty());
        QCOMPARE(status.count(), 2);
        // Opening succeeds, the first write does not: the log must not look as if it ran.
        if (QFileInfo(QStringLiteral("/dev/full")).isWritable()) {
            QVERIFY(!log.begin(QStringLiteral("/dev/full")));
            QVERIFY(!log.isOpen() && !log.errorString().isEmpty());
            model.emitDataSetReady(at(1, 2, 3));
        }
        QCOMPARE(failures.count(), 0);
        // A failure does not spoil the next log.
        QVERIFY(log.begin(path("after.csv")));
        QVERIFY(log.errorString().isEmpty());
        model.emitDataSetReady(at(1, 2, 4));
        QCOMPARE(readAll(path("after.csv")), header + "\n01:02:04,\n");
    }

    // A file-size limit makes the file system refuse part of a data line, as a full disk would:
    // the log stops, and the line written in part is cut off.
    void failedWriteStopsAndKeepsWholeLines()
    {
        Model model(0, 0, false, false, false, false);
        addModules(model, 3);
        LogFile log(&model);
        QVERIFY(log.begin(path("full.csv")));
        model.emitDataSetReady(at(3, 0, 0));
        const QByteArray written = readAll(path("full.csv"));
        QSignalSpy failures(&log, &LogFile::writeFailed);
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = rlim_t(written.size() + 40);
        void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        model.emitDataSetReady(at(3, 0, 1));
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, savedHandler);

        QCOMPARE(failures.count(), 1);
        QVERIFY2(failures[0][0].toString().contains(QStringLiteral("full.csv")), qPrintable(log.errorString()));
        QCOMPARE(log.errorString(), failures[0][0].toString());
        QVERIFY(!log.isOpen());
        model.emitDataSetReady(at(3, 0, 2));
        model.emitXDataReady(at(3, 0, 3), 0);
        QCOMPARE(failures.count(), 1);
        QCOMPARE(readAll(path("full.csv")), written);
    }

    // One client at a time, the same user only; a data set with nobody listening is lost; a
    // client that never reads is dropped once the unsent lines pass the limit.
    void streamServesOneClientAtATime()
    {
        Model model(0, 0, false, false, false, false);
        addModules(model, 3);
        ServerOutput server(&model);
        const QFile::Permissions permissions = QFileInfo(socketPath()).permissions();
        QCOMPARE(permissions & ~(QFile::ReadUser | QFile::ExeUser | QFile::ReadOwner | QFile::ExeOwner),
                 QFile::WriteOwner | QFile::WriteUser);
        model.emitDataSetReady(at(1, 1, 0));
        QSignalSpy status(&server, &ServerOutput::statusChanged);
        auto first = connectClient(server);
        QVERIFY(first && !server.isListening() && status.count() >= 1);
        QLocalSocket second;
        second.connectToServer(ServerOutput::serverName());
        QVERIFY(!second.waitForConnected(200));
        model.emitDataSetReady(at(1, 1, 1));
        QCOMPARE(nextLine(*first), "01:01:01" + fields(3, '\t') + "\n");
        QCOMPARE(first->bytesAvailable(), qint64(0));
        first->disconnectFromServer();
        QTRY_VERIFY(server.isListening() && !server.hasClient());

        QCOMPARE(server.maxUnsentBytes(), ServerOutput::defaultMaxUnsentBytes);
        server.setMaxUnsentBytes(16 * 1024);
        const int silent = rawSocket(false);
        QVERIFY(silent >= 0);
        QTRY_VERIFY(server.hasClient());
        // The system's socket buffer fills first, then the server's own.
        for (int sent = 0; server.hasClient() && sent < 100000; ++sent) {
            model.emitDataSetReady(at(5, 0, 0));
            QCoreApplication::processEvents();
        }
        QVERIFY(!server.hasClient() && server.isListening());
        ::close(silent);
        auto next = connectClient(server);
        QVERIFY(next);
        model.emitDataSetReady(at(5, 0, 1));
        QCOMPARE(nextLine(*next), "05:00:01" + fields(3, '\t') + "\n");
    }

    // The name left by a server that no longer runs is taken over, when starting and when
    // listening again after a client; a server that answers under the name, and a file that is
    // no socket, are left alone.
    void theNameIsTakenOverOnlyFromADeadServer()
    {
        Model model(0, 0, false, false, false, false);
        QVERIFY(rawSocket(true) >= 0 && QFileInfo::exists(socketPath()));
        auto server = std::make_unique<ServerOutput>(&model);
        QVERIFY2(server->isListening(), qPrintable(server->errorString()));
        auto client = connectClient(*server);
        QVERIFY(client);
        QVERIFY(rawSocket(true) >= 0 && QFileInfo::exists(socketPath()));
        client->disconnectFromServer();
        QTRY_VERIFY(!server->hasClient());
        QVERIFY2(server->isListening(), qPrintable(server->errorString()));
        server.reset();
        {
            QFile file(socketPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not ours");
        }
        server = std::make_unique<ServerOutput>(&model);
        QVERIFY(!server->isListening());
        QVERIFY(!server->errorString().isEmpty());
        QCOMPARE(readAll(socketPath()), QByteArray("not ours"));
        QFile::remove(socketPath());

        QLocalServer other;
        QVERIFY(other.listen(ServerOutput::serverName()));
        server = std::make_unique<ServerOutput>(&model);
        QVERIFY(!server->isListening() && !server->errorString().isEmpty());
        QVERIFY(reached(other));
        QVERIFY(!server->hasClient());
        other.close();

        // While a client is served the name is free, and another server may take it.
        server = std::make_unique<ServerOutput>(&model);
        client = connectClient(*server);
        QVERIFY(client);
        QVERIFY(other.listen(ServerOutput::serverName()));
        QSignalSpy status(server.get(), &ServerOutput::statusChanged);
        client->disconnectFromServer();
        QTRY_VERIFY(!server->hasClient());
        QVERIFY(!server->isListening() && !server->errorString().isEmpty());
        QVERIFY(status.count() >= 1);
        QVERIFY(reached(other));
    }

private:
    QString path(const QString &name) const { return dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir;
};

VENTROLLA_TEST_MAIN(TestOutput)
#include "tst_Output.moc"
