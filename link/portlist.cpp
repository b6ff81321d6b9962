#include "link/portlist.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <sys/stat.h>

QStringList availablePortNames()
{
    QStringList names;
    const QString extra = qEnvironmentVariable("NODEWEAVE_EXTRA_PORTS");
    for (const QString &path : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
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
    struct stat st;
    if (::stat("/dev", &st) != 0)
        return QByteArray();
    QByteArray signature = QByteArray::number(qint64(st.st_mtim.tv_sec)) + '.'
                           + QByteArray::number(qint64(st.st_mtim.tv_nsec));
    const QString extra = qEnvironmentVariable("NODEWEAVE_EXTRA_PORTS");
    for (const QString &path : extra.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        signature += ':' + path.toLocal8Bit() + (QFileInfo::exists(path) ? "+" : "-");
    return signature;
}
