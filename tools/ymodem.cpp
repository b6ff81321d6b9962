#include "tools/ymodem.h"

#include "link/pacing.h"
#include "link/newfile.h"

#include <QDateTime>
#include <QDir>
#include <QIODevice>
#include <QProgressDialog>
#include <QSerialPort>
#include <QTimer>

namespace {
constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char EOT = 0x04;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;
constexpr char CRC_REQUEST = 'C';
constexpr int ShortPacket = 3 + 128 + 2;
constexpr int LongPacket = 3 + 1024 + 2;
constexpr int MaxBadPackets = 10;
// Time without a byte, once the header has arrived, after which the transfer
// is abandoned.
constexpr int StallMs = 10000;
const char FallbackName[] = "eventlog";
}

ymodem::ymodem(QObject *parent) : QObject(parent)
{
    m_stallTimer = new QTimer(this);
    m_stallTimer->setSingleShot(true);
    connect(m_stallTimer, &QTimer::timeout, this, [this] {
        fail(tr("Event log transfer stalled: no data from the device for %1 seconds.")
                 .arg(m_stallTimer->interval() / 1000));
    });
    m_firstDataTimer = new QTimer(this);
    m_firstDataTimer->setSingleShot(true);
    connect(m_firstDataTimer, &QTimer::timeout, this, &ymodem::firstDataQuietTimeEnded);
}

ymodem::~ymodem()
{
    // Nothing may be emitted from here; just leave no partial file behind.
    m_stallTimer->stop();
    if (m_state != AwaitHeader || m_finishing)
        discardPartialFile();
}

void ymodem::restartStallTimer()
{
    m_stallTimer->start(pacing::ms(StallMs));
}

void ymodem::setSerialPort(QSerialPort *port)
{
    setDevice(port);
}

void ymodem::setDevice(QIODevice *device)
{
    if (m_port == device)
        return;
    if (m_port)
        disconnect(m_port, nullptr, this, nullptr);
    m_port = device;
    if (device)
        connect(device, &QIODevice::readyRead, this, &ymodem::downloadToSlave);
}

void ymodem::sendStartRequest()
{
    send(QByteArray(1, CRC_REQUEST));
}

void ymodem::send(const QByteArray &bytes)
{
    txPacket = bytes;
    if (!m_port || !m_port->isOpen())
        return;
    m_port->write(txPacket);
    // Answers must leave now: the port may be closed right after.
    if (auto *serial = qobject_cast<QSerialPort *>(m_port.data()))
        serial->flush();
}

void ymodem::setProgress(int value)
{
    // Queued: a modal progress dialog processes events in setValue, which
    // must not happen inside a receiver step. An update that arrives after
    // the transfer was abandoned would show the dialog again: dropped.
    QMetaObject::invokeMethod(this, [this, value] {
        if (progressDialog && (m_state != AwaitHeader || m_finishing))
            progressDialog->setValue(value);
    }, Qt::QueuedConnection);
}

quint16 ymodem::crc16(const QByteArray &data)
{
    quint16 crc = 0;
    for (char ch : data) {
        crc ^= quint16(quint8(ch)) << 8;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QString ymodem::safeFileName(const QByteArray &headerName)
{
    // Only the last path component, whichever separator the device used.
    QByteArray name = headerName;
    const int cut = qMax(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    if (cut >= 0)
        name = name.mid(cut + 1);
    QString out;
    for (char ch : name) {
        const uchar c = uchar(ch);
        if (c < 0x20 || c == 0x7F || QByteArrayLiteral("<>:\"/\\|?*").contains(char(c)))
            continue;
        out.append(QChar(c));
    }
    // Leading and trailing dots and spaces make names such as "." and ".."
    // or names that some systems refuse.
    while (!out.isEmpty() && (out.at(0) == QLatin1Char('.') || out.at(0) == QLatin1Char(' ')))
        out.remove(0, 1);
    while (!out.isEmpty() && (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' '))))
        out.chop(1);
    out.truncate(100);
    return out.isEmpty() ? QString::fromLatin1(FallbackName) : out;
}

void ymodem::downloadToSlave()
{
    if (!m_port || m_inStep)
        return;
    m_inStep = true;
    const QByteArray incoming = m_port->readAll();
    rxBuffer.append(incoming);
    if (!incoming.isEmpty()) {
        m_firstDataTimer->stop();
        if (m_state != AwaitHeader)
            restartStallTimer();
    }
    Step step;
    do {
        step = processOne();
    } while (step == Handled);
    m_inStep = false;
    if (awaitingRestOfFirstData() && !m_firstDataTimer->isActive()) {
        if (m_firstDataQuietMs > 0)
            m_firstDataTimer->start(pacing::ms(m_firstDataQuietMs));
        else
            endFirstData();
    }
}

ymodem::Step ymodem::processOne()
{
    skipNoise();
    if (rxBuffer.isEmpty())
        return NeedMore;
    switch (rxBuffer.at(0)) {
    case EOT:
        return takeEot();
    case CAN:
        return takeCancel();
    default:
        return takePacket();
    }
}

void ymodem::skipNoise()
{
    // Anything that cannot start a packet (line noise, a stray byte) goes.
    int start = 0;
    while (start < rxBuffer.size()) {
        const char c = rxBuffer.at(start);
        if (c == SOH || c == STX || c == EOT || c == CAN)
            break;
        ++start;
    }
    rxBuffer.remove(0, start);
}

ymodem::Step ymodem::takeEot()
{
    rxBuffer.remove(0, 1);
    if (m_state == ReceivingData) {
        m_state = AwaitSecondEot;
        send(QByteArray(1, NAK));
        setProgress(85);
        return Handled;
    }
    if (m_state == AwaitSecondEot) {
        send(QByteArray(1, ACK) + CRC_REQUEST);
        finish();
        return Stop;
    }
    return Handled;  // no file under way: nothing to end
}

ymodem::Step ymodem::takeCancel()
{
    if (rxBuffer.size() < 2)
        return NeedMore;
    if (rxBuffer.at(1) == CAN && m_state != AwaitHeader) {
        rxBuffer.clear();
        fail(tr("Event log transfer cancelled by the device."));
        return Stop;
    }
    rxBuffer.remove(0, 1);
    return Handled;
}

ymodem::Step ymodem::takePacket()
{
    const int size = rxBuffer.at(0) == SOH ? ShortPacket : LongPacket;
    if (rxBuffer.size() < size)
        return NeedMore;
    const QByteArray packet = rxBuffer.left(size);
    rxBuffer.remove(0, size);
    const int block = quint8(packet.at(1));
    const int complement = quint8(packet.at(2));
    const QByteArray data = packet.mid(3, size - 5);
    const quint16 crc = quint16(quint8(packet.at(size - 2)) << 8 | quint8(packet.at(size - 1)));
    if ((block ^ complement) != 0xFF || crc16(data) != crc)
        return refuseDamaged();
    m_badPackets = 0;

    if (m_state != AwaitHeader && block == m_lastBlock) {
        // Our answer got lost: the device sent the same packet again.
        ++m_statistics.resends;
        send(m_lastAnswer);
        return Handled;
    }
    switch (m_state) {
    case AwaitHeader:
        if (block != 0)
            return Handled;  // data without a header: not ours to take
        acceptHeader(data);
        return m_state == AwaitHeader ? Stop : Handled;
    case AwaitFirstData:
        return takeFirstData(block);
    case ReceivingData:
        return takeData(block, data);
    case AwaitSecondEot:
        break;
    }
    return Handled;
}

ymodem::Step ymodem::refuseDamaged()
{
    // Whatever follows belongs to the damaged packet: drop it and ask for the
    // packet again. A damaged first data arrival is taken afresh.
    rxBuffer.clear();
    m_firstDataPackets = 0;
    m_firstDataTimer->stop();
    if (++m_badPackets >= MaxBadPackets) {
        send(QByteArray(2, CAN));
        fail(tr("Event log transfer failed: too many damaged packets."));
        return Stop;
    }
    if (m_state != AwaitHeader)
        ++m_statistics.resends;
    send(QByteArray(1, NAK));
    return NeedMore;
}

ymodem::Step ymodem::takeFirstData(int block)
{
    // The device's own first data is not part of the file. It is one packet
    // (block 1) or two sent together (block 1, then block 1 again or block 2),
    // and either way takes one ACK, given once the arrival is complete: an
    // ACK for each of two would leave the device one answer ahead.
    const bool expected = block == 1 || (m_firstDataPackets == 1 && block == 2);
    if (!expected)
        return outOfSequence(block);
    m_firstDataBlock = block;
    if (++m_firstDataPackets == 2)
        endFirstData();
    return Handled;
}

bool ymodem::awaitingRestOfFirstData() const
{
    return m_state == AwaitFirstData && m_firstDataPackets == 1 && rxBuffer.isEmpty();
}

void ymodem::firstDataQuietTimeEnded()
{
    // Bytes the system holds but the port has not reported yet still belong
    // to the first data; reading them may run a receiver step.
    if (m_port && !m_inStep)
        m_port->waitForReadyRead(0);
    if (awaitingRestOfFirstData() && !m_firstDataTimer->isActive())
        endFirstData();
}

void ymodem::endFirstData()
{
    m_firstDataTimer->stop();
    m_firstDataPackets = 0;
    m_lastBlock = m_firstDataBlock;
    m_lastAnswer = QByteArray(1, ACK);
    m_state = ReceivingData;
    send(m_lastAnswer);
    setProgress(35);
}

ymodem::Step ymodem::takeData(int block, const QByteArray &data)
{
    if (block != ((m_lastBlock + 1) & 0xFF))
        return outOfSequence(block);
    if (!writeData(data))
        return Stop;
    m_lastBlock = block;
    ++m_statistics.blocks;
    m_lastAnswer = QByteArray(1, ACK);
    send(m_lastAnswer);
    setProgress(75);
    return Handled;
}

ymodem::Step ymodem::outOfSequence(int block)
{
    send(QByteArray(2, CAN));
    fail(tr("Event log transfer failed: packet %1 out of sequence.").arg(block));
    return Stop;
}

void ymodem::acceptHeader(const QByteArray &data)
{
    const int nameEnd = data.indexOf('\0');
    const QByteArray rawName = nameEnd < 0 ? data : data.left(nameEnd);
    if (rawName.isEmpty()) {
        // An empty header ends a batch: the device has no file to send.
        send(QByteArray(1, ACK));
        fail(tr("The device sent no event log file."));
        return;
    }
    QByteArray sizeField = nameEnd < 0 ? QByteArray() : data.mid(nameEnd + 1);
    const int sizeEnd = sizeField.indexOf('\0');
    if (sizeEnd >= 0)
        sizeField.truncate(sizeEnd);
    // The size may be followed by further fields (date, mode) after a space.
    const int space = sizeField.indexOf(' ');
    if (space >= 0)
        sizeField.truncate(space);
    bool ok = false;
    fileSize = sizeField.toLongLong(&ok, 10);
    if (!ok || fileSize < 0)
        fileSize = 0;

    // Always a new file: one of the same name (an earlier transfer in the
    // same second) stays as it is.
    const QString stem = QDir::current().absoluteFilePath(
        safeFileName(rawName) + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")));
    if (!openNewFile(m_file, stem)) {
        const QString reason = tr("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
        send(QByteArray(2, CAN));
        fail(reason);
        return;
    }
    localFileName = m_file.fileName();
    receivedBytes = 0;
    m_statistics = Statistics();
    transferStarted = true;
    m_state = AwaitFirstData;
    m_lastBlock = 0;
    m_lastAnswer = QByteArray(1, ACK) + CRC_REQUEST;
    send(m_lastAnswer);
    setProgress(5);
    restartStallTimer();
}

bool ymodem::writeData(const QByteArray &data)
{
    // The last block is padded: keep only the announced size.
    qint64 n = data.size();
    if (fileSize > 0)
        n = qBound<qint64>(0, fileSize - receivedBytes, n);
    if (n > 0 && (m_file.write(data.constData(), n) != n || !m_file.flush())) {
        const QString reason = tr("Cannot write %1: %2").arg(localFileName, m_file.errorString());
        send(QByteArray(2, CAN));
        fail(reason);
        return false;
    }
    receivedBytes += n;
    m_statistics.bytes = receivedBytes;
    return true;
}

void ymodem::finish()
{
    m_stallTimer->stop();
    m_file.close();
    if (m_port)
        m_port->close();
    m_state = AwaitHeader;
    m_lastBlock = -1;
    rxBuffer.clear();
    setProgress(100);
    // Give the device a moment to leave the transfer before the link talks
    // to it again; the window keeps running meanwhile.
    m_finishing = true;
    const QString name = localFileName;
    const int settle = m_settleDelay > 0 ? pacing::ms(m_settleDelay) : 0;
    QTimer::singleShot(settle, Qt::PreciseTimer, this, [this, name] {
        if (!m_finishing)
            return;  // cancelled meanwhile
        m_finishing = false;
        localFileName.clear();
        emit finRcv(name);
    });
}

void ymodem::discardPartialFile()
{
    m_file.close();
    if (localFileName.isEmpty())
        return;
    QFile::remove(localFileName);  // created by this transfer: nobody else's data
    localFileName.clear();
}

void ymodem::resetState()
{
    m_stallTimer->stop();
    m_firstDataTimer->stop();
    m_firstDataPackets = 0;
    m_state = AwaitHeader;
    m_lastBlock = -1;
    m_badPackets = 0;
    m_finishing = false;
    rxBuffer.clear();
    receivedBytes = 0;
    fileSize = 0;
}

void ymodem::fail(const QString &reason)
{
    discardPartialFile();
    if (m_port)
        m_port->close();
    resetState();
    emit transferFailed(reason);
}

void ymodem::cancelTransfer()
{
    if (m_state != AwaitHeader && m_port && m_port->isOpen())
        send(QByteArray(2, CAN));
    if (m_state != AwaitHeader || m_finishing)
        discardPartialFile();
    if (m_port)
        m_port->close();
    resetState();
}
