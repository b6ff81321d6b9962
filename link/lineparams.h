// The line settings of the bridge's configuration port: 9600 baud, 8 data
// bits, no parity, 1 stop bit, no flow control. The Modbus link and the event
// log's YMODEM reception open the same port with them.
#pragma once

class QModbusDevice;
class QSerialPort;

namespace lineparams {

// Sets the bridge's line settings on the Modbus client's serial connection
// (which has no flow control to choose).
void applyTo(QModbusDevice *device);
// Sets them on a raw serial port.
void applyTo(QSerialPort *port);

} // namespace lineparams
