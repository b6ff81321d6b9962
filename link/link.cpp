#include "link/link.h"

#include "link/lineparams.h"
#include "link/qtcompat.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QMetaMethod>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QModbusTcpClient>
#include <QPointer>
#include <QTimer>
#include <QVariant>

namespace {
constexpr int ErrorTimeout = 5000;
}

Link::Link(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<TrafficRecord>();
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

void Link::setPortSource(std::function<QString()> source)
{
    m_chosenPort = std::move(source);
}

QString Link::chosenPort() const
{
    return m_chosenPort ? m_chosenPort() : QString();
}

QString Link::portName() const
{
    if (m_device) {
        const QString name =
            m_device->connectionParameter(QModbusDevice::SerialPortNameParameter).toString();
        if (!name.isEmpty())
            return name;
    }
    return chosenPort();
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
        m_device = new ModbusRtuClient(this);
    else
        m_device = new QModbusTcpClient(this);

    if (!m_device) {
        showMessage(type == Serial ? tr("Could not create Modbus master.")
                                   : tr("Could not create Modbus client."),
                    ErrorTimeout);
        return false;
    }
    m_device->setTimeout(ResponseTimeout);
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
    lineparams::applyTo(m_device);
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
    emit statusMessage(text, timeout);
}

void Link::clearMessage()
{
    emit statusCleared();
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

namespace {
// The exception code of an exception reply (0xFF when it carries none).
int exceptionCode(const QModbusReply *reply)
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
    return code;
}

enum class Kind { Read, Write };

// The text of a failed reply, or an empty one when the reply has no error.
QString replyErrorText(QModbusReply *reply, Kind kind, bool compact)
{
    const QModbusDevice::Error error = reply->error();
    if (error == QModbusDevice::NoError)
        return QString();
    const QString what = kind == Kind::Read ? QStringLiteral("Read") : QStringLiteral("Write");
    if (error == QModbusDevice::ProtocolError) {
        const QString text = compact ? Link::tr("%1 response error:%2(Modbus exception:0x%3")
                                     : Link::tr("%1 response error: %2 (Mobus exception: 0x%3)");
        return text.arg(what, reply->errorString(), QString::number(exceptionCode(reply), 16));
    }
    const QString text = compact ? Link::tr("%1 response error:%2(Modbus code:0x%3")
                                 : Link::tr("%1 response error: %2 (code: 0x%3)");
    return text.arg(what, reply->errorString(), QString::number(int(error), 16));
}

// A well-formed reply that carries fewer registers than asked for must not
// show made-up zeros for the rest: the read failed. One that carries more is
// not the answer to this request at all: a device that answered an earlier,
// timed-out request late, and RTU frames carry no request number.
QString countErrorText(int got, int expected)
{
    if (got == expected)
        return QString();
    const QString code = QString::number(int(QModbusDevice::ReadError), 16);
    const QString text =
        got < expected ? Link::tr("Read response error: Short reply, %1 of %2 registers. (code: 0x%3)")
                       : Link::tr("Read response error: Reply of %1 registers, %2 asked. (code: 0x%3)");
    return text.arg(got).arg(expected).arg(code);
}
}

QModbusReply *Link::send(const QModbusDataUnit &unit, bool isRead, const Options &options)
{
    if (!m_device)
        return nullptr;
    const int server = options.server < 0 ? serverAddress() : options.server;
    QModbusReply *reply = isRead ? m_device->sendReadRequest(unit, server)
                                 : m_device->sendWriteRequest(unit, server);
    if (reply && isRecording())
        record(reply, unit, server, isRead);
    if (!reply && !options.silent) {
        QString prefix = options.refusedText;
        if (prefix.isEmpty())
            prefix = isRead ? tr("Read error: ") : tr("Write error: ");
        showMessage(prefix + m_device->errorString(), ErrorTimeout);
    }
    return reply;
}

bool Link::isRecording() const
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&Link::requestFinished);
    return isSignalConnected(signal);
}

void Link::noteTransfer(const TrafficRecord &record)
{
    if (isRecording())
        emit requestFinished(record);
}

void Link::record(QModbusReply *reply, const QModbusDataUnit &unit, int server, bool isRead)
{
    TrafficRecord r;
    r.kind = isRead ? TrafficRecord::Read : TrafficRecord::Write;
    r.time = QDateTime::currentMSecsSinceEpoch();
    r.server = server;
    r.start = quint16(unit.startAddress());
    r.count = quint16(unit.valueCount());
    if (!isRead)
        r.values = unit.values();
    QElapsedTimer clock;
    clock.start();
    auto finished = [this, reply, r, clock]() mutable {
        r.roundTrip = int(clock.elapsed());
        r.error = reply->error();
        if (r.error == QModbusDevice::NoError && r.kind == TrafficRecord::Read)
            r.values = reply->result().values();
        if (r.error == QModbusDevice::ProtocolError)
            r.exceptionCode = exceptionCode(reply);
        if (r.error != QModbusDevice::NoError)
            r.errorText = reply->errorString();
        // A frame came back: an answer, an exception, or one the client could not read.
        const bool answered = r.error == QModbusDevice::NoError || r.error == QModbusDevice::ProtocolError
                              || r.error == QModbusDevice::UnknownError;
        if (answered && reply->type() != QModbusReply::Broadcast) {
            QDataStream stream(&r.replyPdu, QIODevice::WriteOnly);
            stream << reply->rawResult();
        }
        emit requestFinished(r);
    };
    if (reply->isFinished())
        finished();
    else
        connect(reply, &QModbusReply::finished, this, finished);
}

void Link::onReply(QModbusReply *reply, int expected, const Options &options,
                   const Decoder &decode, const ReadDone &done)
{
    const bool isRead = expected >= 0;
    QModbusDevice::Error error = reply->error();
    QString problem = replyErrorText(reply, isRead ? Kind::Read : Kind::Write, options.compactErrors);
    bool report = !options.silent;
    if (problem.isEmpty() && isRead) {
        problem = countErrorText(int(reply->result().valueCount()), expected);
        report = report || options.reportWrongCount;
        if (!problem.isEmpty())
            error = QModbusDevice::ReadError;
    }
    const bool failed = !problem.isEmpty();
    if (failed && report) {
        if (isRead && error != QModbusDevice::ProtocolError && !options.failedText.isEmpty())
            showMessage(options.failedText, 0);
        else
            showMessage(problem, ErrorTimeout);
    }
    if (!failed) {
        if (decode)
            decode(reply->result().values());
        if (options.showOk && !options.silent)
            showMessage(tr("OK!"), 0);
    }
    if (done)
        done(error);
    if (options.outcome)
        options.outcome(error, error == QModbusDevice::ProtocolError ? exceptionCode(reply) : -1,
                        problem);
}

bool Link::read(quint16 start, quint16 count, QObject *context, Decoder decode, Options options)
{
    return read(start, count, context, std::move(decode), ReadDone(), std::move(options));
}

bool Link::read(quint16 start, quint16 count, QObject *context, Decoder decode, ReadDone done,
                Options options)
{
    // The request is queued before the status bar is cleared: the bar
    // repaints on the spot, and the client's inter-frame delay before the
    // request leaves runs meanwhile instead of after it. A refused request
    // shows its error instead, which replaces whatever the bar held.
    QModbusReply *reply =
        send(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, count), true, options);
    if (!reply)
        return false;
    if (reply->isFinished()) {
        delete reply;
        return false;
    }
    if (options.clearStatus && !options.silent)
        clearMessage();
    // Released even when `context` went away before the answer came.
    connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
    connect(reply, &QModbusReply::finished, context ? context : this,
            [this, reply, decode, done, options, count] {
                onReply(reply, count, options, decode, done);
            });
    return true;
}

bool Link::write(quint16 start, const QVector<quint16> &values, QObject *context, WriteDone done,
                 Options options)
{
    // Queued first, then the bar cleared, as in read().
    QModbusReply *reply =
        send(QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, values), false, options);
    if (!reply)
        return false;
    if (options.clearStatus && !options.silent)
        clearMessage();
    if (reply->isFinished()) {
        // Only a broadcast ends here; it has no answer to report.
        const QModbusDevice::Error error = reply->error();
        reply->deleteLater();
        if (done)
            done(error == QModbusDevice::NoError);
        if (options.outcome)
            options.outcome(error, -1, QString());
        return true;
    }
    connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
    ReadDone written;
    if (done)
        written = [done](QModbusDevice::Error error) { done(error == QModbusDevice::NoError); };
    connect(reply, &QModbusReply::finished, context ? context : this,
            [this, reply, written, options] { onReply(reply, -1, options, Decoder(), written); });
    return true;
}

bool Link::readSingleRegister(quint16 address, QObject *context, Decoder decode)
{
    return read(address, 1, context, std::move(decode));
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
