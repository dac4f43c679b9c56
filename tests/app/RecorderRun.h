#ifndef VENTROLLA_TESTS_APP_RECORDERRUN_H
#define VENTROLLA_TESTS_APP_RECORDERRUN_H

#include "TestSupport.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

// One run of the recorder program against the simulator program, each with its own temporary
// folder; shared by the recorder's tests.
namespace {

constexpr int loggedColumns = 13; // per module: Module ID .. Speed; XData is streamed only
using TestSupport::waitUntil;

// One run: a simulator, the recorder on its port, each with its own temporary folder so that
// runs side by side never share the local socket name.
struct Run
{
    QString dir;
    QProcess sim;
    QProcess recorder;
    QByteArray output;
    QString port;

    QString logPath() const { return dir + QStringLiteral("/sounding.csv"); }

    void start(QProcess &process, const char *program, const QStringList &arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), dir);
        process.setProcessEnvironment(env);
        process.start(QString::fromLocal8Bit(program), arguments);
    }

    // Modules switched on at once, their clocks ten times faster than real time.
    bool startSim(int modules, const QStringList &more = {})
    {
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // A short guard time leaves the configuration most of its three seconds for a slow machine.
        start(sim, VENTROLLA_SIM_PROGRAM, QStringList{"--modules", QString::number(modules), "--power-on-delay", "0",
                                                      "--power-on-interval", "50", "--speed", "10", "--guard-time", "300",
                                                      "--start-time", "2024-05-01T10:00:00Z"} + more);
        waitUntil([this] { return sim.canReadLine(); }, 10000);
        port = QString::fromLocal8Bit(sim.readLine()).trimmed();
        return port.startsWith('/');
    }

    // modules 0: no --modules, acquisition ends after two seconds. With --modules it ends as the
    // last module comes in: its time limit lies beyond that of every run.
    void startRecorder(int modules, const QStringList &more = {})
    {
        QStringList arguments{"--port", port, "--interval", "2s", "--log", logPath(), "--acquire-time"};
        arguments << (modules ? QStringList{"600", "--modules", QString::number(modules)} : QStringList{"2"});
        startRaw(arguments + more);
    }

    void startRaw(const QStringList &arguments)
    {
        recorder.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&recorder, &QProcess::readyRead, [this] { output += recorder.readAll(); });
        start(recorder, VENTROLLA_RECORD_PROGRAM, arguments);
    }

    bool reported(const QString &text) const { return QString::fromUtf8(output).contains(text); }
    int acquired() const { return output.count("module acquired: "); }

    // The highest N of the "data set N" lines; they must count 1, 2, 3... without gaps.
    int dataSets() const
    {
        int count = 0;
        static const QRegularExpression line("^data set (\\d+)$", QRegularExpression::MultilineOption);
        for (auto it = line.globalMatch(QString::fromUtf8(output)); it.hasNext();)
            count = it.next().captured(1).toInt() == count + 1 ? count + 1 : -1000;
        return count;
    }

    // The exit status once the program has finished by itself; -1 if it did not.
    int exitStatus(int timeoutMs)
    {
        const bool ended = recorder.state() == QProcess::NotRunning || recorder.waitForFinished(timeoutMs);
        return ended && recorder.exitStatus() == QProcess::NormalExit ? recorder.exitCode() : -1;
    }

    // The data lines of the log, once its header (title, date, empty line, column headers for
    // every acquired module) and the shape of each line (time, comment, the 13 fields of each
    // module) are checked.
    QStringList checkedLog(const QString &comment, const QString &fields = "(,[^,]*){12}") const
    {
        QFile file(logPath());
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        QStringList lines = QString::fromUtf8(bytes).split('\n');
        QString header = "Ventrolla log file|Date " + QDate::currentDate().toString(QStringLiteral("M/dd/yyyy"))
                         + "||Time,Comment";
        for (int m = 0; m < acquired(); ++m)
            header += ",Module ID,Alt (m),P (mbar),T (deg C),%RH,Wind (degrees),Wind (knots),Supply (V),"
                      "UTC Time,Latitude (deg),Longitude (deg),Course (deg),Speed (knots)";
        if (!bytes.endsWith('\n') || lines.mid(0, 4).join('|') != header)
            return {"bad header: " + lines.mid(0, 4).join('|')};
        lines = lines.mid(4, lines.size() - 5);
        const QRegularExpression shape(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,%1(,TX000\\d%2){%3}$")
                                           .arg(comment, fields).arg(acquired()));
        for (const QString &line : lines) {
            if (!shape.match(line).hasMatch())
                return {"bad line: " + line};
        }
        return lines;
    }

    ~Run()
    {
        for (QProcess *process : {&recorder, &sim}) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
};

} // namespace

#endif
