// The codec's checks of what the user types: number fields, sensor entries
// and rule output values. Pure functions; the pages choose the words.
#include "link/codec.h"

namespace codec {

bool unsignedFieldValue(const QString &text, quint32 max, quint32 *value)
{
    const QString trimmed = text.trimmed();
    quint32 result = 0;
    if (!trimmed.isEmpty()) {
        bool ok = false;
        const qulonglong number = trimmed.toULongLong(&ok);
        if (!ok || number > max)
            return false;
        result = quint32(number);
    }
    if (value)
        *value = result;
    return true;
}

bool numberInRange(const QString &text, qint64 low, qint64 high, qint64 *value)
{
    bool ok = false;
    const qint64 number = text.toLongLong(&ok, 10);
    if (!ok || number < low || number > high)
        return false;
    if (value)
        *value = number;
    return true;
}

int sensorQuantityLimit(int functionCode)
{
    return functionCode == 3 || functionCode == 4 ? 10 : 80;
}

SensorEntryProblems sensorEntryProblem(const QString &name, qint64 slaveId, int functionCode,
                                       qint64 plcAddress, qint64 registerQuantity)
{
    SensorEntryProblems problems;
    if (name.size() > 8)
        problems |= SensorNameTooLong;
    if (name.isEmpty())
        problems |= SensorNameEmpty;
    if (!isRegisterText(name))
        problems |= SensorNameNotRegisterText;
    if (slaveId < 1 || slaveId > 247)
        problems |= SensorSlaveIdOutOfRange;
    if (functionCode < 1 || functionCode > 4)
        problems |= SensorFunctionCodeInvalid;
    if (registerQuantity < 1 || registerQuantity > sensorQuantityLimit(functionCode))
        problems |= SensorQuantityOutOfRange;
    if (plcAddress < 1 || plcAddress > 65535)
        problems |= SensorAddressOutOfRange;
    return problems;
}

RuleValueProblems ruleValueProblem(int outChannel, const QString &valueText)
{
    RuleValueProblems problems;
    if (!ruleChannelHasValue(outChannel))
        return problems;
    bool ok = false;
    const qlonglong value = valueText.toLongLong(&ok);
    if (!ok)
        return RuleValueMissing;
    if (value < 0)
        problems |= RuleValueNegative;
    if (outChannel == 4 && value > 20000)
        problems |= RuleCurrentTooHigh;
    if (outChannel == 4 && value < 4000)
        problems |= RuleCurrentTooLow;
    if (outChannel == 5 && value > 10000)
        problems |= RuleVoltageTooHigh;
    return problems;
}

} // namespace codec
