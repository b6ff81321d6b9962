// The fields of the register map as a person reads and edits them in a
// profile: each kind's registers turned into a readable value (baud rate
// 9600, keys as hex text, sensor entries as objects) and back, the way back
// checked with the codec's checks the pages use. A register value that has
// no readable form the pages could write back exactly (a value no page sets)
// is kept as {"raw": "hex bytes"}, so device -> file -> device is exact.
#pragma once

#include "link/registermap.h"

#include <QJsonValue>
#include <QString>
#include <QVector>

namespace profilefields {

// What the reading of some fields depends on: the model the values belong
// to (the polling time-out's unit, the LoRa band).
struct Context {
    QString model;
    int band = -1;
    static Context forModel(const QString &model);
};

// The field's registers as a readable value, or as {"raw": ...}.
QJsonValue decode(const regmap::Field &field, const QVector<quint16> &registers,
                  const Context &context);

// The registers of a value as found in a file. False, with `reason`, for a
// value a page would refuse or that is not of the field's form.
bool encode(const regmap::Field &field, const QJsonValue &value, const Context &context,
            QVector<quint16> *registers, QString *reason);

// A value as one line of text, for tables and messages.
QString text(const QJsonValue &value);

} // namespace profilefields
