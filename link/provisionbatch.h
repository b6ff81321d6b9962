// A batch of bridges provisioned from one key list, and its audit log: a
// CSV file beside the key list (keys.csv: keys.audit.csv) with one line per
// bridge, appended and flushed as soon as the bridge is done. It holds the
// time, the bridge (serial number, model, firmware), the row's DevEUI and
// JoinEUI, a fingerprint of the AppKey (never the key), the profile file,
// the result and its reason. Opening the key list again reads the log, so a
// batch goes on where it stopped: the rows used stay used, a row that went
// to one bridge never goes to another.
#pragma once

#include "link/keylist.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// One line of the audit log.
struct AuditEntry {
    // "ok": the row is on the bridge, read back and checked. "incomplete":
    // the run failed after some of the row reached the bridge (the row stays
    // with that bridge). "failed": nothing of the row reached the bridge.
    static const char Ok[], Incomplete[], Failed[];

    QDateTime time;  // UTC
    QString serial;
    QString model;
    QString firmware;
    QString devEui;
    QString joinEui;
    QString keyFingerprint;
    QString profile;  // the profile file's name, empty when none
    QString result;
    QString reason;
};

namespace audit {
// The log beside a key list: "<dir>/<base name>.audit.csv".
QString pathFor(const QString &keyListPath);
// Appends one line (and the header to a new file), flushed to the disk.
bool append(const QString &path, const AuditEntry &entry, QString *error);
// The lines of a log; a missing log has none. Lines it cannot read are left out.
bool read(const QString &path, QVector<AuditEntry> *entries, QString *error);
} // namespace audit

class ProvisionBatch
{
public:
    enum class RowState {
        Unused,
        Used,  // provisioned and checked on `serial`
        Held,  // a failed run left some of it on `serial`: for no other bridge
    };
    struct RowStatus {
        RowState state = RowState::Unused;
        QString serial;
        QString model;
        QDateTime time;
    };
    // The row for a bridge, or why there is none.
    struct Choice {
        int row = -1;
        bool heldByBridge = false;  // the bridge already holds the row's DevEUI
        bool again = false;         // the row went to this bridge before
        QString refusal;
    };

    // Reads the key list and its audit log. False with the reason when the
    // list cannot be used.
    bool open(const QString &keyListPath, QString *error);
    bool isOpen() const { return !m_path.isEmpty(); }
    QString keyListPath() const { return m_path; }
    QString auditPath() const { return audit::pathFor(m_path); }
    const KeyList &keys() const { return m_keys; }

    RowStatus status(int row) const { return m_status.value(row); }
    int count(RowState state) const;

    // The row of the bridge's DevEUI when the list has it (unless another
    // bridge has it), else the row that went to this serial number before,
    // else the next unused row.
    Choice choose(const QString &serial, const QString &bridgeDevEui) const;

    // Logs a run and takes its result into the rows' states.
    bool record(const AuditEntry &entry, QString *error);

    // The used rows for a network server's import: dev_eui, join_eui,
    // app_key, name. It holds the keys.
    QByteArray exportCsv() const;
    bool exportTo(const QString &path, QString *error) const;

private:
    void apply(const AuditEntry &entry);

    QString m_path;
    KeyList m_keys;
    QVector<RowStatus> m_status;
};
