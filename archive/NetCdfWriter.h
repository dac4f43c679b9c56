#ifndef VENTROLLA_ARCHIVE_NETCDFWRITER_H
#define VENTROLLA_ARCHIVE_NETCDFWRITER_H

#include "archive/SoundingRow.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// Writes a sounding as a NetCDF-4 file following CF-1.8: a discrete sampling geometry of
// profiles in the incomplete multidimensional representation, one profile per data set and one
// module column per Module ID, with the XData records in a dimension of their own.
//
// The file is written under a temporary name beside the target and renamed when commit()
// succeeds, so a failed export leaves no partial file. Profiles are kept back a block at a time
// and written in whole chunks: memory does not grow with the length of the sounding.
class NetCdfWriter
{
public:
    struct Metadata
    {
        QString title;
        QString source;
        QString history;
        QStringList logFiles;
        bool utc = false; // times are UTC; otherwise the logging computer's local time
        QString timeNote; // how the times were made, for the file's attributes
        double siteLatitude;
        double siteLongitude;
        double siteElevation;
    };

    explicit NetCdfWriter(const QString &fileName);
    ~NetCdfWriter();
    NetCdfWriter(const NetCdfWriter &) = delete;
    NetCdfWriter &operator=(const NetCdfWriter &) = delete;

    // Creates the temporary file and defines everything; false with errorString() on failure.
    bool create(const Metadata &metadata);
    // Adds the next column of the module dimension.
    bool addModule(const QString &moduleId);
    // Adds one data set; each row goes to the module column given beside it. `time` in
    // seconds since 1970-01-01 (UTC or local, as the metadata says).
    bool addProfile(double time, const QString &comment, double latitude, double longitude,
                    const std::vector<std::pair<int, const SoundingRow *>> &rows);
    bool addXData(double time, const QString &moduleId, const QString &text);
    // Writes what is kept back, closes the file and gives it its name.
    bool commit();

    QString errorString() const { return error; }

private:
    struct PendingProfile
    {
        double time;
        QByteArray comment;
        double latitude;
        double longitude;
    };
    struct PendingValue
    {
        int profile; // within the block
        int module;
        std::array<double, SoundingRow::QuantityCount> values;
    };

    bool check(int status, const char *what);
    bool flushProfiles();
    bool flushXData();
    void discard();

    QString finalName;
    QString temporaryName;
    QString error;
    int ncid = -1;
    int profileDimension = -1;
    int moduleDimension = -1;
    int xdataDimension = -1;
    int profileVariable = -1;
    int timeVariable = -1;
    int latitudeVariable = -1;
    int longitudeVariable = -1;
    int commentVariable = -1;
    int moduleIdVariable = -1;
    int xdataTimeVariable = -1;
    int xdataModuleVariable = -1;
    int xdataTextVariable = -1;
    std::array<int, SoundingRow::QuantityCount> quantityVariables{};

    size_t profilesWritten = 0;
    size_t modules = 0;
    size_t xdataWritten = 0;
    std::vector<PendingProfile> pendingProfiles;
    std::vector<PendingValue> pendingValues;
    std::vector<std::pair<double, std::pair<QByteArray, QByteArray>>> pendingXData;
};

#endif
