// The identification sequence that follows an accepted login: read the
// model name, tell the window what it means (I/O channels, tabs, band, or
// another product series to refuse), and read the activation settings.
#include "link/connectprocedure.h"

#include "link/codec.h"
#include "link/link.h"

#include <QModbusClient>
#include <QTimer>

namespace {
constexpr quint16 ModelNameStart = 133;
constexpr quint16 ModelNameCount = 8;
constexpr quint16 ActivationRegister = 256;
constexpr quint16 ConfirmedUplinkRegister = 257;
}

void ConnectProcedure::startIdentification()
{
    m_phase = Identifying;
    m_modelReadFailed = false;
    m_modelName.clear();
    // The model name read ends the wait when it concludes; the client's own
    // time-out (with its retries) plus a margin ends it at the latest, so a
    // Connect always completes.
    QModbusClient *device = m_link->device();
    m_identifyTimer->start(device ? device->timeout() * (device->numberOfRetries() + 1) + 1000 : 0);
    readModelName();
}

void ConnectProcedure::readModelName()
{
    delete m_identifying;
    m_identifying = new QObject(this);
    // The Connect has cleared the status bar already. An exception reply gets
    // the standard text; no answer, or a garbled one, means an unknown device.
    Link::Options options;
    options.clearStatus = false;
    options.failedText = tr("Unknown Device: Please input the correct type of IOT Devices.");
    const bool sent = m_link->read(
        ModelNameStart, ModelNameCount, m_identifying,
        [this](const QVector<quint16> &values) {
            m_modelName = codec::registersToText(values);
            emit modelNameRead(m_modelName);
        },
        [this](QModbusDevice::Error error) { modelNameDone(error); }, options);
    if (!sent) {
        // Refused by the link: "Read error: ..." is on the status bar.
        m_modelReadFailed = true;
        QMetaObject::invokeMethod(this, &ConnectProcedure::finishIdentification,
                                  Qt::QueuedConnection);
    }
}

void ConnectProcedure::modelNameDone(QModbusDevice::Error error)
{
    if (error != QModbusDevice::NoError) {
        m_modelReadFailed = true;
        if (error != QModbusDevice::ProtocolError) {
            m_modelName = tr("Unknown Device");
            emit modelNameRead(m_modelName);
        }
    }
    finishIdentification();
}

void ConnectProcedure::finishIdentification()
{
    if (m_phase != Identifying)
        return;
    m_identifyTimer->stop();
    const ModelGating gating = gatingForModel(m_modelName);
    // After a failed model name read its error stays on the status bar.
    readActivation(!m_modelReadFailed);
    if (gating.otherSeries)
        m_phase = Refusing;  // the window says so, then calls endRefusal()
    emit modelIdentified(gating);
    if (!gating.otherSeries)
        end(true);
}

void ConnectProcedure::readActivation(bool report)
{
    Link::Options options;
    options.showOk = report;
    options.clearStatus = report;
    m_link->read(ActivationRegister, 1, this, [this](const QVector<quint16> &v) {
        emit activationMethodRead(codec::signedValue(codec::valueAt(v, 0)));
    }, options);
    m_link->read(ConfirmedUplinkRegister, 1, this, [this](const QVector<quint16> &v) {
        emit confirmedUplinksRead(codec::signedValue(codec::valueAt(v, 0)));
    }, options);
}
