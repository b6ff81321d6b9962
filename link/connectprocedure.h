// The Connect procedure: the login wait, then the identification of the
// bridge (its model name, the I/O and tab gating that follows from it, the
// activation settings), run as a sequence of events so the window stays
// responsive and a closing window leaves nothing waiting on the stack. It
// knows no widget: its texts go to the link's status text, the rest out
// through its signals, and the window turns those into widgets.
#pragma once

#include "link/loginsession.h"
#include "link/modelgating.h"

#include <QModbusDevice>
#include <QObject>
#include <QPointer>
#include <QVector>

class Link;
class QTimer;

class ConnectProcedure : public QObject, public LoginSession
{
    Q_OBJECT
public:
    enum Phase { Idle, LoggingIn, Identifying, Refusing };

    static constexpr quint16 LoginBlockStart = 199;
    static constexpr int FieldRegisters = MaxFieldLength / 2;

    explicit ConnectProcedure(Link *link, QObject *parent = nullptr);
    ~ConnectProcedure() override;

    Phase phase() const { return m_phase; }
    // A Connect is under way: waiting for the login or identifying the bridge.
    bool isConnecting() const { return m_phase != Idle; }
    bool isLoginAccepted() const { return m_loginAccepted; }

    // Begins a Connect with the login wait; false while one is under way.
    bool begin();
    // Ends a Connect under way at once (Disconnect, the window closing): the
    // login attempt and identification stop, and no answer still due counts.
    // The caller closes the link.
    void abandon();
    // The refusal of another product series has been shown: the link
    // closes and the Connect ends. False when no refusal was under way.
    bool endRefusal();
    // The link was closed: no login counts any more.
    void resetLogin();

    Attempt sendLogin(const QString &user, const QString &password, QObject *context,
                      Verdict verdict) override;
    QString loginPort() const override { return m_attemptPort; }
    void dropLogin() override;
    void setLoginAccepted() override;
    void setLoginCancelled() override;

signals:
    // The bridge accepted the login; identification begins.
    void loginAccepted();
    // The model name as read (zero bytes kept), or "Unknown Device".
    void modelNameRead(const QString &name);
    // What the name means for the window. For another product series the
    // procedure waits in Refusing until endRefusal().
    void modelIdentified(const ModelGating &gating);
    // The activation settings read after each login: the method (256,
    // 0 ABP, 1 OTAA) and confirmed uplinks (257, 1 on, 0 off).
    void activationMethodRead(int method);
    void confirmedUplinksRead(int confirmed);
    // The Connect is over, with the bridge identified or not.
    void finished(bool connected);
    // The port went away under an open link.
    void linkLost(const QString &errorText);

private:
    void onLoginConcluded();
    void onLinkLost(const QString &errorText);
    void end(bool connected);

    // The identification sequence.
    void startIdentification();
    void readModelName();
    void modelNameDone(QModbusDevice::Error error);
    void finishIdentification();
    void readActivation(bool report);

    Link *m_link;
    Phase m_phase = Idle;
    bool m_loginAccepted = false;
    bool m_loginCancelled = false;
    QPointer<QObject> m_attempt;    // handles the login answer; deleted to drop it
    QString m_attemptPort;          // the port the attempt went out on
    QPointer<QObject> m_identifying; // handles the model name answer
    QTimer *m_identifyTimer;        // ends the model name wait at the latest
    QString m_modelName;
    bool m_modelReadFailed = false;
};
