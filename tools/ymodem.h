// Receiving side of a YMODEM (CRC-16) transfer on the PC serial port: the
// bridge sends its event-log file this way. The receiver is driven by the
// port's incoming data; a stall timer abandons a transfer that stops. Its
// waits (stall, first-data quiet time, settle) run at the pacing scale.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>

class QIODevice;
class QProgressDialog;
class QSerialPort;
class QTimer;

class ymodem : public QObject
{
    Q_OBJECT
public:
    explicit ymodem(QObject *parent = nullptr);
    ~ymodem() override;

    // The port to receive on (not owned). Its readyRead drives the receiver.
    void setSerialPort(QSerialPort *port);
    // The same for any byte device (used for ports that are not serial ports).
    void setDevice(QIODevice *device);

    // Asks the device for a transfer: one "C".
    void sendStartRequest();

    // Ends a transfer under way: tells the device to stop, removes what was
    // written of the file and closes the port. Emits nothing.
    void cancelTransfer();
    bool isReceiving() const { return m_state != AwaitHeader || m_finishing; }

    // Quiet time between the end of the transfer and finRcv; 0 emits it from
    // the event loop at once.
    void setSettleDelay(int ms) { m_settleDelay = ms; }
    // How long the line must stay quiet after the device's first data packet
    // before it is answered, so that a second packet sent with it is taken as
    // part of it; 0 answers as soon as the bytes received so far end with it.
    static constexpr int DefaultFirstDataQuietMs = 200;
    void setFirstDataQuietTime(int ms) { m_firstDataQuietMs = ms; }

    // The file name a device-supplied header name is stored under: its last
    // path component without characters a file name may not contain, or a
    // fixed name when nothing is left.
    static QString safeFileName(const QByteArray &headerName);
    static quint16 crc16(const QByteArray &data);

    // What the transfer under way, or the last one, took since its header:
    // file bytes kept, data blocks taken, packets the device sent again
    // (refused as damaged, or repeated because an answer was lost).
    struct Statistics {
        qint64 bytes = 0;
        int blocks = 0;
        int resends = 0;
    };
    Statistics statistics() const { return m_statistics; }

    // Set when a header packet has been accepted; cleared by the user of the
    // receiver when it takes the port back.
    bool transferStarted = false;
    // Set by the user of the receiver; the receiver reports its progress there.
    QPointer<QProgressDialog> progressDialog;

signals:
    // A transfer completed; fileName is the local file that holds it.
    void finRcv(QString fileName);
    // A transfer was abandoned; the partial file is gone and the port closed.
    void transferFailed(QString reason);

public slots:
    void downloadToSlave();

private:
    enum State { AwaitHeader, AwaitFirstData, ReceivingData, AwaitSecondEot };
    enum Step { NeedMore, Handled, Stop };

    Step processOne();
    void skipNoise();
    Step takeEot();
    Step takeCancel();
    Step takePacket();
    Step refuseDamaged();
    Step takeFirstData(int block);
    Step takeData(int block, const QByteArray &data);
    Step outOfSequence(int block);
    bool awaitingRestOfFirstData() const;
    void firstDataQuietTimeEnded();
    void endFirstData();
    void acceptHeader(const QByteArray &data);
    bool writeData(const QByteArray &data);
    void send(const QByteArray &bytes);
    void setProgress(int value);
    void fail(const QString &reason);
    void discardPartialFile();
    void restartStallTimer();
    void resetState();
    void finish();

    QPointer<QIODevice> m_port;
    QByteArray rxBuffer;
    QByteArray txPacket;
    QString localFileName;
    qint64 fileSize = 0;        // announced size; 0 when the header gave none
    qint64 receivedBytes = 0;   // file bytes written so far
    State m_state = AwaitHeader;
    int m_lastBlock = -1;       // block number of the last accepted packet
    QByteArray m_lastAnswer;    // what that packet was answered with
    int m_badPackets = 0;       // damaged packets in a row
    int m_firstDataPackets = 0; // packets of the device's first data taken so far
    int m_firstDataBlock = 0;   // block number of the last of them
    Statistics m_statistics;
    QFile m_file;
    QTimer *m_stallTimer = nullptr;
    QTimer *m_firstDataTimer = nullptr;
    int m_settleDelay = 2000;
    int m_firstDataQuietMs = DefaultFirstDataQuietMs;
    bool m_finishing = false;
    bool m_inStep = false;
};
