// One slot of the window's mirror of the bridge's RTU sensor table.
#pragma once

#include "link/codec.h"

#include <QList>
#include <QString>

struct SensorEntry {
    QString name;               // empty: a free slot
    QString valueText;          // last value read from the bridge
    quint8 slaveId = 0;
    quint8 functionCode = 0;
    quint32 plcAddress = 0;
    qint16 registerQuantity = 0;
    quint32 sequence = 0;       // the slot number

    codec::SensorFields fields() const
    {
        return { name, slaveId, functionCode, plcAddress, registerQuantity };
    }
    void setFields(const codec::SensorFields &f)
    {
        name = f.name;
        slaveId = f.slaveId;
        functionCode = f.functionCode;
        plcAddress = f.plcAddress;
        registerQuantity = f.registerQuantity;
    }
    bool operator==(const SensorEntry &o) const
    {
        return name == o.name && valueText == o.valueText && slaveId == o.slaveId
               && functionCode == o.functionCode && plcAddress == o.plcAddress
               && registerQuantity == o.registerQuantity && sequence == o.sequence;
    }
};

using SensorList = QList<SensorEntry>;
