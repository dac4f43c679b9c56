#include "ReplayEncoder.h"

#include "SimulatedModule.h"
#include "link/FlightModule.h"
#include "link/ModuleMessage.h"

#include <QVector>

#include <array>
#include <cmath>

namespace {

constexpr double knotsPerMetrePerSecond = FlightModule::knotsPerMetrePerSecond;
constexpr int helloTextLength = 12;

// Optional groups of a Data message by bit of the contents flags, from bit 7 down: hours,
// minutes, seconds, latitude, longitude, altitude, course, speed over ground.
constexpr int groupSizes[8] = {1, 1, 1, 5, 5, 2, 2, 2};
constexpr quint8 timeGroups = 0xE0;
constexpr quint8 latitudeGroup = 0x10;
constexpr quint8 longitudeGroup = 0x08;
constexpr quint8 altitudeGroup = 0x04;
constexpr quint8 courseGroup = 0x02;
constexpr quint8 speedGroup = 0x01;
constexpr int fixedPartSize = 13; // sequence byte, six 16-bit values
constexpr int contentsIndex = fixedPartSize;

const char *const fieldNames[ReplayEncoder::fieldCount] = {
    "Module ID", "altitude", "pressure", "temperature", "humidity", "wind direction",
    "wind speed", "supply voltage", "UTC time", "latitude", "longitude", "course",
    "ground speed"};

void appendWord(QByteArray &out, qint64 value)
{
    out.append(char((value >> 8) & 0xFF));
    out.append(char(value & 0xFF));
}

// Raw values to try for one field: the estimate first, then its neighbours, within range.
QVector<qint64> around(double estimate, qint64 low, qint64 high, int reach = 2)
{
    QVector<qint64> values;
    if (!(estimate > double(low) - reach && estimate < double(high) + reach))
        return values; // also keeps a huge text's estimate away from the integer's limits
    const qint64 centre = std::llround(estimate);
    for (const int step : {0, -1, 1, -2, 2}) {
        if (std::abs(step) > reach)
            continue;
        const qint64 value = centre + step;
        if (value >= low && value <= high)
            values.append(value);
    }
    return values;
}

// A position in ten-thousandths of a minute as the wire has it: the ddmm word, the fraction
// word and the hemisphere letter.
void appendPosition(QByteArray &out, qint64 ticks, char hemisphere)
{
    appendWord(out, ticks / 600000 * 100 + ticks % 600000 / 10000);
    appendWord(out, ticks % 10000);
    out.append(hemisphere);
}

} // namespace

ReplayEncoder::ReplayEncoder(int windUnits, int groundElevation, char kind)
    : windUnits(windUnits),
      groundElevation(groundElevation),
      directTemperature(kind == 'Q' || kind == 'D'),
      decoder(1, windUnits, groundElevation)
{
    QByteArray hello(1, kind);
    hello.append(QByteArray(helloTextLength, '\0'));
    decoder.processPayload(SimulatedModule::radioMessage(ModuleMessage::Hello, hello));
}

char ReplayEncoder::kindOf(const QString &temperature)
{
    const int point = temperature.indexOf(QLatin1Char('.'));
    return point >= 0 && temperature.size() - point - 1 == 3 ? 'P' : 'Q';
}

QByteArray ReplayEncoder::dataPayload(const QStringList &fields, QString *error)
{
    if (fields.size() != fieldCount) {
        *error = QStringLiteral("%1 fields for a module instead of %2").arg(fields.size()).arg(fieldCount);
        return QByteArray();
    }

    // Each field's candidates, in the order of the columns they decode to.
    enum Field { Altitude, Pressure, Temperature, Humidity, Direction, Wind, Supply, Latitude,
                 Longitude, Course, Speed, Count };
    constexpr int columnOf[Count] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12};
    std::array<QVector<qint64>, Count> candidates;
    const bool knots = windUnits == 0;
    std::array<bool, Count> negative {}; // south or west
    quint8 contents = timeGroups | altitudeGroup;

    for (int f = 0; f < Count; ++f) {
        const int column = columnOf[f];
        const QString &text = fields[column];
        if (text.isEmpty() && column >= FlightModule::LatitudeColumn)
            continue; // a GPS group that was not sent
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            *error = QStringLiteral("%1 \"%2\" is not a number").arg(QLatin1String(fieldNames[column]), text);
            return QByteArray();
        }
        QVector<qint64> &c = candidates[f];
        switch (f) {
        case Altitude: c = around(value + groundElevation, -32768, 32767); break;
        case Pressure:
        case Humidity: c = around(value * 10, 0, 65535); break;
        case Temperature: c = around((value + (directTemperature ? 273.15 : 273.1)) * 10, 0, 65535); break;
        case Direction: c = around(value, 0, 65535); break;
        case Wind: c = around((knots ? value / knotsPerMetrePerSecond : value) * 10, 0, 65535); break;
        case Supply: c = around(value * 100, 0, 65535); break;
        case Latitude:
        case Longitude:
            // "-0.000000" is a zero from the southern or western hemisphere.
            c = around(std::abs(value) * 600000, 0, 655LL * 600000 + 359999);
            negative[f] = text.startsWith(QLatin1Char('-'));
            contents |= f == Latitude ? latitudeGroup : longitudeGroup;
            break;
        case Course:
            c = around(value, 0, 65535);
            contents |= courseGroup;
            break;
        case Speed:
            // In metres per second an absent speed reads 0.00 as well: no group is needed.
            if (!knots && value == 0)
                continue;
            c = around((knots ? value : value * knotsPerMetrePerSecond) * 10, 0, 65535);
            contents |= speedGroup;
            break;
        default: break;
        }
        if (c.isEmpty()) {
            *error = QStringLiteral("%1 \"%2\" is out of range").arg(QLatin1String(fieldNames[column]), text);
            return QByteArray();
        }
    }

    const QStringList time = fields[FlightModule::UtcTimeColumn].split(QLatin1Char(':'));
    std::array<int, 3> clock {};
    for (int i = 0; i < 3; ++i) {
        bool ok = time.size() == 3;
        clock[i] = ok ? time[i].toInt(&ok) : -1;
        if (!ok || clock[i] < 0 || clock[i] > 255) {
            *error = QStringLiteral("UTC time \"%1\" is not hh:mm:ss").arg(fields[FlightModule::UtcTimeColumn]);
            return QByteArray();
        }
    }

    std::array<int, Count> choice {};
    const auto build = [&] {
        const auto pick = [&](int f) { return candidates[f].value(choice[f]); };
        QByteArray payload(1, '\0');
        for (const int f : {Pressure, Temperature, Humidity, Direction, Wind, Supply})
            appendWord(payload, pick(f));
        payload.append(char(contents));
        for (const int part : clock)
            payload.append(char(part));
        for (const int f : {Latitude, Longitude}) {
            if (!candidates[f].isEmpty()) {
                const char hemisphere = f == Latitude ? (negative[f] ? 'S' : 'N')
                                                      : (negative[f] ? 'W' : 'E');
                appendPosition(payload, pick(f), hemisphere);
            }
        }
        appendWord(payload, pick(Altitude));
        for (const int f : {Course, Speed}) {
            if (!candidates[f].isEmpty())
                appendWord(payload, pick(f));
        }
        return payload;
    };

    // The fields decode independently: move on the candidate of the first field that differs.
    for (;;) {
        const QByteArray payload = build();
        decoder.processPayload(SimulatedModule::radioMessage(ModuleMessage::Data, payload));
        int wrong = -1;
        for (int f = 0; f < Count && wrong < 0; ++f) {
            if (decoder.field(columnOf[f]).toString() != fields[columnOf[f]])
                wrong = f;
        }
        if (wrong < 0) {
            if (decoder.field(FlightModule::UtcTimeColumn).toString() != fields[FlightModule::UtcTimeColumn]) {
                *error = QStringLiteral("UTC time \"%1\" is not hh:mm:ss").arg(fields[FlightModule::UtcTimeColumn]);
                return QByteArray();
            }
            return payload;
        }
        if (++choice[wrong] >= candidates[wrong].size()) {
            *error = QStringLiteral("no module sends %1 \"%2\"")
                         .arg(QLatin1String(fieldNames[columnOf[wrong]]), fields[columnOf[wrong]]);
            return QByteArray();
        }
    }
}

QByteArray ReplayEncoder::selected(const QByteArray &payload, quint8 selection)
{
    const quint8 contents = quint8(payload.at(contentsIndex));
    if ((contents & selection) == contents)
        return payload;
    QByteArray out = payload.left(contentsIndex);
    out.append(char(contents & selection));
    int at = contentsIndex + 1;
    for (int bit = 7; bit >= 0; --bit) {
        if (!(contents & (1 << bit)))
            continue;
        const int size = groupSizes[7 - bit];
        if (selection & (1 << bit))
            out.append(payload.mid(at, size));
        at += size;
    }
    return out;
}

QByteArray ReplayEncoder::xdataPayload(const QString &text, QString *error)
{
    static const QString prefix = QStringLiteral("xdata=");
    if (!text.startsWith(prefix)) {
        *error = QStringLiteral("XData \"%1\" does not begin with %2").arg(text, prefix);
        return QByteArray();
    }
    const QString body = text.mid(prefix.size());
    for (const QChar c : body) {
        // The module ends its text at a line feed, drops carriage returns and the ground station
        // stops at a zero byte; it sends Latin-1.
        if (c.unicode() > 0xFF || c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.isNull()) {
            *error = QStringLiteral("XData \"%1\" holds a character no module sends").arg(text);
            return QByteArray();
        }
    }
    return body.toLatin1() + "\r\n";
}
