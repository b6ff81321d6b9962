// Shared by profilefields.cpp (single fields) and profiletables.cpp (the
// tables of entries): how values of a file are read and checked.
#pragma once

#include "link/profilefields.h"

#include <QCoreApplication>
#include <QJsonObject>

namespace profilefields {

inline QString tr(const char *text)
{
    return QCoreApplication::translate("profilefields", text);
}

// The whole number a value holds (a JSON number, or text of one), from low
// to high; false otherwise.
bool wholeNumber(const QJsonValue &value, qint64 low, qint64 high, qint64 *number);
QString notInRange(const QJsonValue &value, qint64 low, qint64 high);

// Registers kept as they are: {"raw": "hex bytes"}.
QJsonObject rawValue(const QVector<quint16> &registers);
bool isRaw(const QJsonValue &value);
bool decodeRaw(const QJsonValue &text, int count, QVector<quint16> *registers, QString *reason);

// The tables of entries (profiletables.cpp). Decoding keeps every used
// entry, each readable or raw; encoding gives the whole table's registers.
QJsonValue decodeTable(const regmap::Field &field, const QVector<quint16> &registers);
bool encodeTable(const regmap::Field &field, const QJsonValue &value, QVector<quint16> *registers,
                 QString *reason);

} // namespace profilefields
