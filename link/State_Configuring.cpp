#include "link/State_Configuring.h"

#include "core/Model.h"
#include "core/State_Acquiring.h"
#include "core/State_Unconfigured.h"

#include <QList>

namespace {

constexpr qint64 guardSilenceMs = 1000;
constexpr qint64 guardAnswerMs = 3000;
constexpr qint64 scriptAnswerMs = 3100;
constexpr int failedStep = 7;

const QByteArray guardSequence = QByteArrayLiteral("+++");
const QByteArray okAnswer = QByteArrayLiteral("OK\r");

} // namespace

// Restore defaults, API mode with escaping, 15 retries, 57600 baud, read the two halves of the
// radio's address, store, leave command mode.
const QByteArray State_Configuring::script =
    QByteArrayLiteral("ATRE\rATAP2\rATRR 0xF\rATBD6\rATSH\rATSL\rATWR\rATCN\r");

void State_Configuring::enter()
{
    step = 2;
    responseBuffer.clear();
    progress = 0;
    switchBaudRate(QSerialPort::Baud57600);
    model->timers().fast.start();
    State::enter();
}

void State_Configuring::restartStopwatch()
{
    stopwatchStart = model->elapsedMs();
}

void State_Configuring::switchBaudRate(qint32 rate)
{
    model->serialPort()->setBaudRate(rate, QSerialPort::AllDirections);
    restartStopwatch();
}

void State_Configuring::onFastTimer()
{
    const qint64 t = model->elapsedMs() - stopwatchStart;
    progress = int(qMin<qint64>(t / 31, 100));

    if (step < 0 || step > 6) {
        progress = 0;
        model->states().unconfigured->enter();
        model->emitStatusChanged();
        return;
    }

    switch (step) {
    case 2: // 57600
    case 4: // 9600
    case 0: // 115200
        if (t > guardSilenceMs) {
            model->writeToBaseStation(guardSequence);
            responseBuffer.clear();
            step = step == 2 ? 3 : step == 4 ? 5 : 1;
        }
        break;
    case 3:
    case 5:
    case 1:
        if (responseBuffer.contains(okAnswer)) {
            model->writeToBaseStation(script);
            responseBuffer.clear();
            step = 6;
        } else if (t > guardAnswerMs) {
            responseBuffer.clear();
            if (step == 3) {
                step = 4;
                switchBaudRate(QSerialPort::Baud9600);
            } else if (step == 5) {
                step = 0;
                switchBaudRate(QSerialPort::Baud115200);
            } else {
                step = failedStep;
            }
        }
        break;
    case 6:
        if (answersCheckOut()) {
            progress = 100;
            model->serialPort()->setBaudRate(QSerialPort::Baud57600, QSerialPort::AllDirections);
            if (model->isPendingStateSet())
                model->enterPendingState();
            else
                model->states().acquiring->enter();
        } else if (t > scriptAnswerMs) {
            step = failedStep;
        }
        break;
    }
    model->emitStatusChanged();
}

bool State_Configuring::answersCheckOut()
{
    // Eight answer lines, each ended by a carriage return.
    const QList<QByteArray> answers = responseBuffer.split('\r');
    if (answers.size() != 9)
        return false;
    for (const int line : {0, 1, 2, 3, 6, 7}) {
        if (answers[line] != "OK")
            return false;
    }
    // The two halves of the radio's unsigned 64-bit address, in hexadecimal.
    bool highOk = false;
    bool lowOk = false;
    const quint32 high = answers[4].toUInt(&highOk, 16);
    const quint32 low = answers[5].toUInt(&lowOk, 16);
    model->setBaseStationAddress(high, low);
    return highOk && lowOk;
}

bool State_Configuring::isConfiguring()
{
    return true;
}

bool State_Configuring::isBaseStationReady()
{
    return false;
}

int State_Configuring::configurationProgress()
{
    return progress;
}

void State_Configuring::handleBaseStationData(const QByteArray &bytes)
{
    responseBuffer.append(bytes);
}
