// Reads a bridge into a profile: its model, firmware and serial number,
// then every group its model offers, block by block with the pages' pauses.
// A group the bridge refuses with an exception is recorded as absent; any
// other failure (no answer, a garbled reply) ends the read as failed. The
// event loop keeps running throughout; progress and the result come as
// signals.
#pragma once

#include "link/profile.h"
#include "link/requestqueue.h"

#include <QObject>
#include <QPointer>

class Link;

struct ProfileReadResult {
    enum Status { Done, Failed, Cancelled };
    Status status = Failed;
    QString error;                       // Failed: what went wrong
    Profile profile;                     // Done: the header and the groups read
    QHash<quint16, quint16> registers;   // Done: every register read
};
Q_DECLARE_METATYPE(ProfileReadResult)

class ProfileReader : public QObject
{
    Q_OBJECT
public:
    explicit ProfileReader(Link *link, QObject *parent = nullptr);
    // Reads through a queue shared with other requests of a job (the pause
    // after a write is kept before the reads that follow it).
    explicit ProfileReader(RequestQueue *queue, QObject *parent = nullptr);

    // Reads the header, then every group the bridge's model offers, or only
    // those of `groups` when given. False when a read is under way.
    bool start(const QStringList &groups = QStringList());
    // Reads the header alone: model, firmware and serial number.
    bool startHeader();
    // Reads `groups` of a bridge whose model is known, without the header.
    bool startGroups(const QString &model, const QStringList &groups);
    // Stops after the request under way; finished() reports Cancelled.
    void cancel();
    bool isRunning() const { return m_running; }
    // The blocks a read of these groups takes (with the header's two).
    static int blockCount(const QString &model, const QStringList &groups, bool withHeader);

signals:
    // The model name as the bridge reports it, as soon as it is known.
    void headerRead(const QString &model);
    // `done` of `total` blocks read; `group` is the one being read.
    void progress(int done, int total, const QString &group);
    void finished(const ProfileReadResult &result);

private:
    bool begin(const QStringList &groups);
    struct Step {
        const regmap::Group *group;
        int block;
    };
    void readHeader();
    bool headerDone(int part, const QVector<quint16> &values);
    void plan(const QStringList &groups);
    void next();
    bool blockDone(const Step &step, const RequestQueue::Reply &reply);
    void end(ProfileReadResult::Status status, const QString &error = QString());

    RequestQueue *m_queue;
    bool m_running = false;
    QStringList m_wanted;
    bool m_headerOnly = false;
    QVector<Step> m_steps;
    int m_nextStep = 0;
    int m_done = 0;
    int m_total = 0;
    Profile m_profile;
    QHash<quint16, quint16> m_registers;
    QHash<QString, QString> m_absent;  // group -> why
};
