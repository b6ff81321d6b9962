// The Connect procedure's login wait and its phases; the identification
// sequence that follows an accepted login is in identification.cpp.
#include "link/connectprocedure.h"

#include "link/codec.h"
#include "link/link.h"

#include <QTimer>

ConnectProcedure::ConnectProcedure(Link *link, QObject *parent)
    : QObject(parent), m_link(link), m_identifyTimer(new QTimer(this))
{
    m_identifyTimer->setSingleShot(true);
    connect(m_identifyTimer, &QTimer::timeout, this, &ConnectProcedure::finishIdentification);
    connect(m_link, &Link::linkLost, this, &ConnectProcedure::onLinkLost);
}

ConnectProcedure::~ConnectProcedure() = default;

bool ConnectProcedure::begin()
{
    if (m_phase != Idle)
        return false;
    m_phase = LoggingIn;
    m_loginCancelled = false;
    return true;
}

void ConnectProcedure::abandon()
{
    dropLogin();
    end(false);
}

bool ConnectProcedure::endRefusal()
{
    if (m_phase != Refusing)
        return false;
    m_link->close();
    resetLogin();
    end(false);
    return true;
}

void ConnectProcedure::resetLogin()
{
    m_loginAccepted = false;
    m_loginCancelled = false;
}

void ConnectProcedure::end(bool connected)
{
    const bool wasConnecting = m_phase != Idle;
    m_phase = Idle;
    m_identifyTimer->stop();
    delete m_identifying;  // a model name answer still due is not handled
    if (wasConnecting)
        emit finished(connected);
}

LoginSession::Attempt ConnectProcedure::sendLogin(const QString &user, const QString &password,
                                                  QObject *context, Verdict verdict)
{
    // Each attempt goes to the port chosen now. Another press while an
    // attempt waits only sends again when another port has been chosen
    // meanwhile; the wait on the old one is then given up.
    const QString port = m_link->chosenPort();
    if (m_attempt) {
        if (port == m_attemptPort)
            return Attempt::StillWaiting;
        dropLogin();
    }
    m_attemptPort = port;
    QVector<quint16> values = codec::textToRegisters(user, FieldRegisters);
    values += codec::textToRegisters(password, FieldRegisters);

    if (!m_link->device())
        m_link->createClient(Link::Serial);
    if (!m_link->openSerial(port))
        return Attempt::PortUnavailable;

    // The bridge's answer is the verdict; the dialog says what it means.
    Link::Options options;
    options.server = 1;
    options.silent = true;
    auto *attempt = new QObject(context);
    m_attempt = attempt;
    const bool sent = m_link->write(LoginBlockStart, values, attempt,
                                    [this, attempt, verdict](bool ok) {
                                        if (m_attempt == attempt)
                                            m_attempt = nullptr;
                                        attempt->deleteLater();
                                        if (!ok)
                                            m_link->close();
                                        verdict(ok);
                                    },
                                    options);
    if (!sent) {
        delete attempt;
        m_link->close();
        return Attempt::NotSent;
    }
    return Attempt::Sent;
}

void ConnectProcedure::dropLogin()
{
    if (!m_attempt)
        return;
    delete m_attempt;
    m_link->close();
}

void ConnectProcedure::setLoginAccepted()
{
    if (m_phase != LoggingIn)
        return;
    m_loginAccepted = true;
    QMetaObject::invokeMethod(this, &ConnectProcedure::onLoginConcluded, Qt::QueuedConnection);
}

void ConnectProcedure::setLoginCancelled()
{
    m_loginCancelled = true;
    QMetaObject::invokeMethod(this, &ConnectProcedure::onLoginConcluded, Qt::QueuedConnection);
}

void ConnectProcedure::onLoginConcluded()
{
    if (m_phase != LoggingIn)
        return;
    if (m_loginAccepted) {
        emit loginAccepted();
        startIdentification();
    } else if (m_loginCancelled) {
        // Given up before the bridge accepted: the port an attempt opened
        // is let go.
        end(false);
        m_link->close();
    }
}

void ConnectProcedure::onLinkLost(const QString &errorText)
{
    if (!m_link->device() || m_link->state() == QModbusDevice::UnconnectedState)
        return;
    emit linkLost(errorText);
}
