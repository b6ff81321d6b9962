// The "Event Log" page: switches the bridge's log transfer on, borrows the
// serial port from the Modbus link to receive the log file over YMODEM,
// shows its records (sortable), exports them to a text file, switches the
// transfer off again and gives the port back to the link.
#pragma once

#include "link/codec.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QVector>
#include <QWidget>

namespace Ui { class EventLogPage; }

class EventLogModel;
class Link;
class QProgressDialog;
class QSerialPort;
class QTimer;
class ymodem;

class EventLogPage : public QWidget
{
    Q_OBJECT
public:
    explicit EventLogPage(Link *link, QWidget *parent = nullptr);
    ~EventLogPage() override;

    // Ends a download under way without giving the port back (the window is
    // closing): the device is told to stop and the partial file removed. A
    // Check still waiting for the switch write does not start.
    void stopDownload();
    bool isDownloading() const { return m_downloading; }

    const QVector<codec::EventLogEntry> &entries() const { return eventLogList; }
    // The export written after the last download.
    QString lastExportFile() const { return m_lastExport; }

public slots:
    // Reads the received log file, shows and exports its records, switches
    // the transfer off and deletes the file.
    void parseEventLog(QString fileName);
    // Writes the records to a new file "EventLog<local time>.txt" in the
    // working directory ("EventLog<local time>_1.txt" and so on when taken).
    void saveToTxt();

signals:
    // The link could not be opened again after a download (the adapter was
    // pulled): the window runs its Disconnect procedure.
    void portLost(const QString &errorText);

private slots:
    void on_eventLogEnableRadioButton_clicked();
    void on_ELogChkPushButton_clicked();
    void on_ELogClearPushButton_clicked();

private:
    void startCheck();
    void requestTick();
    void abandon(const QString &reason);
    void giveBackPort();
    QString portName() const;
    void setupProgressDialog();
    // Tells the link's listeners how the download went (empty: completed).
    void reportDownload(const QString &failure);

    Ui::EventLogPage *ui;
    Link *m_link;
    ymodem *m_ymodem = nullptr;
    QSerialPort *logSerialPort = nullptr;
    EventLogModel *eventLogModel = nullptr;
    QVector<codec::EventLogEntry> eventLogList;
    QPointer<QProgressDialog> m_progress;
    QTimer *m_requestTimer = nullptr;
    QTimer *m_writeWaitTimer = nullptr;  // Check's wait for the enable write
    int m_requestsSent = 0;
    int m_enableWrites = 0;        // writes of the enable register not yet answered
    bool m_checkAfterWrite = false; // Check waits for such a write
    bool m_downloading = false;
    bool m_reconnect = false;   // the link was open when the port was taken
    QString m_portName;
    qint64 m_downloadStart = 0;    // ms since the epoch
    QElapsedTimer m_downloadClock;
    QString m_lastExport;
    QString m_exportError;
};
