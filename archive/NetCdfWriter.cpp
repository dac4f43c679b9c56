#include "archive/NetCdfWriter.h"

#include <QFile>
#include <QRandomGenerator>

#include <netcdf.h>

#include <cmath>
#include <cstdio>

namespace {

// Whole chunks: a block of profiles is written at once, and a chunk spans that many profiles
// and a handful of modules, so a sounding with few modules wastes little on fill values.
constexpr size_t profileBlock = 1024;
constexpr size_t moduleChunk = 16;
constexpr int deflateLevel = 1;
constexpr size_t chunkCacheBytes = 1 << 20;

struct QuantityMetadata
{
    const char *name;
    nc_type type;
    const char *standardName; // nullptr where CF has none
    const char *units;
    const char *longName;
};

// In the order of SoundingRow::Quantity.
const QuantityMetadata quantities[SoundingRow::QuantityCount] = {
    {"altitude", NC_FLOAT, "altitude", "m",
     "module altitude (above the ground when the sounding set a ground elevation)"},
    {"air_pressure", NC_FLOAT, "air_pressure", "hPa", "air pressure"},
    {"air_temperature", NC_FLOAT, "air_temperature", "degC", "air temperature"},
    {"relative_humidity", NC_FLOAT, "relative_humidity", "percent", "relative humidity"},
    {"wind_speed", NC_FLOAT, "wind_speed", "m s-1", "wind speed"},
    {"wind_from_direction", NC_FLOAT, "wind_from_direction", "degree", "direction the wind blows from"},
    {"supply_voltage", NC_FLOAT, nullptr, "V", "module supply voltage"},
    {"module_utc_time", NC_INT, nullptr, "s", "module's UTC time of day (seconds since 00:00:00 UTC)"},
    {"module_latitude", NC_DOUBLE, "latitude", "degrees_north", "module GPS latitude"},
    {"module_longitude", NC_DOUBLE, "longitude", "degrees_east", "module GPS longitude"},
    {"course", NC_FLOAT, "platform_course", "degree", "module course over ground"},
    {"ground_speed", NC_FLOAT, "platform_speed_wrt_ground", "m s-1", "module speed over ground"},
    {"dew_point_temperature", NC_FLOAT, "dew_point_temperature", "degC",
     "dew point (Magnus form: 6.112 hPa, 17.67, 243.5 degC)"},
    {"air_potential_temperature", NC_FLOAT, "air_potential_temperature", "K",
     "potential temperature (reference 1000 hPa, Rd/cp = 0.2857)"},
    {"humidity_mixing_ratio", NC_FLOAT, "humidity_mixing_ratio", "kg kg-1",
     "water-vapour mixing ratio 0.62197 e / (p - e)"},
    {"eastward_wind", NC_FLOAT, "eastward_wind", "m s-1", "eastward wind component"},
    {"northward_wind", NC_FLOAT, "northward_wind", "m s-1", "northward wind component"},
};

const float floatFill = NC_FILL_FLOAT;
const double doubleFill = NC_FILL_DOUBLE;
const int intFill = NC_FILL_INT;
const char *const stringFill = "";

} // namespace

NetCdfWriter::NetCdfWriter(const QString &fileName) : finalName(fileName) {}

NetCdfWriter::~NetCdfWriter()
{
    discard();
}

bool NetCdfWriter::check(int status, const char *what)
{
    if (status == NC_NOERR)
        return true;
    if (error.isEmpty()) {
        error = QStringLiteral("cannot write %1: %2: %3")
                    .arg(finalName, QString::fromUtf8(what), QString::fromUtf8(nc_strerror(status)));
    }
    return false;
}

void NetCdfWriter::discard()
{
    if (ncid >= 0)
        nc_close(ncid);
    ncid = -1;
    if (!temporaryName.isEmpty())
        QFile::remove(temporaryName);
    temporaryName.clear();
}

bool NetCdfWriter::create(const Metadata &metadata)
{
    // A new name beside the target, on the same file system, so the rename is atomic.
    int status = NC_EEXIST;
    for (int attempt = 0; attempt < 10 && status == NC_EEXIST; ++attempt) {
        temporaryName = QStringLiteral("%1.%2.part")
                            .arg(finalName)
                            .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        status = nc_create(QFile::encodeName(temporaryName).constData(), NC_NETCDF4 | NC_NOCLOBBER, &ncid);
    }
    if (!check(status, "create")) {
        temporaryName.clear();
        ncid = -1;
        return false;
    }

    const auto text = [this](int variable, const char *name, const QString &value) {
        const QByteArray bytes = value.toUtf8();
        return check(nc_put_att_text(ncid, variable, name, size_t(bytes.size()), bytes.constData()),
                     name);
    };
    bool ok = check(nc_def_dim(ncid, "profile", NC_UNLIMITED, &profileDimension), "profile dimension")
              && check(nc_def_dim(ncid, "module", NC_UNLIMITED, &moduleDimension), "module dimension")
              && check(nc_def_dim(ncid, "xdata", NC_UNLIMITED, &xdataDimension), "xdata dimension");

    ok = ok && text(NC_GLOBAL, "Conventions", QStringLiteral("CF-1.8"))
         && text(NC_GLOBAL, "featureType", QStringLiteral("profile"))
         && text(NC_GLOBAL, "title", metadata.title) && text(NC_GLOBAL, "source", metadata.source)
         && text(NC_GLOBAL, "history", metadata.history)
         && text(NC_GLOBAL, "source_log_files", metadata.logFiles.join(QStringLiteral(", ")))
         && text(NC_GLOBAL, "time_reference", metadata.timeNote);
    for (const auto &[name, value] : {std::make_pair("site_latitude", metadata.siteLatitude),
                                      std::make_pair("site_longitude", metadata.siteLongitude),
                                      std::make_pair("site_elevation", metadata.siteElevation)}) {
        if (ok && !std::isnan(value))
            ok = check(nc_put_att_double(ncid, NC_GLOBAL, name, NC_DOUBLE, 1, &value), name);
    }

    const size_t profileChunk[] = {profileBlock};
    const size_t profileModuleChunk[] = {profileBlock, moduleChunk};
    const auto define = [&](const char *name, nc_type type, int dimensionCount, const int *dimensions,
                            int &variable) {
        if (!ok)
            return;
        ok = check(nc_def_var(ncid, name, type, dimensionCount, dimensions, &variable), name)
             && check(nc_def_var_chunking(ncid, variable, NC_CHUNKED,
                                          dimensionCount == 2 ? profileModuleChunk : profileChunk),
                      name);
        if (ok && dimensionCount == 2)
            ok = check(nc_def_var_deflate(ncid, variable, 1, 1, deflateLevel), name);
        // Each chunk is written whole, once: a small cache is enough, and the library's default
        // would let every variable keep megabytes of finished chunks.
        if (ok)
            ok = check(nc_set_var_chunk_cache(ncid, variable, chunkCacheBytes, 31, 1.0f), name);
        if (!ok)
            return;
        if (type == NC_FLOAT)
            ok = check(nc_def_var_fill(ncid, variable, NC_FILL, &floatFill), name);
        else if (type == NC_DOUBLE)
            ok = check(nc_def_var_fill(ncid, variable, NC_FILL, &doubleFill), name);
        else if (type == NC_INT && variable != profileVariable)
            ok = check(nc_def_var_fill(ncid, variable, NC_FILL, &intFill), name);
        else if (type == NC_STRING)
            ok = check(nc_def_var_fill(ncid, variable, NC_FILL, &stringFill), name);
    };
    const auto attributes = [&](int variable, const char *standardName, const char *units,
                                const QString &longName) {
        if (ok && standardName)
            ok = text(variable, "standard_name", QString::fromLatin1(standardName));
        if (ok && units)
            ok = text(variable, "units", QString::fromLatin1(units));
        ok = ok && text(variable, "long_name", longName);
    };

    define("profile", NC_INT, 1, &profileDimension, profileVariable);
    attributes(profileVariable, nullptr, nullptr, QStringLiteral("data set number"));
    ok = ok && text(profileVariable, "cf_role", QStringLiteral("profile_id"));

    define("time", NC_DOUBLE, 1, &profileDimension, timeVariable);
    attributes(timeVariable, "time",
               metadata.utc ? "seconds since 1970-01-01 00:00:00Z" : "seconds since 1970-01-01 00:00:00",
               metadata.utc ? QStringLiteral("time the data set was complete (UTC)")
                            : QStringLiteral("time the data set was complete (local time of the "
                                             "logging computer; its offset from UTC is unknown)"));
    ok = ok && text(timeVariable, "calendar", QStringLiteral("standard"))
         && text(timeVariable, "axis", QStringLiteral("T"));

    define("latitude", NC_DOUBLE, 1, &profileDimension, latitudeVariable);
    attributes(latitudeVariable, "latitude", "degrees_north",
               QStringLiteral("mean GPS latitude of the data set, else the site's"));
    define("longitude", NC_DOUBLE, 1, &profileDimension, longitudeVariable);
    attributes(longitudeVariable, "longitude", "degrees_east",
               QStringLiteral("mean GPS longitude of the data set, else the site's"));
    define("comment", NC_STRING, 1, &profileDimension, commentVariable);
    attributes(commentVariable, nullptr, nullptr, QStringLiteral("log comment of the data set"));

    define("module_id", NC_STRING, 1, &moduleDimension, moduleIdVariable);
    attributes(moduleIdVariable, nullptr, nullptr, QStringLiteral("flight module identifier"));

    const int profileModule[] = {profileDimension, moduleDimension};
    for (int quantity = 0; quantity < SoundingRow::QuantityCount; ++quantity) {
        const QuantityMetadata &meta = quantities[quantity];
        define(meta.name, meta.type, 2, profileModule, quantityVariables[quantity]);
        attributes(quantityVariables[quantity], meta.standardName, meta.units,
                   QString::fromLatin1(meta.longName));
        if (!ok)
            break;
        if (quantity == SoundingRow::Altitude) {
            ok = text(quantityVariables[quantity], "positive", QStringLiteral("up"))
                 && text(quantityVariables[quantity], "axis", QStringLiteral("Z"));
        } else {
            ok = text(quantityVariables[quantity], "coordinates",
                      QStringLiteral("time latitude longitude altitude"));
        }
    }

    define("xdata_time", NC_DOUBLE, 1, &xdataDimension, xdataTimeVariable);
    attributes(xdataTimeVariable, "time",
               metadata.utc ? "seconds since 1970-01-01 00:00:00Z" : "seconds since 1970-01-01 00:00:00",
               QStringLiteral("arrival time of the XData record"));
    define("xdata_module_id", NC_STRING, 1, &xdataDimension, xdataModuleVariable);
    attributes(xdataModuleVariable, nullptr, nullptr, QStringLiteral("module that sent the XData record"));
    define("xdata_text", NC_STRING, 1, &xdataDimension, xdataTextVariable);
    attributes(xdataTextVariable, nullptr, nullptr, QStringLiteral("XData record as logged"));

    ok = ok && check(nc_enddef(ncid), "end of definitions");
    if (!ok)
        discard();
    return ok;
}

bool NetCdfWriter::addModule(const QString &moduleId)
{
    const QByteArray id = moduleId.toUtf8();
    const char *value = id.constData();
    const size_t start[] = {modules};
    const size_t count[] = {1};
    if (!check(nc_put_vara_string(ncid, moduleIdVariable, start, count, &value), "module_id"))
        return false;
    ++modules;
    return true;
}

bool NetCdfWriter::addProfile(double time, const QString &comment, double latitude, double longitude,
                              const std::vector<std::pair<int, const SoundingRow *>> &rows)
{
    const int profile = int(pendingProfiles.size());
    pendingProfiles.push_back({time, comment.toUtf8(), latitude, longitude});
    for (const auto &[module, row] : rows)
        pendingValues.push_back({profile, module, row->values});
    return pendingProfiles.size() < profileBlock || flushProfiles();
}

bool NetCdfWriter::addXData(double time, const QString &moduleId, const QString &text)
{
    pendingXData.push_back({time, {moduleId.toUtf8(), text.toUtf8()}});
    return pendingXData.size() < profileBlock || flushXData();
}

bool NetCdfWriter::flushProfiles()
{
    const size_t count = pendingProfiles.size();
    if (count == 0)
        return true;
    std::vector<int> numbers(count);
    std::vector<double> times(count), latitudes(count), longitudes(count);
    std::vector<const char *> comments(count);
    for (size_t i = 0; i < count; ++i) {
        const PendingProfile &p = pendingProfiles[i];
        numbers[i] = int(profilesWritten + i + 1);
        times[i] = p.time;
        latitudes[i] = std::isnan(p.latitude) ? doubleFill : p.latitude;
        longitudes[i] = std::isnan(p.longitude) ? doubleFill : p.longitude;
        comments[i] = p.comment.constData();
    }
    const size_t start[] = {profilesWritten, 0};
    const size_t counts[] = {count, modules};
    bool ok = check(nc_put_vara_int(ncid, profileVariable, start, counts, numbers.data()), "profile")
              && check(nc_put_vara_double(ncid, timeVariable, start, counts, times.data()), "time")
              && check(nc_put_vara_double(ncid, latitudeVariable, start, counts, latitudes.data()), "latitude")
              && check(nc_put_vara_double(ncid, longitudeVariable, start, counts, longitudes.data()),
                       "longitude")
              && check(nc_put_vara_string(ncid, commentVariable, start, counts, comments.data()), "comment");

    // One dense block per quantity, fill values where a data set lacks a module.
    const size_t cells = count * modules;
    std::vector<double> doubles;
    std::vector<float> floats;
    std::vector<int> ints;
    for (int quantity = 0; ok && modules > 0 && quantity < SoundingRow::QuantityCount; ++quantity) {
        const QuantityMetadata &meta = quantities[quantity];
        const int variable = quantityVariables[quantity];
        if (meta.type == NC_DOUBLE) {
            doubles.assign(cells, doubleFill);
            for (const PendingValue &v : pendingValues) {
                if (!std::isnan(v.values[quantity]))
                    doubles[size_t(v.profile) * modules + size_t(v.module)] = v.values[quantity];
            }
            ok = check(nc_put_vara_double(ncid, variable, start, counts, doubles.data()), meta.name);
        } else if (meta.type == NC_INT) {
            ints.assign(cells, intFill);
            for (const PendingValue &v : pendingValues) {
                if (!std::isnan(v.values[quantity]))
                    ints[size_t(v.profile) * modules + size_t(v.module)] = int(v.values[quantity]);
            }
            ok = check(nc_put_vara_int(ncid, variable, start, counts, ints.data()), meta.name);
        } else {
            floats.assign(cells, floatFill);
            for (const PendingValue &v : pendingValues) {
                if (!std::isnan(v.values[quantity]))
                    floats[size_t(v.profile) * modules + size_t(v.module)] = float(v.values[quantity]);
            }
            ok = check(nc_put_vara_float(ncid, variable, start, counts, floats.data()), meta.name);
        }
    }
    profilesWritten += count;
    pendingProfiles.clear();
    pendingValues.clear();
    return ok;
}

bool NetCdfWriter::flushXData()
{
    const size_t count = pendingXData.size();
    if (count == 0)
        return true;
    std::vector<double> times(count);
    std::vector<const char *> ids(count), texts(count);
    for (size_t i = 0; i < count; ++i) {
        times[i] = pendingXData[i].first;
        ids[i] = pendingXData[i].second.first.constData();
        texts[i] = pendingXData[i].second.second.constData();
    }
    const size_t start[] = {xdataWritten};
    const size_t counts[] = {count};
    const bool ok = check(nc_put_vara_double(ncid, xdataTimeVariable, start, counts, times.data()), "xdata_time")
                    && check(nc_put_vara_string(ncid, xdataModuleVariable, start, counts, ids.data()),
                             "xdata_module_id")
                    && check(nc_put_vara_string(ncid, xdataTextVariable, start, counts, texts.data()),
                             "xdata_text");
    xdataWritten += count;
    pendingXData.clear();
    return ok;
}

bool NetCdfWriter::commit()
{
    bool ok = ncid >= 0 && flushProfiles() && flushXData();
    if (ok) {
        const int status = nc_close(ncid);
        ncid = -1;
        ok = check(status, "close");
    }
    if (ok && std::rename(QFile::encodeName(temporaryName).constData(),
                          QFile::encodeName(finalName).constData()) != 0) {
        error = QStringLiteral("cannot write %1: the finished file could not be renamed from %2")
                    .arg(finalName, temporaryName);
        ok = false;
    }
    if (ok)
        temporaryName.clear();
    else
        discard();
    return ok;
}
