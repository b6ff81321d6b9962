#include "link/profilewriter.h"

#include "link/modelgating.h"
#include "link/requestqueue.h"

#include <QDir>
#include <QFileInfo>

namespace {
// The reads of the model, serial number and firmware.
int headerBlocks()
{
    return ProfileReader::blockCount(QString(), {}, true)
           - ProfileReader::blockCount(QString(), {}, false);
}
}

QStringList ProfileWriteResult::writtenGroups() const
{
    QStringList names;
    for (const GroupWriteOutcome &g : groups)
        if (g.status == GroupWriteOutcome::Verified || g.status == GroupWriteOutcome::NotVerified)
            names << g.group;
    return names;
}

ProfileWriter::ProfileWriter(Link *link, QObject *parent)
    : QObject(parent), m_queue(new RequestQueue(link, this)),
      m_reader(new ProfileReader(m_queue, this))
{
    qRegisterMetaType<ProfileWriteResult>();
    qRegisterMetaType<GroupWriteOutcome>();
    connect(m_reader, &ProfileReader::headerRead, this, &ProfileWriter::onHeader);
    connect(m_reader, &ProfileReader::finished, this, [this](const ProfileReadResult &read) {
        if (!m_running)
            return;
        if (m_verifying)
            onVerified(read);
        else
            onBackupRead(read);
    });
    connect(m_reader, &ProfileReader::progress, this, [this](int done, int, const QString &group) {
        if (m_running && !group.isEmpty())
            emit progress(qMin(m_done + done, m_total), m_total,
                          (m_verifying ? tr("Checking %1") : tr("Backup of %1")).arg(group));
    });
}

bool ProfileWriter::start(const ProfileWriteRequest &request, QString *error)
{
    QString why;
    const QStringList chosen =
        request.groups.isEmpty() ? request.profile.presentGroups() : request.groups;
    for (const QString &name : chosen) {
        const ProfileGroup *g = request.profile.group(name);
        if (!g || !g->present)
            why = tr("%1: not in the profile").arg(name);
    }
    if (m_running)
        why = tr("a write is under way");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    m_request = request;
    m_result = ProfileWriteResult();
    for (const regmap::Group *g : regmap::profileGroups())
        if (chosen.contains(g->name))
            m_result.groups.append({ g->name, GroupWriteOutcome::NotWritten, QString() });
    m_request.groups.clear();
    for (const GroupWriteOutcome &g : m_result.groups)
        m_request.groups << g.group;
    // Backup (or the header alone), one write per block at least, and the
    // check of each group.
    const QString model = request.profile.model;
    m_total = (request.backup ? ProfileReader::blockCount(model, m_request.groups, true)
                              : headerBlocks())
              + 2 * ProfileReader::blockCount(model, m_request.groups, false);
    m_done = 0;
    m_group = 0;
    m_verifying = false;
    m_running = true;
    if (request.backup)
        m_reader->start(m_request.groups);
    else
        m_reader->startHeader();
    return true;
}

void ProfileWriter::cancel()
{
    end(ProfileWriteResult::Cancelled);
}

void ProfileWriter::onHeader(const QString &model)
{
    if (!m_running || m_verifying)
        return;
    m_result.bridgeModel = model;
    const QString fileModel = m_request.profile.model;
    switch (profile::matchModels(fileModel, model)) {
    case profile::ModelMatch::OtherSeries:
        end(ProfileWriteResult::WrongSeries,
            tr("The profile is of a %1 (%2 series); this bridge is a %3 (%4 series). Settings are "
               "only written within a series.")
                .arg(fileModel, gatingForModel(fileModel).series, model,
                     gatingForModel(model).series));
        return;
    case profile::ModelMatch::OtherModel:
        if (!m_request.confirmOtherModel)
            end(ProfileWriteResult::NeedsConfirmation,
                tr("The profile is of a %1; this bridge is a %2.").arg(fileModel, model));
        return;
    case profile::ModelMatch::Same:
        return;
    }
}

void ProfileWriter::onBackupRead(const ProfileReadResult &read)
{
    if (read.status != ProfileReadResult::Done) {
        end(read.status == ProfileReadResult::Cancelled ? ProfileWriteResult::Cancelled
                                                         : ProfileWriteResult::Failed,
            (m_request.backup ? tr("Reading the bridge for the backup failed: %1")
                              : tr("Reading the bridge failed: %1")).arg(read.error));
        return;
    }
    if (!m_request.backup) {
        m_done = headerBlocks();
        nextGroup();
        return;
    }
    m_done = ProfileReader::blockCount(read.profile.model, m_request.groups, true);
    const QFileInfo info(m_request.profilePath);
    const QString base =
        info.completeBaseName().isEmpty() ? QStringLiteral("profile") : info.completeBaseName();
    const QString stem = info.absoluteDir().filePath(base + QStringLiteral("-backup"));
    QString path, error;
    if (!profile::writeNewFile(stem, read.profile, &path, &error)) {
        end(ProfileWriteResult::Failed, tr("The backup could not be written: %1").arg(error));
        return;
    }
    m_result.backupPath = path;
    emit backupWritten(path);
    nextGroup();
}

void ProfileWriter::nextGroup()
{
    if (!m_running)
        return;
    if (m_group >= m_result.groups.size()) {
        end(ProfileWriteResult::Done);
        return;
    }
    const regmap::Group &group = *regmap::group(m_result.groups.at(m_group).group);
    if (!regmap::offeredBy(group, gatingForModel(m_result.bridgeModel))) {
        groupEnded(GroupWriteOutcome::Skipped, tr("not offered by %1").arg(m_result.bridgeModel));
        return;
    }
    QMap<quint16, quint16> registers;
    QString error;
    if (!profile::groupRegisters(m_request.profile, group, m_request.withIdentity, &registers,
                                 &error)) {
        groupEnded(GroupWriteOutcome::Failed, error);
        return;
    }
    if (registers.isEmpty()) {
        groupEnded(GroupWriteOutcome::Skipped, tr("only fields that identify one device"));
        return;
    }
    writeGroup(group, registers);
}

void ProfileWriter::writeGroup(const regmap::Group &group, const QMap<quint16, quint16> &registers)
{
    m_written = registers;
    // Runs of registers to write inside each block, at most 123 per request.
    struct Run { quint16 start; QVector<quint16> values; int pause; };
    QVector<Run> runs;
    for (const regmap::Block &b : group.blocks) {
        bool open = false;
        for (int a = b.start; a < b.end(); ++a) {
            if (!registers.contains(quint16(a))) {
                open = false;
                continue;
            }
            if (!open || runs.last().values.size() == regmap::MaxWriteRegisters)
                runs.append({ quint16(a), {}, b.writePause });
            runs.last().values.append(registers.value(quint16(a)));
            open = true;
        }
    }
    const QString step = tr("Writing %1").arg(group.name);
    for (int i = 0; i < runs.size(); ++i) {
        const bool last = i == runs.size() - 1;
        m_queue->write(runs.at(i).start, runs.at(i).values, runs.at(i).pause,
                       [this, last, step, name = group.name](const RequestQueue::Reply &r) {
            if (!r.ok()) {
                const bool refused = r.refusedByDevice();
                groupEnded(refused ? GroupWriteOutcome::Refused : GroupWriteOutcome::Failed,
                           refused ? RequestQueue::exceptionText(r.exceptionCode) : r.text);
                return false;
            }
            emit progress(qMin(++m_done, m_total), m_total, step);
            if (last) {
                m_verifying = true;
                m_reader->startGroups(m_result.bridgeModel, { name });
            }
            return true;
        });
    }
}

void ProfileWriter::onVerified(const ProfileReadResult &read)
{
    m_verifying = false;
    if (read.status != ProfileReadResult::Done) {
        groupEnded(GroupWriteOutcome::Failed, read.error);
        return;
    }
    const regmap::Group &group = *regmap::group(m_result.groups.at(m_group).group);
    m_done += group.blocks.size();
    const profilefields::Context context = profilefields::Context::forModel(m_result.bridgeModel);
    for (const regmap::Field &f : group.fields) {
        QVector<quint16> wrote, found;
        for (int i = 0; i < f.count; ++i) {
            const quint16 a = quint16(f.address + i);
            if (m_written.contains(a)) {
                wrote << m_written.value(a);
                found << read.registers.value(a);
            }
        }
        if (wrote == found)
            continue;
        const auto shown = [&f, &context](const QVector<quint16> &regs) {
            return profilefields::text(profilefields::decode(f, regs, context));
        };
        const bool single = wrote.size() == f.count && f.count <= 16;
        const QString detail = single
            ? tr("%1: bridge %2, profile %3").arg(f.name, shown(found), shown(wrote))
            : tr("%1: the bridge kept other values").arg(f.name);
        groupEnded(GroupWriteOutcome::NotVerified, detail);
        return;
    }
    groupEnded(GroupWriteOutcome::Verified, QString());
}

void ProfileWriter::groupEnded(GroupWriteOutcome::Status status, const QString &detail)
{
    GroupWriteOutcome &outcome = m_result.groups[m_group];
    outcome.status = status;
    outcome.detail = detail;
    emit groupDone(outcome);
    if (status == GroupWriteOutcome::Refused || status == GroupWriteOutcome::NotVerified
        || status == GroupWriteOutcome::Failed) {
        end(ProfileWriteResult::Failed, QStringLiteral("%1: %2").arg(outcome.group, detail));
        return;
    }
    ++m_group;
    nextGroup();
}

void ProfileWriter::end(ProfileWriteResult::Status status, const QString &error)
{
    if (!m_running)
        return;
    m_running = false;
    m_verifying = false;
    m_reader->cancel();
    m_queue->clear();
    m_result.status = status;
    m_result.error = error;
    emit finished(m_result);
}
