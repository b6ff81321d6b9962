#include "link/link.h"

#include "link/codec.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>
#include <QVariant>

namespace {
constexpr int ErrorTimeout = 5000;
}

Link::Link(QStatusBar *statusBar, QObject *parent)
    : QObject(parent), m_statusBar(statusBar)
{
}

Link::~Link()
{
    if (m_device) {
        m_device->disconnect(this);
        m_device->disconnectDevice();
        delete m_device;
    }
}

void Link::setServerAddressSource(std::function<int()> source)
{
    m_serverAddress = std::move(source);
}

int Link::serverAddress() const
{
    return m_serverAddress ? m_serverAddress() : 1;
}

bool Link::createClient(ClientType type)
{
    if (m_device) {
        m_device->disconnect(this);
        m_device->disconnectDevice();
        delete m_device;
        m_device = nullptr;
    }
    if (type == Serial)
        m_device = new QModbusRtuSerialMaster(this);
    else
        m_device = new QModbusTcpClient(this);

    if (!m_device) {
        showMessage(type == Serial ? tr("Could not create Modbus master.")
                                   : tr("Could not create Modbus client."),
                    ErrorTimeout);
        return false;
    }
    connect(m_device, &QModbusDevice::errorOccurred, this, &Link::onErrorOccurred);
    connect(m_device, &QModbusDevice::stateChanged, this, [this](QModbusDevice::State s) {
        if (s == QModbusDevice::ConnectedState)
            m_lostReported = false;
        emit stateChanged(int(s));
    });
    emit stateChanged(int(QModbusDevice::UnconnectedState));
    return true;
}

QModbusDevice::State Link::state() const
{
    return m_device ? m_device->state() : QModbusDevice::UnconnectedState;
}

bool Link::openSerial(const QString &portName)
{
    if (!m_device)
        return false;
    m_device->setConnectionParameter(QModbusDevice::SerialPortNameParameter, portName);
    m_device->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, QSerialPort::Baud9600);
    m_device->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
    m_device->setConnectionParameter(QModbusDevice::SerialParityParameter, QSerialPort::NoParity);
    m_device->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, QSerialPort::OneStop);
    if (m_device->state() != QModbusDevice::UnconnectedState)
        return m_device->state() == QModbusDevice::ConnectedState;
    return m_device->connectDevice();
}

void Link::close()
{
    if (m_device)
        m_device->disconnectDevice();
}

void Link::showMessage(const QString &text, int timeout)
{
    if (m_statusBar)
        m_statusBar->showMessage(text, timeout);
}

void Link::clearMessage()
{
    if (m_statusBar)
        m_statusBar->clearMessage();
}

void Link::onErrorOccurred(QModbusDevice::Error error)
{
    if (!m_device || error == QModbusDevice::NoError)
        return;
    const QString text = m_device->errorString();
    showMessage(text, ErrorTimeout);
    // A pulled adapter makes the serial port report read and resource errors
    // in a tight loop while the client still calls itself connected. Report
    // it once; the window closes the link, which ends the stream of errors.
    const bool portGone = error == QModbusDevice::ReadError
                          || error == QModbusDevice::ConnectionError;
    if (portGone && m_device->state() == QModbusDevice::ConnectedState && !m_lostReported) {
        m_lostReported = true;
        QMetaObject::invokeMethod(this, [this, text] { emit linkLost(text); },
                                  Qt::QueuedConnection);
    }
}

QString Link::exceptionCodeText(const QModbusReply *reply)
{
    // Qt's RTU client stores an exception reply's function code (0x83,
    // 0x86...) sign-extended, out of the FunctionCode enum's range, so the
    // inline accessors (isException(), functionCode()) must not read it
    // here. Qt's own stream operator writes the byte as it came on the line.
    QByteArray raw;
    QDataStream stream(&raw, QIODevice::WriteOnly);
    stream << reply->rawResult();
    int code = 0xFF;
    if (raw.size() >= 2 && (quint8(raw.at(0)) & QModbusPdu::ExceptionByte))
        code = quint8(raw.at(1));
    return QString::number(code, 16);
}

static bool reportError(Link *link, QModbusReply *reply, const QString &kind)
{
    const QModbusDevice::Error error = reply->error();
    if (error == QModbusDevice::NoError)
        return false;
    if (error == QModbusDevice::ProtocolError) {
        link->showMessage(Link::tr("%1 response error: %2 (Mobus exception: 0x%3)")
                              .arg(kind, reply->errorString(), Link::exceptionCodeText(reply)),
                          ErrorTimeout);
    } else {
        link->showMessage(Link::tr("%1 response error: %2 (code: 0x%3)")
                              .arg(kind, reply->errorString(), QString::number(int(error), 16)),
                          ErrorTimeout);
    }
    return true;
}

bool Link::reportReadError(QModbusReply *reply)
{
    return reportError(this, reply, QStringLiteral("Read"));
}

bool Link::reportWriteError(QModbusReply *reply)
{
    return reportError(this, reply, QStringLiteral("Write"));
}

bool Link::reportReadError(QModbusReply *reply, int expected)
{
    if (reportReadError(reply))
        return true;
    // A well-formed reply that carries fewer registers than asked for must not
    // show made-up zeros for the rest: the read failed. One that carries more
    // is not the answer to this request at all: a device that answered an
    // earlier, timed-out request late, and RTU frames carry no request number.
    const int got = int(reply->result().valueCount());
    if (got == expected)
        return false;
    const QString code = QString::number(int(QModbusDevice::ReadError), 16);
    if (got < expected) {
        showMessage(tr("Read response error: Short reply, %1 of %2 registers. (code: 0x%3)")
                        .arg(got)
                        .arg(expected)
                        .arg(code),
                    ErrorTimeout);
    } else {
        showMessage(tr("Read response error: Reply of %1 registers, %2 asked. (code: 0x%3)")
                        .arg(got)
                        .arg(expected)
                        .arg(code),
                    ErrorTimeout);
    }
    return true;
}

QModbusReply *Link::sendRead(quint16 start, quint16 count, int server)
{
    if (!m_device)
        return nullptr;
    const QModbusDataUnit unit(QModbusDataUnit::HoldingRegisters, start, count);
    QModbusReply *reply = m_device->sendReadRequest(unit, server < 0 ? serverAddress() : server);
    if (!reply) {
        showMessage(tr("Read error: ") + m_device->errorString(), ErrorTimeout);
        return nullptr;
    }
    if (reply->isFinished()) {
        delete reply;
        return nullptr;
    }
    return reply;
}

void Link::onReply(QModbusReply *reply, bool isRead, Decoder decode, WriteDone done, Options options,
                   int expected)
{
    const bool failed = isRead ? reportReadError(reply, expected) : reportWriteError(reply);
    if (!failed) {
        if (decode)
            decode(reply->result().values());
        if (options.showOk)
            showMessage(tr("OK!"), 0);
    }
    reply->deleteLater();
    if (done)
        done(!failed);
}

bool Link::read(quint16 start, quint16 count, QObject *context, Decoder decode, Options options)
{
    // The request is queued before the status bar is cleared: the bar
    // repaints on the spot, and the client's inter-frame delay before the
    // request leaves runs meanwhile instead of after it. A refused request
    // shows its error instead, which replaces whatever the bar held.
    QModbusReply *reply = sendRead(start, count, options.server);
    if (!reply)
        return false;
    if (options.clearStatus)
        clearMessage();
    connect(reply, &QModbusReply::finished, context ? context : this,
            [this, reply, decode, options, count] {
                onReply(reply, true, decode, WriteDone(), options, count);
            });
    return true;
}

bool Link::write(quint16 start, const QVector<quint16> &values, QObject *context, WriteDone done,
                 Options options)
{
    if (!m_device)
        return false;
    // Queued first, then the bar cleared, as in read().
    QModbusDataUnit unit(QModbusDataUnit::HoldingRegisters, start, values);
    QModbusReply *reply = m_device->sendWriteRequest(
        unit, options.server < 0 ? serverAddress() : options.server);
    if (!reply) {
        showMessage(tr("Write error: ") + m_device->errorString(), ErrorTimeout);
        return false;
    }
    if (options.clearStatus)
        clearMessage();
    if (reply->isFinished()) {
        reply->deleteLater();
        return true;
    }
    connect(reply, &QModbusReply::finished, context ? context : this,
            [this, reply, done, options] { onReply(reply, false, Decoder(), done, options); });
    return true;
}

bool Link::readSingleRegister(quint16 address, QObject *context, Decoder decode)
{
    return read(address, 1, context, std::move(decode));
}

bool Link::readIntoLineEdit(quint16 address, QLineEdit *edit)
{
    return readSingleRegister(address, edit, [edit](const QVector<quint16> &v) {
        edit->setText(QString::number(codec::signedValue(codec::valueAt(v, 0))));
    });
}

bool Link::readIntoCheckBox(quint16 address, QAbstractButton *box)
{
    return readSingleRegister(address, box, [box](const QVector<quint16> &v) {
        box->setChecked(codec::valueAt(v, 0) != 0);
    });
}

bool Link::writeLineEditRegister(QLineEdit *edit, quint16 address)
{
    if (!m_device)
        return false;
    return write(address, { codec::lineEditValue(edit->text()) });
}

bool Link::waitWithEvents(int ms, const QObject *guard)
{
    QPointer<const QObject> alive(guard);
    if (ms > 0) {
        QEventLoop loop;
        // Precise: a coarse timer (Qt's choice from 2 s on) may end up to 5 % early.
        QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        if (guard)
            connect(guard, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
    } else {
        QCoreApplication::processEvents();
    }
    return !guard || alive;
}
