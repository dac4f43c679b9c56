// The log file and the live data stream, fed by a model whose table holds known records, and by
// a model running against modules on a pseudo-terminal.

#include "ModelHarness.h"
#include "TestSupport.h"
#include "core/Model.h"
#include "link/FlightModule.h"
#include "output/LogFile.h"
#include "output/ServerOutput.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Three modules: one with GPS fields and XData, one without GPS (empty cells), and one whose
// identifier holds a halfwidth katakana letter (sent by modules as a byte 0x80..0xFF).
const QList<QStringList> modules = {
    {"A17", "152.3", "995.12", "18.45", "63.2", "274", "7.8", "3.31", "12:00:01", "45.50123", "-73.56781", "118.4",
     "2.1", "xd-1"},
    {"B204", "301.0", "978.40", "16.02", "70.9", "281", "9.4", "3.28", "12:00:02", "", "", "", "", ""},
    {"K\uFF85", "455.7", "961.77", "14.90", "74.0", "290", "11.2", "3.25", "", "", "", "", "", "x3"},
};

void addModules(Model &model, int count, int from = 0)
{
    for (int i = from; i < from + count; ++i) {
        const QStringList record = modules[i] + QStringList{QString::number(i), "0", "156", "80", "0"};
        model.appendModule(new FlightModule(record.join(';'), model.windUnits()));
    }
    model.moduleList().refreshRecords();
}

// The modules' cells as the log writes them (without XData) or as the stream sends them.
QByteArray fields(int count, char separator = ',')
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += separator + QStringList(modules[i].mid(0, separator == ',' ? 13 : 14)).join(separator).toUtf8();
    return out;
}

QDateTime at(int hour, int minute, int second) { return QDateTime(QDate(2024, 3, 9), QTime(hour, minute, second)); }

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

const QByteArray header = "Ventrolla log file\nDate "
                          + QLocale::c().toString(QDate::currentDate(), QStringLiteral("M/dd/yyyy")).toLatin1()
                          + "\n\nTime,Comment";
const QByteArray knots = ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),Supply (V),"
                         "UTC Time,Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";
QString socketPath() { return QDir::cleanPath(QDir::tempPath()) + QStringLiteral("/Ventrolla"); }

// A client of the data stream, connected once the server has taken it on.
std::unique_ptr<QLocalSocket> connectClient(ServerOutput &server)
{
    auto client = std::make_unique<QLocalSocket>();
    client->connectToServer(ServerOutput::serverName());
    const bool taken = client->waitForConnected(1000) && TestSupport::waitUntil([&] { return server.hasClient(); });
    return taken ? std::move(client) : nullptr;
}

QByteArray nextLine(QLocalSocket &client)
{
    TestSupport::waitUntil([&] { return client.canReadLine(); });
    return client.readLine();
}

// A socket listening at the server's path, closed without removing the name, as a killed
// process leaves it.
bool leaveStaleSocket()
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(socketPath()).constData(), sizeof address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && ::listen(fd, 1) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(socketPath());
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

    // No modules, one in knots, three in m/s: the log's header names each module's columns, and
    // every data set is a line of the log and of the stream with all of them.
    void linesHoldEveryColumn()
    {
        const std::pair<int, int> cases[] = {{0, 0}, {0, 1}, {1, 3}}; // wind units, modules
        for (const auto &[windUnits, count] : cases) {
            Model model(windUnits, 0, false, false, false, false);
            addModules(model, count);
            LogFile log(&model);
            ServerOutput server(&model);
            const QString run = path(QStringLiteral("run%1.csv").arg(count));
            QVERIFY(log.begin(run) && log.isOpen());
            const QByteArray columns = QByteArray(knots).replace("knots", windUnits ? "m/s" : "knots").repeated(count);
            QCOMPARE(readAll(run), header + columns + "\n");
            QVERIFY(server.isListening() && server.errorString().isEmpty());
            auto client = connectClient(server);
            QVERIFY(client);
            model.emitDataSetReady(at(9, 5, 7));
            model.emitDataSetReady(at(23, 59, 59));
            QCOMPARE(readAll(run), header + columns + "\n09:05:07," + fields(count) + "\n23:59:59," + fields(count)
                                       + "\n");
            QCOMPARE(nextLine(*client), "09:05:07" + fields(count, '\t') + "\n");
            QCOMPARE(nextLine(*client), "23:59:59" + fields(count, '\t') + "\n");
        }
    }

    void logCommentsXDataAndPause()
    {
        Model model(0, 0, false, false, false, false);
        addModules(model, 1);
        LogFile log(&model);
        // begin() forgets a comment set before.
        log.setComment(QStringLiteral("kept"), false);
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
        model.emitDataSetReady(at(10, 0, 5));
        model.emitDataSetReady(at(10, 0, 6));
        // Modules added while logging widen the data lines.
        addModules(model, 1, 1);
        model.emitXDataReady(at(10, 0, 7), 1);
        model.emitDataSetReady(at(10, 0, 8));
        log.setComment(QStringLiteral("again"), true);
        log.setPaused(true);
        log.stop();
        QVERIFY(!log.isOpen() && !log.isPaused() && !log.isCommentRepeating() && log.comment().isEmpty());
        model.emitDataSetReady(at(10, 0, 9));
        QCOMPARE(readAll(path("c.csv")), header + knots + "\n10:00:02,in cloud" + fields(1)
                                             + "\n10:00:03,<XDATA>,A17,xd-1\n10:00:04,in cloud" + fields(1)
                                             + "\n10:00:05,launch" + fields(1) + "\n10:00:06," + fields(1)
                                             + "\n10:00:07,<XDATA>,B204,\n10:00:08," + fields(2) + "\n");
        // A new log starts its file afresh and closes the previous one.
        QVERIFY(log.begin(path("c.csv")) && log.begin(path("d.csv")));
        model.emitDataSetReady(at(10, 0, 10));
        QCOMPARE(readAll(path("c.csv")), header + knots + knots + "\n");
        QCOMPARE(readAll(path("d.csv")), header + knots + knots + "\n10:00:10," + fields(2) + "\n");
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
        QVERIFY(!log.isOpen() && !log.isPaused() && !log.isCommentRepeating() && !log.errorString().isEmpty());
        QCOMPARE(status.count(), 2);
        // A failure does not spoil the next log.
        QVERIFY(log.begin(path("after.csv")) && log.errorString().isEmpty());
        model.emitDataSetReady(at(1, 2, 4));
        QCOMPARE(readAll(path("after.csv")), header + "\n01:02:04,\n");
        QCOMPARE(failures.count(), 0);

        // A file-size limit makes the file system refuse part of a data line, as a full disk
        // would: the log stops, and the line written in part is cut off.
        addModules(model, 3);
        const QByteArray written = readAll(path("after.csv"));
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limited{rlim_t(written.size() + 40), saved.rlim_max};
        void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        model.emitDataSetReady(at(3, 0, 1));
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, savedHandler);
        QCOMPARE(failures.count(), 1);
        // The reason alone: the window's box and the recorder's line name the file, once.
        const QString reason = failures[0][0].toString();
        QVERIFY2(!reason.isEmpty() && !reason.contains(QStringLiteral("after.csv")), qPrintable(reason));
        QVERIFY(log.errorString() == reason && !log.isOpen());
        model.emitDataSetReady(at(3, 0, 2));
        model.emitXDataReady(at(3, 0, 3), 0);
        QCOMPARE(failures.count(), 1);
        QCOMPARE(readAll(path("after.csv")), written);

        // A header that does not reach the disk closes the log as a failed data line does.
        const rlimit tiny{rlim_t(10), saved.rlim_max};
        savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
        const bool begun = log.begin(path("header.csv"));
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        std::signal(SIGXFSZ, savedHandler);
        QVERIFY(!begun && !log.isOpen() && !log.errorString().isEmpty());
        QCOMPARE(readAll(path("header.csv")), QByteArray());
        QCOMPARE(failures.count(), 1);
    }

    // The stream serves one client at a time, of the same user only; a data set with nobody listening
    // is lost; a client that stops reading is dropped once the unsent lines pass the limit. The name
    // left by a server that no longer runs is taken over, when starting and when listening again
    // after a client; a file there that is no socket is left alone.
    void streamServesOneClientAtATime()
    {
        Model model(0, 0, false, false, false, false);
        addModules(model, 3);
        QVERIFY(leaveStaleSocket());
        auto server = std::make_unique<ServerOutput>(&model);
        QVERIFY2(server->isListening(), qPrintable(server->errorString()));
        QCOMPARE(QFileInfo(socketPath()).permissions() & 0x0FFF, QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        model.emitDataSetReady(at(1, 1, 0));
        QSignalSpy status(server.get(), &ServerOutput::statusChanged);
        auto first = connectClient(*server);
        QVERIFY(first && !server->isListening() && status.count() >= 1);
        QLocalSocket second;
        second.connectToServer(ServerOutput::serverName());
        QVERIFY(!second.waitForConnected(200) && leaveStaleSocket());
        model.emitDataSetReady(at(1, 1, 1));
        QCOMPARE(nextLine(*first), "01:01:01" + fields(3, '\t') + "\n");
        QCOMPARE(first->bytesAvailable(), qint64(0));
        first->disconnectFromServer();
        QTRY_VERIFY(!server->hasClient());
        QVERIFY2(server->isListening(), qPrintable(server->errorString()));

        server->setMaxUnsentBytes(16 * 1024);
        auto silent = connectClient(*server);
        QVERIFY(silent);
        silent->setReadBufferSize(1);
        for (int sent = 0; server->hasClient() && sent < 100000; ++sent) {
            model.emitDataSetReady(at(5, 0, 0));
            QCoreApplication::processEvents();
        }
        QVERIFY(!server->hasClient() && server->isListening());

        server.reset();
        {
            QFile file(socketPath());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not ours") == 8);
        }
        server = std::make_unique<ServerOutput>(&model);
        QVERIFY(!server->isListening() && !server->errorString().isEmpty());
        QCOMPARE(readAll(socketPath()), QByteArray("not ours"));
    }

    // Every Data message that reaches the table goes out in exactly one data set, to the log file
    // and to the stream alike, wherever in the set cycle the run is stopped, and also when a
    // listener stops the run from inside an announcement (as a modal dialog's nested event loop or
    // the recorder on a failed write may).
    void everyMessageInExactlyOneSet_data()
    {
        QTest::addColumn<int>("modules");
        // "m@s": module m reports UTC second s (with a pressure of its own); "T": the 500 ms
        // set-closing tick; "!": the next announcement stops the run from inside; "S": Stop; "L":
        // the base station is lost (its device goes away).
        QTest::addColumn<QString>("events");
        QTest::addColumn<int>("sets");
        QTest::newRow("one module, Stop after messages") << 1 << "0@1 0@2 0@3 S" << 3;
        QTest::newRow("one module, Stop inside an announcement") << 1 << "0@1 ! 0@2" << 2;
        QTest::newRow("three, Stop before any message") << 3 << "S" << 0;
        QTest::newRow("three, Stop with the set open") << 3 << "0@1 1@1 2@1 S" << 1;
        QTest::newRow("three, Stop after the tick closed the set") << 3 << "0@1 1@1 2@1 T S" << 1;
        QTest::newRow("three, Stop after a new time closed the set") << 3 << "0@1 1@1 2@1 0@2 S" << 2;
        QTest::newRow("three, Stop with the next set open") << 3 << "0@1 1@1 2@1 0@2 1@2 S" << 2;
        QTest::newRow("three, Stop after a set and a new time") << 3 << "0@1 1@1 2@1 0@2 1@2 2@2 0@3 S" << 3;
        QTest::newRow("three, Stop inside the tick's announcement") << 3 << "0@1 1@1 ! 2@1 T" << 1;
        QTest::newRow("three, Stop inside Stop's announcement") << 3 << "0@1 1@1 ! S" << 1;
        QTest::newRow("three, base station lost after a new time") << 3 << "0@1 1@1 2@1 0@2 L" << 2;
    }

    void everyMessageInExactlyOneSet()
    {
        QFETCH(int, modules);
        QFETCH(QString, events);
        QFETCH(int, sets);
        ModelRig rig;
        Model &model = rig.model();
        QList<qint64> addresses;
        for (int m = 0; m < modules; ++m)
            addresses << 0x0013A20040000001 + m;
        QVERIFY(rig.loadAndStop(addresses));
        const QString logPath = path("delivery.csv");
        LogFile log(&model);
        QVERIFY(log.begin(logPath));
        ServerOutput server(&model);
        QLocalSocket client;
        client.connectToServer(ServerOutput::serverName());
        QVERIFY(client.waitForConnected(1000));
        QTRY_VERIFY(server.hasClient());
        bool stopInside = false;
        QObject::connect(&model, &Model::dataSetReady, &model, [&] {
            if (std::exchange(stopInside, false))
                model.stop();
        });
        QVERIFY(rig.startRunning());
        model.timers().timeout.setInterval(3600 * 1000);

        QVector<QByteArray> lastPressure(modules); // what each module sent last
        int sent = 0;
        for (const QString &step : events.split(' ')) {
            if (step == "S") {
                model.stop();
            } else if (step == "T") {
                rig.invoke("onSingleShotTimer");
            } else if (step == "L") {
                QSignalSpy lost(&model, &Model::baseStationLost);
                rig.pty().closeMaster();
                QVERIFY(lost.wait(2000));
                QCOMPARE(rig.stateName(), QStringLiteral("Unconfigured"));
                QCOMPARE(model.rowCount(), modules);
            } else if (step == "!") {
                stopInside = true;
            } else {
                const quint16 pressure = quint16(9000 + ++sent);
                const int m = step.section('@', 0, 0).toInt();
                QVERIFY(rig.deliverFrom(addresses[m], dataAt(12, 0, step.section('@', 1).toInt(), pressure)));
                lastPressure[m] = QByteArray::number(pressure / 10.0, 'f', 1);
            }
        }
        QVERIFY(!model.isRunning());

        // One line a set in each; the log's line is the stream's with a comment and without XData.
        QTRY_COMPARE(client.peek(1 << 20).count('\n'), sets);
        QTest::qWait(20); // long enough for a line too many to show up
        QList<QByteArray> streamed = client.readAll().split('\n');
        QCOMPARE(streamed.takeLast(), QByteArray());
        for (QByteArray &line : streamed) {
            QList<QByteArray> fields = line.split('\t');
            for (int m = modules; m > 0; --m)
                fields.removeAt(14 * m);
            fields.insert(1, QByteArray());
            line = fields.join(',');
        }
        QList<QByteArray> logged = readAll(logPath).split('\n').mid(4); // after the header
        QCOMPARE(logged.takeLast(), QByteArray());
        QCOMPARE(logged, streamed);
        QCOMPARE(logged.size(), sets);
        for (int m = 0; m < modules && sets; ++m) {
            if (!lastPressure[m].isEmpty())
                QCOMPARE(logged.last().split(',').at(2 + 13 * m + 2), lastPressure[m]);
        }
    }

private:
    QString path(const QString &name) const { return dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir;
};

VENTROLLA_TEST_MAIN(TestOutput)
#include "tst_Output.moc"
