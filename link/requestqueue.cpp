#include "link/requestqueue.h"

#include "link/link.h"
#include "link/pacing.h"

#include <QModbusClient>
#include <QTimer>
#include <memory>

RequestQueue::RequestQueue(Link *link, QObject *parent)
    : QObject(parent), m_link(link), m_pause(new QTimer(this))
{
    m_pause->setSingleShot(true);
    m_pause->setTimerType(Qt::PreciseTimer);  // a coarse timer may end a pause early
    connect(m_pause, &QTimer::timeout, this, &RequestQueue::pump);
}

void RequestQueue::read(quint16 start, quint16 count, int pauseAfter, Done done)
{
    m_queue.enqueue({ true, start, count, {}, pauseAfter, std::move(done) });
    pump();
}

void RequestQueue::write(quint16 start, const QVector<quint16> &values, int pauseAfter, Done done)
{
    m_queue.enqueue({ false, start, quint16(values.size()), values, pauseAfter, std::move(done) });
    pump();
}

void RequestQueue::clear()
{
    m_queue.clear();
    m_pause->stop();
    m_underWay = false;
    ++m_generation;
}

bool RequestQueue::isIdle() const
{
    return !m_underWay && !m_pause->isActive() && m_queue.isEmpty();
}

QString RequestQueue::exceptionText(int code)
{
    static const char *const names[] = { nullptr, "illegal function", "illegal data address",
                                         "illegal data value", "server device failure",
                                         "acknowledge", "server device busy" };
    const QString hex = QString::number(code, 16);
    if (code >= 1 && code <= 6)
        return tr("Modbus exception 0x%1 (%2)").arg(hex, QLatin1String(names[code]));
    return tr("Modbus exception 0x%1").arg(hex);
}

void RequestQueue::pump()
{
    if (m_underWay || m_pause->isActive() || m_queue.isEmpty())
        return;
    m_underWay = true;
    send(m_queue.dequeue());
}

void RequestQueue::send(const Request &r)
{
    const quint64 generation = m_generation;
    auto values = std::make_shared<QVector<quint16>>();
    Link::Options options;
    options.silent = true;
    options.outcome = [this, generation, values, r](QModbusDevice::Error error, int code,
                                                   const QString &text) {
        finish(generation, r.done, { error, code, text, *values }, r.pauseAfter);
    };
    const bool sent = r.isRead
        ? m_link->read(r.start, r.count, this, [values](const QVector<quint16> &v) { *values = v; },
                       Link::ReadDone(), options)
        : m_link->write(r.start, r.values, this, Link::WriteDone(), options);
    if (sent)
        return;
    // Refused by the link (no port open): told like an answer, after this call.
    const QString what = r.isRead ? tr("Read error: ") : tr("Write error: ");
    const QString why = m_link->device() ? m_link->device()->errorString() : QString();
    const Reply reply{ QModbusDevice::ConnectionError, -1,
                       what + (why.isEmpty() ? tr("the link is not open") : why), {} };
    QTimer::singleShot(0, this,
                       [this, generation, r, reply] { finish(generation, r.done, reply, 0); });
}

void RequestQueue::finish(quint64 generation, const Done &done, const Reply &reply, int pauseAfter)
{
    if (generation != m_generation)
        return;  // cleared meanwhile
    m_underWay = false;
    if (pauseAfter > 0)
        m_pause->start(pacing::ms(pauseAfter));
    if (done && !done(reply))
        clear();
    else
        QTimer::singleShot(0, this, &RequestQueue::pump);
}
