#ifndef VENTROLLA_TESTS_NETCDFFILE_H
#define VENTROLLA_TESTS_NETCDFFILE_H

// A NetCDF file read back through the library, for the tests of the export. Header only; the
// test links the NetCDF library through ventrolla_archive.

#include <QFile>
#include <QStringList>

#include <netcdf.h>

#include <vector>

class NetCdfFile
{
public:
    explicit NetCdfFile(const QString &path) { ok = nc_open(QFile::encodeName(path).constData(), NC_NOWRITE, &id) == NC_NOERR; }
    ~NetCdfFile() { if (ok) nc_close(id); }
    bool ok = false;
    int id = -1;

    static bool isFill(double value) { return value > 9e36; }
    size_t dimension(const char *name) const
    {
        int dim = -1;
        size_t length = 0;
        return nc_inq_dimid(id, name, &dim) == NC_NOERR && nc_inq_dimlen(id, dim, &length) == NC_NOERR ? length : 0;
    }
    int variable(const char *name) const
    {
        int var = -1;
        nc_inq_varid(id, name, &var);
        return var;
    }
    std::vector<double> doubles(const char *name) const
    {
        int var = variable(name);
        int dims[2];
        int count = 0;
        nc_inq_varndims(id, var, &count);
        nc_inq_vardimid(id, var, dims);
        size_t size = 1;
        for (int d = 0; d < count; ++d) {
            size_t length = 0;
            nc_inq_dimlen(id, dims[d], &length);
            size *= length;
        }
        std::vector<double> values(size);
        if (size && nc_get_var_double(id, var, values.data()) != NC_NOERR)
            values.clear();
        return values;
    }
    QStringList strings(const char *name) const
    {
        int var = variable(name);
        int dim = -1;
        size_t length = 0;
        nc_inq_vardimid(id, var, &dim);
        nc_inq_dimlen(id, dim, &length);
        std::vector<char *> values(length);
        QStringList list;
        if (length && nc_get_var_string(id, var, values.data()) == NC_NOERR) {
            for (char *value : values)
                list << QString::fromUtf8(value);
            nc_free_string(length, values.data());
        }
        return list;
    }
    QString text(int var, const char *name) const
    {
        size_t length = 0;
        if (nc_inq_attlen(id, var, name, &length) != NC_NOERR)
            return QStringLiteral("<none>");
        QByteArray bytes(int(length), '\0');
        nc_get_att_text(id, var, name, bytes.data());
        return QString::fromUtf8(bytes);
    }
};

#endif
