#ifndef VENTROLLA_LINK_FLIGHTMODULELIST_H
#define VENTROLLA_LINK_FLIGHTMODULELIST_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QVariant>

class FlightModule;

// Owns flight modules in module-number order, routes payloads to them by radio address,
// re-emits their signals by module number and keeps the record snapshot the table shows.
class FlightModuleList : public QObject
{
    Q_OBJECT

public:
    FlightModuleList();
    ~FlightModuleList() override;

    int count() const;
    FlightModule *module(int index) const;
    int indexOf(qint64 radioAddress) const;
    bool contains(qint64 radioAddress) const;
    bool handlePayload(qint64 radioAddress, const QByteArray &payload);

    void addModule(qint64 radioAddress, int windUnits, int groundElevation);
    void appendModule(FlightModule *module);
    FlightModule *takeModule(int index);
    void removeModule(int index);
    void clear();

    QVariant value(int row, int column) const;
    void refreshRecords();
    // Moves whenever the record the table shows in that row may have changed, so that readers
    // of the table can pass over the rows a refresh left as they were.
    quint64 recordRevision(int row) const;

    FlightModule *currentModule() const;
    int currentIndex() const;
    void setCurrentIndex(int index);
    void selectLast();

    void saveModules() const;
    bool hasSavedModules() const;
    bool canRestoreModules() const;
    void restoreModules(QList<FlightModule *> &restored, int windUnits);
    void forgetSavedModules();

signals:
    void hello(int moduleNumber);
    void data(int moduleNumber);
    void xdata(int moduleNumber);
    void calibReady(int moduleNumber);
    void calibDataCompass(int moduleNumber);
    void calibOk(int moduleNumber);
    void calibErr(int moduleNumber);
    void calibDonePitot(int moduleNumber);
    void calibCupOk(int moduleNumber);
    void indoorAck(int moduleNumber);
    void intThermCalDone(int moduleNumber);
    void extThermCalOk(int moduleNumber, quint16 tempEcho);
    void changeBetaOk(int moduleNumber);

private slots:
    void handleModuleHello(qint64 radioAddress);
    void handleModuleData(qint64 radioAddress);
    void handleModuleXData(qint64 radioAddress);
    void handleModuleCalibReady(qint64 radioAddress);
    void handleModuleCalibDataCompass(qint64 radioAddress);
    void handleModuleCalibOk(qint64 radioAddress);
    void handleModuleCalibErr(qint64 radioAddress);
    void handleModuleCalibDonePitot(qint64 radioAddress);
    void handleModuleCalibCupOk(qint64 radioAddress);
    void handleModuleIndoorAck(qint64 radioAddress);
    void handleIntThermCalDone(qint64 radioAddress);
    void handleExtThermCalOk(qint64 radioAddress, quint16 tempEcho);
    void handleChangeBetaOk(qint64 radioAddress);

private:
    void append(FlightModule *module, bool received);
    void connectModule(FlightModule *module);

    QList<FlightModule *> modules;
    QMap<qint64, FlightModule *> modulesByAddress;
    QList<bool> dataReceived;
    QList<QList<QVariant>> records;
    QList<quint64> revisions; // by row, as records
    quint64 lastRevision = 0;
    int currentIndex_ = 0;
};

#endif
