#include "pages/rtu/timingwrite.h"

#include "link/link.h"

#include <QModbusClient>
#include <QModbusReply>

bool writeWithTimingReport(Link *link, quint16 start, const QVector<quint16> &values,
                           QObject *context)
{
    QModbusClient *device = link->device();
    if (!device)
        return false;
    const QModbusDataUnit unit(QModbusDataUnit::HoldingRegisters, start, values);
    QModbusReply *reply = device->sendWriteRequest(unit, link->serverAddress());
    if (!reply) {
        link->showMessage(Link::tr("Write error: ") + device->errorString(), 5000);
        return false;
    }
    if (reply->isFinished()) {
        reply->deleteLater();
        return true;
    }
    QObject::connect(reply, &QModbusReply::finished, context ? context : link, [link, reply] {
        const QModbusDevice::Error error = reply->error();
        if (error == QModbusDevice::ProtocolError) {
            link->showMessage(Link::tr("Write response error:%1(Modbus exception:0x%2")
                                  .arg(reply->errorString(), Link::exceptionCodeText(reply)),
                              5000);
        } else if (error != QModbusDevice::NoError) {
            link->showMessage(Link::tr("Write response error:%1(Modbus code:0x%2")
                                  .arg(reply->errorString(), QString::number(int(error), 16)),
                              5000);
        } else {
            link->showMessage(Link::tr("OK!"), 0);
        }
        reply->deleteLater();
    });
    return true;
}
