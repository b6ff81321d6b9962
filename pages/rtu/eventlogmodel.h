// The event log table: the downloaded records, sortable by tag, type and time
// stamp, and back to the order of the file.
#pragma once

#include "link/codec.h"

#include <QAbstractTableModel>
#include <QVector>

class EventLogModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit EventLogModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Tag, Type and TimeStamp sort ascending; Result brings back the file
    // order; the value columns keep the current order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Replaces the shown records.
    void setList(const QVector<codec::EventLogEntry> &list);
    // The records in the order of the file, for the Result header.
    void setFileOrder(const QVector<codec::EventLogEntry> &list) { m_fileOrder = list; }
    const QVector<codec::EventLogEntry> &list() const { return m_list; }

private:
    QVector<codec::EventLogEntry> m_list;
    QVector<codec::EventLogEntry> m_fileOrder;
};
