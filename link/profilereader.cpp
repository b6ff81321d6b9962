#include "link/profilereader.h"

#include "link/codec.h"
#include "link/modelgating.h"

namespace {
// The header's two blocks: model name and serial number, then the firmware.
constexpr quint16 HeaderStart = regmap::ModelStart;
constexpr quint16 HeaderCount = regmap::SerialStart + regmap::SerialCount - regmap::ModelStart;
constexpr int HeaderBlocks = 2;

bool wanted(const QStringList &groups, const regmap::Group *g)
{
    return groups.isEmpty() || groups.contains(g->name);
}
}

ProfileReader::ProfileReader(Link *link, QObject *parent)
    : QObject(parent), m_queue(new RequestQueue(link, this))
{
    qRegisterMetaType<ProfileReadResult>();
}

ProfileReader::ProfileReader(RequestQueue *queue, QObject *parent)
    : QObject(parent), m_queue(queue)
{
    qRegisterMetaType<ProfileReadResult>();
}

int ProfileReader::blockCount(const QString &model, const QStringList &groups, bool withHeader)
{
    const ModelGating gating = gatingForModel(model);
    int count = withHeader ? HeaderBlocks : 0;
    for (const regmap::Group *g : regmap::profileGroups())
        if (wanted(groups, g) && regmap::offeredBy(*g, gating))
            count += g->blocks.size();
    return count;
}

bool ProfileReader::startHeader()
{
    if (!start())
        return false;
    m_headerOnly = true;
    m_total = HeaderBlocks;
    return true;
}

// Starts a run of the given groups from a clean result; false while one runs.
bool ProfileReader::begin(const QStringList &groups)
{
    if (m_running)
        return false;
    m_running = true;
    m_headerOnly = false;
    m_wanted = groups;
    m_profile = Profile();
    m_registers.clear();
    m_absent.clear();
    m_done = 0;
    return true;
}

bool ProfileReader::start(const QStringList &groups)
{
    if (!begin(groups))
        return false;
    m_total = blockCount(QString(), groups, true);
    readHeader();
    return true;
}

bool ProfileReader::startGroups(const QString &model, const QStringList &groups)
{
    if (!begin(groups))
        return false;
    m_profile.model = model;
    plan(groups);
    m_total = m_steps.size();
    next();
    return true;
}

void ProfileReader::cancel()
{
    if (!m_running)
        return;
    m_queue->clear();
    end(ProfileReadResult::Cancelled);
}

void ProfileReader::readHeader()
{
    emit progress(0, m_total, QString());
    m_queue->read(HeaderStart, HeaderCount, 0, [this](const RequestQueue::Reply &r) {
        return r.ok() ? headerDone(0, r.values) : (end(ProfileReadResult::Failed, r.text), false);
    });
    m_queue->read(regmap::FirmwareStart, regmap::FirmwareCount, 0,
                  [this](const RequestQueue::Reply &r) {
                      return r.ok() ? headerDone(1, r.values)
                                    : (end(ProfileReadResult::Failed, r.text), false);
                  });
}

bool ProfileReader::headerDone(int part, const QVector<quint16> &values)
{
    ++m_done;
    if (part == 0) {
        const QVector<quint16> serial =
            values.mid(regmap::SerialStart - HeaderStart, regmap::SerialCount);
        m_profile.model = codec::zeroEndedText(values.mid(0, regmap::ModelCount));
        if (!codec::serialNumberUnset(serial))
            m_profile.serial = codec::zeroEndedText(serial);
        emit headerRead(m_profile.model);
        return m_running;  // the receiver may have cancelled
    }
    m_profile.firmware = codec::versionText(values);
    if (m_headerOnly) {
        end(ProfileReadResult::Done);
        return true;
    }
    plan(m_wanted);
    m_total = HeaderBlocks + m_steps.size();
    next();
    return true;
}

void ProfileReader::plan(const QStringList &groups)
{
    m_steps.clear();
    m_nextStep = 0;
    const ModelGating gating = gatingForModel(m_profile.model);
    for (const regmap::Group *g : regmap::profileGroups()) {
        if (!wanted(groups, g))
            continue;
        m_profile.groups.append(ProfileGroup{ g->name, false, QString(), {} });
        if (!regmap::offeredBy(*g, gating)) {
            m_absent.insert(g->name, tr("not offered by %1").arg(m_profile.model));
            continue;
        }
        for (int b = 0; b < g->blocks.size(); ++b)
            m_steps.append({ g, b });
    }
}

void ProfileReader::next()
{
    while (m_nextStep < m_steps.size() && m_absent.contains(m_steps.at(m_nextStep).group->name)) {
        ++m_nextStep;  // the rest of a group the bridge refused
        ++m_done;
    }
    if (m_nextStep >= m_steps.size()) {
        end(ProfileReadResult::Done);
        return;
    }
    const Step step = m_steps.at(m_nextStep++);
    const regmap::Block &block = step.group->blocks.at(step.block);
    emit progress(m_done, m_total, step.group->name);
    m_queue->read(block.start, block.count, block.readPause,
                  [this, step](const RequestQueue::Reply &r) { return blockDone(step, r); });
}

bool ProfileReader::blockDone(const Step &step, const RequestQueue::Reply &reply)
{
    ++m_done;
    if (reply.refusedByDevice()) {
        const QString reason = RequestQueue::exceptionText(reply.exceptionCode);
        m_absent.insert(step.group->name, tr("refused by the bridge: %1").arg(reason));
    } else if (!reply.ok()) {
        end(ProfileReadResult::Failed, QStringLiteral("%1: %2").arg(step.group->name, reply.text));
        return false;
    } else {
        const regmap::Block &block = step.group->blocks.at(step.block);
        for (int i = 0; i < block.count; ++i)
            m_registers.insert(quint16(block.start + i), reply.values.value(i));
    }
    next();
    return true;
}

void ProfileReader::end(ProfileReadResult::Status status, const QString &error)
{
    if (!m_running)
        return;
    m_running = false;
    ProfileReadResult result;
    result.status = status;
    result.error = error;
    if (status == ProfileReadResult::Done) {
        emit progress(m_total, m_total, QString());
        const profilefields::Context context = profilefields::Context::forModel(m_profile.model);
        for (ProfileGroup &g : m_profile.groups) {
            if (m_absent.contains(g.name))
                g.absentReason = m_absent.value(g.name);
            else
                g = profile::decodeGroup(*regmap::group(g.name), m_registers, context);
        }
        m_profile.time = QDateTime::currentDateTimeUtc();
        result.profile = m_profile;
        result.registers = m_registers;
    }
    emit finished(result);
}
