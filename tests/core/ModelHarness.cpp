#include "ModelHarness.h"
#include "TestSupport.h"

#include "core/State_Stopped.h"
#include "link/FlightModule.h"
#include "link/State_Configuring.h"

#include <QSettings>

#include <sys/ioctl.h>

namespace {

constexpr int waitLimitMs = 3000;
constexpr int anHour = 3600 * 1000;

} // namespace

QString savedRecord(const QString &identifier, qint64 address, char kind)
{
    return identifier + QStringLiteral(";0;0;0;0;0;0;0;0;0;0;0;0;;%1;0;156;%2;0").arg(address).arg(int(kind));
}

QByteArray handshakeFrames(qint64 module, quint32 high, quint32 low)
{
    using ModuleBytes::bytes;
    return buildRemoteAtCommand(module, "DH" + bigEndianBytes32(high))
           + buildRemoteAtCommand(module, "DL" + bigEndianBytes32(low))
           + buildRemoteAtCommand(module, bytes({'R', 'R', 0x0F}))
           + buildRemoteAtCommand(module, bytes({'R', 'O', 0x09}))
           + buildRemoteAtCommand(module, "WR") + buildTransmitRequest(module, "#\x90\r");
}

ModelRig::ModelRig(int windUnits, int gps)
    : model_(std::make_unique<Model>(windUnits, 0, gps & 8, gps & 4, gps & 2, gps & 1))
{
    model_->setClock([this] { return now_; });
    QObject::connect(model_->serialPort(), &QSerialPort::readyRead, [this] { ++readyReads; });
}

bool ModelRig::open()
{
    if (!pty_.open() || !model_->setPortName(pty_.slavePath()) || !model_->openPort())
        return false;
    model_->timers().fast.stop();
    return true;
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
    if (!deliver("OK\rOK\rOK\rOK\r" + QByteArray::number(addressHigh, 16) + '\r'
                 + QByteArray::number(addressLow, 16) + "\rOK\rOK\r"))
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
    return TestSupport::waitUntil([&] {
        int pending = 0;
        ::ioctl(int(port->handle()), FIONREAD, &pending);
        return readyReads > before && pending == 0 && port->bytesAvailable() == 0;
    }, waitLimitMs);
}

QByteArray ModelRig::takeBytes(int count)
{
    pty_.waitForBytes(count, waitLimitMs);
    TestSupport::waitUntil([this] { return model_->serialPort()->bytesToWrite() == 0; }, waitLimitMs);
    return pty_.takeReceived();
}

bool ModelRig::loadAndStop(const QList<qint64> &addresses)
{
    QStringList records;
    for (const qint64 address : addresses)
        records << savedRecord(QString("TX%1").arg(quint16(address), 4, 16, QLatin1Char('0')).toUpper(), address);
    QSettings().setValue(QStringLiteral("FlightModuleList/records"), records.join('/'));
    if (!open() || !configure())
        return false;
    model_->stopAcquiring();
    model_->loadSavedModules();
    return model_->currentState() == model_->states().stopped && model_->rowCount() == addresses.size();
}

bool ModelRig::startModules()
{
    if (model_->timers().start.interval() != 100)
        return false;
    model_->timers().start.setInterval(anHour);
    for (int row = 0; row < model_->rowCount(); ++row) {
        invoke("onStartTimer");
        const QByteArray timing = timingFrame(model_->moduleList().module(row)->radioAddress(),
                                              model_->dataInterval(), model_->fieldSelection());
        if (takeBytes(timing) != timing)
            return false;
    }
    // The timer runs on: its next tick finds no module left, writes nothing and stops it.
    if (model_->isPendingStateSet() || !model_->timers().start.isActive())
        return false;
    invoke("onStartTimer");
    return !model_->timers().start.isActive() && wroteNothing();
}
