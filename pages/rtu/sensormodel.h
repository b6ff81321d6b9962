// The table model of the "RTU" page: shows a copy of the sensor slots.
#pragma once

#include "pages/rtu/sensorentry.h"

#include <QAbstractTableModel>

class sensor : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn, SlaveIdColumn, FunctionCodeColumn, AddressColumn,
                  QuantityColumn, SequenceColumn, ColumnCount };

    explicit sensor(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Takes a copy of the window's slots and resets the view.
    void setSensorList(const SensorList &list);

private:
    SensorList m_list;
};
