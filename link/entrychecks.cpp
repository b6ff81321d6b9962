// The codec's checks of what the user types: number fields, LoRa radio
// settings, entry names, sensor entries and rule output values. Pure
// functions; the pages choose the words.
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

void loraBandRange(int band, int *lowTimes10, int *highTimes10)
{
    int low = 4100, high = 9300;
    if (band == 0)
        high = 4930;
    else if (band == 1)
        low = 8500;
    else if (band == 2)
        low = 9200, high = 9250;
    *lowTimes10 = low;
    *highTimes10 = high;
}

LoraProblems loraProblem(double frequencyTimes10, int power, int band)
{
    LoraProblems problems;
    int low = 0, high = 0;
    loraBandRange(-1, &low, &high);
    // Not a number (nan) fails every comparison: it is out of range.
    if (!(frequencyTimes10 >= low && frequencyTimes10 <= high))
        problems |= LoraFrequencyOutOfRange;
    loraBandRange(band, &low, &high);
    if (!(frequencyTimes10 >= low && frequencyTimes10 <= high))
        problems |= LoraFrequencyOutOfBand;
    if (band == 2 && power > 17)
        problems |= LoraPowerTooHigh;
    return problems;
}

EntryNameProblems entryNameProblem(const QString &name)
{
    EntryNameProblems problems;
    if (name.size() > 8)
        problems |= EntryNameTooLong;
    if (name.isEmpty())
        problems |= EntryNameEmpty;
    if (!isRegisterText(name))
        problems |= EntryNameNotRegisterText;
    return problems;
}

int sensorQuantityLimit(int functionCode)
{
    return functionCode == 3 || functionCode == 4 ? 10 : 80;
}

SensorEntryProblems sensorEntryProblem(const QString &name, qint64 slaveId, int functionCode,
                                       qint64 plcAddress, qint64 registerQuantity)
{
    SensorEntryProblems problems;
    const EntryNameProblems nameProblems = entryNameProblem(name);
    if (nameProblems & EntryNameTooLong)
        problems |= SensorNameTooLong;
    if (nameProblems & EntryNameEmpty)
        problems |= SensorNameEmpty;
    if (nameProblems & EntryNameNotRegisterText)
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
