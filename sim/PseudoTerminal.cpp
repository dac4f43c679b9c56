#include "PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

int speedToBaud(speed_t speed)
{
    switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
    }
}

} // namespace

PseudoTerminal::PseudoTerminal(QObject *parent) : QObject(parent) {}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
    if (slaveFd >= 0)
        ::close(slaveFd);
}

bool PseudoTerminal::open()
{
    if (masterFd >= 0)
        return true;
    if (slaveFd >= 0) // a pair whose master was closed: a new device takes its place
        ::close(slaveFd);
    char name[256] = {};
    if (::openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) {
        masterFd = slaveFd = -1;
        return false;
    }
    slaveName = QString::fromLocal8Bit(name);

    termios raw {};
    if (::tcgetattr(masterFd, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(masterFd, TCSANOW, &raw);
    }
    // The slave starts raw too, as a serial port would before the program configures it.
    if (::tcgetattr(slaveFd, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slaveFd, TCSANOW, &raw);
    }
    ::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveFd, F_SETFD, FD_CLOEXEC);

    notifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &PseudoTerminal::readMaster);
    return true;
}

bool PseudoTerminal::isOpen() const
{
    return masterFd >= 0;
}

QString PseudoTerminal::slavePath() const
{
    return slaveName;
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    if (masterFd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(masterFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            // The line is full: let the program read before writing on.
            QEventLoop loop;
            QTimer::singleShot(1, &loop, &QEventLoop::quit);
            loop.exec();
        } else {
            return false;
        }
    }
    return true;
}

QByteArray PseudoTerminal::received() const
{
    return buffer;
}

QByteArray PseudoTerminal::takeReceived()
{
    QByteArray out;
    out.swap(buffer);
    return out;
}

void PseudoTerminal::clearReceived()
{
    buffer.clear();
}

bool PseudoTerminal::waitForBytes(int count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (buffer.size() < count && !deadline.hasExpired()) {
        QEventLoop loop;
        QTimer::singleShot(qMin<qint64>(10, qMax<qint64>(1, deadline.remainingTime())), &loop,
                           &QEventLoop::quit);
        loop.exec();
    }
    return buffer.size() >= count;
}

int PseudoTerminal::slaveBaudRate() const
{
    termios settings {};
    if (slaveFd < 0 || ::tcgetattr(slaveFd, &settings) != 0)
        return 0;
    return speedToBaud(::cfgetospeed(&settings));
}

void PseudoTerminal::closeMaster()
{
    if (masterFd < 0)
        return;
    delete notifier;
    notifier = nullptr;
    ::close(masterFd);
    masterFd = -1;
}

void PseudoTerminal::readMaster()
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(masterFd, chunk, sizeof chunk);
        if (n > 0) {
            const QByteArray bytes(chunk, int(n));
            buffer.append(bytes);
            emit bytesReceived(bytes);
            if (masterFd < 0)
                return; // a listener closed the line
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return; // EAGAIN: everything has been read
    }
}
