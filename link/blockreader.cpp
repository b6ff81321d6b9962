#include "link/blockreader.h"

#include "link/link.h"
#include "link/pacing.h"

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
        const int block = m_step++;
        // The link checks each reply; the page shows the blocks' outcome.
        Link::Options options;
        options.showOk = false;
        options.clearStatus = false;
        // A refused request has shown its error; the pause is kept all the same.
        m_link->read(quint16(m_start + m_blockRegisters * block), m_blockRegisters, this,
                     [this, block](const QVector<quint16> &values) {
                         emit blockRead(block, values, !isReading());
                     },
                     options);
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
