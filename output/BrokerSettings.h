#ifndef VENTROLLA_OUTPUT_BROKERSETTINGS_H
#define VENTROLLA_OUTPUT_BROKERSETTINGS_H

#include <QString>

// Where and how the data sets are published: the broker's address, the station name in the
// topics, the credentials and the size of the queue kept while the broker cannot be reached.
// Kept in the settings group "Broker"; the recorder fills it from its command line.
struct BrokerSettings
{
    bool enabled = false;
    QString url;              // mqtt://host:port or mqtts://host:port
    QString station;          // letters, digits, '-' and '_'
    QString user;             // empty: no user name
    QString password;         // never printed
    QString caFile;           // empty with mqtts: the system's certificate authorities
    bool checkCertificate = true;
    int queueSets = 0;        // 0: one hour of data sets at the current interval

    // The parts of a broker URL. The port defaults to 1883, or 8883 with TLS.
    struct Address
    {
        QString host;
        quint16 port = 0;
        bool tls = false;
    };
    static bool parseUrl(const QString &url, Address &address, QString &error);
    static bool isValidStation(const QString &station);
    // The computer's host name up to its first dot, every other character outside the
    // station's alphabet turned into '_'.
    static QString defaultStation();

    // False with a message naming what is wrong when the URL or station cannot be used.
    bool validate(QString &error) const;

    static BrokerSettings load();
    void save() const;
};

#endif
