// One run of nodeweave-cli: the login through the same Connect procedure
// the window uses, then one command (info, save, diff, write, provision)
// against the bridge, its result on standard output and errors on standard
// error.
#pragma once

#include "link/profile.h"
#include "link/profilereader.h"
#include "link/profilewriter.h"
#include "link/provisionbatch.h"
#include "link/provisioner.h"

#include <QObject>

class ConnectProcedure;
class Link;

struct CliOptions {
    QString port;
    QString user;
    QString password;
    QString command;   // info, save, diff, write, provision
    QString file;      // the profile, or the key list of provision
    QString profile;   // provision: the profile to write as well
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
    bool openBatch();
    void provision(const BridgeIdentity &bridge);
    void provisioned(const ProvisionResult &result);
    void showProgress(int done, int total, const QString &step);
    void fail(const QString &message);
    void finish(int code);

    CliOptions m_options;
    Link *m_link;
    ConnectProcedure *m_connect;
    ProfileReader *m_reader;
    ProfileWriter *m_writer;
    Provisioner *m_provisioner;
    ProvisionBatch m_batch;
    Profile m_file;
    bool m_progressShown = false;
    bool m_done = false;
};
