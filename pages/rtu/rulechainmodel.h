// Table models of the rule chain and the chain monitor. Each holds a snapshot
// of the page's list, handed to it with setList() after a change.
#pragma once

#include "link/codec.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

// What both tables share: a list of entries shown one per row, centred,
// selectable but not editable in the view; column 0 is the entry's tag,
// which setData() may rename.
template <typename Entry, QString Entry::*Tag>
class EntryTable : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_list.size();
    }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid() || index.row() >= m_list.size())
            return QVariant();
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignHCenter | Qt::AlignVCenter);
        if (role != Qt::DisplayRole)
            return QVariant();
        return cell(m_list.at(index.row()), index.column());
    }

    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override
    {
        if (!index.isValid() || role != Qt::EditRole || index.column() != 0
            || index.row() >= m_list.size())
            return false;
        m_list[index.row()].*Tag = value.toString();
        emit dataChanged(index, index);
        return true;
    }

    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override
    {
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignHCenter | Qt::AlignVCenter);
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return QVariant();
        const QStringList names = titles();
        return section >= 0 && section < names.size() ? QVariant(names.at(section)) : QVariant();
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return QAbstractTableModel::flags(index);
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    }

    void setList(const QList<Entry> &list)
    {
        beginResetModel();
        m_list = list;
        endResetModel();
    }

protected:
    virtual QVariant cell(const Entry &entry, int column) const = 0;
    virtual QStringList titles() const = 0;

private:
    QList<Entry> m_list;
};

class RuleChain : public EntryTable<codec::RuleChainEntry, &codec::RuleChainEntry::name>
{
    Q_OBJECT
public:
    enum Column { TagColumn, InDeviceColumn, InChannelColumn, TypeColumn, OutDeviceColumn,
                  OutChannelColumn, ValueColumn, IndexColumn, ColumnCount };

    explicit RuleChain(QObject *parent = nullptr);
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;

protected:
    QVariant cell(const codec::RuleChainEntry &entry, int column) const override;
    QStringList titles() const override;
};

class ruleMonitor : public EntryTable<codec::ChainMonitorEntry, &codec::ChainMonitorEntry::tag>
{
    Q_OBJECT
public:
    enum Column { TagColumn, ValueColumn, TypeColumn, ResultColumn, TimeColumn, ColumnCount };

    explicit ruleMonitor(QObject *parent = nullptr);
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;

protected:
    QVariant cell(const codec::ChainMonitorEntry &entry, int column) const override;
    QStringList titles() const override;
};
