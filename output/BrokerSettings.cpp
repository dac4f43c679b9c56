#include "output/BrokerSettings.h"

#include <QHostInfo>
#include <QSettings>
#include <QUrl>

namespace {

bool isStationCharacter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
           || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
           || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-')
           || c == QLatin1Char('_');
}

} // namespace

bool BrokerSettings::parseUrl(const QString &text, Address &address, QString &error)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        error = QStringLiteral("The broker URL must be mqtt://host:port or mqtts://host:port: %1")
                    .arg(text);
        return false;
    }
    if (url.host().isEmpty() || !url.userInfo().isEmpty()
        || (!url.path().isEmpty() && url.path() != QLatin1String("/")) || url.hasQuery()
        || url.hasFragment()) {
        // Credentials in a URL would end up on command lines and in the settings in clear.
        error = QStringLiteral("The broker URL must be mqtt://host:port or mqtts://host:port, "
                               "nothing more: %1")
                    .arg(text);
        return false;
    }
    address.tls = scheme == QLatin1String("mqtts");
    const int port = url.port(address.tls ? 8883 : 1883);
    if (port < 1 || port > 65535) {
        error = QStringLiteral("The broker port must be from 1 to 65535: %1").arg(text);
        return false;
    }
    address.host = url.host();
    address.port = quint16(port);
    return true;
}

bool BrokerSettings::isValidStation(const QString &station)
{
    if (station.isEmpty() || station.size() > 64)
        return false;
    for (const QChar c : station) {
        if (!isStationCharacter(c))
            return false;
    }
    return true;
}

QString BrokerSettings::defaultStation()
{
    QString name = QHostInfo::localHostName().section(QLatin1Char('.'), 0, 0).left(64);
    for (QChar &c : name) {
        if (!isStationCharacter(c))
            c = QLatin1Char('_');
    }
    return name.isEmpty() ? QStringLiteral("ventrolla") : name;
}

bool BrokerSettings::validate(QString &error) const
{
    Address address;
    if (!parseUrl(url, address, error))
        return false;
    if (!isValidStation(station)) {
        error = QStringLiteral("The station name must be 1 to 64 letters, digits, '-' or '_': %1")
                    .arg(station);
        return false;
    }
    return true;
}

BrokerSettings BrokerSettings::load()
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("Broker"));
    BrokerSettings s;
    s.enabled = settings.value(QStringLiteral("enabled"), false).toBool();
    s.url = settings.value(QStringLiteral("url"), QStringLiteral("mqtt://localhost:1883")).toString();
    s.station = settings.value(QStringLiteral("station"), defaultStation()).toString();
    s.user = settings.value(QStringLiteral("user")).toString();
    s.password = settings.value(QStringLiteral("password")).toString();
    s.caFile = settings.value(QStringLiteral("caFile")).toString();
    s.checkCertificate = settings.value(QStringLiteral("checkCertificate"), true).toBool();
    s.queueSets = qMax(0, settings.value(QStringLiteral("queueSets"), 0).toInt());
    return s;
}

void BrokerSettings::save() const
{
    QSettings settings;
    settings.beginGroup(QStringLiteral("Broker"));
    settings.setValue(QStringLiteral("enabled"), enabled);
    settings.setValue(QStringLiteral("url"), url);
    settings.setValue(QStringLiteral("station"), station);
    settings.setValue(QStringLiteral("user"), user);
    settings.setValue(QStringLiteral("password"), password);
    settings.setValue(QStringLiteral("caFile"), caFile);
    settings.setValue(QStringLiteral("checkCertificate"), checkCertificate);
    settings.setValue(QStringLiteral("queueSets"), queueSets);
}
