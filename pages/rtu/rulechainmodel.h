// Table models of the rule chain and the chain monitor. Each holds a snapshot
// of the page's list, handed to it with setList() after a change.
#pragma once

#include "link/codec.h"

#include <QAbstractTableModel>
#include <QList>

class RuleChain : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TagColumn, InDeviceColumn, InChannelColumn, TypeColumn, OutDeviceColumn,
                  OutChannelColumn, ValueColumn, IndexColumn, ColumnCount };

    explicit RuleChain(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setList(const QList<RuleChainEntry> &list);

private:
    QList<RuleChainEntry> m_list;
};

class ruleMonitor : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { TagColumn, ValueColumn, TypeColumn, ResultColumn, TimeColumn, ColumnCount };

    explicit ruleMonitor(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setList(const QList<ChainMonitorEntry> &list);

private:
    QList<ChainMonitorEntry> m_list;
};
