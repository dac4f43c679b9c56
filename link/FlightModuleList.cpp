#include "link/FlightModuleList.h"

#include "link/FlightModule.h"

#include <QSet>
#include <QSettings>
#include <QStringList>

namespace {

const QString settingsGroup = QStringLiteral("FlightModuleList");
const QString recordsKey = QStringLiteral("records");

} // namespace

FlightModuleList::FlightModuleList() = default;

FlightModuleList::~FlightModuleList()
{
    qDeleteAll(modules);
}

int FlightModuleList::count() const
{
    return modules.size();
}

FlightModule *FlightModuleList::module(int index) const
{
    return index >= 0 && index < modules.size() ? modules[index] : nullptr;
}

int FlightModuleList::indexOf(qint64 radioAddress) const
{
    FlightModule *found = modulesByAddress.value(radioAddress, nullptr);
    return found ? modules.indexOf(found) : -1;
}

bool FlightModuleList::contains(qint64 radioAddress) const
{
    return modulesByAddress.contains(radioAddress);
}

bool FlightModuleList::handlePayload(qint64 radioAddress, const QByteArray &payload)
{
    FlightModule *found = modulesByAddress.value(radioAddress, nullptr);
    if (!found)
        return false;
    found->processPayload(payload);
    return true;
}

void FlightModuleList::addModule(qint64 radioAddress, int windUnits, int groundElevation)
{
    append(new FlightModule(radioAddress, windUnits, groundElevation), false);
}

void FlightModuleList::appendModule(FlightModule *module)
{
    if (module)
        append(module, true);
}

void FlightModuleList::append(FlightModule *module, bool received)
{
    modules.append(module);
    modulesByAddress.insert(module->radioAddress(), module);
    dataReceived.append(received);
    records.append(received ? module->record() : module->blankRecord());
    revisions.append(++lastRevision);
    connectModule(module);
    currentIndex_ = modules.size() - 1;
}

void FlightModuleList::connectModule(FlightModule *module)
{
    connect(module, &FlightModule::hello, this, &FlightModuleList::handleModuleHello);
    connect(module, &FlightModule::data, this, &FlightModuleList::handleModuleData);
    connect(module, &FlightModule::xdata, this, &FlightModuleList::handleModuleXData);
    connect(module, &FlightModule::calibReady, this, &FlightModuleList::handleModuleCalibReady);
    connect(module, &FlightModule::calibDataCompass, this,
            &FlightModuleList::handleModuleCalibDataCompass);
    connect(module, &FlightModule::calibOk, this, &FlightModuleList::handleModuleCalibOk);
    connect(module, &FlightModule::calibErr, this, &FlightModuleList::handleModuleCalibErr);
    connect(module, &FlightModule::calibDonePitot, this,
            &FlightModuleList::handleModuleCalibDonePitot);
    connect(module, &FlightModule::calibCupOk, this, &FlightModuleList::handleModuleCalibCupOk);
    connect(module, &FlightModule::indoorAck, this, &FlightModuleList::handleModuleIndoorAck);
    connect(module, &FlightModule::intThermCalDone, this, &FlightModuleList::handleIntThermCalDone);
    connect(module, &FlightModule::extThermCalOk, this, &FlightModuleList::handleExtThermCalOk);
    connect(module, &FlightModule::changeBetaOkPacket, this, &FlightModuleList::handleChangeBetaOk);
}

FlightModule *FlightModuleList::takeModule(int index)
{
    if (index < 0 || index >= modules.size())
        return nullptr;
    FlightModule *taken = modules.takeAt(index);
    modulesByAddress.remove(taken->radioAddress());
    dataReceived.removeAt(index);
    records.removeAt(index);
    revisions.removeAt(index);
    taken->disconnect();

    if (modules.isEmpty())
        currentIndex_ = 0;
    else if (currentIndex_ >= modules.size())
        currentIndex_ = modules.size() - 1;
    return taken;
}

void FlightModuleList::removeModule(int index)
{
    delete takeModule(index);
}

void FlightModuleList::clear()
{
    qDeleteAll(modules);
    modules.clear();
    modulesByAddress.clear();
    dataReceived.clear();
    records.clear();
    revisions.clear();
    currentIndex_ = 0;
}

QVariant FlightModuleList::value(int row, int column) const
{
    if (row < 0 || row >= records.size() || column < 0 || column >= FlightModule::ColumnCount)
        return QVariant();
    return records[row][column];
}

void FlightModuleList::refreshRecords()
{
    for (int i = 0; i < modules.size(); ++i) {
        const QList<QVariant> record =
            dataReceived[i] ? modules[i]->record() : modules[i]->blankRecord();
        // A module whose record did not change hands out the very list the table holds.
        if (record.isSharedWith(records[i]))
            continue;
        records[i] = record;
        revisions[i] = ++lastRevision;
    }
}

quint64 FlightModuleList::recordRevision(int row) const
{
    return row >= 0 && row < revisions.size() ? revisions[row] : 0;
}

FlightModule *FlightModuleList::currentModule() const
{
    return module(currentIndex_);
}

int FlightModuleList::currentIndex() const
{
    return currentIndex_;
}

void FlightModuleList::setCurrentIndex(int index)
{
    if (index >= 0 && index < modules.size())
        currentIndex_ = index;
}

void FlightModuleList::selectLast()
{
    currentIndex_ = modules.isEmpty() ? 0 : modules.size() - 1;
}

void FlightModuleList::saveModules() const
{
    QStringList saved;
    saved.reserve(modules.size());
    for (const FlightModule *m : modules)
        saved.append(m->toSavedRecord());
    QSettings settings;
    settings.beginGroup(settingsGroup);
    settings.setValue(recordsKey, saved.join(QLatin1Char('/')));
}

bool FlightModuleList::hasSavedModules() const
{
    QSettings settings;
    settings.beginGroup(settingsGroup);
    return settings.contains(recordsKey);
}

bool FlightModuleList::canRestoreModules() const
{
    return modules.isEmpty() && hasSavedModules();
}

void FlightModuleList::restoreModules(QList<FlightModule *> &restored, int windUnits)
{
    QSettings settings;
    settings.beginGroup(settingsGroup);
    if (!settings.contains(recordsKey))
        return;
    const QStringList parts =
        settings.value(recordsKey).toString().split(QLatin1Char('/'), Qt::KeepEmptyParts);

    QSet<qint64> accepted;
    for (const QString &part : parts) {
        auto *candidate = new FlightModule(part, windUnits);
        if (!candidate->isValid() || accepted.contains(candidate->radioAddress())) {
            delete candidate;
            continue;
        }
        accepted.insert(candidate->radioAddress());
        restored.append(candidate);
    }
    if (accepted.isEmpty())
        settings.remove(recordsKey);
}

void FlightModuleList::forgetSavedModules()
{
    QSettings settings;
    settings.beginGroup(settingsGroup);
    settings.remove(recordsKey);
}

void FlightModuleList::handleModuleHello(qint64 radioAddress)
{
    emit hello(indexOf(radioAddress));
}

void FlightModuleList::handleModuleData(qint64 radioAddress)
{
    const int index = indexOf(radioAddress);
    if (index == -1)
        return;
    dataReceived[index] = true;
    emit data(index);
}

void FlightModuleList::handleModuleXData(qint64 radioAddress)
{
    const int index = indexOf(radioAddress);
    if (index == -1)
        return;
    dataReceived[index] = true;
    emit xdata(index);
}

void FlightModuleList::handleModuleCalibReady(qint64 radioAddress)
{
    emit calibReady(indexOf(radioAddress));
}

void FlightModuleList::handleModuleCalibDataCompass(qint64 radioAddress)
{
    emit calibDataCompass(indexOf(radioAddress));
}

void FlightModuleList::handleModuleCalibOk(qint64 radioAddress)
{
    emit calibOk(indexOf(radioAddress));
}

void FlightModuleList::handleModuleCalibErr(qint64 radioAddress)
{
    emit calibErr(indexOf(radioAddress));
}

void FlightModuleList::handleModuleCalibDonePitot(qint64 radioAddress)
{
    emit calibDonePitot(indexOf(radioAddress));
}

void FlightModuleList::handleModuleCalibCupOk(qint64 radioAddress)
{
    emit calibCupOk(indexOf(radioAddress));
}

void FlightModuleList::handleModuleIndoorAck(qint64 radioAddress)
{
    emit indoorAck(indexOf(radioAddress));
}

void FlightModuleList::handleIntThermCalDone(qint64 radioAddress)
{
    emit intThermCalDone(indexOf(radioAddress));
}

void FlightModuleList::handleExtThermCalOk(qint64 radioAddress, quint16 tempEcho)
{
    emit extThermCalOk(indexOf(radioAddress), tempEcho);
}

void FlightModuleList::handleChangeBetaOk(qint64 radioAddress)
{
    emit changeBetaOk(indexOf(radioAddress));
}
