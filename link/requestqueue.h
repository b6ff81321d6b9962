// Sends the requests of a long job (a profile's blocks) one after another
// through the link: each goes out once the one before it has been answered
// and the pause the pages make after it (the device's time to store or to
// breathe) has passed. Nothing is shown on the status bar; each reply goes
// to its own callback, which says whether the job goes on.
#pragma once

#include <QModbusDevice>
#include <QObject>
#include <QQueue>
#include <QVector>
#include <functional>

class Link;
class QTimer;

class RequestQueue : public QObject
{
    Q_OBJECT
public:
    struct Reply {
        QModbusDevice::Error error = QModbusDevice::NoError;
        int exceptionCode = -1;   // the device's exception code, -1 when none
        QString text;             // the failure's standard text
        QVector<quint16> values;  // the registers of a read
        bool ok() const { return error == QModbusDevice::NoError; }
        bool refusedByDevice() const { return error == QModbusDevice::ProtocolError; }
    };
    // Runs when the request has ended; false drops the requests still queued.
    using Done = std::function<bool(const Reply &reply)>;

    explicit RequestQueue(Link *link, QObject *parent = nullptr);

    void read(quint16 start, quint16 count, int pauseAfter, Done done);
    void write(quint16 start, const QVector<quint16> &values, int pauseAfter, Done done);
    // Drops the queued requests; the answer of one under way is not handed on.
    void clear();
    bool isIdle() const;

    // "Modbus exception 0x2 (illegal data address)".
    static QString exceptionText(int code);

private:
    struct Request {
        bool isRead = true;
        quint16 start = 0;
        quint16 count = 0;
        QVector<quint16> values;
        int pauseAfter = 0;
        Done done;
    };
    void pump();
    void send(const Request &request);
    void finish(quint64 generation, const Done &done, const Reply &reply, int pauseAfter);

    Link *m_link;
    QQueue<Request> m_queue;
    QTimer *m_pause;
    bool m_underWay = false;
    quint64 m_generation = 0;  // a clear() makes answers of earlier requests stale
};
