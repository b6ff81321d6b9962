// Saving and comparing, and what the three actions share: the file choice,
// the progress dialog and the message boxes. Writing is in profilewrite.cpp.
#include "app/profileactions.h"

#include "app/profilereportdialog.h"
#include "app/profilewritedialog.h"
#include "link/link.h"

#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A file dialog for profiles; a saved profile gets ".json" when no suffix is given.
QString fileDialog(QWidget *parent, const ProfileActions::FileChoice &choice)
{
    const QString filter = ProfileActions::tr("Device profiles (*.json);;All files (*)");
    if (choice.mode == ProfileActions::FileChoice::Open)
        return QFileDialog::getOpenFileName(parent, choice.title, choice.suggested, filter);
    QString path = QFileDialog::getSaveFileName(parent, choice.title, choice.suggested, filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");
    return path;
}

// "NB500-400_SN0042_2025-03-14.json": the model, the serial number and the day.
QString suggestedName(const Profile &p)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]+"));
    QStringList parts{ QString(p.model).replace(unsafe, QStringLiteral("-")) };
    if (!p.serial.isEmpty())
        parts << QString(p.serial).replace(unsafe, QStringLiteral("-"));
    parts << QDate::currentDate().toString(Qt::ISODate);
    return parts.join(QLatin1Char('_')) + QStringLiteral(".json");
}

// A whole table entry, as compared, reads "TANK1: slave ID 5, function code 3, ...".
QString entryText(const QString &value)
{
    if (!value.startsWith(QLatin1Char('{')))
        return value;
    const QJsonObject entry = QJsonDocument::fromJson(value.toUtf8()).object();
    QString name;
    QStringList parts;
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        const QString text = profilefields::text(it.value());
        if (it.key() == QLatin1String("name") || it.key() == QLatin1String("tag"))
            name = text;
        else
            parts << it.key() + QLatin1Char(' ') + text;
    }
    return (name.isEmpty() ? QString() : name + QStringLiteral(": ")) + parts.join(QStringLiteral(", "));
}

} // namespace

ProfileActions::ProfileActions(Link *link, QWidget *window, std::function<QString()> bridgeModel)
    : QObject(window), m_link(link), m_window(window), m_bridgeModel(std::move(bridgeModel)),
      m_reader(new ProfileReader(link, this)), m_writer(new ProfileWriter(link, this)),
      m_folder(QDir::currentPath())
{
    m_chooser = [this](const FileChoice &choice) { return fileDialog(m_window, choice); };
    // Results are handled from the event loop, not inside the reader's or
    // writer's own calls: they open dialogs and may start the next job.
    connect(m_reader, &ProfileReader::finished, this, &ProfileActions::readFinished,
            Qt::QueuedConnection);
    connect(m_writer, &ProfileWriter::finished, this, &ProfileActions::writeFinished,
            Qt::QueuedConnection);
    // A modal progress dialog runs the event loop in setValue(): never from
    // inside a reply's handling.
    connect(m_reader, &ProfileReader::progress, this, [this](int done, int total, const QString &g) {
        showProgress(done, total, g.isEmpty() ? QString() : tr("Reading %1\u2026").arg(g));
    }, Qt::QueuedConnection);
    connect(m_writer, &ProfileWriter::progress, this, [this](int done, int total, const QString &step) {
        showProgress(done, total, step + QStringLiteral("\u2026"));
    }, Qt::QueuedConnection);
}

QString ProfileActions::bridgeModel() const
{
    const QString name = m_bridgeModel ? m_bridgeModel() : QString();
    return name.left(name.indexOf(QChar(0)));  // the name as read keeps its zero bytes
}

QString ProfileActions::chooseFile(FileChoice::Mode mode, const QString &title,
                                   const QString &suggested)
{
    FileChoice choice;
    choice.mode = mode;
    choice.title = title;
    choice.suggested = suggested;
    const QString path = m_chooser(choice);
    if (!path.isEmpty())
        m_folder = QFileInfo(path).absolutePath();
    return path;
}

// Reads and checks a profile; a refused one is named in a box.
bool ProfileActions::readProfileFile(const QString &title, const QString &path, Profile *file)
{
    QString error;
    if (profile::readFile(path, file, &error))
        return true;
    const QString prefix = path + QStringLiteral(": ");
    if (error.startsWith(prefix))
        error = error.mid(prefix.size());
    showBox(QMessageBox::Warning, title,
            tr("The profile %1 was refused:\n\n%2").arg(native(path), error));
    return false;
}

void ProfileActions::startProgress(const QString &title)
{
    auto *dialog = new QProgressDialog(tr("Reading the bridge\u2026"), tr("Cancel"), 0, 0, m_window);
    dialog->setObjectName(QStringLiteral("profileProgress"));
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setMinimumWidth(440);
    connect(dialog, &QProgressDialog::canceled, this, &ProfileActions::cancel);
    m_progress = dialog;
    dialog->show();
}

void ProfileActions::showProgress(int done, int total, const QString &step)
{
    if (!m_progress || m_job == Job::None || m_job == Job::SaveHeader)
        return;
    if (!step.isEmpty())
        m_progress->setLabelText(step);
    m_progress->setMaximum(total);
    m_progress->setValue(done);
}

void ProfileActions::endProgress()
{
    if (!m_progress)
        return;
    m_progress->hide();
    m_progress->deleteLater();  // it may be emitting canceled()
    m_progress = nullptr;
}

void ProfileActions::cancel()
{
    if (m_job == Job::Write)
        m_writer->cancel();
    else
        m_reader->cancel();
}

void ProfileActions::linkClosed()
{
    if (m_writeDialog)
        m_writeDialog->reject();
    cancel();
}

QMessageBox *ProfileActions::showBox(int icon, const QString &title, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Icon(icon), title, text, QMessageBox::Ok, m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->open();
    return box;
}

void ProfileActions::ask(const QString &title, const QString &text,
                         const std::function<void()> &onYes)
{
    auto *box = new QMessageBox(QMessageBox::Question, title, text,
                                QMessageBox::Yes | QMessageBox::No, m_window);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [box, onYes] {
        if (box->clickedButton() == box->button(QMessageBox::Yes))
            onYes();
    });
    box->open();
}

void ProfileActions::save()
{
    if (isBusy())
        return;
    // The header first: the file's suggested name carries the serial number.
    m_job = Job::SaveHeader;
    if (!m_reader->startHeader())
        m_job = Job::None;
}

void ProfileActions::compare()
{
    if (isBusy())
        return;
    const QString title = tr("Compare with profile");
    const QString path = chooseFile(FileChoice::Open, title, m_folder);
    if (path.isEmpty() || !readProfileFile(title, path, &m_file))
        return;
    m_path = path;
    m_job = Job::Compare;
    m_reader->start(m_file.presentGroups());
    startProgress(title);
}

void ProfileActions::readFinished(const ProfileReadResult &read)
{
    const Job job = m_job;
    m_job = Job::None;
    endProgress();
    if (read.status == ProfileReadResult::Cancelled) {
        if (job != Job::SaveHeader)
            m_link->showMessage(job == Job::Save ? tr("Save cancelled: no file was written.")
                                                 : tr("Compare cancelled."), 5000);
        return;
    }
    if (read.status == ProfileReadResult::Failed) {
        const QString title = job == Job::Compare ? tr("Compare with profile") : tr("Save profile");
        showBox(QMessageBox::Warning, title,
                tr("The bridge could not be read: %1").arg(read.error)
                    + (job == Job::Compare ? QString() : tr("\n\nNo file was written.")));
        return;
    }
    if (job == Job::SaveHeader)
        headerRead(read);
    else if (job == Job::Save)
        saved(read);
    else if (job == Job::Compare)
        compared(read);
}

void ProfileActions::headerRead(const ProfileReadResult &read)
{
    const QString path = chooseFile(FileChoice::Save, tr("Save profile"),
                                    QDir(m_folder).filePath(suggestedName(read.profile)));
    if (path.isEmpty())
        return;
    m_path = path;
    m_job = Job::Save;
    m_reader->start();
    startProgress(tr("Save profile"));
}

void ProfileActions::saved(const ProfileReadResult &read)
{
    QString error;
    if (!profile::writeFile(m_path, read.profile, &error)) {
        showBox(QMessageBox::Warning, tr("Save profile"),
                tr("The profile could not be written: %1").arg(error));
        return;
    }
    const Profile &p = read.profile;
    const QString notOffered = tr("not offered by %1").arg(p.model);
    int missing = 0;
    QStringList refused;
    for (const ProfileGroup &g : p.groups) {
        if (g.absentReason == notOffered)
            ++missing;
        else if (!g.present)
            refused << tr("%1: %2").arg(g.name, g.absentReason);
    }
    QString text = tr("Profile saved to %1: %2 groups").arg(native(m_path)).arg(p.presentGroups().size());
    if (missing > 0)
        text += tr(" (%1 more not offered by the %2)").arg(missing).arg(p.model);
    m_link->showMessage(text + QLatin1Char('.'));
    if (!refused.isEmpty())
        showBox(QMessageBox::Warning, tr("Save profile"),
                tr("Profile saved to %1, without the groups the bridge refused:\n\n%2")
                    .arg(native(m_path), refused.join(QLatin1Char('\n'))));
}

void ProfileActions::compared(const ProfileReadResult &read)
{
    const QVector<ProfileDifference> differences = profile::compare(read.profile, m_file);
    const QString title = tr("Compare with profile");
    if (differences.isEmpty()) {
        const QString text = tr("No differences: the bridge matches %1.").arg(native(m_path));
        m_link->showMessage(text);
        showBox(QMessageBox::Information, title, text);
        return;
    }
    const Profile &bridge = read.profile;
    const QString which = bridge.serial.isEmpty()
                              ? bridge.model : tr("%1, serial %2").arg(bridge.model, bridge.serial);
    QString heading =
        differences.size() == 1
            ? tr("1 field of the bridge (%1) differs from the profile %2.").arg(which, native(m_path))
            : tr("%1 fields of the bridge (%2) differ from the profile %3.")
                  .arg(QString::number(differences.size()), which, native(m_path));
    if (m_file.model != bridge.model)
        heading += tr(" The profile was saved from a %1.").arg(m_file.model);
    // The note column is there when some differing field identifies the bridge.
    bool identity = false;
    for (const ProfileDifference &d : differences)
        identity = identity || d.identity;
    QStringList columns{ tr("Group"), tr("Field"), tr("Bridge"), tr("File") };
    if (identity)
        columns << tr("Note");
    auto *dialog = new ProfileReportDialog(title, heading, columns, { 2, 3 }, m_window);
    for (const ProfileDifference &d : differences)
        dialog->addRow({ d.group, d.field.isEmpty() ? tr("(whole group)") : d.field,
                         entryText(d.bridge), entryText(d.file),
                         d.identity ? tr("device identity") : QString() },
                       d.identity ? ProfileReportDialog::Mark::Identity
                                  : ProfileReportDialog::Mark::None);
    if (identity)
        dialog->setFooter(tr("Fields marked \"device identity\" (in italics) identify one bridge and "
                             "differ from bridge to bridge; Write profile\u2026 leaves them as they "
                             "are unless asked to."));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}
