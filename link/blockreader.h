// Reads a long table in equal blocks, one request per pause, the way the
// device wants its rule chain and chain monitor read: block 0, pause, block 1,
// pause, ... then a last wait while the page shows the result to come, then
// finished(). Every block is read through the link, which checks its reply
// (errors on the status bar, a reply of the wrong length is an error), and
// handed over with the number of the block it asked for, so a refused or lost
// block cannot shift the others; a block answered after the read has ended
// still arrives, marked late.
#pragma once

#include <QObject>
#include <QVector>

class Link;
class QTimer;

class BlockReader : public QObject
{
    Q_OBJECT
public:
    BlockReader(Link *link, quint16 start, quint16 blockRegisters, int blockCount, int blockPause,
                int lastWait, QObject *parent);

    bool isReading() const { return m_step > 0; }
    // Starts a read; false when there is no link or a read is under way.
    bool start();

signals:
    void blockRead(int block, const QVector<quint16> &values, bool late);
    void blocksSent();  // the pause after the last block has passed; the last wait begins
    void finished();

private:
    void next();

    Link *m_link;
    const quint16 m_start;
    const quint16 m_blockRegisters;
    const int m_blockCount;
    const int m_blockPause;
    const int m_lastWait;
    QTimer *m_timer;
    int m_step = 0;  // 0: no read under way
};
