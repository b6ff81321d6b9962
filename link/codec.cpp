#include "link/codec.h"

#include <QModbusDataUnit>

namespace codec {

QString registersToText(const QVector<quint16> &values)
{
    QString text;
    text.reserve(values.size() * 2);
    for (quint16 v : values) {
        text.append(QChar(v >> 8));
        text.append(QChar(v & 0xFF));
    }
    return text;
}

QString registersToText(const QModbusDataUnit &unit)
{
    return registersToText(unit.values());
}

static quint16 latin1Byte(QChar c)
{
    return c.unicode() > 0xFF ? 0 : c.unicode();
}

QVector<quint16> textToRegisters(const QString &text, int count)
{
    const int n = text.size();
    const int used = (n + 1) / 2;
    QVector<quint16> regs(qMax(used, count), 0);
    for (int k = 0; 2 * k < n; ++k) {
        const quint16 high = latin1Byte(text.at(2 * k));
        const quint16 low = 2 * k + 1 < n ? latin1Byte(text.at(2 * k + 1)) : 0;
        regs[k] = quint16(high << 8 | low);
    }
    return regs;
}

quint16 lineEditValue(const QString &text)
{
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok, 10);
    return ok ? quint16(v & 0xFFFF) : 0;
}

quint16 valueAt(const QVector<quint16> &values, int index)
{
    return index >= 0 && index < values.size() ? values.at(index) : 0;
}

} // namespace codec

namespace codec {

QString ruleTypeText(int code)
{
    static const char *const names[] = { "V-V", "V-A", "A-V", "A-A" };
    return code >= 0 && code < 4 ? QString::fromLatin1(names[code]) : QString();
}

} // namespace codec

#include <cmath>

namespace codec {

quint16 channelRegister(quint16 base, int channel, int stride)
{
    return quint16((int(base) + channel * stride) & 0xFFFF);
}

int channelNumber(const QString &text)
{
    return text.toInt();
}

QString microampsText(quint16 microamps, int digits)
{
    return QString::number(microamps / 1000.0, 'g', digits);
}

quint16 microampsFromMilliamps(double milliamps)
{
    if (!(milliamps > 0))  // also NaN
        return 0;
    const double micro = std::trunc(milliamps * 1000.0 + 1e-6);
    return micro >= 65535.0 ? quint16(65535) : quint16(micro);
}

} // namespace codec
