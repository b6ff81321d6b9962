// The dialog that edits one slot of the RTU sensor table. It is created once
// and reused; the page hands it a slot and its entry, and it reports a
// confirmed edit with the new entry. Closing it any other way changes nothing.
#pragma once

#include "pages/rtu/sensorentry.h"

#include <QDialog>

namespace Ui { class sensor_edit; }

class sensor_edit : public QDialog
{
    Q_OBJECT
public:
    explicit sensor_edit(QWidget *parent = nullptr);
    ~sensor_edit() override;

    // Fills the fields from the entry of `slot`.
    void load(int slot, const SensorEntry &entry);
    int slot() const { return m_slot; }

signals:
    // The user confirmed valid input for the slot; `entry` holds the new fields.
    void sensorEditDone(int slot, const SensorEntry &entry);

private slots:
    void on_sensorAddPushButton_clicked();

private:
    Ui::sensor_edit *ui;
    int m_slot = -1;
    SensorEntry m_entry;
};
