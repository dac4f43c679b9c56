#include "graph/GraphAxisModel.h"

#include "core/Model.h"

#include <QSettings>

namespace {

const QString settingsGroup = QStringLiteral("Axes");

struct StoredAxis
{
    const char *key;
    int id;
    const char *defaultText;
};

// The axes kept in the settings. Wind direction, supply voltage and the module axis are not.
const StoredAxis storedAxes[] = {
    {"independentAltitude", GraphAxisModel::IndependentAltitude, "0,500,0,10000,5"},
    {"independentPressure", GraphAxisModel::IndependentPressure, "800,900,10,1500,5"},
    {"altitude", 1, "0,500,0,10000,5"},
    {"pressure", 2, "800,900,0,1500,5"},
    {"temperature", 3, "-20,40,-100,100,5"},
    {"humidity", 4, "0,100,0,100,5"},
    {"windSpeed", 6, "0,30,0,100,5"},
};

// The table column whose header titles the axis.
const QMap<int, int> titleColumns = {
    {GraphAxisModel::IndependentAltitude, 1},
    {GraphAxisModel::IndependentPressure, 2},
    {GraphAxisModel::ModuleAxis, 0},
    {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7},
};

} // namespace

GraphAxisModel::GraphAxisModel(Model *model, QObject *parent) : QObject(parent), model(model)
{
    connect(model, &QAbstractItemModel::rowsInserted, this, &GraphAxisModel::rowsChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &GraphAxisModel::rowsChanged);

    for (auto it = titleColumns.cbegin(); it != titleColumns.cend(); ++it) {
        GraphAxis axis;
        axis.setTitle(model->headerData(it.value(), Qt::Horizontal, Qt::DisplayRole).toString());
        axes.insert(it.key(), axis);
    }
    loadSettings();
    rowsChanged(QModelIndex(), 0, 0);
}

GraphAxisModel::~GraphAxisModel()
{
    saveSettings();
}

GraphAxis GraphAxisModel::axis(int id)
{
    return axes[id];
}

void GraphAxisModel::setAxis(int id, const GraphAxis &axis)
{
    axes[id] = axis;
    if (id > 0) {
        for (auto it = axes.lowerBound(0); it != axes.end(); ++it)
            it->setIntervals(axis.intervals());
    }
    emit changed();
}

void GraphAxisModel::loadSettings()
{
    QSettings settings;
    settings.beginGroup(settingsGroup);
    for (const StoredAxis &stored : storedAxes) {
        const QVariant value =
            settings.value(QLatin1String(stored.key), QLatin1String(stored.defaultText));
        // A hand-edited settings file without quotes reads back as a list of the five fields.
        const QString text = value.type() == QVariant::StringList
                                 ? value.toStringList().join(QLatin1Char(','))
                                 : value.toString();
        axes[stored.id].fromString(text);
    }
}

void GraphAxisModel::saveSettings() const
{
    QSettings settings;
    settings.beginGroup(settingsGroup);
    for (const StoredAxis &stored : storedAxes)
        settings.setValue(QLatin1String(stored.key), axes.value(stored.id).toString());
}

void GraphAxisModel::rowsChanged(const QModelIndex &, int, int)
{
    const int rows = model->rowCount();
    const int last = rows > 0 ? rows - 1 : rows;
    GraphAxis &modules = axes[ModuleAxis];
    modules.setLimits(0, last);
    modules.setRange(0, last);
    emit changed();
}
