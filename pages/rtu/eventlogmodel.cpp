#include "pages/rtu/eventlogmodel.h"

#include <algorithm>

namespace {
enum Column { ColTag, ColValueInput, ColType, ColValueOutput, ColResult, ColTimeStamp, ColCount };
}

EventLogModel::EventLogModel(QObject *parent) : QAbstractTableModel(parent)
{
}

int EventLogModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int EventLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColCount;
}

QVariant EventLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    const codec::EventLogEntry &e = m_list.at(index.row());
    switch (index.column()) {
    case ColTag: return e.tag;
    case ColValueInput: return e.valueInput;
    case ColType: return codec::ruleTypeText(e.type);
    case ColValueOutput: return e.valueOutput;
    case ColResult: return codec::eventLogResultText(e.result);
    case ColTimeStamp: return codec::localTimeText(e.timeStamp);
    }
    return QVariant();
}

QVariant EventLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    switch (section) {
    case ColTag: return tr("Tag");
    case ColValueInput: return tr("Value Input");
    case ColType: return tr("Type");
    case ColValueOutput: return tr("Value Output");
    case ColResult: return tr("Result");
    case ColTimeStamp: return tr("TimeStamp");
    }
    return QVariant();
}

Qt::ItemFlags EventLogModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

void EventLogModel::sort(int column, Qt::SortOrder)
{
    beginResetModel();
    using Entry = codec::EventLogEntry;
    switch (column) {
    case ColTag:
        std::stable_sort(m_list.begin(), m_list.end(),
                         [](const Entry &a, const Entry &b) { return a.tag < b.tag; });
        break;
    case ColType:
        std::stable_sort(m_list.begin(), m_list.end(),
                         [](const Entry &a, const Entry &b) { return a.type < b.type; });
        break;
    case ColTimeStamp:
        std::stable_sort(m_list.begin(), m_list.end(),
                         [](const Entry &a, const Entry &b) { return a.timeStamp < b.timeStamp; });
        break;
    case ColResult:
        m_list = m_fileOrder;
        break;
    default:
        break;
    }
    endResetModel();
}

void EventLogModel::setList(const QVector<codec::EventLogEntry> &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}
