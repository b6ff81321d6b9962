// The destination table of the group network: one check box per
// destination ID, row i holding ID i + 1.
#pragma once

#include <QAbstractTableModel>
#include <QList>

struct NetEntry {
    int id = 0;
    bool checked = false;
};

class NetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit NetModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setNetList(const QList<NetEntry> &list);
    // 250 unchecked rows, IDs 1 to 250.
    void clearDestinations();

private:
    QList<NetEntry> m_list;
};
