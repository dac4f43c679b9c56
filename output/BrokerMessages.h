#ifndef VENTROLLA_OUTPUT_BROKERMESSAGES_H
#define VENTROLLA_OUTPUT_BROKERMESSAGES_H

#include <QByteArray>
#include <QDateTime>
#include <QString>

class Model;

// The JSON texts published to the broker, built straight from the model's table. Values keep
// the table's digits (a pressure shown as 888.3 is sent as 888.3, never 888.29999); wind and
// ground speed in knots are converted to m/s with three decimals. Empty cells are null.
namespace BrokerMessages {

QByteArray dataSet(const Model &model, const QString &station, const QDateTime &time,
                   const QString &comment);
QByteArray xdata(const Model &model, const QString &station, const QDateTime &time, int row);
QByteArray status(const Model &model, const QString &station);
QByteArray offline(const QString &station);

// ISO 8601 to the second with the clock's offset: 2024-05-01T12:00:02+02:00.
QString isoTime(const QDateTime &time);

} // namespace BrokerMessages

#endif
