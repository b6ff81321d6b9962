// Puts one row of a key list into the connected bridge. First it reads who
// the bridge is (serial number, model, firmware) and the DevEUI it holds, so
// the caller can choose the row and ask. Then it writes the DevEUI, the
// JoinEUI, the AppKey and the OTAA method, then the profile when one is
// given (without the fields that identify one device; its LoRaWAN settings
// take the row's JoinEUI and OTAA), reads the keys back and compares them.
// Every request goes through the link, one after another, without
// blocking; each step is reported as it starts and ends.
#pragma once

#include "link/keylist.h"
#include "link/profile.h"
#include "link/provisionbatch.h"
#include "link/requestqueue.h"

#include <QMetaType>
#include <QObject>

class Link;
class ProfileReader;
class ProfileWriter;

struct BridgeIdentity {
    QString serial;    // empty when the bridge has none set
    QString model;
    QString firmware;
    QString devEui;    // as the bridge holds it, upper-case hex without separators
};

struct ProvisionRequest {
    BridgeIdentity bridge;
    KeyRow row;
    bool withProfile = false;
    Profile profile;
    QString profilePath;
    bool confirmOtherModel = false;  // the user agreed to a profile of another model of the series
};

struct ProvisionResult {
    bool ok = false;
    QString reason;       // why it failed
    QStringList written;  // what reached the bridge ("DevEUI", ...), also on failure
    ProvisionRequest request;
    // The audit log's line for this run (the time is now).
    AuditEntry auditEntry() const;
    // "DevEUI, JoinEUI" or "nothing".
    QString writtenText() const;
};

Q_DECLARE_METATYPE(BridgeIdentity)
Q_DECLARE_METATYPE(ProvisionResult)

class Provisioner : public QObject
{
    Q_OBJECT
public:
    enum Step { WriteDevEui, WriteJoinEui, WriteAppKey, SetOtaa, WriteProfile, ReadBack, StepCount };
    enum StepState { Running, Done, Failed };

    explicit Provisioner(Link *link, QObject *parent = nullptr);

    static QString stepName(Step step);
    // The steps a run takes, in order.
    static QVector<Step> steps(bool withProfile);

    // Reads the bridge's identity; inspected() or inspectFailed() follows.
    bool inspect();
    // False (nothing sent) with the reason when a run is under way or the
    // profile does not fit the bridge's model; finished() follows otherwise.
    bool start(const ProvisionRequest &request, QString *error);
    bool isRunning() const { return m_running; }

signals:
    void inspected(const BridgeIdentity &bridge);
    void inspectFailed(const QString &reason);
    // `detail`: the profile group being written, or why the step failed.
    void stepChanged(int step, int state, const QString &detail);
    void finished(const ProvisionResult &result);

private:
    void run(Step step);
    void writeKey(Step step, quint16 address, const QVector<quint16> &values);
    bool written(Step step, const RequestQueue::Reply &reply);
    void writeProfile();
    bool readBack(const RequestQueue::Reply &reply);
    void next(Step after);
    void fail(Step step, const QString &reason);
    void end(bool ok, const QString &reason = QString());

    RequestQueue *m_queue;
    ProfileReader *m_reader;
    ProfileWriter *m_writer;
    bool m_inspecting = false;
    bool m_running = false;
    BridgeIdentity m_bridge;
    ProvisionResult m_result;
};
