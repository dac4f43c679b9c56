#ifndef VENTROLLA_TOOLS_PSEUDOTERMINAL_H
#define VENTROLLA_TOOLS_PSEUDOTERMINAL_H

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A pseudo-terminal pair standing in for a serial line. The program under test opens the slave
// (slavePath()) as its serial port; this object plays the device on the master side: it reads
// every byte the program writes and writes bytes the program then reads.
class PseudoTerminal : public QObject
{
    Q_OBJECT

public:
    explicit PseudoTerminal(QObject *parent = nullptr);
    ~PseudoTerminal() override;

    // Opens the pair (master in raw, non-blocking mode). False when the system has no pty.
    bool open();
    bool isOpen() const;
    QString slavePath() const;

    // Writes all bytes to the master side (the program reads them from the slave).
    bool write(const QByteArray &bytes);

    // Bytes read from the master side so far and not yet taken.
    QByteArray received() const;
    QByteArray takeReceived();
    void clearReceived();

    // Runs the event loop until at least count bytes are held or timeoutMs has passed.
    bool waitForBytes(int count, int timeoutMs);

    // The baud rate the program has set on its side of the line (0 when unknown).
    int slaveBaudRate() const;

    // Closes the master side: to the program the device has gone away.
    void closeMaster();

signals:
    // Emitted for each chunk read from the master side, after it was added to received().
    void bytesReceived(const QByteArray &bytes);

private:
    void readMaster();

    int masterFd = -1;
    int slaveFd = -1; // kept open so the master never sees a hang-up between the program's opens
    QString slaveName;
    QByteArray buffer;
    QSocketNotifier *notifier = nullptr;
};

#endif
