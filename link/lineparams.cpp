#include "link/lineparams.h"

#include <QModbusDevice>
#include <QSerialPort>
#include <QVariant>

namespace lineparams {
namespace {
constexpr QSerialPort::BaudRate BaudRate = QSerialPort::Baud9600;
constexpr QSerialPort::DataBits DataBits = QSerialPort::Data8;
constexpr QSerialPort::Parity Parity = QSerialPort::NoParity;
constexpr QSerialPort::StopBits StopBits = QSerialPort::OneStop;
}

void applyTo(QModbusDevice *device)
{
    device->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, BaudRate);
    device->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, DataBits);
    device->setConnectionParameter(QModbusDevice::SerialParityParameter, Parity);
    device->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, StopBits);
}

void applyTo(QSerialPort *port)
{
    port->setBaudRate(BaudRate);
    port->setDataBits(DataBits);
    port->setParity(Parity);
    port->setStopBits(StopBits);
    port->setFlowControl(QSerialPort::NoFlowControl);
}

} // namespace lineparams
