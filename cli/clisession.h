// One run of nodeweave-cli: the login through the same Connect procedure
// the window uses, then one command (info, save, diff, write) against the
// bridge, its result on standard output and errors on standard error.
#pragma once

#include "link/profile.h"
#include "link/profilereader.h"
#include "link/profilewriter.h"

#include <QObject>

class ConnectProcedure;
class Link;

struct CliOptions {
    QString port;
    QString user;
    QString password;
    QString command;   // info, save, diff, write
    QString file;
    QStringList groups;
    bool withIdentity = false;
    bool confirmModel = false;
    bool json = false;
};

class CliSession : public QObject
{
    Q_OBJECT
public:
    enum ExitCode { Success = 0, Differences = 1, Error = 2 };

    explicit CliSession(const CliOptions &options, QObject *parent = nullptr);
    // Starts the login; the application's exit code follows when it is done.
    void start();

private:
    void loggedIn();
    void runCommand();
    void info(const ProfileReadResult &read);
    void saved(const ProfileReadResult &read);
    void compared(const ProfileReadResult &read);
    void written(const ProfileWriteResult &result);
    void showProgress(int done, int total, const QString &step);
    void fail(const QString &message);
    void finish(int code);

    CliOptions m_options;
    Link *m_link;
    ConnectProcedure *m_connect;
    ProfileReader *m_reader;
    ProfileWriter *m_writer;
    Profile m_file;
    bool m_progressShown = false;
    bool m_done = false;
};
