// Writes a profile to a bridge, group by group. First the bridge's model is
// matched against the profile's (another series is refused, another model
// of the series needs the user's word), and the bridge's current values of
// the chosen groups are saved to a backup file beside the profile. Each
// group goes out in blocks of at most 123 registers with the pages' pauses,
// fields that identify one device left out unless asked for, and is read
// back and checked. The first failure ends the run.
#pragma once

#include "link/profile.h"
#include "link/profilereader.h"

#include <QObject>

class Link;
class RequestQueue;

struct ProfileWriteRequest {
    Profile profile;
    QString profilePath;        // the backup goes beside it
    QStringList groups;         // empty: every group the profile holds
    bool withIdentity = false;  // also the fields that identify one device
    bool confirmOtherModel = false;  // the user agreed to another model of the series
    // Save the bridge's values of the groups beside the profile first. Off
    // for a batch of new bridges, which would leave a file per bridge.
    bool backup = true;
};

struct GroupWriteOutcome {
    enum Status {
        Verified,     // written and read back equal
        Refused,      // the bridge answered with an exception (detail: the reason)
        NotVerified,  // read back different (detail: the first differing field)
        Failed,       // no answer or a broken link (detail: the link's text)
        Skipped,      // nothing to write (detail: why)
        NotWritten,   // not reached: the run stopped before it
    };
    QString group;
    Status status = NotWritten;
    QString detail;
};

struct ProfileWriteResult {
    enum Status {
        Done,               // every chosen group was written and verified (or skipped)
        Failed,             // stopped at a group, or the backup could not be made
        WrongSeries,        // the profile is of the other series: nothing written
        NeedsConfirmation,  // another model of the series: ask, then start again confirmed
        Cancelled,
    };
    Status status = Failed;
    QString error;
    QString bridgeModel;
    QString backupPath;  // empty when no backup was written
    QVector<GroupWriteOutcome> groups;
    QStringList writtenGroups() const;  // verified, or written before the failure
};
Q_DECLARE_METATYPE(ProfileWriteResult)
Q_DECLARE_METATYPE(GroupWriteOutcome)

class ProfileWriter : public QObject
{
    Q_OBJECT
public:
    explicit ProfileWriter(Link *link, QObject *parent = nullptr);

    // False (nothing started) when a write is under way, or when the
    // request names a group the profile does not hold.
    bool start(const ProfileWriteRequest &request, QString *error = nullptr);
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void progress(int done, int total, const QString &step);
    void backupWritten(const QString &path);
    void groupDone(const GroupWriteOutcome &outcome);
    void finished(const ProfileWriteResult &result);

private:
    void onHeader(const QString &model);
    void onBackupRead(const ProfileReadResult &read);
    void nextGroup();
    void writeGroup(const regmap::Group &group, const QMap<quint16, quint16> &registers);
    void onVerified(const ProfileReadResult &read);
    void groupEnded(GroupWriteOutcome::Status status, const QString &detail);
    void end(ProfileWriteResult::Status status, const QString &error = QString());

    Link *m_link;
    RequestQueue *m_queue;
    ProfileReader *m_reader;
    bool m_running = false;
    bool m_verifying = false;
    ProfileWriteRequest m_request;
    ProfileWriteResult m_result;
    int m_group = 0;                    // index in m_result.groups
    QMap<quint16, quint16> m_written;   // the registers of the group under way
    int m_done = 0;
    int m_total = 0;
};
