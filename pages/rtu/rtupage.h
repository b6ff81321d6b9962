// The "RTU" page: the table of Modbus RTU sensors the bridge polls (reload,
// add, edit, delete, clear), the LoRa upload interval and the RS-485 polling
// time-out.
#pragma once

#include "pages/rtu/sensorentry.h"

#include <QModelIndex>
#include <QPointer>
#include <QVector>
#include <QWidget>
#include <functional>

namespace Ui { class RtuPage; }

class Link;
class QMenu;
class sensor;
class sensor_edit;

class RtuPage : public QWidget
{
    Q_OBJECT
public:
    // The bridge keeps 20 entries; the window mirrors 50 slots.
    static constexpr int SlotCount = 50;
    static constexpr int TableSize = 20;

    explicit RtuPage(Link *link, QWidget *parent = nullptr);
    ~RtuPage() override;

    // The model name of the connected bridge, for the polling time-out unit.
    void setModelNameSource(std::function<QString()> source);

    const SensorList &sensorList() const { return m_sensorList; }
    bool isSensorConfigLoaded() const { return sensorConfigLoaded; }

public slots:
    // The link was closed: what Reload loaded no longer describes a device.
    void linkClosed();

private slots:
    void on_sensorAddPushButton_clicked();
    void on_sensorUpdatePushButton_clicked();
    void on_sensorCheckPushButton_clicked();
    void on_sensorClearPushButton_clicked();
    void on_sensorTableView_doubleClicked(const QModelIndex &index);
    void sensMensu(const QPoint &pos);
    void sensEdit();
    void sensDelete();

    void on_sensorIntervalCheckPushButton_clicked();
    void on_sensorIntervalSetPushButton_clicked();
    void on_sensorTimeOutReadPushButton_clicked();
    void on_sensorTimeOutWritePushButton_clicked();

private:
    void setUpTable();
    void refreshModel();
    void clearSlots();
    static QString addProblemText(codec::SensorEntryProblems problems, int functionCode);
    void writeSensorEntry(const SensorEntry &entry, int slot);
    bool readTableHalf(quint16 start, int firstSlot);
    void sensorUpdateReadReady(const QVector<quint16> &values, int firstSlot);
    void sensorCheckReadReady(const QVector<quint16> &values);
    void showNamedRows(int first, int last);
    void setRowShown(int row, bool shown);
    int slotOfRow(int row) const;
    int firstFreeSlot() const;
    void onSensorEditDone(int slot, const SensorEntry &entry);
    void snesorTimeOutReadyRead(const QVector<quint16> &values);
    QString modelName() const;

    Ui::RtuPage *ui;
    Link *m_link;
    sensor *m_model = nullptr;
    QMenu *m_menu = nullptr;
    QPointer<sensor_edit> m_editDialog;
    SensorList m_sensorList;
    bool sensorConfigLoaded = false;
    // The halves of the table (bit 0: entries 0-9, bit 1: 10-19) read from
    // the bridge since Connect and not cleared since; Add needs both.
    int m_halvesLoaded = 0;
    int m_targetSlot = -1;      // the row under the last right click or double click
    int m_readsPending = 0;     // Reload's reads not answered yet
    QVector<bool> m_rowShown;   // rows that show a used slot
    bool m_reloading = false;
    std::function<QString()> m_modelName;
};
