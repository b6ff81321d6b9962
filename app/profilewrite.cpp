// Writing a profile to the bridge: the file is read and checked, its model
// matched with the bridge's, the groups chosen; then the writer backs the
// bridge up, writes and checks group by group, and the report lists each
// group's outcome and the backup file.
#include "app/profileactions.h"

#include "app/profilereportdialog.h"
#include "app/profilewritedialog.h"
#include "link/link.h"
#include "link/modelgating.h"

#include <QDir>
#include <QMessageBox>

namespace {

QString outcomeText(const GroupWriteOutcome &g, bool identityKept)
{
    switch (g.status) {
    case GroupWriteOutcome::Verified:
        return identityKept ? ProfileActions::tr("written and verified; the fields that identify "
                                                 "this device were left as they were")
                            : ProfileActions::tr("written and verified");
    case GroupWriteOutcome::Refused:
        return ProfileActions::tr("refused by the bridge: %1").arg(g.detail);
    case GroupWriteOutcome::NotVerified:
        return ProfileActions::tr("written, but not verified: %1").arg(g.detail);
    case GroupWriteOutcome::Failed:
        return ProfileActions::tr("failed: %1").arg(g.detail);
    case GroupWriteOutcome::Skipped:
        return ProfileActions::tr("not written: %1").arg(g.detail);
    case GroupWriteOutcome::NotWritten:
        break;
    }
    return ProfileActions::tr("not written");
}

} // namespace

void ProfileActions::write()
{
    if (isBusy() || m_writeDialog)
        return;
    const QString title = tr("Write profile");
    const QString path = chooseFile(FileChoice::Open, title, m_folder);
    Profile file;
    if (path.isEmpty() || !readProfileFile(title, path, &file))
        return;
    if (file.presentGroups().isEmpty()) {
        showBox(QMessageBox::Warning, title, tr("The profile %1 holds no group to write.")
                                                 .arg(QDir::toNativeSeparators(path)));
        return;
    }
    const QString bridge = bridgeModel();
    switch (profile::matchModels(file.model, bridge)) {
    case profile::ModelMatch::OtherSeries:
        showBox(QMessageBox::Warning, title,
                tr("This profile was saved from a %1 (%2 series); the bridge is a %3 (%4 series).\n\n"
                   "Settings are only written to a bridge of the same series. Nothing was written.")
                    .arg(file.model, gatingForModel(file.model).series, bridge,
                         gatingForModel(bridge).series));
        return;
    case profile::ModelMatch::OtherModel:
        ask(title,
            tr("This profile was saved from a %1; the bridge is a %2 of the same series.\n\n"
               "Write it to this bridge all the same?")
                .arg(file.model, bridge),
            [this, file, path] { chooseGroups(file, path, true); });
        return;
    case profile::ModelMatch::Same:
        chooseGroups(file, path, false);
        return;
    }
}

void ProfileActions::chooseGroups(const Profile &file, const QString &path, bool confirmedModel)
{
    auto *dialog = new ProfileWriteDialog(file, path, bridgeModel(), m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog, file, path, confirmedModel] {
        ProfileWriteRequest request;
        request.profile = file;
        request.profilePath = path;
        request.groups = dialog->chosenGroups();
        request.withIdentity = dialog->withIdentity();
        request.confirmOtherModel = confirmedModel;
        startWrite(request);
    });
    m_writeDialog = dialog;
    dialog->open();
}

void ProfileActions::startWrite(const ProfileWriteRequest &request)
{
    if (isBusy())
        return;
    QString error;
    if (!m_writer->start(request, &error)) {
        showBox(QMessageBox::Warning, tr("Write profile"),
                tr("Nothing was written: %1").arg(error));
        return;
    }
    m_request = request;
    m_job = Job::Write;
    startProgress(tr("Write profile"));
}

void ProfileActions::writeFinished(const ProfileWriteResult &result)
{
    m_job = Job::None;
    endProgress();
    const QString title = tr("Write profile");
    switch (result.status) {
    case ProfileWriteResult::NeedsConfirmation:
        ask(title, result.error + tr("\n\nWrite it to this bridge all the same?"), [this] {
            ProfileWriteRequest request = m_request;
            request.confirmOtherModel = true;
            startWrite(request);
        });
        return;
    case ProfileWriteResult::WrongSeries:
        showBox(QMessageBox::Warning, title, result.error + tr("\n\nNothing was written."));
        return;
    case ProfileWriteResult::Done:
        break;
    case ProfileWriteResult::Failed:
    case ProfileWriteResult::Cancelled:
        if (!result.backupPath.isEmpty())
            break;
        if (result.status == ProfileWriteResult::Cancelled)
            m_link->showMessage(tr("Write cancelled: nothing was written."), 5000);
        else
            showBox(QMessageBox::Warning, title, result.error + tr("\n\nNothing was written."));
        return;
    }
    showWriteReport(result);
}

void ProfileActions::showWriteReport(const ProfileWriteResult &result)
{
    const QString backup = QDir::toNativeSeparators(result.backupPath);
    QString heading, footer;
    int underWay = -1;  // the group a cancel or failure may have left partly written
    for (int i = 0; i < result.groups.size() && underWay < 0; ++i)
        if (result.groups.at(i).status == GroupWriteOutcome::NotWritten)
            underWay = i;
    if (result.status == ProfileWriteResult::Done) {
        heading = tr("The profile was written to the bridge; each group was read back and checked.");
        footer = tr("The bridge's values from before the write are saved in %1.").arg(backup);
    } else {
        heading = result.status == ProfileWriteResult::Cancelled
                      ? tr("The write was cancelled.") : tr("The write stopped at %1.").arg(result.error);
        const QStringList written = result.writtenGroups();
        footer = tr("Written before it stopped: %1.")
                     .arg(written.isEmpty() ? tr("no group") : written.join(QStringLiteral(", ")));
        if (result.status == ProfileWriteResult::Cancelled && underWay >= 0)
            footer += tr(" %1 may be partly written.").arg(result.groups.at(underWay).group);
        footer += tr(" The bridge's values from before the write are saved in %1; write that file "
                     "to undo it.").arg(backup);
    }
    // The pages keep what they read before; a page's Write would put that back.
    if (!result.writtenGroups().isEmpty())
        footer += tr(" The pages still show what they read before the write: Read a page again "
                     "before writing from it.");
    auto *dialog = new ProfileReportDialog(tr("Write profile"), heading,
                                           { tr("Group"), tr("Result") }, { 1 }, m_window);
    // Every group of the profile, the ones not chosen too.
    for (const QString &name : m_request.profile.presentGroups()) {
        const GroupWriteOutcome *g = nullptr;
        for (const GroupWriteOutcome &o : result.groups)
            g = o.group == name ? &o : g;
        if (!g) {
            dialog->addRow({ name, tr("not chosen") });
            continue;
        }
        const bool kept = !m_request.withIdentity && regmap::group(name)->hasIdentity();
        const bool trouble = g->status == GroupWriteOutcome::Refused
                             || g->status == GroupWriteOutcome::NotVerified
                             || g->status == GroupWriteOutcome::Failed;
        dialog->addRow({ name, outcomeText(*g, kept) },
                       trouble ? ProfileReportDialog::Mark::Problem : ProfileReportDialog::Mark::None);
    }
    dialog->resize(760, 420);
    dialog->setFooter(footer);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    m_link->showMessage(result.status == ProfileWriteResult::Done
                            ? tr("Profile written; backup in %1.").arg(backup)
                            : heading + tr(" Backup in %1.").arg(backup));
}
