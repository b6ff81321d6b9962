#include "app/profilewritedialog.h"
#include "ui_profilewritedialog.h"

#include "link/modelgating.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

// The names of the group's fields that identify one device; empty when none does.
QStringList identityFields(const regmap::Group &group, bool *all)
{
    QStringList names;
    for (const regmap::Field &f : group.fields)
        if (f.identity)
            names << f.name;
    *all = names.size() == group.fields.size();
    return names;
}

} // namespace

ProfileWriteDialog::ProfileWriteDialog(const Profile &file, const QString &path,
                                       const QString &bridgeModel, QWidget *parent)
    : QDialog(parent), ui(new Ui::ProfileWriteDialog)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("profileWriteDialog"));
    QPushButton *write = ui->buttonBox->button(QDialogButtonBox::Ok);
    write->setText(tr("Write"));
    write->setObjectName(QStringLiteral("writeButton"));
    for (QAbstractButton *b : ui->buttonBox->buttons())
        b->setIcon(QIcon());  // plain buttons, as everywhere in the program

    ui->fileLabel->setText(QDir::toNativeSeparators(path));
    QStringList saved{ file.model };
    saved << (file.serial.isEmpty() ? tr("no serial number") : tr("serial %1").arg(file.serial));
    if (!file.firmware.isEmpty())
        saved << tr("firmware %1").arg(file.firmware);
    if (file.time.isValid())
        saved << tr("on %1").arg(file.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    ui->savedLabel->setText(saved.join(QStringLiteral(", ")));
    ui->bridgeLabel->setText(tr("the connected bridge, %1").arg(bridgeModel));

    const ModelGating gating = gatingForModel(bridgeModel);
    for (const regmap::Group *g : regmap::profileGroups()) {
        const ProfileGroup *inFile = file.group(g->name);
        if (inFile && inFile->present)
            addGroup(*g, regmap::offeredBy(*g, gating), bridgeModel);
    }
    ui->groupsLayout->setColumnStretch(1, 1);

    ui->backupNote->setText(
        tr("Before anything is written, the bridge's current values of the chosen groups are saved "
           "to a new backup file beside the profile: %1-backup.json, or with _1, _2... added when that "
           "name is taken.")
            .arg(QFileInfo(path).completeBaseName()));
    connect(ui->identityCheck, &QCheckBox::toggled, this, &ProfileWriteDialog::updateNotes);
    updateNotes();
}

ProfileWriteDialog::~ProfileWriteDialog()
{
    delete ui;
}

void ProfileWriteDialog::addGroup(const regmap::Group &group, bool offered,
                                  const QString &bridgeModel)
{
    const int row = m_rows.size();
    auto *check = new QCheckBox(group.name, ui->groupsBox);
    check->setObjectName(group.name);
    check->setChecked(offered);
    check->setEnabled(offered);
    auto *note = new QLabel(ui->groupsBox);
    note->setWordWrap(true);
    QFont font = note->font();
    font.setItalic(true);
    note->setFont(font);
    if (!offered)
        note->setText(tr("not offered by %1: left out").arg(bridgeModel));
    note->setEnabled(offered);
    check->setProperty("offered", offered);
    ui->groupsLayout->addWidget(check, row, 0, Qt::AlignTop);
    ui->groupsLayout->addWidget(note, row, 1);
    connect(check, &QCheckBox::toggled, this, &ProfileWriteDialog::updateNotes);
    m_rows.append({ &group, check, note });
}

// Each group's note says what becomes of its fields that identify one device.
// A group of nothing else (the calibration) is chosen with them, or not at
// all. Write is offered while some group is chosen.
void ProfileWriteDialog::updateNotes()
{
    const bool identity = ui->identityCheck->isChecked();
    bool anything = false;
    for (const GroupRow &r : m_rows) {
        if (!r.check->property("offered").toBool())
            continue;
        bool all = false;
        const QStringList names = identityFields(*r.group, &all);
        if (all && r.check->isEnabled() != identity) {
            const QSignalBlocker quiet(r.check);
            r.check->setEnabled(identity);
            r.check->setChecked(identity);
        }
        anything = anything || (r.check->isEnabled() && r.check->isChecked());
        if (names.isEmpty())
            continue;
        if (all)
            r.note->setText(identity ? tr("identifies this device: every field (written)")
                                     : tr("identifies this device: every field (only with the box below)"));
        else
            r.note->setText((identity ? tr("identifies this device: %1 (written too)")
                                      : tr("identifies this device: %1 (left as on the bridge)"))
                                .arg(names.join(QStringLiteral(", "))));
    }
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(anything);
}

QStringList ProfileWriteDialog::chosenGroups() const
{
    QStringList names;
    for (const GroupRow &r : m_rows)
        if (r.check->isEnabled() && r.check->isChecked())
            names << r.group->name;
    return names;
}

bool ProfileWriteDialog::withIdentity() const
{
    return ui->identityCheck->isChecked();
}
