#ifndef VENTROLLA_LINK_FLIGHTMODULE_H
#define VENTROLLA_LINK_FLIGHTMODULE_H

#include "link/ModuleMessage.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

// One airborne sensor package, known by its radio address. Decodes the module's messages into
// its measurement record (the fourteen columns every output reads) and announces each message.
class FlightModule : public QObject
{
    Q_OBJECT

public:
    enum Column {
        ModuleIdColumn = 0,
        AltitudeColumn = 1,
        PressureColumn = 2,
        TemperatureColumn = 3,
        HumidityColumn = 4,
        WindDirectionColumn = 5,
        WindSpeedColumn = 6,
        SupplyColumn = 7,
        UtcTimeColumn = 8,
        LatitudeColumn = 9,
        LongitudeColumn = 10,
        CourseColumn = 11,
        GroundSpeedColumn = 12,
        XDataColumn = 13,
        ColumnCount = 14
    };

    // The factor between the two wind units of the records; every conversion of a speed uses it.
    static constexpr double knotsPerMetrePerSecond = 1.94384449;

    static constexpr quint8 indoorOnCode = 155;
    static constexpr quint8 indoorOffCode = 156;

    // A module heard on the radio.
    FlightModule(qint64 radioAddress, int windUnits, int groundElevation);
    // A module restored from its saved record; check isValid() before using it.
    FlightModule(const QString &savedRecord, int windUnits);

    void processPayload(const QByteArray &payload);

    qint64 radioAddress() const;
    QString moduleId() const;
    QVariant field(int column) const;
    QList<QVariant> record() const;
    QList<QVariant> blankRecord() const;
    QByteArray &takeCalibData();
    bool isIndoor() const;
    char kindLetter() const;
    bool hasDirectTemperature() const;
    bool isValid() const;
    QString toSavedRecord() const;

signals:
    void hello(qint64 radioAddress);
    void data(qint64 radioAddress);
    void xdata(qint64 radioAddress);
    void calibReady(qint64 radioAddress);
    void calibDataCompass(qint64 radioAddress);
    void calibOk(qint64 radioAddress);
    void calibErr(qint64 radioAddress);
    void calibDonePitot(qint64 radioAddress);
    void calibCupOk(qint64 radioAddress);
    void indoorAck(qint64 radioAddress);
    void intThermCalDone(qint64 radioAddress);
    void extThermCalOk(qint64 radioAddress, quint16 tempEcho);
    void changeBetaOkPacket(qint64 radioAddress);

private:
    // The message's texts are moved into the record, not copied: the parser is done with it.
    void handleMessage(ModuleMessage &message);
    void updateRecord(ModuleMessage &message);
    void parseSavedRecord(const QString &savedRecord);

    int groundElevation_;
    int windUnits_;
    qint64 radioAddress_;
    QByteArray calibData;
    bool replaceCalibData = true;
    quint8 indoorCode = indoorOffCode;
    char kindLetter_ = 'P';
    bool directTemperature = false;
    bool valid = false;
    QList<QVariant> record_;
    ModuleMessageParser parser;
};

#endif
