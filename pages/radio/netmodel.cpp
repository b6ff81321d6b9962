#include "pages/radio/netmodel.h"

namespace {
const Qt::Alignment LeftCentred = Qt::AlignLeft | Qt::AlignVCenter;
}

NetModel::NetModel(QObject *parent) : QAbstractTableModel(parent)
{
    clearDestinations();
}

int NetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int NetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant NetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.size())
        return QVariant();
    const NetEntry &e = m_list.at(index.row());
    switch (role) {
    case Qt::TextAlignmentRole:
        return int(LeftCentred);
    case Qt::CheckStateRole:
        if (index.column() == 0)
            return e.checked ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    case Qt::DisplayRole:
        return index.column() == 0 ? QVariant(QString()) : QVariant(e.id);
    default:
        return QVariant();
    }
}

bool NetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_list.size() || index.column() != 0
        || (role != Qt::EditRole && role != Qt::CheckStateRole))
        return false;
    m_list[index.row()].checked = value.toInt() == Qt::Checked;
    emit dataChanged(index, index);
    return true;
}

QVariant NetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(LeftCentred);
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal) {
        if (section == 0)
            return tr("Status");
        if (section == 1)
            return tr("ID");
    }
    return QVariant();
}

Qt::ItemFlags NetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void NetModel::setNetList(const QList<NetEntry> &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}

void NetModel::clearDestinations()
{
    QList<NetEntry> list;
    for (int id = 1; id <= 250; ++id)
        list.append({ id, false });
    setNetList(list);
}
