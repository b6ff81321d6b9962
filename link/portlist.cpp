#include "link/portlist.h"

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#endif

namespace {
constexpr int WatchInterval = 1000;
// Ticks that enumerate in full after a change: the system may still be
// setting up a new adapter (its driver and udev entry lag behind the node).
constexpr int SettleTicks = 5;

QStringList extraPorts()
{
    return qEnvironmentVariable("NODEWEAVE_EXTRA_PORTS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
}
}

QStringList availablePortNames()
{
    QStringList names;
    for (const QString &path : extraPorts()) {
        if (QFileInfo::exists(path))
            names << path;
    }
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
}

QByteArray portListSignature()
{
#ifdef Q_OS_LINUX
    struct stat st;
    if (::stat("/dev", &st) != 0)
        return QByteArray();
    QByteArray signature = QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
                           + QByteArray::number(qint64(st.st_mtim.tv_nsec));
    for (const QString &path : extraPorts())
        signature += ':' + path.toLocal8Bit() + (QFileInfo::exists(path) ? "+" : "-");
    return signature;
#else
    // No /dev (Windows): the watch enumerates in full on every tick.
    return QByteArray();
#endif
}

PortWatch::PortWatch(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setInterval(WatchInterval);
    connect(m_timer, &QTimer::timeout, this, &PortWatch::tick);
    m_timer->start();
}

QStringList PortWatch::refresh()
{
    m_signature = portListSignature();  // before the enumeration: a change meanwhile counts
    m_names = availablePortNames();
    return m_names;
}

void PortWatch::tick()
{
    // Enumerate only when something may have changed, and for a few ticks
    // after that.
    const QByteArray signature = portListSignature();
    if (signature.isEmpty() || signature != m_signature)
        m_settleTicks = SettleTicks;
    m_signature = signature;
    if (m_settleTicks <= 0)
        return;
    --m_settleTicks;
    if (availablePortNames() == m_names)
        return;
    emit portsChanged(refresh());
}
