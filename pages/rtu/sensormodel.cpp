#include "pages/rtu/sensormodel.h"

namespace {
constexpr int LeftAligned = Qt::AlignLeft | Qt::AlignVCenter;
}

sensor::sensor(QObject *parent) : QAbstractTableModel(parent)
{
}

int sensor::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int sensor::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant sensor::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return LeftAligned;
    if (role != Qt::DisplayRole)
        return QVariant();
    const SensorEntry &e = m_list.at(index.row());
    switch (index.column()) {
    case NameColumn: return e.name;
    case SlaveIdColumn: return int(e.slaveId);
    case FunctionCodeColumn: return int(e.functionCode);
    case AddressColumn: return e.plcAddress;
    case QuantityColumn: return int(e.registerQuantity);
    case SequenceColumn: return e.sequence;
    default: return QVariant();
    }
}

bool sensor::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_list.size() || index.column() != NameColumn
        || role != Qt::EditRole)
        return false;
    m_list[index.row()].name = value.toString();
    emit dataChanged(index, index);
    return true;
}

QVariant sensor::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return LeftAligned;
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    switch (section) {
    case NameColumn: return tr("RTU Name");
    case SlaveIdColumn: return tr("Slave ID");
    case FunctionCodeColumn: return tr("Fun Code");
    case AddressColumn: return tr("Address");
    case QuantityColumn: return tr("Reg Quantity");
    case SequenceColumn: return tr("Seqeuence Debug");
    default: return QVariant();
    }
}

Qt::ItemFlags sensor::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void sensor::setSensorList(const SensorList &list)
{
    beginResetModel();
    if (!(list == m_list))
        m_list = list;
    endResetModel();
}
