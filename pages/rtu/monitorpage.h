// The chain monitor: one row per rule with its tag, the last value handled,
// its conversion type, whether the last run succeeded and when it ran. Read
// on request or, in Auto mode, once a minute.
#pragma once

#include "link/codec.h"

#include <QList>
#include <QWidget>

namespace Ui { class MonitorPage; }

class BlockReader;
class Link;
class QTimer;
class ruleMonitor;

class MonitorPage : public QWidget
{
    Q_OBJECT
public:
    static constexpr int EntryCount = 40;
    static constexpr quint16 TableStart = 2000;
    static constexpr int BlockCount = 4;          // read blocks of ten rows
    static constexpr int BlockEntries = 10;
    static constexpr quint16 BlockRegisters = BlockEntries * codec::MonitorEntryRegisters;
    static constexpr int AutoInterval = 60000;

    explicit MonitorPage(Link *link, QWidget *parent = nullptr);
    ~MonitorPage() override;

    const QList<codec::ChainMonitorEntry> &chainMonitorList() const { return m_chainMonitorList; }
    bool isReading() const;

private slots:
    void on_monitorRadioButton_clicked();
    void on_monitorCheckpushButton_clicked();
    void ruleMonitorTableReadReady(int block, const QVector<quint16> &values, bool late);
    void on_monitorClearPushButton_clicked();

private:
    void finishRead();

    Ui::MonitorPage *ui;
    Link *m_link;
    QList<codec::ChainMonitorEntry> m_chainMonitorList;
    ruleMonitor *m_model = nullptr;
    QTimer *monitorTimer = nullptr;   // Auto mode, made on first use
    BlockReader *m_reader = nullptr;  // the paced read of the whole table
};
