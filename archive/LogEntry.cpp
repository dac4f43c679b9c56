#include "archive/LogEntry.h"

#include <QLocale>

namespace {

double toMetresPerSecond(double speed, LogWindUnit unit)
{
    switch (unit) {
    case LogWindUnit::Knots:
        return speed / LogValues::knotsPerMetrePerSecond;
    case LogWindUnit::MetresPerSecond:
        return speed;
    case LogWindUnit::Unknown:
        break;
    }
    return LogValues::missing;
}

} // namespace

double LogModuleGroup::windSpeedMetresPerSecond(LogWindUnit unit) const
{
    return toMetresPerSecond(value(LogColumn::WindSpeed), unit);
}

double LogModuleGroup::groundSpeedMetresPerSecond(LogWindUnit unit) const
{
    return toMetresPerSecond(value(LogColumn::GroundSpeed), unit);
}

qint64 LogEntry::wallClockSeconds() const
{
    return QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
}

QDateTime LogEntry::dateTime(int utcOffsetSeconds) const
{
    return QDateTime(date, time, Qt::OffsetFromUTC, utcOffsetSeconds);
}

QString LogEntry::timeText() const
{
    return QLocale::c().toString(time, QStringLiteral("hh:mm:ss"));
}

namespace LogValues {

double toNumber(QStringView text)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    bool negative = false;
    if (i < size && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Up to 15 significant digits and a power of ten up to 1e22 convert exactly, so the
    // division below rounds correctly; anything longer goes the slow way.
    quint64 mantissa = 0;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (; i < size; ++i) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            mantissa = mantissa * 10 + quint64(c.unicode() - '0');
            ++digits;
            if (point)
                ++decimals;
        } else if (c == QLatin1Char('.') && !point) {
            point = true;
        } else {
            return missing;
        }
    }
    if (digits == 0)
        return missing;
    if (digits > 15 || decimals > 22) {
        bool ok = false;
        const double slow = text.toString().toDouble(&ok);
        return ok ? slow : missing;
    }
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const double magnitude = double(mantissa) / powers[decimals];
    return negative ? -magnitude : magnitude;
}

int toSecondsOfDay(QStringView text)
{
    if (text.size() != 8 || text[2] != QLatin1Char(':') || text[5] != QLatin1Char(':'))
        return -1;
    int parts[3];
    for (int part = 0; part < 3; ++part) {
        const QChar high = text[part * 3];
        const QChar low = text[part * 3 + 1];
        if (high < QLatin1Char('0') || high > QLatin1Char('9') || low < QLatin1Char('0')
            || low > QLatin1Char('9'))
            return -1;
        parts[part] = (high.unicode() - '0') * 10 + (low.unicode() - '0');
    }
    if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59)
        return -1;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

} // namespace LogValues
