// What differs between Qt 5.15 and Qt 6, under one name for both, so that
// the rest of the code is written once.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QModbusRtuSerialClient>
#include <QStringDecoder>
// The Modbus RTU client (Qt 5 called it a master).
using ModbusRtuClient = QModbusRtuSerialClient;
#else
#include <QModbusRtuSerialMaster>
#include <QTextCodec>
using ModbusRtuClient = QModbusRtuSerialMaster;
#endif

namespace qtcompat {

// Text in the Unicode form its byte order mark names (UTF-8, UTF-16 or
// UTF-32), UTF-8 without one; the mark itself is dropped.
inline QString decodeUtfText(const QByteArray &data)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder decoder(QStringConverter::encodingForData(data).value_or(QStringConverter::Utf8));
    return decoder(data);
#else
    return QTextCodec::codecForUtfText(data, QTextCodec::codecForName("UTF-8"))->toUnicode(data);
#endif
}

} // namespace qtcompat
