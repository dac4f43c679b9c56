#include "ReplayConductor.h"

#include "ReplayEncoder.h"
#include "ReplayScript.h"
#include "SimulatedClock.h"
#include "SimulatedModule.h"
#include "link/ModuleMessage.h"

namespace {

// Where in its interval a set goes out, as a module's report would.
constexpr qint64 reportOffsetMs = 100;

} // namespace

ReplayConductor::ReplayConductor(std::shared_ptr<const ReplayScript> script, bool loop,
                                 const SimulatedClock &clock,
                                 const QList<SimulatedModule *> &modules, QObject *parent)
    : QObject(parent), script(std::move(script)), loop(loop), clock(clock), modules(modules)
{
    stepTimer.setSingleShot(true);
    stepTimer.setTimerType(Qt::PreciseTimer);
    connect(&stepTimer, &QTimer::timeout, this, &ReplayConductor::sendStep);
    for (SimulatedModule *module : modules)
        connect(module, &SimulatedModule::reportingChanged, this, &ReplayConductor::onReportingChanged);
}

bool ReplayConductor::isRunning() const
{
    return running;
}

int ReplayConductor::stepsSent() const
{
    return steps;
}

void ReplayConductor::onReportingChanged()
{
    int members = 0;
    int reporting = 0;
    int interval = 0;
    for (const SimulatedModule *module : qAsConst(modules)) {
        if (!module->isPowered())
            continue;
        // A module the ground station stopped is in its table; one it never stopped was not
        // acquired and takes no part.
        const bool member = module->isReplayReporting()
                            || (module->activity() == SimulatedModule::Activity::Idle
                                && module->reportIntervalSeconds() > 0);
        members += member ? 1 : 0;
        if (module->isReplayReporting()) {
            ++reporting;
            interval = module->reportIntervalSeconds();
        }
    }
    if (running && reporting == 0) {
        running = false;
        stepTimer.stop();
    } else if (!running && reporting > 0 && reporting == members) {
        running = true;
        steps = 0;
        intervalMs = qint64(interval) * 1000;
        nextStampMs = (clock.nowMs() / intervalMs + 1) * intervalMs;
        scheduleStep();
    }
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
    if (loop || steps < count)
        scheduleStep();
}
