#include "ModelHarness.h"

#include "ModuleBytes.h"

#include "core/State_Acquiring.h"
#include "core/State_Running.h"
#include "core/State_Starting.h"
#include "core/State_Stopped.h"
#include "core/State_Stopping.h"
#include "core/State_Unacquired.h"
#include "core/State_Unconfigured.h"
#include "link/ApiFrame.h"
#include "link/State_Configuring.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSettings>
#include <QStringList>
#include <QTimer>

#include <functional>

#include <sys/ioctl.h>

namespace {

constexpr int waitLimitMs = 3000;
constexpr int anHour = 3600 * 1000;

// Runs the event loop for at most a millisecond.
void spin()
{
    QEventLoop loop;
    QTimer::singleShot(1, &loop, &QEventLoop::quit);
    loop.exec();
}

bool spinUntil(const std::function<bool()> &done)
{
    QDeadlineTimer deadline(waitLimitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        spin();
    }
    return true;
}

void appendWord(QByteArray &bytes, quint16 word)
{
    bytes.append(ModuleBytes::word(word));
}

qint64 readAddress(const QByteArray &bytes, int offset)
{
    quint64 address = 0;
    for (int i = 0; i < 8; ++i)
        address = (address << 8) | quint8(bytes.at(offset + i));
    return qint64(address);
}

} // namespace

// ---- module messages ----

namespace Radio {

QByteArray hello(char kind, const QByteArray &identifier)
{
    return ModuleBytes::hello(kind, identifier);
}

QByteArray data(const Reading &reading)
{
    QByteArray body(1, '\0');
    appendWord(body, reading.pressure);
    appendWord(body, reading.temperature);
    appendWord(body, reading.humidity);
    appendWord(body, reading.windDirection);
    appendWord(body, reading.windSpeed);
    appendWord(body, reading.supply);
    if (reading.hours >= 0) {
        body.append(char(0xE0)); // hours, minutes and seconds follow
        body.append(char(reading.hours));
        body.append(char(reading.minutes));
        body.append(char(reading.seconds));
    } else {
        body.append('\0');
    }
    return QByteArray("#\x09", 2) + ModuleBytes::escape(body);
}

QByteArray dataAt(int hours, int minutes, int seconds, quint16 pressure)
{
    Reading reading;
    reading.hours = hours;
    reading.minutes = minutes;
    reading.seconds = seconds;
    reading.pressure = pressure;
    return data(reading);
}

QByteArray xdata(const QByteArray &text)
{
    return QByteArray("#\x9E", 2) + text + "\r\n";
}

QByteArray calibReady()
{
    return QByteArray("#\x91", 2);
}

QByteArray receiveFrame(qint64 source, const QByteArray &payload)
{
    QByteArray frame(1, char(0x90));
    frame += bigEndianBytes64(source);
    frame += QByteArray("\xFF\xFE\x01", 3);
    frame += payload;
    return wrapApiFrame(frame);
}

QString savedRecord(const QString &identifier, qint64 address, char kind)
{
    QStringList fields{identifier};
    for (int column = 1; column <= 12; ++column)
        fields << QStringLiteral("0");
    fields << QString();
    fields << QString::number(address) << QStringLiteral("0") << QStringLiteral("156")
           << QString::number(int(kind)) << QStringLiteral("0");
    return fields.join(QLatin1Char(';'));
}

} // namespace Radio

QString moduleName(qint64 address)
{
    return QStringLiteral("TX%1").arg(quint16(address), 4, 16, QLatin1Char('0')).toUpper();
}

// ---- frames the model writes ----

bool parseSentFrames(const QByteArray &stream, QList<SentFrame> &frames, QByteArray &rest,
                     QString &error)
{
    int position = 0;
    while (position < stream.size()) {
        if (quint8(stream.at(position)) != 0x7E) {
            error = QStringLiteral("byte %1 outside a frame").arg(position);
            return false;
        }
        // Unescape the rest of this frame until its declared length and checksum are in.
        QByteArray content;
        int next = position + 1;
        bool escape = false;
        int needed = 2;
        while (next < stream.size() && content.size() < needed) {
            quint8 byte = quint8(stream.at(next++));
            if (byte == 0x7E) {
                error = QStringLiteral("unescaped 0x7E inside a frame");
                return false;
            }
            if (escape) {
                byte ^= 0x20;
                escape = false;
            } else if (byte == 0x7D) {
                escape = true;
                continue;
            } else if (byte == 0x11 || byte == 0x13) {
                error = QStringLiteral("unescaped 0x%1").arg(byte, 2, 16, QLatin1Char('0'));
                return false;
            }
            content.append(char(byte));
            if (content.size() == 2)
                needed = 2 + ((quint8(content[0]) << 8) | quint8(content[1])) + 1;
        }
        if (content.size() < needed) {
            rest = stream.mid(position);
            return true;
        }
        position = next;

        const QByteArray data = content.mid(2, content.size() - 3);
        quint8 sum = 0;
        for (const char c : content.mid(2))
            sum = quint8(sum + quint8(c));
        if (sum != 0xFF) {
            error = QStringLiteral("bad checksum");
            return false;
        }
        SentFrame frame;
        frame.type = data.isEmpty() ? 0 : quint8(data[0]);
        if (frame.type == 0x10 && data.size() >= 14) {
            frame.frameId = quint8(data[1]);
            frame.destination = readAddress(data, 2);
            frame.networkAddress = data.mid(10, 2);
            frame.radius = quint8(data[12]);
            frame.options = quint8(data[13]);
            frame.data = data.mid(14);
        } else if (frame.type == 0x17 && data.size() >= 15) {
            frame.frameId = quint8(data[1]);
            frame.destination = readAddress(data, 2);
            frame.networkAddress = data.mid(10, 2);
            frame.options = quint8(data[12]);
            frame.command = data.mid(13, 2);
            frame.data = data.mid(15);
        } else {
            error = QStringLiteral("frame of type 0x%1 and %2 bytes")
                        .arg(frame.type, 2, 16, QLatin1Char('0'))
                        .arg(data.size());
            return false;
        }
        frames.append(frame);
    }
    rest.clear();
    return true;
}

// ---- the rig ----

ModelRig::ModelRig(int windUnits, bool latitude, bool longitude, bool course, bool speed)
    : model_(std::make_unique<Model>(windUnits, 0, latitude, longitude, course, speed))
{
    model_->setClock([this] { return now_; });
    QObject::connect(model_->serialPort(), &QSerialPort::readyRead, [this] { ++readyReads; });
}

bool ModelRig::open()
{
    if (!pty_.open())
        return false;
    model_->setPortName(pty_.slavePath());
    if (!model_->openPort())
        return false;
    model_->timers().fast.stop();
    return true;
}

void ModelRig::tick(qint64 atMs)
{
    now_ = atMs;
    invoke("onFastTimer");
}

void ModelRig::invoke(const char *slot)
{
    QMetaObject::invokeMethod(model_.get(), slot);
}

bool ModelRig::configure(quint32 addressHigh, quint32 addressLow)
{
    if (!model_->isConfiguring())
        return false;
    model_->timers().fast.stop();
    pty_.clearReceived();
    const qint64 start = now_;
    tick(start + 1001);
    if (takeBytes(3) != "+++" || !deliver("OK\r"))
        return false;
    tick(start + 1200);
    if (takeBytes(State_Configuring::script.size()) != State_Configuring::script)
        return false;
    const QByteArray answers = "OK\rOK\rOK\rOK\r" + QByteArray::number(addressHigh, 16) + '\r'
                               + QByteArray::number(addressLow, 16) + "\rOK\rOK\r";
    if (!deliver(answers))
        return false;
    tick(start + 1300);
    return !model_->isConfiguring() && model_->isBaseStationReady();
}

bool ModelRig::deliver(const QByteArray &bytes)
{
    const int before = readyReads;
    if (!pty_.write(bytes))
        return false;
    QSerialPort *port = model_->serialPort();
    return spinUntil([&] {
        int pending = 0;
        ::ioctl(int(port->handle()), FIONREAD, &pending);
        return readyReads > before && pending == 0 && port->bytesAvailable() == 0;
    });
}

bool ModelRig::deliverFrom(qint64 source, const QByteArray &payload)
{
    return deliver(Radio::receiveFrame(source, payload));
}

void ModelRig::drain()
{
    spinUntil([this] { return model_->serialPort()->bytesToWrite() == 0; });
}

QList<SentFrame> ModelRig::takeFrames(int count)
{
    QList<SentFrame> frames;
    QByteArray rest;
    QString error;
    spinUntil([&] {
        frames.clear();
        return !parseSentFrames(pty_.received(), frames, rest, error)
               || (frames.size() >= count && rest.isEmpty());
    });
    drain();
    frames.clear();
    if (!parseSentFrames(pty_.takeReceived(), frames, rest, error) || !rest.isEmpty())
        qWarning("frames written by the model do not parse: %s", qPrintable(error));
    return frames;
}

QByteArray ModelRig::takeBytes(int count)
{
    pty_.waitForBytes(count, waitLimitMs);
    drain();
    return pty_.takeReceived();
}

bool ModelRig::acquireAndStop(const QList<qint64> &addresses)
{
    if (!open() || !configure() || !model_->isAcquiring())
        return false;
    for (const qint64 address : addresses) {
        const int rows = model_->rowCount();
        if (!deliverFrom(address, Radio::hello('P', moduleName(address).toLatin1()))
            || takeFrames(6).size() != 6)
            return false;
        if (!deliverFrom(address, Radio::calibReady()) || takeFrames(1).size() != 1)
            return false;
        if (!deliverFrom(address, Radio::dataAt(12, 0, 0)) || model_->rowCount() != rows + 1)
            return false;
    }
    model_->stopAcquiring();
    if (!model_->isStopping())
        return false;
    model_->timers().stop.setInterval(anHour);
    model_->timers().timeout.setInterval(anHour);
    for (int i = 0; i < addresses.size(); ++i)
        invoke("onStopTimer");
    if (takeFrames(addresses.size()).size() != addresses.size())
        return false;
    for (const qint64 address : addresses) {
        if (!deliverFrom(address, Radio::calibReady()))
            return false;
    }
    return model_->currentState() == model_->states().stopped;
}

bool ModelRig::loadAndStop(const QList<qint64> &addresses)
{
    QStringList records;
    for (const qint64 address : addresses)
        records << Radio::savedRecord(moduleName(address), address);
    QSettings settings;
    settings.setValue(QStringLiteral("FlightModuleList/records"),
                      records.join(QLatin1Char('/')));
    settings.sync();

    if (!open() || !configure())
        return false;
    model_->stopAcquiring();
    model_->loadSavedModules();
    return model_->currentState() == model_->states().stopped
           && model_->rowCount() == addresses.size();
}

bool ModelRig::startRunning()
{
    model_->run();
    if (!model_->isStarting())
        return false;
    model_->timers().start.setInterval(anHour);
    for (int row = 0; row < model_->rowCount(); ++row) {
        invoke("onStartTimer");
        if (takeFrames(1).size() != 1)
            return false;
    }
    return model_->isRunning();
}

QString ModelRig::stateName() const
{
    return model_->stateName(model_->currentState());
}
