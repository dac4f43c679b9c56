#include "SoundingHistoryFeed.h"

#include "Model.h"
#include "SoundingHistory.h"
#include "link/FlightModule.h"

#include <limits>

namespace {

constexpr double metresPerSecondPerKnot = 1.0 / FlightModule::knotsPerMetrePerSecond;

enum Column { ModuleId = 0, Altitude, Pressure, Temperature, Humidity, WindDirection, WindSpeed,
              UtcTime = 8 };

} // namespace

SoundingHistoryFeed::SoundingHistoryFeed(Model *model, SoundingHistory *history, QObject *parent)
    : QObject(parent), model(model), history_(history)
{
    connect(model, &Model::dataSetReady, this, &SoundingHistoryFeed::onDataSetReady);
    connect(model, &Model::statusChanged, this, &SoundingHistoryFeed::onStatusChanged);
}

SoundingHistory *SoundingHistoryFeed::history() const
{
    return history_;
}

void SoundingHistoryFeed::onStatusChanged()
{
    const bool acquiring = model->isAcquiring();
    if (acquiring && !wasAcquiring) {
        history_->clear();
        lastUtcTime.clear();
        emit cleared();
    }
    wasAcquiring = acquiring;
}

void SoundingHistoryFeed::onDataSetReady(const QDateTime &dataTime)
{
    const int rows = model->rowCount();
    if (rows == 0)
        return;
    history_->appendSet(dataTime.toMSecsSinceEpoch());
    const double windScale = model->windUnits() == 1 ? 1.0 : metresPerSecondPerKnot;
    for (int row = 0; row < rows; ++row) {
        const auto cell = [&](int column) { return model->data(model->index(row, column)); };
        const QString id = cell(ModuleId).toString();
        const QVariant utc = cell(UtcTime);
        QVariant &last = lastUtcTime[id];
        if (utc.isValid() && utc == last)
            continue;
        last = utc;

        const auto number = [&](int column, double scale = 1.0) {
            bool ok = false;
            const double v = cell(column).toString().toDouble(&ok);
            return ok ? float(v * scale) : std::numeric_limits<float>::quiet_NaN();
        };
        SoundingHistory::Sample sample;
        sample[SoundingHistory::Altitude] = number(Altitude);
        sample[SoundingHistory::Pressure] = number(Pressure);
        sample[SoundingHistory::Temperature] = number(Temperature);
        sample[SoundingHistory::Humidity] = number(Humidity);
        sample[SoundingHistory::WindDirection] = number(WindDirection);
        sample[SoundingHistory::WindSpeed] = number(WindSpeed, windScale);
        history_->setSample(history_->moduleIndex(id), sample);
    }
    emit setAppended();
}
