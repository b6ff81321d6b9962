// Table models of the rule chain and the chain monitor. Each holds a snapshot
// of the page's list, handed to it with setList() after a change.
#pragma once

#include "link/codec.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <QTableView>

// What both tables share: a list of entries shown one per row, centred,
// selectable but not editable in the view; column 0 is the entry's tag,
// which setData() may rename; an entry without a tag is unused. The static
// helpers keep the page's own list: each entry knows its position, a table
// read arrives in blocks, a row is shown while its entry is in use.
template <typename Entry, QString Entry::*Tag>
class EntryTable : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;
    using Decode = Entry (*)(const QVector<quint16> &values, int offset);

    // `count` unused entries, each knowing its position.
    static QList<Entry> unusedList(int count)
    {
        QList<Entry> list;
        for (int i = 0; i < count; ++i) {
            list.append(Entry());
            list.last().index = quint16(i);
        }
        return list;
    }

    // Stores block `block` of a table read, `perBlock` entries of
    // `entryRegisters` registers each, decoded with `decode`; each entry
    // keeps its position. Returns the position of the block's first entry.
    static int storeBlock(QList<Entry> &list, int block, const QVector<quint16> &values,
                          int perBlock, int entryRegisters, Decode decode)
    {
        const int first = perBlock * block;
        for (int j = 0; j < perBlock && first + j < list.size(); ++j) {
            list[first + j] = decode(values, entryRegisters * j);
            list[first + j].index = quint16(first + j);
        }
        return first;
    }

    // Shows the rows from `first` to `last` whose entry is in use; hides none.
    static void showUsedRows(QTableView *view, const QList<Entry> &list, int first, int last)
    {
        for (int i = first; i <= last && i < list.size(); ++i) {
            if (!(list.at(i).*Tag).isEmpty())
                view->setRowHidden(i, false);
        }
    }

    static void hideRows(QTableView *view, int count)
    {
        for (int r = 0; r < count; ++r)
            view->setRowHidden(r, true);
    }

    // Shows the table in `view`: whole rows, one at a time, not editable, a
    // grid in a box; every row hidden until the page shows it.
    void showIn(QTableView *view)
    {
        view->setModel(this);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setShowGrid(true);
        view->setFrameShape(QFrame::Box);
        hideRows(view, m_list.size());
    }

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
