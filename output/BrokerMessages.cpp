#include "output/BrokerMessages.h"

#include "core/Model.h"
#include "link/FlightModule.h"

#include <QLocale>

namespace {

struct Value
{
    const char *name;
    int column;
    bool speed; // in knots when the wind units are knots
};

// The names of the export's tidy table; module_id and module_utc_time are texts.
constexpr Value numbers[] = {
    {"altitude_m", FlightModule::AltitudeColumn, false},
    {"pressure_hPa", FlightModule::PressureColumn, false},
    {"temperature_degC", FlightModule::TemperatureColumn, false},
    {"relative_humidity_percent", FlightModule::HumidityColumn, false},
    {"wind_direction_deg", FlightModule::WindDirectionColumn, false},
    {"wind_speed_m_s", FlightModule::WindSpeedColumn, true},
    {"supply_V", FlightModule::SupplyColumn, false},
    {"latitude_deg", FlightModule::LatitudeColumn, false},
    {"longitude_deg", FlightModule::LongitudeColumn, false},
    {"course_deg", FlightModule::CourseColumn, false},
    {"ground_speed_m_s", FlightModule::GroundSpeedColumn, true},
};

void appendString(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    // UTF-8 bytes of characters beyond ASCII are all 0x80 and above: they pass unchanged.
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (uchar(c) < 0x20) {
            out += "\\u00";
            out += hex[uchar(c) >> 4];
            out += hex[uchar(c) & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

// The whole of a JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?
bool isJsonNumber(const QString &text)
{
    int i = 0;
    const int n = text.size();
    if (i < n && text[i] == QLatin1Char('-'))
        ++i;
    const int intStart = i;
    while (i < n && text[i].isDigit() && text[i].unicode() < 0x80)
        ++i;
    if (i == intStart || (text[intStart] == QLatin1Char('0') && i - intStart > 1))
        return false;
    if (i < n && text[i] == QLatin1Char('.')) {
        const int fraction = ++i;
        while (i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9')
            ++i;
        if (i == fraction)
            return false;
    }
    return i == n;
}

void appendNumber(QByteArray &out, const QString &text, bool knots)
{
    if (text.isEmpty()) {
        out += "null";
        return;
    }
    if (!knots && isJsonNumber(text)) {
        for (const QChar c : text) // ASCII digits, '-' and '.' only
            out += char(c.unicode());
        return;
    }
    // A speed to convert, or a text that is no JSON number as it stands ("+5", "1e3").
    bool ok = false;
    double value = text.toDouble(&ok);
    if (!ok || !qIsFinite(value)) {
        out += "null";
        return;
    }
    if (knots)
        out += QByteArray::number(value / FlightModule::knotsPerMetrePerSecond, 'f', 3);
    else
        out += QByteArray::number(value, 'g', 15);
}

QString cellText(const Model &model, int row, int column)
{
    return model.data(model.index(row, column)).toString();
}

void appendHead(QByteArray &out, const QString &station, const QDateTime &time)
{
    out += "{\"station\":";
    appendString(out, station);
    out += ",\"time\":";
    appendString(out, BrokerMessages::isoTime(time));
}

} // namespace

namespace BrokerMessages {

QString isoTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return QLocale::c().toString(time, QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
           + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
           + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray dataSet(const Model &model, const QString &station, const QDateTime &time,
                   const QString &comment)
{
    const bool knots = model.windUnits() == 0;
    const int rows = model.rowCount();
    QByteArray out;
    out.reserve(160 + rows * 360);
    appendHead(out, station, time);
    out += ",\"interval_s\":";
    out += QByteArray::number(model.dataIntervalSeconds());
    out += ",\"comment\":";
    if (comment.isNull())
        out += "null";
    else
        appendString(out, comment);
    out += ",\"modules\":[";
    for (int row = 0; row < rows; ++row) {
        out += row ? ",{\"module_id\":" : "{\"module_id\":";
        appendString(out, cellText(model, row, FlightModule::ModuleIdColumn));
        for (const Value &value : numbers) {
            out += ",\"";
            out += value.name;
            out += "\":";
            appendNumber(out, cellText(model, row, value.column), value.speed && knots);
        }
        out += ",\"module_utc_time\":";
        const QString utc = cellText(model, row, FlightModule::UtcTimeColumn);
        if (utc.isEmpty())
            out += "null";
        else
            appendString(out, utc);
        out += '}';
    }
    out += "]}";
    return out;
}

QByteArray xdata(const Model &model, const QString &station, const QDateTime &time, int row)
{
    QByteArray out;
    appendHead(out, station, time);
    out += ",\"module_id\":";
    appendString(out, cellText(model, row, FlightModule::ModuleIdColumn));
    out += ",\"xdata\":";
    appendString(out, cellText(model, row, FlightModule::XDataColumn));
    out += '}';
    return out;
}

QByteArray status(const Model &model, const QString &station)
{
    QByteArray out = "{\"station\":";
    appendString(out, station);
    out += ",\"state\":";
    appendString(out, model.stateName(model.currentState()));
    out += ",\"modules\":[";
    for (int row = 0; row < model.rowCount(); ++row) {
        if (row)
            out += ',';
        appendString(out, cellText(model, row, FlightModule::ModuleIdColumn));
    }
    out += "],\"wind_unit\":";
    out += model.windUnits() == 0 ? "\"knots\"" : "\"m/s\"";
    out += ",\"interval_s\":";
    out += QByteArray::number(model.dataIntervalSeconds());
    out += '}';
    return out;
}

QByteArray offline(const QString &station)
{
    QByteArray out = "{\"station\":";
    appendString(out, station);
    out += ",\"state\":\"offline\"}";
    return out;
}

} // namespace BrokerMessages
