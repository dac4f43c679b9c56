#include "archive/TidyTableWriter.h"

#include <QRandomGenerator>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr int bufferSize = 1 << 20;

// A field as RFC 4180 wants it: quoted when it holds a separator, a quote or a line end.
void appendText(QByteArray &out, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')) {
        out += '"';
        out += QByteArray(bytes).replace("\"", "\"\"");
        out += '"';
    } else {
        out += bytes;
    }
}

void appendFixed(QByteArray &out, double value, int decimals)
{
    if (std::isnan(value))
        return;
    char digits[64];
    const auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    char *begin = digits;
    // "-0.000" is a zero that lost its digits to rounding.
    if (*begin == '-' && std::all_of(begin + 1, result.ptr, [](char c) { return c == '0' || c == '.'; }))
        ++begin;
    out.append(begin, int(result.ptr - begin));
}

// A value read from the log: its text, unless it is no number.
void appendLogged(QByteArray &out, const LogModuleGroup &group, LogColumn column)
{
    if (group.hasValue(column))
        out += group.text(column).toLatin1();
}

} // namespace

TidyTableWriter::TidyTableWriter(const QString &fileName) : finalName(fileName) {}

TidyTableWriter::~TidyTableWriter()
{
    if (file.isOpen())
        file.remove();
}

bool TidyTableWriter::fail(const QString &reason)
{
    error = QStringLiteral("cannot write %1: %2").arg(finalName, reason);
    file.remove();
    buffer.clear();
    return false;
}

bool TidyTableWriter::create()
{
    // A new name beside the target, on the same file system, so the rename is atomic.
    for (int attempt = 0; attempt < 10 && !file.isOpen(); ++attempt) {
        file.setFileName(QStringLiteral("%1.%2.part")
                             .arg(finalName)
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) && !file.exists())
            break;
    }
    if (!file.isOpen()) {
        error = QStringLiteral("cannot write %1: %2").arg(finalName, file.errorString());
        return false;
    }
    buffer.reserve(bufferSize + 4096);
    buffer = SoundingRow::columnNames().join(QLatin1Char(',')).toLatin1() + '\n';
    return true;
}

bool TidyTableWriter::addRow(const QByteArray &time, const QString &comment, const SoundingRow &row,
                             LogWindUnit unit)
{
    const LogModuleGroup &group = row.group;
    buffer += time;
    buffer += ',';
    appendText(buffer, group.moduleId);
    for (const LogColumn column : {LogColumn::Altitude, LogColumn::Pressure, LogColumn::Temperature,
                                   LogColumn::Humidity}) {
        buffer += ',';
        appendLogged(buffer, group, column);
    }
    buffer += ',';
    if (unit == LogWindUnit::MetresPerSecond)
        appendLogged(buffer, group, LogColumn::WindSpeed);
    else
        appendFixed(buffer, row[SoundingRow::WindSpeed], 3);
    for (const LogColumn column : {LogColumn::WindDirection, LogColumn::Supply, LogColumn::UtcTime,
                                   LogColumn::Latitude, LogColumn::Longitude, LogColumn::Course}) {
        buffer += ',';
        appendLogged(buffer, group, column);
    }
    buffer += ',';
    if (unit == LogWindUnit::MetresPerSecond)
        appendLogged(buffer, group, LogColumn::GroundSpeed);
    else
        appendFixed(buffer, row[SoundingRow::GroundSpeed], 3);
    const std::pair<SoundingRow::Quantity, int> derived[] = {
        {SoundingRow::DewPoint, 3},    {SoundingRow::PotentialTemperature, 3},
        {SoundingRow::MixingRatio, 6}, {SoundingRow::EastwardWind, 3},
        {SoundingRow::NorthwardWind, 3},
    };
    for (const auto &[quantity, decimals] : derived) {
        buffer += ',';
        appendFixed(buffer, row[quantity], decimals);
    }
    buffer += ',';
    appendText(buffer, comment);
    buffer += '\n';
    return buffer.size() < bufferSize || writeBuffer();
}

bool TidyTableWriter::writeBuffer()
{
    if (file.write(buffer) != buffer.size())
        return fail(file.errorString());
    buffer.clear();
    return true;
}

bool TidyTableWriter::commit()
{
    if (!error.isEmpty() || !writeBuffer())
        return false;
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(finalName).constData()) != 0)
        return fail(QStringLiteral("the finished file could not be renamed from %1").arg(file.fileName()));
    return true;
}
