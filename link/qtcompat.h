// What differs between Qt 5.15 and Qt 6, under one name for both, so that
// the rest of the code is written once.
#pragma once

#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QModbusRtuSerialClient>
// The Modbus RTU client (Qt 5 called it a master).
using ModbusRtuClient = QModbusRtuSerialClient;
#else
#include <QModbusRtuSerialMaster>
using ModbusRtuClient = QModbusRtuSerialMaster;
#endif
