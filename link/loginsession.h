// What the login dialog may do with the Connect under way, and no more:
// send the entered credentials, give up an attempt, and conclude the wait
// (accepted, or given up by the user).
#pragma once

#include <QString>
#include <functional>

class QObject;

class LoginSession
{
public:
    enum class Attempt {
        Sent,            // on its way; the verdict follows
        StillWaiting,    // an attempt on the same port still waits for its answer
        PortUnavailable, // the chosen port cannot be opened
        NotSent,         // the link refused the request; the port is let go
    };
    // The bridge's verdict on the credentials: a normal reply accepts them,
    // any error (exception, no answer in time) refuses them. On a refusal
    // the link is already closed again.
    using Verdict = std::function<void(bool accepted)>;
    // The characters of the user name, and of the password, the bridge keeps.
    static constexpr int MaxFieldLength = 16;

    // Opens the link on the port chosen now and writes the credentials to
    // the bridge's login block. `verdict` runs unless `context` goes first
    // or the attempt is dropped.
    virtual Attempt sendLogin(const QString &user, const QString &password, QObject *context,
                              Verdict verdict) = 0;
    // The port the last attempt chose.
    virtual QString loginPort() const = 0;
    // Gives up the attempt that waits for its answer: a later answer is
    // released unread, and the port it opened is let go.
    virtual void dropLogin() = 0;

    // End the login wait. An acceptance outside the wait counts for nothing.
    virtual void setLoginAccepted() = 0;
    virtual void setLoginCancelled() = 0;

protected:
    ~LoginSession() = default;
};
