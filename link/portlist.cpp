#include "link/portlist.h"

#include <QFileInfo>
#include <QSerialPortInfo>

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
