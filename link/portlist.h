// The serial ports the PC offers, and a watch that tells when that list
// changes (an adapter plugged in or pulled).
#pragma once

#include <QObject>
#include <QStringList>

class QTimer;

// The serial ports to offer: the existing ones named in NODEWEAVE_EXTRA_PORTS
// (':'-separated paths; the system's enumeration never lists pseudo-terminals)
// first, then the system's ports in enumeration order.
QStringList availablePortNames();

// A cheap fingerprint of what availablePortNames() depends on: the extra
// ports' existence and the modification time of /dev, which changes
// whenever a device node (a USB adapter's tty) comes or goes. Equal
// fingerprints mean an unchanged port list; the full enumeration walks
// every tty of the system and costs tens of milliseconds. Empty when /dev
// cannot be examined (or there is none): then only the full enumeration can tell.
QByteArray portListSignature();

// Looks at the ports once a second, from construction on, and reports a
// changed list.
class PortWatch : public QObject
{
    Q_OBJECT
public:
    explicit PortWatch(QObject *parent = nullptr);

    // Enumerates the ports now; the list the watch compares with from then on.
    QStringList refresh();

signals:
    void portsChanged(const QStringList &names);

private:
    void tick();

    QTimer *m_timer;
    QStringList m_names;     // the list last enumerated
    QByteArray m_signature;  // portListSignature() at the last look
    int m_settleTicks = 0;   // ticks that still enumerate in full
};
