#include "link/profilefields_p.h"

#include "link/codec.h"
#include "link/modelgating.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <cmath>

namespace profilefields {

using regmap::Field;
using regmap::Kind;

namespace {

// A choice's text as a JSON value: numbers ("9600", "125") as numbers.
QJsonValue choiceValue(const QString &choice)
{
    bool isNumber = false;
    const int n = choice.toInt(&isNumber);
    return isNumber ? QJsonValue(n) : QJsonValue(choice);
}

bool finiteNumber(const QJsonValue &value, double *number)
{
    bool ok = value.isDouble();
    double d = value.toDouble();
    if (value.isString())
        d = value.toString().trimmed().toDouble(&ok);
    *number = d;
    return ok && std::isfinite(d);
}

QJsonValue decodeReadable(const Field &f, const QVector<quint16> &regs, const Context &c)
{
    const quint16 v = codec::valueAt(regs, 0);
    switch (f.kind) {
    case Kind::Number:
    case Kind::Power:
        return int(v);
    case Kind::Signed:
        return codec::signedValue(v);
    case Kind::Choice:
        return v - f.min >= 0 && v - f.min < f.choices.size() ? choiceValue(f.choices.at(v - f.min))
                                                             : QJsonValue();
    case Kind::Flag:
        return v <= 1 ? QJsonValue(v == 1) : QJsonValue();
    case Kind::Hex:
    case Kind::Raw:
        return codec::registersToHexText(regs);
    case Kind::Frequency:
        return codec::loraFrequencyText(v).toDouble();
    case Kind::Milliamps:
        return codec::microampsText(v, 6).toDouble();
    case Kind::PollingTimeout:
        return int(codec::pollingTimeoutSeconds(v, c.model));
    case Kind::Destinations: {
        QJsonArray ids;
        const QVector<bool> flags = codec::bitmapToFlags(regs, 255);
        for (int i = 0; i < flags.size(); ++i)
            if (flags.at(i))
                ids << i + 1;
        return ids;
    }
    case Kind::Hours: {
        QJsonArray hours;
        const quint32 mask = codec::scheduleMaskFromRegisters(regs);
        for (int h = 0; h < 24; ++h)
            if (mask & (1u << h))
                hours << h;
        return hours;
    }
    case Kind::Sensors:
    case Kind::Rules:
    case Kind::ScanMap:
        return decodeTable(f, regs);
    }
    return QJsonValue();
}

// The numbers of a list, each from low to high.
bool numberList(const QJsonValue &value, int low, int high, QVector<int> *numbers, QString *reason)
{
    if (!value.isArray()) {
        *reason = tr("needs a list of numbers from %1 to %2").arg(low).arg(high);
        return false;
    }
    for (const QJsonValue &item : value.toArray()) {
        qint64 n = 0;
        if (!wholeNumber(item, low, high, &n)) {
            *reason = notInRange(item, low, high);
            return false;
        }
        numbers->append(int(n));
    }
    return true;
}

bool encodeLora(const Field &f, const QJsonValue &value, const Context &c, quint16 *reg,
                QString *reason)
{
    int low = 0, high = 0;
    if (f.kind == Kind::Power) {
        qint64 dbm = 0;
        codec::loraBandRange(c.band, &low, &high);
        if (!f.choices.contains(text(value)) || !wholeNumber(value, 0, 255, &dbm)) {
            *reason = tr("%1 is not one of %2 dBm")
                          .arg(text(value), f.choices.join(QLatin1String(", ")));
            return false;
        }
        if (codec::loraProblem(low, int(dbm), c.band) & codec::LoraPowerTooHigh) {
            *reason = tr("%1 dBm is above the 17 dBm the band of %2 allows").arg(dbm).arg(c.model);
            return false;
        }
        *reg = quint16(dbm);
        return true;
    }
    double mhz = 0;
    const bool isNumber = finiteNumber(value, &mhz);
    const codec::LoraProblems problems = codec::loraProblem(isNumber ? 10 * mhz : NAN, 14, c.band);
    if (problems & (codec::LoraFrequencyOutOfRange | codec::LoraFrequencyOutOfBand)) {
        codec::loraBandRange(problems & codec::LoraFrequencyOutOfRange ? -1 : c.band, &low, &high);
        *reason = tr("%1 is not a frequency from %2 to %3 MHz")
                      .arg(text(value)).arg(low / 10.0).arg(high / 10.0);
        return false;
    }
    *reg = quint16(10 * mhz);  // truncated, as the page does
    return true;
}

bool encodeSingle(const Field &f, const QJsonValue &value, const Context &c, quint16 *reg,
                  QString *reason)
{
    qint64 n = 0;
    switch (f.kind) {
    case Kind::Number:
    case Kind::Signed:
    case Kind::PollingTimeout:
        if (!wholeNumber(value, f.min, f.max, &n)) {
            *reason = notInRange(value, f.min, f.max);
            return false;
        }
        *reg = f.kind == Kind::PollingTimeout ? codec::pollingTimeoutRegister(int(n), c.model)
                                              : quint16(n);
        return true;
    case Kind::Choice: {
        for (int i = 0; i < f.choices.size(); ++i) {
            if (f.choices.at(i).compare(text(value), Qt::CaseInsensitive) == 0) {
                *reg = quint16(i + f.min);
                return true;
            }
        }
        *reason = tr("%1 is not one of %2").arg(text(value), f.choices.join(QLatin1String(", ")));
        return false;
    }
    case Kind::Flag:
        if (!value.isBool()) {
            *reason = tr("%1 is neither true nor false").arg(text(value));
            return false;
        }
        *reg = value.toBool() ? 1 : 0;
        return true;
    case Kind::Milliamps: {
        double mA = 0;
        if (!finiteNumber(value, &mA) || mA < f.min || mA > f.max) {
            *reason = tr("%1 is not a current from %2 to %3 mA")
                          .arg(text(value)).arg(f.min).arg(f.max);
            return false;
        }
        *reg = codec::microampsFromMilliamps(mA);
        return true;
    }
    default:
        return encodeLora(f, value, c, reg, reason);
    }
}

bool encodeReadable(const Field &f, const QJsonValue &value, const Context &c,
                    QVector<quint16> *regs, QString *reason)
{
    QVector<int> numbers;
    switch (f.kind) {
    case Kind::Hex:
    case Kind::Raw:
        return decodeRaw(value, f.count, regs, reason);
    case Kind::Destinations: {
        if (!numberList(value, 1, 255, &numbers, reason))
            return false;
        QVector<bool> flags(255, false);
        for (int id : numbers)
            flags[id - 1] = true;
        *regs = codec::flagsToBitmap(flags, f.count);
        return true;
    }
    case Kind::Hours: {
        if (!numberList(value, 0, 23, &numbers, reason))
            return false;
        quint32 mask = 0;
        for (int h : numbers)
            mask |= 1u << h;
        *regs = codec::scheduleMaskToRegisters(mask);
        return true;
    }
    case Kind::Sensors:
    case Kind::Rules:
    case Kind::ScanMap:
        return encodeTable(f, value, regs, reason);
    default: {
        quint16 reg = 0;
        if (!encodeSingle(f, value, c, &reg, reason))
            return false;
        *regs = { reg };
        return true;
    }
    }
}

} // namespace

Context Context::forModel(const QString &model)
{
    Context c;
    c.model = model;
    c.band = gatingForModel(model).band;
    return c;
}

QString text(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Array:
    case QJsonValue::Object: {
        QString list;
        if (value.isObject() && isRaw(value))
            return QStringLiteral("raw ") + value.toObject().value(QLatin1String("raw")).toString();
        const QJsonArray items = value.isArray() ? value.toArray() : QJsonArray{};
        for (const QJsonValue &item : items)
            list += (list.isEmpty() ? QString() : QStringLiteral(", ")) + text(item);
        return value.isArray() ? QStringLiteral("[%1]").arg(list) : QStringLiteral("{...}");
    }
    default:
        return QStringLiteral("(none)");
    }
}

bool wholeNumber(const QJsonValue &value, qint64 low, qint64 high, qint64 *number)
{
    if (!value.isDouble() && !value.isString())
        return false;
    return codec::numberInRange(text(value).trimmed(), low, high, number);
}

QString notInRange(const QJsonValue &value, qint64 low, qint64 high)
{
    return tr("%1 is not a whole number from %2 to %3").arg(text(value)).arg(low).arg(high);
}

QJsonObject rawValue(const QVector<quint16> &registers)
{
    return QJsonObject{ { QStringLiteral("raw"), codec::registersToHexText(registers) } };
}

bool isRaw(const QJsonValue &value)
{
    return value.isObject() && value.toObject().contains(QLatin1String("raw"));
}

bool decodeRaw(const QJsonValue &text, int count, QVector<quint16> *registers, QString *reason)
{
    if (text.isString() && codec::parseHexBlock(text.toString(), 2 * count, registers))
        return true;
    *reason = tr("needs %1 bytes as hex, two digits per byte (as in 0A 1B)").arg(2 * count);
    return false;
}

QJsonValue decode(const Field &field, const QVector<quint16> &registers, const Context &context)
{
    const QJsonValue readable = decodeReadable(field, registers, context);
    QVector<quint16> again;
    QString reason;
    if (!readable.isUndefined() && encodeReadable(field, readable, context, &again, &reason)
        && again == registers)
        return readable;
    return rawValue(registers);
}

bool encode(const Field &field, const QJsonValue &value, const Context &context,
            QVector<quint16> *registers, QString *reason)
{
    if (isRaw(value))
        return decodeRaw(value.toObject().value(QLatin1String("raw")), field.count, registers,
                         reason);
    return encodeReadable(field, value, context, registers, reason);
}

} // namespace profilefields
