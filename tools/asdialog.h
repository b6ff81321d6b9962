// Auto scan settings: the bridge scans up to 20 Modbus points on its own
// (device ID, function code, register), with a scan switch, a loop time and
// an interval time. The dialog reads and writes them on server 1.
#pragma once

#include "link/codec.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QList>

namespace Ui { class asDialog; }

class Link;

// The scan map as a table: "ID", "Function Code", "REG"; a zero field shows
// as an empty cell.
class mapModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit mapModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setList(const QList<codec::ScanMapEntry> &list);
    QList<codec::ScanMapEntry> list() const { return m_list; }

private:
    QList<codec::ScanMapEntry> m_list;
};

class asDialog : public QDialog
{
    Q_OBJECT
public:
    // Deletes itself when closed.
    asDialog(Link *link, QWidget *parent);
    ~asDialog() override;

private slots:
    void on_checkMapPushButton_clicked();
    void on_applyMapPushButton_clicked();
    void on_asCheckPushButton_clicked();
    void on_appPushButton_clicked();

private:
    void mapEnableSlot(const QVector<quint16> &values);
    void mapSetSlot(const QVector<quint16> &values);
    void readQuietly(quint16 start, quint16 count, void (asDialog::*decode)(const QVector<quint16> &));

    Ui::asDialog *ui;
    Link *m_link;
    mapModel *m_mapModel;
};
