#include "link/provisionbatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

const char AuditEntry::Ok[] = "ok";
const char AuditEntry::Incomplete[] = "incomplete";
const char AuditEntry::Failed[] = "failed";

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ProvisionBatch", text);
}

const QStringList &auditColumns()
{
    static const QStringList columns{ "time", "serial", "model", "firmware", "dev_eui", "join_eui",
                                      "key_fingerprint", "profile", "result", "reason" };
    return columns;
}

QStringList auditFields(const AuditEntry &e)
{
    return { e.time.toUTC().toString(Qt::ISODate), e.serial, e.model, e.firmware, e.devEui,
             e.joinEui, e.keyFingerprint, e.profile, e.result, e.reason };
}

AuditEntry auditEntry(const QStringList &fields)
{
    AuditEntry e;
    e.time = QDateTime::fromString(fields.value(0), Qt::ISODate).toUTC();
    e.serial = fields.value(1);
    e.model = fields.value(2);
    e.firmware = fields.value(3);
    e.devEui = fields.value(4);
    e.joinEui = fields.value(5);
    e.keyFingerprint = fields.value(6);
    e.profile = fields.value(7);
    e.result = fields.value(8);
    e.reason = fields.value(9);
    return e;
}

} // namespace

namespace audit {

QString pathFor(const QString &keyListPath)
{
    const QFileInfo info(keyListPath);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".audit.csv"));
}

bool append(const QString &path, const AuditEntry &entry, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QString text;
    if (file.size() == 0)
        text = keylist::csvLine(auditColumns());
    text += keylist::csvLine(auditFields(entry));
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool read(const QString &path, QVector<AuditEntry> *entries, QString *error)
{
    entries->clear();
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QVector<keylist::CsvRecord> records =
        keylist::splitCsv(QString::fromUtf8(file.readAll()), QLatin1Char(','));
    for (const keylist::CsvRecord &r : records)
        if (r.fields != auditColumns() && r.fields.size() == auditColumns().size())
            entries->append(auditEntry(r.fields));
    return true;
}

} // namespace audit

bool ProvisionBatch::open(const QString &keyListPath, QString *error)
{
    KeyList keys;
    QVector<AuditEntry> entries;
    if (!keylist::readFile(keyListPath, &keys, error)
        || !audit::read(audit::pathFor(keyListPath), &entries, error))
        return false;
    m_path = keyListPath;
    m_keys = keys;
    m_status = QVector<RowStatus>(keys.rows.size());
    for (const AuditEntry &e : entries)
        apply(e);
    return true;
}

int ProvisionBatch::count(RowState state) const
{
    return int(std::count_if(m_status.cbegin(), m_status.cend(),
                             [state](const RowStatus &s) { return s.state == state; }));
}

ProvisionBatch::Choice ProvisionBatch::choose(const QString &serial,
                                              const QString &bridgeDevEui) const
{
    Choice choice;
    if (serial.isEmpty()) {
        choice.refusal = tr("The bridge has no serial number, so the audit log could not tell it "
                            "from another one. Set its serial number first.");
        return choice;
    }
    const int held = m_keys.indexOf(bridgeDevEui);
    if (held >= 0) {
        const RowStatus &s = m_status.at(held);
        if (s.state != RowState::Unused && s.serial != serial) {
            choice.refusal = tr("This bridge (serial %1) already holds the DevEUI of line %2, "
                                "which went to the bridge with serial %3 on %4. Two bridges "
                                "must not share a DevEUI: nothing was written.")
                                 .arg(serial).arg(m_keys.rows.at(held).line)
                                 .arg(s.serial, s.time.toString(Qt::ISODate));
            return choice;
        }
        choice.row = held;
        choice.heldByBridge = true;
        choice.again = s.state != RowState::Unused;
        return choice;
    }
    for (int i = 0; i < m_status.size() && choice.row < 0; ++i)
        if (m_status.at(i).state != RowState::Unused && m_status.at(i).serial == serial)
            choice.row = i;
    choice.again = choice.row >= 0;
    for (int i = 0; i < m_status.size() && choice.row < 0; ++i)
        if (m_status.at(i).state == RowState::Unused)
            choice.row = i;
    if (choice.row < 0)
        choice.refusal = tr("Every usable row of the key list has gone to a bridge.");
    return choice;
}

bool ProvisionBatch::record(const AuditEntry &entry, QString *error)
{
    if (!audit::append(auditPath(), entry, error))
        return false;
    apply(entry);
    return true;
}

void ProvisionBatch::apply(const AuditEntry &entry)
{
    const int row = m_keys.indexOf(entry.devEui);
    if (row < 0 || entry.result == QLatin1String(AuditEntry::Failed))
        return;
    RowStatus &s = m_status[row];
    if (entry.result == QLatin1String(AuditEntry::Ok))
        s.state = RowState::Used;
    else if (s.state == RowState::Unused && entry.result == QLatin1String(AuditEntry::Incomplete))
        s.state = RowState::Held;
    else
        return;
    s.serial = entry.serial;
    s.model = entry.model;
    s.time = entry.time;
}

QByteArray ProvisionBatch::exportCsv() const
{
    QString text = keylist::csvLine({ "dev_eui", "join_eui", "app_key", "name" });
    for (int i = 0; i < m_keys.rows.size(); ++i) {
        const KeyRow &r = m_keys.rows.at(i);
        if (m_status.at(i).state == RowState::Used)
            text += keylist::csvLine({ r.devEui, r.joinEui, r.appKey, r.name });
    }
    return text.toUtf8();
}

bool ProvisionBatch::exportTo(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(exportCsv()) < 0 || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
