// The write reporting of the time-zone and polling time-out settings, whose
// error texts differ from the standard ones.
#pragma once

#include <QVector>

class Link;
class QObject;

// Sends one block and reports: "Write error: ..." when the link refuses it,
// "Write response error:<text>(Modbus exception:0x<code>" or
// "Write response error:<text>(Modbus code:0x<code>" for a failed reply and
// "OK!" for success. Returns false when nothing was sent.
bool writeWithTimingReport(Link *link, quint16 start, const QVector<quint16> &values,
                           QObject *context);
