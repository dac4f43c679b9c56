#include "ReplayScript.h"

#include "ReplayEncoder.h"
#include "archive/LogReader.h"

#include <algorithm>

namespace {

constexpr int helloTextLength = 12;
constexpr int secondsPerDay = 86400;

// Times of one set as comparable keys: a set spans far less than half a day, so when its
// times lie more than that apart it crossed midnight and the small ones are the later.
QVector<int> timeKeys(const QVector<LogModuleGroup> &groups)
{
    QVector<int> keys;
    for (const LogModuleGroup &group : groups)
        keys.append(LogValues::toSecondsOfDay(group.text(LogColumn::UtcTime)));
    const auto [low, high] = std::minmax_element(keys.cbegin(), keys.cend());
    if (*high - *low > secondsPerDay / 2) {
        for (int &key : keys) {
            if (key >= 0 && key < secondsPerDay / 2)
                key += secondsPerDay;
        }
    }
    return keys;
}

// The Data payload of a module that was acquired but never logged: no values, time and
// altitude zero.
QByteArray emptyPayload()
{
    QByteArray payload(13, '\0');
    payload.append(char(0xE4));
    payload.append(QByteArray(5, '\0'));
    return payload;
}

} // namespace

ReplayScript::ReplayScript() = default;
ReplayScript::~ReplayScript() = default;

bool ReplayScript::load(const QString &fileName, int groundElevation, QString *error,
                        QStringList *warnings)
{
    LogReader reader(fileName);
    if (!reader.open()) {
        *error = reader.errorString();
        return false;
    }
    const auto warnLine = [warnings](qint64 line, const QString &text) {
        warnings->append(QStringLiteral("line %1: %2").arg(line).arg(text));
    };
    LogEntry entry;
    bool unitKnown = false;
    while (reader.next(entry)) {
        for (const LogWarning &warning : reader.takeWarnings())
            warnLine(warning.lineNumber, warning.message);
        if (entry.isData() && !unitKnown) {
            // The header names the unit, or else the reader tells it from the first data line.
            windUnits_ = reader.windUnit() == LogWindUnit::MetresPerSecond ? 1 : 0;
            unitKnown = true;
        }
        QString why;
        const bool added = entry.isData() ? addDataLine(entry, groundElevation, &why)
                                          : addXData(entry, &why);
        if (!added)
            warnLine(entry.lineNumber, why + QStringLiteral("; skipped"));
    }
    for (const LogWarning &warning : reader.takeWarnings())
        warnLine(warning.lineNumber, warning.message);
    if (lines.isEmpty()) {
        *error = QStringLiteral("%1 holds no data line to replay").arg(fileName);
        return false;
    }
    buildSteps(groundElevation);
    return true;
}

const QVector<ReplayScript::Module> &ReplayScript::modules() const
{
    return modules_;
}

int ReplayScript::stepCount() const
{
    return steps.size();
}

const ReplayScript::Step &ReplayScript::step(int index) const
{
    return steps.at(index);
}

const ReplayScript::Step &ReplayScript::loopStep() const
{
    return loopStep_;
}

int ReplayScript::moduleIndex(const QString &identifier, const LogModuleGroup *firstGroup,
                              int groundElevation)
{
    for (int i = 0; i < modules_.size(); ++i) {
        if (modules_[i].identifier == identifier)
            return i;
    }
    if (identifier.isEmpty() || identifier.size() > helloTextLength)
        return -1;
    Module module;
    module.identifier = identifier;
    if (firstGroup)
        module.kind = ReplayEncoder::kindOf(firstGroup->text(LogColumn::Temperature));
    modules_.append(module);
    encoders.push_back(std::make_unique<ReplayEncoder>(windUnits_, groundElevation, module.kind));
    return modules_.size() - 1;
}

bool ReplayScript::addDataLine(const LogEntry &entry, int groundElevation, QString *warning)
{
    Line line;
    for (const LogModuleGroup &group : entry.modules) {
        const int m = moduleIndex(group.moduleId, &group, groundElevation);
        if (m < 0) {
            *warning = QStringLiteral("module ID \"%1\" is not 1 to 12 characters").arg(group.moduleId);
            return false;
        }
        if (line.modules.contains(m)) {
            *warning = QStringLiteral("module %1 twice in one line").arg(group.moduleId);
            return false;
        }
        QStringList fields(group.moduleId);
        for (const QString &text : group.texts)
            fields.append(text);
        QString why;
        const QByteArray payload = encoders[size_t(m)]->dataPayload(fields, &why);
        if (payload.isEmpty()) {
            *warning = QStringLiteral("module %1: %2").arg(group.moduleId, why);
            return false;
        }
        line.modules.append(m);
        line.groups.append(group);
        line.payloads.append(payload);
    }
    for (int g = 0; g < line.modules.size(); ++g) {
        Module &module = modules_[line.modules[g]];
        if (module.acquisitionPayload.isEmpty())
            module.acquisitionPayload = line.payloads[g];
        const LogModuleGroup &group = line.groups[g];
        for (const LogColumn column : {LogColumn::Latitude, LogColumn::Longitude, LogColumn::Course}) {
            if (!group.text(column).isEmpty())
                module.gps = true;
        }
    }
    lines.append(line);
    return true;
}

bool ReplayScript::addXData(const LogEntry &entry, QString *warning)
{
    if (entry.moduleId.isEmpty() || entry.moduleId.size() > helloTextLength) {
        *warning = QStringLiteral("module ID \"%1\" is not 1 to 12 characters").arg(entry.moduleId);
        return false;
    }
    const QByteArray payload = ReplayEncoder::xdataPayload(entry.xdataText, warning);
    if (payload.isEmpty())
        return false;
    if (xdataBefore.size() <= lines.size())
        xdataBefore.resize(lines.size() + 1);
    xdataBefore[lines.size()].append({entry.moduleId, payload});
    return true;
}

void ReplayScript::buildSteps(int groundElevation)
{
    xdataBefore.resize(lines.size() + 1);
    std::vector<std::vector<Message>> xdata;
    for (const auto &logged : qAsConst(xdataBefore)) {
        xdata.emplace_back();
        for (const auto &[identifier, payload] : logged)
            xdata.back().push_back({moduleIndex(identifier, nullptr, groundElevation), payload});
    }
    for (Module &module : modules_) {
        if (module.acquisitionPayload.isEmpty())
            module.acquisitionPayload = emptyPayload();
    }
    // Alone, a module makes a data line with each Data report, before its XData comes: the
    // XData logged after a line belongs to that line's report.
    if (modules_.size() == 1) {
        xdata[1].insert(xdata[1].begin(), xdata[0].begin(), xdata[0].end());
        xdata.erase(xdata.begin());
        xdata.emplace_back();
    }
    steps.clear();
    for (int i = 0; i < lines.size(); ++i) {
        steps.append(dataStep(i, i - 1, true));
        steps.last().xdata = xdata[std::size_t(i)];
    }
    steps.append(Step());
    steps.last().xdata = xdata[std::size_t(lines.size())];
    loopStep_ = dataStep(0, lines.size() - 1, false);
    loopStep_.xdata = xdata[0];

    if (modules_.size() == 1)
        return; // every report is a set of its own
    int lastTime = -1;
    for (Step &step : steps) {
        if (step.data.empty())
            continue;
        step.afterClosedSet = step.data.front().time == lastTime;
        lastTime = step.data.back().time;
    }
    loopStep_.afterClosedSet = loopStep_.data.front().time == lastTime;
}

ReplayScript::Step ReplayScript::dataStep(int index, int previous, bool first) const
{
    const Line &line = lines[index];
    const Line *before = previous >= 0 ? &lines[previous] : nullptr;
    const QVector<int> keys = timeKeys(line.groups);
    const int newest = *std::max_element(keys.cbegin(), keys.cend());

    Step step;
    for (int g = 0; g < line.modules.size(); ++g) {
        const int m = line.modules[g];
        const int then = before ? before->modules.indexOf(m) : -1;
        bool isNew = true;
        if (modules_.size() == 1)
            isNew = true; // alone, a module makes a data set with every report
        else if (then >= 0)
            isNew = line.groups[g].texts != before->groups[then].texts;
        else if (first && keys[g] != newest)
            isNew = line.payloads[g] != modules_[m].acquisitionPayload; // its acquisition record
        if (isNew)
            step.data.push_back({m, line.payloads[g], keys[g] % secondsPerDay});
    }
    if (step.data.empty()) {
        for (int g = 0; g < line.modules.size(); ++g) {
            if (keys[g] == newest)
                step.data.push_back({line.modules[g], line.payloads[g], keys[g] % secondsPerDay});
        }
    }
    return step;
}
