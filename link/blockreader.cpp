#include "link/blockreader.h"

#include "link/link.h"
#include "link/pacing.h"

#include <QModbusClient>
#include <QModbusReply>
#include <QTimer>

BlockReader::BlockReader(Link *link, quint16 start, quint16 blockRegisters, int blockCount,
                         int blockPause, int lastWait, QObject *parent)
    : QObject(parent), m_link(link), m_start(start), m_blockRegisters(blockRegisters),
      m_blockCount(blockCount), m_blockPause(blockPause), m_lastWait(lastWait),
      m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);  // a coarse timer may end a pause early
    connect(m_timer, &QTimer::timeout, this, &BlockReader::next);
}

bool BlockReader::start()
{
    if (!m_link->device() || isReading())
        return false;
    next();
    return true;
}

void BlockReader::next()
{
    if (m_step < m_blockCount) {
        const quint16 start = quint16(m_start + m_blockRegisters * m_step);
        ++m_step;
        // A refused request has shown its error; the pause is kept all the same.
        if (QModbusReply *reply = m_link->sendRead(start, m_blockRegisters))
            connect(reply, &QModbusReply::finished, this, &BlockReader::onReply);
        m_timer->start(pacing::ms(m_blockPause));
        return;
    }
    if (m_step == m_blockCount) {
        ++m_step;
        emit blocksSent();
        m_timer->start(pacing::ms(m_lastWait));
        return;
    }
    m_step = 0;
    emit finished();
}

void BlockReader::onReply()
{
    auto *reply = qobject_cast<QModbusReply *>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    if (m_link->reportReadError(reply, m_blockRegisters))
        return;
    const QModbusDataUnit unit = reply->result();
    const int offset = int(unit.startAddress()) - m_start;
    const int block = offset / m_blockRegisters;
    if (offset >= 0 && offset % m_blockRegisters == 0 && block < m_blockCount)
        emit blockRead(block, unit.values(), !isReading());
}
