#ifndef VENTROLLA_SIM_REPLAYENCODER_H
#define VENTROLLA_SIM_REPLAYENCODER_H

#include "link/FlightModule.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Turns one module's logged values back into the Data message it must have sent. The log holds
// the ground station's texts (altitude less the ground elevation, wind in the chosen unit,
// corrected temperatures, positions in degrees); for each field the encoder tries the few raw
// values near the text's and keeps the one that the ground station's own decoder, a real
// FlightModule, turns into exactly that text. What it cannot reproduce it names.
class ReplayEncoder
{
public:
    // Texts of one module in a data line: Module ID, then the twelve value columns.
    static constexpr int fieldCount = 13;

    // kind: the module's Hello letter, 'Q' for a module whose temperatures are logged with one
    // decimal (converted plainly), 'P' for three decimals (corrected by the tenths digit).
    ReplayEncoder(int windUnits, int groundElevation, char kind);

    // The Data payload (type byte not included, not escaped) whose decoding gives the fields;
    // empty, with the reason in *error, when no payload does. The contents flags name the
    // optional groups the fields need: the time and altitude always, a GPS group when its
    // field is filled.
    QByteArray dataPayload(const QStringList &fields, QString *error);

    // The payload cut down to the groups a field-selection byte asks for, as a module does.
    static QByteArray selected(const QByteArray &payload, quint8 selection);

    // The payload of the XData message that is logged as `text` ("xdata=..."); empty, with the
    // reason in *error, for a text no module can send.
    static QByteArray xdataPayload(const QString &text, QString *error);

    // The kind letter that logs temperatures the way `temperature` is written.
    static char kindOf(const QString &temperature);

private:
    int windUnits;
    int groundElevation;
    bool directTemperature;
    FlightModule decoder;
};

#endif
