#include "graph/AxisFitter.h"

#include "core/Model.h"
#include "graph/GraphAxisModel.h"
#include "graph/GraphDataCache.h"
#include "link/FlightModule.h"

#include <algorithm>
#include <cmath>

namespace {

// Of the values' span, on each side; a single value gets this share of itself.
constexpr double margin = 0.05;
// The finest step: tick labels show two decimals.
constexpr double finestStep = 0.01;
// Rounding of limits that are whole multiples of a step.
constexpr double slack = 1e-9;

// The smallest 1, 2 or 5 times a power of ten that is at least `size`.
double roundStepAtLeast(double size)
{
    const double power = std::pow(10.0, std::floor(std::log10(size)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= size * (1 - slack))
            return factor * power;
    }
    return 10 * power;
}

double nextRoundStep(double step)
{
    return roundStepAtLeast(step * (1 + 1e-6));
}

int valueColumn(int axisId)
{
    if (axisId == GraphAxisModel::IndependentAltitude)
        return FlightModule::AltitudeColumn;
    if (axisId == GraphAxisModel::IndependentPressure)
        return FlightModule::PressureColumn;
    return axisId;
}

} // namespace

AxisFitter::AxisFitter(Model *model, GraphAxisModel *axes, QObject *parent)
    : QObject(parent), model(model), axes(axes), cache(GraphDataCache::of(model)),
      graph_(GraphAxisModel::ModuleAxis)
{
    heldFit.setObjectName(QStringLiteral("heldFit"));
    heldFit.setParent(this);
    heldFit.setSingleShot(true);
    connect(&heldFit, &QTimer::timeout, this, &AxisFitter::fitHeld);
    connect(model, &QAbstractItemModel::dataChanged, this, [this] {
        if (automatic)
            check();
    });
}

GraphAxis AxisFitter::fitted(const GraphAxis &axis, double low, double high, bool mayNarrow)
{
    if (!std::isfinite(low) || !std::isfinite(high) || high < low)
        return axis;
    const double span = high - low;
    const double pad = span > 0 ? span * margin : std::max(std::abs(low) * margin, finestStep);
    low -= pad;
    high += pad;
    if (!mayNarrow) {
        low = std::min(low, axis.minimum());
        high = std::max(high, axis.maximum());
    }
    const double lower = axis.lowerLimit();
    const double upper = axis.upperLimit();
    low = std::clamp(low, lower, upper);
    high = std::clamp(high, lower, upper);

    const int n = axis.gridIntervals();
    double step = roundStepAtLeast(std::max((high - low) / n, finestStep));
    double minimum = std::floor(low / step + slack) * step;
    while (minimum + n * step < high - step * slack) {
        step = nextRoundStep(step);
        minimum = std::floor(low / step + slack) * step;
    }
    // Centre the values: the whole steps left over are shared above and below.
    const double spare = std::floor((minimum + n * step - high) / step + slack);
    const double room = std::floor((minimum - lower) / step + slack);
    minimum -= std::max(0.0, std::min(std::floor(spare / 2), room)) * step;
    double maximum = minimum + n * step;
    // Against the upper limit, whole steps down as far as the lower limit allows.
    while (maximum > upper + step * slack && minimum - step >= lower - step * slack) {
        minimum -= step;
        maximum -= step;
    }
    // Round away the last bits of the multiplications: 0.30000000000000004 is 0.3.
    const auto tidy = [step](double v) { return std::round(v / step) * step; };
    minimum = std::max(tidy(minimum), lower);
    maximum = std::min(tidy(maximum), upper);

    GraphAxis result = axis;
    result.setRange(minimum, maximum);
    result.setIntervals(axis.intervals());
    return result;
}

QVector<int> AxisFitter::axesOfGraph(int graph)
{
    switch (graph) {
    case GraphAxisModel::IndependentAltitude:
        return {GraphAxisModel::IndependentAltitude, FlightModule::PressureColumn,
                FlightModule::TemperatureColumn, FlightModule::HumidityColumn,
                FlightModule::WindSpeedColumn};
    case GraphAxisModel::IndependentPressure:
        return {GraphAxisModel::IndependentPressure, FlightModule::TemperatureColumn,
                FlightModule::HumidityColumn, FlightModule::WindSpeedColumn};
    case GraphAxisModel::ModuleAxis:
        return {FlightModule::PressureColumn, FlightModule::TemperatureColumn,
                FlightModule::HumidityColumn, FlightModule::WindSpeedColumn};
    default:
        return {};
    }
}

bool AxisFitter::valueRange(int graph, int axisId, double *low, double *high) const
{
    const int column = valueColumn(axisId);
    double lowest = qInf();
    double highest = -qInf();
    for (int row = 0; row < cache->rowCount(); ++row) {
        const double value = cache->value(row, column);
        bool drawn = std::isfinite(value);
        if (graph == GraphAxisModel::IndependentAltitude)
            drawn = drawn && std::isfinite(cache->value(row, FlightModule::AltitudeColumn));
        // The pressure graph places a pressure of 0 or less far below its plot.
        else if (graph == GraphAxisModel::IndependentPressure)
            drawn = drawn && cache->value(row, FlightModule::PressureColumn) > 0;
        if (!drawn)
            continue;
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
    }
    if (lowest > highest)
        return false;
    *low = lowest;
    *high = highest;
    return true;
}

bool AxisFitter::hasValueOutsideAxes(int graph) const
{
    for (const int id : axesOfGraph(graph)) {
        double low = 0;
        double high = 0;
        if (!valueRange(graph, id, &low, &high))
            continue;
        const GraphAxis axis = axes->axis(id);
        // A value beyond the axis's limits stays outside whatever the fit does.
        const bool fittable = std::max(low, axis.lowerLimit()) < axis.minimum()
                              || std::min(high, axis.upperLimit()) > axis.maximum();
        if (fittable)
            return true;
    }
    return false;
}

int AxisFitter::graph() const
{
    return graph_;
}

void AxisFitter::setGraph(int graph)
{
    graph_ = graph;
    if (automatic)
        check();
}

bool AxisFitter::isAutomatic() const
{
    return automatic;
}

void AxisFitter::setAutomatic(bool on)
{
    automatic = on;
    if (automatic)
        check();
    else
        heldFit.stop();
}

void AxisFitter::fit()
{
    fitGraph(true);
}

void AxisFitter::check()
{
    if (!automatic || heldFit.isActive() || !hasValueOutsideAxes(graph_))
        return;
    const qint64 sinceLastFit = model->elapsedMs() - lastFitMs;
    if (lastFitMs >= 0 && sinceLastFit < minimumFitSpacingMs) {
        heldFit.start(int(minimumFitSpacingMs - sinceLastFit));
        return;
    }
    fitGraph(!model->isRunning());
}

void AxisFitter::fitHeld()
{
    if (automatic && hasValueOutsideAxes(graph_))
        fitGraph(!model->isRunning());
}

void AxisFitter::fitGraph(bool mayNarrow)
{
    lastFitMs = model->elapsedMs();
    for (const int id : axesOfGraph(graph_)) {
        double low = 0;
        double high = 0;
        if (!valueRange(graph_, id, &low, &high))
            continue;
        const GraphAxis axis = axes->axis(id);
        const GraphAxis fit = fitted(axis, low, high, mayNarrow);
        if (fit.minimum() != axis.minimum() || fit.maximum() != axis.maximum())
            axes->setAxis(id, fit);
    }
}
