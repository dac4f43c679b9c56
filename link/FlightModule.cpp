#include "link/FlightModule.h"

#include <QStringList>

#include <cmath>

namespace {

constexpr int savedRecordFieldCount = 19;

// QString::arg(value, 0, 'f', decimals) without its locale machinery: arg rounds the double's
// exact value half up, and so does this, from the value scaled to units of the last decimal.
// Where the product's own rounding could decide (within a millionth of a unit of a halfway
// point), and for negative values, arg() itself writes the text.
QString fixedText(double value, int decimals)
{
    static const double scales[] = {1, 10, 100, 1000};
    const double scaled = value * scales[decimals];
    if (scaled >= 0 && scaled < 1e9) {
        const double whole = std::floor(scaled);
        const double fraction = scaled - whole;
        if (std::abs(fraction - 0.5) > 1e-6)
            return decimalText(qint64(whole) + (fraction > 0.5 ? 1 : 0), decimals);
    }
    return QStringLiteral("%1").arg(value, 0, 'f', decimals);
}

QList<QVariant> initialRecord()
{
    QList<QVariant> record;
    for (int column = 0; column < FlightModule::XDataColumn; ++column)
        record.append(QStringLiteral("0"));
    record.append(QString());
    return record;
}

// Correction of the module's thermistor reading by its tenths digit, in thousandths of a kelvin.
int temperatureCorrection(int tenthsDigit)
{
    static const int corrections[10] = {0, 0, 25, 50, 75, 0, 0, 25, 50, 75};
    return corrections[tenthsDigit];
}

// hh:mm:ss, at least two digits each (the fields are single bytes).
QString timeText(int hours, int minutes, int seconds)
{
    char text[12];
    char *p = text;
    for (const int field : {hours, minutes, seconds}) {
        if (p != text)
            *p++ = ':';
        if (field >= 100)
            *p++ = char('0' + field / 100);
        *p++ = char('0' + field / 10 % 10);
        *p++ = char('0' + field % 10);
    }
    return QString::fromLatin1(text, int(p - text));
}

// The saved record joins fields with ';' and modules with '/': neither may occur inside a field.
QString savedText(const QVariant &value)
{
    QString text = value.toString();
    text.replace(QLatin1Char(';'), QLatin1Char(' '));
    text.replace(QLatin1Char('/'), QLatin1Char(' '));
    return text;
}

// The Data slots whose record text is written from the number (updateRecord): the parser
// need not write a text of its own for them.
quint32 rebuiltSlots(int windUnits)
{
    quint32 textless = 1u << ModuleMessage::TemperatureSlot | 1u << ModuleMessage::AltitudeSlot;
    if (windUnits != 1)
        textless |= 1u << ModuleMessage::WindSpeedSlot;
    if (windUnits != 0)
        textless |= 1u << ModuleMessage::GroundSpeedSlot;
    return textless;
}

} // namespace

FlightModule::FlightModule(qint64 radioAddress, int windUnits, int groundElevation)
    : groundElevation_(groundElevation),
      windUnits_(windUnits),
      radioAddress_(radioAddress),
      record_(initialRecord())
{
    parser.setTextlessSlots(rebuiltSlots(windUnits));
}

FlightModule::FlightModule(const QString &savedRecord, int windUnits)
    : groundElevation_(0), windUnits_(windUnits), radioAddress_(0), record_(initialRecord())
{
    parser.setTextlessSlots(rebuiltSlots(windUnits));
    parseSavedRecord(savedRecord);
}

void FlightModule::processPayload(const QByteArray &payload)
{
    parser.feed(payload);
    while (ModuleMessage *message = parser.nextMessage())
        handleMessage(*message);
}

void FlightModule::handleMessage(ModuleMessage &message)
{
    switch (message.type) {
    case ModuleMessage::Hello:
        switch (message.kindLetter) {
        case 'Q':
            kindLetter_ = 'P';
            directTemperature = true;
            break;
        case 'D':
            kindLetter_ = 'C';
            directTemperature = true;
            break;
        default:
            kindLetter_ = char(message.kindLetter);
            directTemperature = false;
            break;
        }
        record_[ModuleIdColumn] = std::move(message.text);
        emit hello(radioAddress_);
        break;
    case ModuleMessage::Data:
        updateRecord(message);
        emit data(radioAddress_);
        break;
    case ModuleMessage::XData:
        record_[XDataColumn].swap(message.values[ModuleMessage::XDataSlot]);
        emit xdata(radioAddress_);
        break;
    case ModuleMessage::CalibReady:
        emit calibReady(radioAddress_);
        break;
    case ModuleMessage::CalibDataCompass:
        if (replaceCalibData) {
            calibData = message.sampleBytes;
            replaceCalibData = false;
        } else {
            calibData.append(message.sampleBytes);
        }
        emit calibDataCompass(radioAddress_);
        break;
    case ModuleMessage::CalibOk:
        emit calibOk(radioAddress_);
        break;
    case ModuleMessage::CalibErr:
        emit calibErr(radioAddress_);
        break;
    case ModuleMessage::CalibDonePitot:
        calibData = message.sampleBytes; // always empty for this message
        emit calibDonePitot(radioAddress_);
        break;
    case ModuleMessage::CalibCupOk:
        emit calibCupOk(radioAddress_);
        break;
    case ModuleMessage::IndoorAck:
        indoorCode = message.indoorCode;
        // Indoor modules send no optional groups whatever their flags byte says.
        parser.setFlagsOverride(indoorCode == indoorOnCode, 0);
        emit indoorAck(radioAddress_);
        break;
    case ModuleMessage::IntThermCalDone:
        emit intThermCalDone(radioAddress_);
        break;
    case ModuleMessage::ExtThermCalOk:
        emit extThermCalOk(radioAddress_, message.tempEcho);
        break;
    case ModuleMessage::ChangeBetaOk:
        emit changeBetaOkPacket(radioAddress_);
        break;
    default:
        break;
    }
}

void FlightModule::updateRecord(ModuleMessage &message)
{
    auto &v = message.values; // texts taken by swapping: the message is not used again
    const auto &raw = message.rawValues; // 0 for a group that was not sent

    record_[AltitudeColumn] =
        decimalText((qint64(raw[ModuleMessage::AltitudeSlot]) - groundElevation_) * 10, 1);
    record_[PressureColumn].swap(v[ModuleMessage::PressureSlot]);

    const qint32 kelvinTenths = raw[ModuleMessage::TemperatureSlot];
    if (directTemperature) {
        record_[TemperatureColumn] = fixedText(kelvinTenths / 10.0 - 273.15, 1);
    } else {
        // Exact in thousandths: kelvin + correction of the tenths digit - 273.1.
        record_[TemperatureColumn] = decimalText(
            qint64(kelvinTenths) * 100 + temperatureCorrection(kelvinTenths % 10) - 273100, 3);
    }

    record_[HumidityColumn].swap(v[ModuleMessage::HumiditySlot]);
    record_[WindDirectionColumn].swap(v[ModuleMessage::WindDirectionSlot]);
    record_[SupplyColumn].swap(v[ModuleMessage::SupplySlot]);
    record_[UtcTimeColumn] = timeText(raw[ModuleMessage::HoursSlot], raw[ModuleMessage::MinutesSlot],
                                      raw[ModuleMessage::SecondsSlot]);
    record_[LatitudeColumn].swap(v[ModuleMessage::LatitudeSlot]);
    record_[LongitudeColumn].swap(v[ModuleMessage::LongitudeSlot]);
    record_[CourseColumn].swap(v[ModuleMessage::CourseSlot]);

    if (windUnits_ == 0) {
        record_[WindSpeedColumn] =
            fixedText(raw[ModuleMessage::WindSpeedSlot] / 10.0 * knotsPerMetrePerSecond, 2);
        record_[GroundSpeedColumn].swap(v[ModuleMessage::GroundSpeedSlot]);
    } else if (windUnits_ == 1) {
        record_[WindSpeedColumn].swap(v[ModuleMessage::WindSpeedSlot]);
        record_[GroundSpeedColumn] =
            fixedText(raw[ModuleMessage::GroundSpeedSlot] / 10.0 / knotsPerMetrePerSecond, 2);
    } else {
        record_[WindSpeedColumn] = QStringLiteral("0");
        record_[GroundSpeedColumn] = QStringLiteral("0");
    }
}

qint64 FlightModule::radioAddress() const
{
    return radioAddress_;
}

QString FlightModule::moduleId() const
{
    return record_[ModuleIdColumn].toString();
}

QVariant FlightModule::field(int column) const
{
    if (column < 0 || column >= ColumnCount)
        return QVariant();
    return record_[column];
}

QList<QVariant> FlightModule::record() const
{
    return record_;
}

QList<QVariant> FlightModule::blankRecord() const
{
    QList<QVariant> blank = record_;
    for (int column = AltitudeColumn; column <= GroundSpeedColumn; ++column)
        blank[column] = QStringLiteral("0");
    blank[XDataColumn] = QString();
    return blank;
}

QByteArray &FlightModule::takeCalibData()
{
    replaceCalibData = true;
    return calibData;
}

bool FlightModule::isIndoor() const
{
    return indoorCode == indoorOnCode;
}

char FlightModule::kindLetter() const
{
    return kindLetter_;
}

bool FlightModule::hasDirectTemperature() const
{
    return directTemperature;
}

bool FlightModule::isValid() const
{
    return valid;
}

QString FlightModule::toSavedRecord() const
{
    QStringList fields;
    fields.reserve(savedRecordFieldCount);
    for (const QVariant &value : record_)
        fields.append(savedText(value));
    fields.append(QString::number(radioAddress_));
    fields.append(QString::number(groundElevation_));
    fields.append(QString::number(indoorCode));
    fields.append(QString::number(quint8(kindLetter_)));
    fields.append(directTemperature ? QStringLiteral("1") : QStringLiteral("0"));
    return fields.join(QLatin1Char(';'));
}

void FlightModule::parseSavedRecord(const QString &savedRecord)
{
    valid = false;
    const QStringList parts = savedRecord.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    if (parts.size() != savedRecordFieldCount)
        return;
    for (int i = ColumnCount; i < savedRecordFieldCount; ++i) {
        if (parts[i].isEmpty())
            return;
    }
    for (int column = 0; column < ColumnCount; ++column)
        record_[column] = parts[column];

    bool addressOk = false;
    bool elevationOk = false;
    bool indoorOk = false;
    bool kindOk = false;
    bool temperatureOk = false;
    radioAddress_ = parts[14].toLongLong(&addressOk, 10);
    groundElevation_ = parts[15].toInt(&elevationOk);
    const int code = parts[16].toInt(&indoorOk);
    indoorCode = quint8(code);
    indoorOk = indoorOk && (code == indoorOnCode || code == indoorOffCode);
    const int letter = parts[17].toInt(&kindOk);
    kindLetter_ = char(letter);
    kindOk = kindOk && (letter == 'C' || letter == 'P');
    directTemperature = parts[18].toInt(&temperatureOk) != 0;

    valid = addressOk && elevationOk && indoorOk && kindOk && temperatureOk
            && !record_[ModuleIdColumn].toString().isEmpty();
}
