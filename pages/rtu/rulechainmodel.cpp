#include "pages/rtu/rulechainmodel.h"

namespace {
QVariant centred()
{
    return int(Qt::AlignHCenter | Qt::AlignVCenter);
}

QVariant typeText(int code)
{
    const QString text = codec::ruleTypeText(code);
    return text.isEmpty() ? QVariant() : QVariant(text);
}
}

RuleChain::RuleChain(QObject *parent) : QAbstractTableModel(parent) {}

int RuleChain::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int RuleChain::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RuleChain::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return centred();
    if (role != Qt::DisplayRole)
        return QVariant();
    const RuleChainEntry &e = m_list.at(index.row());
    switch (index.column()) {
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

bool RuleChain::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() != TagColumn
        || index.row() >= m_list.size())
        return false;
    m_list[index.row()].name = value.toString();
    emit dataChanged(index, index);
    return true;
}

QVariant RuleChain::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return centred();
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    static const char *const titles[] = { "Tag", "IN Dev_ID", "IN_CH", "Type",
                                          "OUT Dev_ID", "OUT_CH", "TMO_Value" };
    if (section < 0 || section >= int(sizeof titles / sizeof *titles))
        return QVariant();
    return tr(titles[section]);
}

Qt::ItemFlags RuleChain::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void RuleChain::setList(const QList<RuleChainEntry> &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}

ruleMonitor::ruleMonitor(QObject *parent) : QAbstractTableModel(parent) {}

int ruleMonitor::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int ruleMonitor::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ruleMonitor::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return centred();
    if (role != Qt::DisplayRole)
        return QVariant();
    const ChainMonitorEntry &e = m_list.at(index.row());
    switch (index.column()) {
    case TagColumn: return e.tag;
    case ValueColumn: return uint(e.value);
    case TypeColumn: return typeText(e.type);
    case ResultColumn: return e.result == 1 ? tr("Success") : tr("Fail");
    case TimeColumn: return e.timeStamp;
    default: return QVariant();
    }
}

bool ruleMonitor::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() != TagColumn
        || index.row() >= m_list.size())
        return false;
    m_list[index.row()].tag = value.toString();
    emit dataChanged(index, index);
    return true;
}

QVariant ruleMonitor::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return centred();
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    static const char *const titles[] = { "Tag", "Value", "Type", "Result", "TimeStamp" };
    if (section < 0 || section >= int(sizeof titles / sizeof *titles))
        return QVariant();
    return tr(titles[section]);
}

Qt::ItemFlags ruleMonitor::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void ruleMonitor::setList(const QList<ChainMonitorEntry> &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}
