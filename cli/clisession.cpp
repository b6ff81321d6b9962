#include "cli/clisession.h"

#include "link/connectprocedure.h"
#include "link/link.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QModbusClient>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define NW_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define NW_ISATTY(f) isatty(fileno(f))
#endif

namespace {

void print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void printJson(const QJsonObject &o)
{
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

// Columns padded to their widest cell.
QString table(const QVector<QStringList> &rows)
{
    QVector<int> widths;
    for (const QStringList &row : rows)
        for (int c = 0; c < row.size(); ++c) {
            widths.resize(qMax(widths.size(), c + 1));
            widths[c] = qMax(widths.at(c), row.at(c).size());
        }
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (int c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row.at(c).leftJustified(widths.at(c) + 2) : row.at(c);
        text += line + QLatin1Char('\n');
    }
    return text;
}

QString outcomeText(const GroupWriteOutcome &g)
{
    static const char *const words[] = { "written and verified", "refused", "not verified",
                                         "failed", "skipped", "not written" };
    const QString word = QString::fromLatin1(words[g.status]);
    return g.detail.isEmpty() ? word : QStringLiteral("%1: %2").arg(word, g.detail);
}

} // namespace

CliSession::CliSession(const CliOptions &options, QObject *parent)
    : QObject(parent), m_options(options), m_link(new Link(this)),
      m_connect(new ConnectProcedure(m_link, this)), m_reader(new ProfileReader(m_link, this)),
      m_writer(new ProfileWriter(m_link, this)), m_provisioner(new Provisioner(m_link, this))
{
    const QString port = options.port;
    m_link->setPortSource([port] { return port; });
    connect(m_connect, &ConnectProcedure::modelIdentified, this, [this](const ModelGating &gating) {
        if (gating.otherSeries) {
            m_connect->endRefusal();
            fail(tr("%1 is not a bridge of the NB500/NB520 series").arg(m_options.port));
        }
    });
    connect(m_connect, &ConnectProcedure::finished, this, [this](bool connected) {
        if (connected)
            runCommand();
    });
    connect(m_reader, &ProfileReader::progress, this, &CliSession::showProgress);
    connect(m_writer, &ProfileWriter::progress, this, &CliSession::showProgress);
    connect(m_writer, &ProfileWriter::finished, this, &CliSession::written);
    connect(m_provisioner, &Provisioner::inspected, this, &CliSession::provision);
    connect(m_provisioner, &Provisioner::inspectFailed, this, &CliSession::fail);
    connect(m_provisioner, &Provisioner::stepChanged, this,
            [this](int step, int state, const QString &detail) {
                if (state == Provisioner::Running)
                    showProgress(step, Provisioner::StepCount,
                                 detail.isEmpty() ? Provisioner::stepName(Provisioner::Step(step))
                                                  : detail);
            });
    connect(m_provisioner, &Provisioner::finished, this, &CliSession::provisioned);
}

void CliSession::start()
{
    const QString profilePath =
        m_options.command == QLatin1String("provision") ? m_options.profile : m_options.file;
    if (m_options.command == QLatin1String("provision") && !openBatch())
        return;
    if (m_options.command == QLatin1String("diff") || m_options.command == QLatin1String("write")
        || !m_options.profile.isEmpty()) {
        QString error;
        if (!profile::readFile(profilePath, &m_file, &error)) {
            fail(error);
            return;
        }
    }
    m_connect->begin();
    const LoginSession::Attempt attempt =
        m_connect->sendLogin(m_options.user, m_options.password, this, [this](bool accepted) {
            if (!accepted) {
                fail(tr("login failed: the bridge on %1 refused user %2 or did not answer")
                         .arg(m_options.port, m_options.user));
                return;
            }
            m_connect->setLoginAccepted();
        });
    if (attempt == LoginSession::Attempt::PortUnavailable
        || attempt == LoginSession::Attempt::NotSent) {
        const QString why = m_link->device() ? m_link->device()->errorString() : QString();
        fail(tr("cannot open %1").arg(m_options.port) + (why.isEmpty() ? QString() : ": " + why));
    }
}

void CliSession::runCommand()
{
    const QString &command = m_options.command;
    if (command == QLatin1String("write")) {
        ProfileWriteRequest request;
        request.profile = m_file;
        request.profilePath = m_options.file;
        request.groups = m_options.groups;
        request.withIdentity = m_options.withIdentity;
        request.confirmOtherModel = m_options.confirmModel;
        QString error;
        if (!m_writer->start(request, &error))
            fail(error);
        return;
    }
    if (command == QLatin1String("provision")) {
        m_provisioner->inspect();
        return;
    }
    connect(m_reader, &ProfileReader::finished, this, [this, command](const ProfileReadResult &r) {
        const ProfileReadResult &read = r;
        if (read.status != ProfileReadResult::Done)
            fail(read.error);
        else if (command == QLatin1String("info"))
            info(read);
        else if (command == QLatin1String("save"))
            saved(read);
        else
            compared(read);
    });
    if (command == QLatin1String("info"))
        m_reader->startHeader();
    else
        m_reader->start(command == QLatin1String("diff") ? m_file.presentGroups() : QStringList());
}

void CliSession::info(const ProfileReadResult &read)
{
    const Profile &p = read.profile;
    if (m_options.json)
        printJson({ { "model", p.model }, { "firmware", p.firmware }, { "serial", p.serial },
                    { "port", m_options.port } });
    else
        print(table({ { tr("model:"), p.model }, { tr("firmware:"), p.firmware },
                      { tr("serial:"), p.serial }, { tr("port:"), m_options.port } }));
    finish(Success);
}

void CliSession::saved(const ProfileReadResult &read)
{
    QString error;
    if (!profile::writeFile(m_options.file, read.profile, &error)) {
        fail(error);
        return;
    }
    QJsonArray groups;
    QVector<QStringList> rows;
    for (const ProfileGroup &g : read.profile.groups) {
        QJsonObject o{ { "group", g.name }, { "saved", g.present } };
        if (!g.present)
            o.insert(QStringLiteral("absent"), g.absentReason);
        groups << o;
        rows << QStringList{ g.name + QLatin1Char(':'),
                             g.present ? tr("saved") : tr("absent (%1)").arg(g.absentReason) };
    }
    if (m_options.json)
        printJson({ { "file", m_options.file }, { "model", read.profile.model },
                    { "groups", groups } });
    else
        print(tr("Saved %1 (serial %2) to %3\n")
                  .arg(read.profile.model, read.profile.serial, m_options.file)
              + table(rows));
    finish(Success);
}

void CliSession::compared(const ProfileReadResult &read)
{
    const QVector<ProfileDifference> differences = profile::compare(read.profile, m_file);
    QJsonArray list;
    QVector<QStringList> rows{ { tr("group"), tr("field"), tr("bridge"), tr("file") } };
    for (const ProfileDifference &d : differences) {
        list << QJsonObject{ { "group", d.group }, { "field", d.field }, { "bridge", d.bridge },
                             { "file", d.file }, { "identity", d.identity } };
        rows << QStringList{ d.group, d.field.isEmpty() ? QStringLiteral("-") : d.field, d.bridge,
                             d.file };
    }
    if (m_options.json)
        printJson({ { "differences", list } });
    else
        print(differences.isEmpty()
                  ? tr("No differences between the bridge and %1.\n").arg(m_options.file)
                  : table(rows));
    finish(differences.isEmpty() ? Success : Differences);
}

void CliSession::written(const ProfileWriteResult &result)
{
    QJsonArray groups;
    QVector<QStringList> rows;
    for (const GroupWriteOutcome &g : result.groups) {
        groups << QJsonObject{ { "group", g.group }, { "result", outcomeText(g) } };
        rows << QStringList{ g.group + QLatin1Char(':'), outcomeText(g) };
    }
    if (m_options.json)
        printJson({ { "backup", result.backupPath }, { "groups", groups },
                    { "ok", result.status == ProfileWriteResult::Done } });
    else if (!result.groups.isEmpty() && !result.backupPath.isEmpty())
        print(tr("Backup of the bridge: %1\n").arg(result.backupPath) + table(rows));
    if (result.status == ProfileWriteResult::Done) {
        finish(Success);
        return;
    }
    QString error = result.error;
    if (result.status == ProfileWriteResult::NeedsConfirmation)
        error += tr(" Add --confirm-model to write it all the same.");
    else if (!result.backupPath.isEmpty()) {
        const QStringList written = result.writtenGroups();
        error += tr(" (written: %1; backup: %2)")
                     .arg(written.isEmpty() ? tr("nothing") : written.join(QLatin1String(", ")),
                          result.backupPath);
    }
    fail(error);
}

bool CliSession::openBatch()
{
    QString error;
    if (!m_batch.open(m_options.file, &error)) {
        fail(error);
        return false;
    }
    for (const KeyRowFault &f : m_batch.keys().faults)
        std::fprintf(stderr, "%s\n", qPrintable(tr("%1: line %2 left out: %3")
                                                    .arg(m_options.file).arg(f.line).arg(f.reason)));
    return true;
}

void CliSession::provision(const BridgeIdentity &bridge)
{
    const ProvisionBatch::Choice choice = m_batch.choose(bridge.serial, bridge.devEui);
    if (choice.row < 0) {
        fail(choice.refusal);
        return;
    }
    ProvisionRequest request;
    request.bridge = bridge;
    request.row = m_batch.keys().rows.at(choice.row);
    request.withProfile = !m_options.profile.isEmpty();
    request.profile = m_file;
    request.profilePath = m_options.profile;
    request.confirmOtherModel = m_options.confirmModel;
    const KeyRow &row = request.row;
    print(tr("Line %1%2 goes to the bridge with serial %3 (%4)%5: DevEUI %6, JoinEUI %7, key %8\n")
              .arg(row.line)
              .arg(row.name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(row.name))
              .arg(bridge.serial, bridge.model,
                   choice.heldByBridge ? tr(", which holds its DevEUI")
                   : choice.again      ? tr(", which had it before") : QString(),
                   row.devEui, row.joinEui, keylist::fingerprint(row.appKey)));
    QString error;
    if (!m_provisioner->start(request, &error))
        fail(profile::matchModels(m_file.model, bridge.model) == profile::ModelMatch::OtherModel
                 ? error + tr(" Add --confirm-model to write it all the same.") : error);
}

void CliSession::provisioned(const ProvisionResult &result)
{
    QString error;
    const bool logged = m_batch.record(result.auditEntry(), &error);
    if (result.ok && logged) {
        print(tr("Written and verified; logged in %1\n").arg(m_batch.auditPath()));
        finish(Success);
    } else if (!result.ok) {
        fail(tr("%1 (written: %2)").arg(result.reason, result.writtenText())
             + (logged ? QString() : tr("; the audit log failed too: %1").arg(error)));
    } else {
        fail(tr("written and verified, but the audit log failed: %1").arg(error));
    }
}

void CliSession::showProgress(int done, int total, const QString &step)
{
    if (!NW_ISATTY(stderr) || total <= 0)
        return;
    std::fprintf(stderr, "\r%-60.60s %3d/%d", step.toLocal8Bit().constData(), done, total);
    std::fflush(stderr);
    m_progressShown = true;
}

void CliSession::fail(const QString &message)
{
    if (m_done)
        return;
    if (m_progressShown)
        std::fputs("\n", stderr);
    m_progressShown = false;
    std::fprintf(stderr, "nodeweave-cli: %s\n", message.simplified().toLocal8Bit().constData());
    finish(Error);
}

void CliSession::finish(int code)
{
    if (m_done)
        return;
    m_done = true;
    if (m_progressShown)
        std::fputs("\n", stderr);
    m_link->close();
    QCoreApplication::exit(code);
}
