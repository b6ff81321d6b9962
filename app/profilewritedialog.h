// Before a profile is written: the file, where and when it was saved, the
// bridge it goes to, a check box per group the file holds and one for the
// fields that identify one device (off unless asked for). Groups the bridge's
// model does not offer are shown, but cannot be chosen.
#pragma once

#include "link/profile.h"

#include <QDialog>
#include <QStringList>
#include <QVector>

namespace Ui { class ProfileWriteDialog; }
class QCheckBox;
class QLabel;

class ProfileWriteDialog : public QDialog
{
    Q_OBJECT
public:
    ProfileWriteDialog(const Profile &file, const QString &path, const QString &bridgeModel,
                       QWidget *parent = nullptr);
    ~ProfileWriteDialog() override;

    QStringList chosenGroups() const;
    bool withIdentity() const;

private:
    struct GroupRow {
        const regmap::Group *group;
        QCheckBox *check;
        QLabel *note;
    };
    void addGroup(const regmap::Group &group, bool offered, const QString &bridgeModel);
    void updateNotes();

    Ui::ProfileWriteDialog *ui;
    QVector<GroupRow> m_rows;
};
