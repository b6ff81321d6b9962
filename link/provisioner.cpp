#include "link/provisioner.h"

#include "link/codec.h"
#include "link/profilereader.h"
#include "link/profilewriter.h"
#include "link/registermap.h"

#include <QFileInfo>

namespace {

const char LoraWan[] = "LoRaWAN";

// Where the row goes: the LoRaWAN group's fields of the register map.
const regmap::Field &field(const char *name)
{
    return *regmap::group(QLatin1String(LoraWan))->field(QLatin1String(name));
}
const regmap::Field &devEuiField() { return field("device EUI"); }
const regmap::Field &joinEuiField() { return field("app EUI"); }
const regmap::Field &appKeyField() { return field("app key"); }
const regmap::Field &methodField() { return field("activation"); }
constexpr quint16 Otaa = 1;  // the activation method register's value for OTAA

} // namespace

AuditEntry ProvisionResult::auditEntry() const
{
    AuditEntry e;
    e.time = QDateTime::currentDateTimeUtc();
    e.serial = request.bridge.serial;
    e.model = request.bridge.model;
    e.firmware = request.bridge.firmware;
    e.devEui = request.row.devEui;
    e.joinEui = request.row.joinEui;
    e.keyFingerprint = keylist::fingerprint(request.row.appKey);
    e.profile = request.withProfile ? QFileInfo(request.profilePath).fileName() : QString();
    e.result = QLatin1String(ok ? AuditEntry::Ok
                                : written.isEmpty() ? AuditEntry::Failed : AuditEntry::Incomplete);
    if (!ok)
        e.reason = QObject::tr("%1; written: %2").arg(reason, writtenText());
    return e;
}

QString ProvisionResult::writtenText() const
{
    return written.isEmpty() ? QObject::tr("nothing") : written.join(QLatin1String(", "));
}

Provisioner::Provisioner(Link *link, QObject *parent)
    : QObject(parent), m_queue(new RequestQueue(link, this)),
      m_reader(new ProfileReader(m_queue, this)), m_writer(new ProfileWriter(link, this))
{
    qRegisterMetaType<BridgeIdentity>();
    qRegisterMetaType<ProvisionResult>();
    connect(m_reader, &ProfileReader::finished, this, [this](const ProfileReadResult &read) {
        if (read.status != ProfileReadResult::Done) {
            m_inspecting = false;
            emit inspectFailed(tr("Reading the bridge failed: %1").arg(read.error));
            return;
        }
        m_bridge = { read.profile.serial, read.profile.model, read.profile.firmware, QString() };
        const regmap::Field &f = devEuiField();
        m_queue->read(f.address, f.count, 0, [this](const RequestQueue::Reply &r) {
            m_inspecting = false;
            if (!r.ok()) {
                emit inspectFailed(tr("Reading the bridge's DevEUI failed: %1").arg(r.text));
                return false;
            }
            m_bridge.devEui = keylist::hexOf(r.values);
            emit inspected(m_bridge);
            return true;
        });
    });
    connect(m_writer, &ProfileWriter::progress, this,
            [this](int done, int total, const QString &s) {
                if (m_running)
                    emit stepChanged(WriteProfile, Running,
                                     tr("%1 (%2 of %3)").arg(s).arg(done).arg(total));
            });
    connect(m_writer, &ProfileWriter::finished, this, [this](const ProfileWriteResult &r) {
        if (!m_running)
            return;
        const QStringList groups = r.writtenGroups();
        if (!groups.isEmpty())
            m_result.written << tr("profile (%1)").arg(groups.join(QLatin1String(", ")));
        if (r.status == ProfileWriteResult::Done)
            next(WriteProfile);
        else
            fail(WriteProfile, tr("Profile: %1").arg(r.error));
    });
}

QString Provisioner::stepName(Step step)
{
    switch (step) {
    case WriteDevEui: return tr("Write DevEUI");
    case WriteJoinEui: return tr("Write JoinEUI");
    case WriteAppKey: return tr("Write AppKey");
    case SetOtaa: return tr("Set the OTAA method");
    case WriteProfile: return tr("Write the profile");
    case ReadBack: return tr("Read back and compare");
    case StepCount: break;
    }
    return QString();
}

QVector<Provisioner::Step> Provisioner::steps(bool withProfile)
{
    QVector<Step> list;
    for (int s = 0; s < StepCount; ++s)
        if (withProfile || s != WriteProfile)
            list << Step(s);
    return list;
}

bool Provisioner::inspect()
{
    if (m_running || m_inspecting)
        return false;
    m_inspecting = true;
    return m_reader->startHeader();
}

bool Provisioner::start(const ProvisionRequest &request, QString *error)
{
    QString why;
    if (m_running || m_inspecting)
        why = tr("A bridge is being provisioned.");
    else if (request.withProfile) {
        const QString fileModel = request.profile.model, model = request.bridge.model;
        switch (profile::matchModels(fileModel, model)) {
        case profile::ModelMatch::OtherSeries:
            why = tr("The profile is of a %1, which is of another series than this %2.")
                      .arg(fileModel, model);
            break;
        case profile::ModelMatch::OtherModel:
            if (!request.confirmOtherModel)
                why = tr("The profile is of a %1; this bridge is a %2.").arg(fileModel, model);
            break;
        case profile::ModelMatch::Same:
            break;
        }
    }
    if (!why.isEmpty()) {
        *error = why;
        return false;
    }
    m_result = ProvisionResult();
    m_result.request = request;
    m_running = true;
    run(WriteDevEui);
    return true;
}

void Provisioner::run(Step step)
{
    const KeyRow &row = m_result.request.row;
    switch (step) {
    case WriteDevEui:
        return writeKey(step, devEuiField().address, keylist::registers(row.devEui));
    case WriteJoinEui:
        return writeKey(step, joinEuiField().address, keylist::registers(row.joinEui));
    case WriteAppKey:
        return writeKey(step, appKeyField().address, keylist::registers(row.appKey));
    case SetOtaa:
        return writeKey(step, methodField().address, { Otaa });
    case WriteProfile:
        return writeProfile();
    case ReadBack:
    case StepCount:
        break;
    }
    emit stepChanged(ReadBack, Running, QString());
    const quint16 first = devEuiField().address;
    m_queue->read(first, quint16(methodField().address + 1 - first), 0,
                  [this](const RequestQueue::Reply &r) { return readBack(r); });
}

void Provisioner::writeKey(Step step, quint16 address, const QVector<quint16> &values)
{
    emit stepChanged(step, Running, QString());
    m_queue->write(address, values, 0,
                   [this, step](const RequestQueue::Reply &r) { return written(step, r); });
}

bool Provisioner::written(Step step, const RequestQueue::Reply &reply)
{
    static const char *const names[] = { "DevEUI", "JoinEUI", "AppKey", "OTAA method" };
    const QString name = QLatin1String(names[step]);
    if (reply.ok()) {
        m_result.written << name;
        next(step);
        return true;
    }
    if (reply.refusedByDevice()) {
        fail(step, tr("%1 refused by the bridge: %2")
                       .arg(name, RequestQueue::exceptionText(reply.exceptionCode)));
    } else {
        // Without an answer the bridge may have taken it all the same.
        m_result.written << tr("%1 (unconfirmed)").arg(name);
        fail(step, tr("%1: %2").arg(name, reply.text));
    }
    return false;
}

void Provisioner::writeProfile()
{
    emit stepChanged(WriteProfile, Running, QString());
    ProfileWriteRequest w;
    w.profile = m_result.request.profile;
    w.profilePath = m_result.request.profilePath;
    w.confirmOtherModel = true;  // checked before anything was written
    w.backup = false;
    // The profile's LoRaWAN settings must not undo the row: its JoinEUI and
    // method become the row's.
    const QString joinEui =
        codec::registersToHexText(keylist::registers(m_result.request.row.joinEui));
    for (ProfileGroup &g : w.profile.groups) {
        if (g.name != QLatin1String(LoraWan) || !g.present)
            continue;
        g.fields.insert(joinEuiField().name, joinEui);
        g.fields.insert(methodField().name, methodField().choices.value(Otaa));
    }
    QString error;
    if (!m_writer->start(w, &error))
        fail(WriteProfile, tr("Profile: %1").arg(error));
}

bool Provisioner::readBack(const RequestQueue::Reply &reply)
{
    if (!reply.ok()) {
        fail(ReadBack, tr("Reading back failed: %1").arg(reply.text));
        return false;
    }
    const KeyRow &row = m_result.request.row;
    const quint16 first = devEuiField().address;
    const auto part = [&reply, first](const regmap::Field &f) {
        return keylist::hexOf(reply.values.mid(f.address - first, f.count));
    };
    QStringList differences;
    if (part(devEuiField()) != row.devEui)
        differences << tr("DevEUI reads %1").arg(keylist::spaced(part(devEuiField())));
    if (part(joinEuiField()) != row.joinEui)
        differences << tr("JoinEUI reads %1").arg(keylist::spaced(part(joinEuiField())));
    if (part(appKeyField()) != row.appKey)
        differences << tr("AppKey reads back different");  // the key itself is never shown
    const quint16 method = reply.values.value(methodField().address - first);
    if (method != Otaa)
        differences << tr("the method reads %1")
                           .arg(methodField().choices.value(method, QString::number(method)));
    if (differences.isEmpty()) {
        emit stepChanged(ReadBack, Done, QString());
        end(true);
    } else {
        fail(ReadBack, tr("Read back: %1").arg(differences.join(QLatin1String(", "))));
    }
    return true;
}

void Provisioner::next(Step after)
{
    emit stepChanged(after, Done, QString());
    Step step = Step(after + 1);
    if (step == WriteProfile && !m_result.request.withProfile)
        step = ReadBack;
    run(step);
}

void Provisioner::fail(Step step, const QString &reason)
{
    emit stepChanged(step, Failed, reason);
    end(false, reason);
}

void Provisioner::end(bool ok, const QString &reason)
{
    if (!m_running)
        return;
    m_running = false;
    m_result.ok = ok;
    m_result.reason = reason;
    emit finished(m_result);
}
