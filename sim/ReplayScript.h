#ifndef VENTROLLA_SIM_REPLAYSCRIPT_H
#define VENTROLLA_SIM_REPLAYSCRIPT_H

#include "archive/LogEntry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

class ReplayEncoder;

// What the simulated modules say to replay a recorded log: one module per Module ID, in the
// order of the data lines (the ground station's table), and for each data set of the log the
// messages that make the ground station write that very line again.
//
// A data line holds every module's latest record, so a module speaks in a data set only when
// its record there is new: it stays silent while its record is the one of the set before, and
// where it first appears with a time older than the set's (the record it sent while being
// acquired, before the run), it sends that record during acquisition instead. XData lines are
// sent after the Data messages of the set they precede (of the set they follow when the log
// has a single module, whose every report is a data set of its own), so they keep their place
// among the data lines. A set in which no record is new (the same record logged twice) is
// sent again by the modules with the set's time.
class ReplayScript
{
public:
    struct Module
    {
        QString identifier;
        char kind = 'Q';
        bool gps = false;
        QByteArray acquisitionPayload; // the Data payload it reports while being acquired
    };

    struct Message
    {
        int module = 0;
        QByteArray payload; // Data or XData payload, not escaped
        int time = -1;      // of a Data message: its UTC time, seconds since midnight
    };

    // One report of the modules: the Data messages in module order, then the XData messages
    // in the log's order.
    struct Step
    {
        std::vector<Message> data;
        std::vector<Message> xdata;
        // Its first Data message carries the time of the last one before it: the ground station
        // must have closed that set by its own timer first, as it did in the recording.
        bool afterClosedSet = false;
    };

    ReplayScript();
    ~ReplayScript();
    ReplayScript(const ReplayScript &) = delete;
    ReplayScript &operator=(const ReplayScript &) = delete;

    // Reads the log; lines it cannot replay are skipped, each named in warnings. False, with
    // the reason in error, for a file that is no log or that holds no data line to replay.
    bool load(const QString &fileName, int groundElevation, QString *error, QStringList *warnings);

    const QVector<Module> &modules() const;
    // Step i ends in the log's data line i; a last step sends the XData logged after the
    // last data line.
    int stepCount() const;
    const Step &step(int index) const;
    // Step 0 when it follows the last data set, for a replay that starts over.
    const Step &loopStep() const;

private:
    struct Line
    {
        QVector<int> modules;           // module index of each group
        QVector<LogModuleGroup> groups; // as logged
        QVector<QByteArray> payloads;   // the Data payload of each group
    };

    int moduleIndex(const QString &identifier, const LogModuleGroup *firstGroup, int groundElevation);
    bool addDataLine(const LogEntry &entry, int groundElevation, QString *warning);
    bool addXData(const LogEntry &entry, QString *warning);
    void buildSteps(int groundElevation);
    Step dataStep(int line, int previous, bool first) const;

    QVector<Module> modules_;
    std::vector<std::unique_ptr<ReplayEncoder>> encoders;
    int windUnits_ = 0; // 0 knots, 1 metres per second, as the log's header says
    QVector<Line> lines;
    // XData logged before line i (and after the last), by Module ID: a module that sends XData
    // takes its place in the table with its first Data report.
    QVector<QVector<QPair<QString, QByteArray>>> xdataBefore;
    QVector<Step> steps;
    Step loopStep_;
};

#endif
