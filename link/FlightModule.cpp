#include "link/FlightModule.h"

#include <QStringList>

namespace {

constexpr double knotsPerMetrePerSecond = 1.94384449;
constexpr int savedRecordFieldCount = 19;

QString fixedText(double value, int decimals)
{
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

// Correction of the tenths digit of the module's thermistor reading, in kelvin.
double temperatureCorrection(const QString &kelvinText)
{
    static const double corrections[10] = {0, 0, 0.025, 0.05, 0.075, 0, 0, 0.025, 0.05, 0.075};
    if (kelvinText.isEmpty())
        return 0;
    const int digit = kelvinText.back().digitValue();
    return digit >= 0 && digit <= 9 ? corrections[digit] : 0;
}

// The saved record joins fields with ';' and modules with '/': neither may occur inside a field.
QString savedText(const QVariant &value)
{
    QString text = value.toString();
    text.replace(QLatin1Char(';'), QLatin1Char(' '));
    text.replace(QLatin1Char('/'), QLatin1Char(' '));
    return text;
}

} // namespace

FlightModule::FlightModule(qint64 radioAddress, int windUnits, int groundElevation)
    : groundElevation_(groundElevation),
      windUnits_(windUnits),
      radioAddress_(radioAddress),
      record_(initialRecord())
{
}

FlightModule::FlightModule(const QString &savedRecord, int windUnits)
    : groundElevation_(0), windUnits_(windUnits), radioAddress_(0), record_(initialRecord())
{
    parseSavedRecord(savedRecord);
}

void FlightModule::processPayload(const QByteArray &payload)
{
    parser.feed(payload);
    while (parser.hasMessage())
        handleMessage(parser.takeMessage());
}

void FlightModule::handleMessage(const ModuleMessage &message)
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
        record_[ModuleIdColumn] = message.text;
        emit hello(radioAddress_);
        break;
    case ModuleMessage::Data:
        updateRecord(message);
        emit data(radioAddress_);
        break;
    case ModuleMessage::XData:
        record_[XDataColumn] = message.values[ModuleMessage::XDataSlot];
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

void FlightModule::updateRecord(const ModuleMessage &message)
{
    const auto &v = message.values;
    for (int column = PressureColumn; column <= GroundSpeedColumn; ++column)
        record_[column] = QStringLiteral("0");

    record_[AltitudeColumn] =
        fixedText(v[ModuleMessage::AltitudeSlot].toDouble() - groundElevation_, 1);
    record_[PressureColumn] = v[ModuleMessage::PressureSlot];

    const QString kelvinText = v[ModuleMessage::TemperatureSlot].toString();
    const double kelvin = kelvinText.toDouble();
    if (directTemperature)
        record_[TemperatureColumn] = fixedText(kelvin - 273.15, 1);
    else
        record_[TemperatureColumn] =
            fixedText(kelvin + temperatureCorrection(kelvinText) - 273.1, 3);

    record_[HumidityColumn] = v[ModuleMessage::HumiditySlot];
    record_[WindDirectionColumn] = v[ModuleMessage::WindDirectionSlot];
    record_[SupplyColumn] = v[ModuleMessage::SupplySlot];
    record_[UtcTimeColumn] = QStringLiteral("%1:%2:%3")
                                 .arg(v[ModuleMessage::HoursSlot].toInt(), 2, 10, QLatin1Char('0'))
                                 .arg(v[ModuleMessage::MinutesSlot].toInt(), 2, 10, QLatin1Char('0'))
                                 .arg(v[ModuleMessage::SecondsSlot].toInt(), 2, 10, QLatin1Char('0'));
    record_[LatitudeColumn] = v[ModuleMessage::LatitudeSlot];
    record_[LongitudeColumn] = v[ModuleMessage::LongitudeSlot];
    record_[CourseColumn] = v[ModuleMessage::CourseSlot];

    if (windUnits_ == 0) {
        record_[WindSpeedColumn] =
            fixedText(v[ModuleMessage::WindSpeedSlot].toDouble() * knotsPerMetrePerSecond, 2);
        record_[GroundSpeedColumn] = v[ModuleMessage::GroundSpeedSlot];
    } else if (windUnits_ == 1) {
        record_[WindSpeedColumn] = v[ModuleMessage::WindSpeedSlot];
        record_[GroundSpeedColumn] =
            fixedText(v[ModuleMessage::GroundSpeedSlot].toDouble() / knotsPerMetrePerSecond, 2);
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
