#include "ReplayConductor.h"

#include "ReplayEncoder.h"
#include "ReplayScript.h"
#include "SimulatedClock.h"
#include "SimulatedModule.h"
#include "link/ModuleMessage.h"

namespace {

// Where in its interval a set goes out, as a module's report would.
constexpr qint64 reportOffsetMs = 100;
// Wall-clock time the ground station surely needs to close a set by its own timer (500 ms
// after the set's last message).
constexpr qint64 setClosedMs = 800;
// Wall-clock time after the last module told to report before a run begins without the
// modules never told.
constexpr int startWaitMs = 500;

} // namespace

ReplayConductor::ReplayConductor(std::shared_ptr<const ReplayScript> script, bool loop,
                                 const SimulatedClock &clock,
                                 const QList<SimulatedModule *> &modules, QObject *parent)
    : QObject(parent), script(std::move(script)), loop(loop), clock(clock), modules(modules)
{
    stepTimer.setSingleShot(true);
    stepTimer.setTimerType(Qt::PreciseTimer);
    connect(&stepTimer, &QTimer::timeout, this, &ReplayConductor::sendStep);
    startTimer.setSingleShot(true);
    startTimer.setInterval(startWaitMs);
    connect(&startTimer, &QTimer::timeout, this, &ReplayConductor::startRun);
    for (SimulatedModule *module : modules)
        connect(module, &SimulatedModule::reportingChanged, this, &ReplayConductor::onReportingChanged);
}

void ReplayConductor::onReportingChanged()
{
    int acquired = 0;
    int reporting = 0;
    for (const SimulatedModule *module : qAsConst(modules)) {
        acquired += module->isPowered() && module->hasReported() ? 1 : 0;
        reporting += module->isReplayReporting() ? 1 : 0;
    }
    if (running && reporting == 0) {
        running = false;
        stepTimer.stop();
    } else if (!running && reporting > 0) {
        if (reporting == acquired)
            startRun();
        else
            startTimer.start();
    }
}

void ReplayConductor::startRun()
{
    startTimer.stop();
    if (running)
        return;
    qint64 interval = 0;
    for (const SimulatedModule *module : qAsConst(modules)) {
        if (module->isReplayReporting())
            interval = qint64(module->reportIntervalSeconds()) * 1000;
    }
    if (interval == 0)
        return; // stopped again meanwhile
    intervalMs = interval;
    running = true;
    steps = 0;
    nextStampMs = (clock.nowMs() / intervalMs + 1) * intervalMs;
    scheduleStep();
}

void ReplayConductor::scheduleStep()
{
    const qint64 dueMs = nextStampMs + reportOffsetMs - clock.nowMs();
    stepTimer.start(dueMs > 0 ? clock.realDelay(dueMs) : 0);
}

void ReplayConductor::sendStep()
{
    const int count = script->stepCount();
    if (!loop && steps >= count)
        return;
    const int index = steps % count;
    const ReplayScript::Step &step = index == 0 && steps > 0 ? script->loopStep() : script->step(index);
    ++steps;

    for (const ReplayScript::Message &message : step.data) {
        SimulatedModule *module = modules.value(message.module);
        if (module && module->isReplayReporting()) {
            module->transmit(SimulatedModule::radioMessage(
                ModuleMessage::Data, ReplayEncoder::selected(message.payload, module->fieldSelection())));
        }
    }
    for (const ReplayScript::Message &message : step.xdata) {
        SimulatedModule *module = modules.value(message.module);
        if (module && module->isReplayReporting())
            module->transmit(SimulatedModule::radioMessage(ModuleMessage::XData, message.payload));
    }
    nextStampMs += intervalMs;
    if (!loop && steps >= count)
        return;
    const int next = steps % count;
    const bool afterClosedSet =
        next == 0 ? script->loopStep().afterClosedSet : script->step(next).afterClosedSet;
    if (afterClosedSet) {
        // Faster than real time the reports come closer than the ground station's timer: wait
        // for it, to the next whole interval after.
        const qint64 closed = clock.nowMs() + qint64(double(setClosedMs) * clock.speed());
        if (nextStampMs < closed)
            nextStampMs = (closed / intervalMs + 1) * intervalMs;
    }
    scheduleStep();
}
