#include "pages/rtu/rulechainmodel.h"

namespace {
QVariant typeText(int code)
{
    const QString text = codec::ruleTypeText(code);
    return text.isEmpty() ? QVariant() : QVariant(text);
}
}

RuleChain::RuleChain(QObject *parent) : EntryTable(parent) {}

int RuleChain::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RuleChain::cell(const codec::RuleChainEntry &e, int column) const
{
    switch (column) {
    case TagColumn: return e.name;
    case InDeviceColumn: return uint(e.inDeviceId);
    case InChannelColumn: return uint(e.inChannel);
    case TypeColumn: return typeText(e.type);
    case OutDeviceColumn: return uint(e.outDeviceId);
    case OutChannelColumn: return uint(e.outChannel);
    case ValueColumn: return uint(e.tmoValue);
    case IndexColumn: return uint(e.index);
    default: return QVariant();
    }
}

// The index column stays hidden and has no title.
QStringList RuleChain::titles() const
{
    return { tr("Tag"), tr("IN Dev_ID"), tr("IN_CH"), tr("Type"),
             tr("OUT Dev_ID"), tr("OUT_CH"), tr("TMO_Value") };
}

ruleMonitor::ruleMonitor(QObject *parent) : EntryTable(parent) {}

int ruleMonitor::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ruleMonitor::cell(const codec::ChainMonitorEntry &e, int column) const
{
    switch (column) {
    case TagColumn: return e.tag;
    case ValueColumn: return uint(e.value);
    case TypeColumn: return typeText(e.type);
    case ResultColumn: return e.result == 1 ? tr("Success") : tr("Fail");
    case TimeColumn: return e.timeStamp;
    default: return QVariant();
    }
}

QStringList ruleMonitor::titles() const
{
    return { tr("Tag"), tr("Value"), tr("Type"), tr("Result"), tr("TimeStamp") };
}
