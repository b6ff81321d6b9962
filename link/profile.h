// A device profile: the configuration of one bridge as a person reads it,
// group by group, with the model, firmware and serial number it came from.
// Kept as JSON ("nodeweave-profile", version 1); a file is checked field by
// field with the codec's checks the pages use before anything is written.
// Live state (I/O values, the clock, the event log switch) and credentials
// are no configuration and never part of a profile.
#pragma once

#include "link/profilefields.h"
#include "link/registermap.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

struct ProfileGroup {
    QString name;
    bool present = false;
    QString absentReason;  // not offered by the model, refused by the bridge...
    QJsonObject fields;    // field name -> readable value (profilefields.h)
};

struct Profile {
    static const char FormatName[];  // "nodeweave-profile"
    static constexpr int FormatVersion = 1;

    QDateTime time;
    QString model;
    QString firmware;
    QString serial;
    QVector<ProfileGroup> groups;  // in the register map's order

    const ProfileGroup *group(const QString &name) const;
    QStringList presentGroups() const;
};

// One field that differs between the bridge and a file.
struct ProfileDifference {
    QString group;
    QString field;   // "sensors slot 3 · slave ID" inside a table; empty for a whole group
    QString bridge;  // the values as text
    QString file;
    bool identity = false;  // a field that identifies one device
};

namespace profile {

// A group's fields from the registers read (address -> value).
ProfileGroup decodeGroup(const regmap::Group &group, const QHash<quint16, quint16> &registers,
                         const profilefields::Context &context);

QByteArray toJson(const Profile &profile);
// Checks every field as the pages would; on failure `error` says
// "<group> / <field>: <reason>". Values are kept in their canonical form
// (what the bridge would read back), so "12.50" and 12.5 compare equal.
bool fromJson(const QByteArray &json, Profile *profile, QString *error);

bool readFile(const QString &path, Profile *profile, QString *error);
// Replaces `path` as a whole (never a half-written file).
bool writeFile(const QString &path, const Profile &profile, QString *error);
// Writes to a file that did not exist: stem + ".json", or stem + "_1.json"...
bool writeNewFile(const QString &stem, const Profile &profile, QString *path, QString *error);

// The registers (address -> value) a write of the group sends: every field,
// or every field but those that identify one device.
bool groupRegisters(const Profile &profile, const regmap::Group &group, bool withIdentity,
                    QMap<quint16, quint16> *registers, QString *error);

// The fields that differ, for the groups the file holds.
QVector<ProfileDifference> compare(const Profile &bridge, const Profile &file);

// Settings go from one bridge to another of the same series only (NB500 or
// NB520); another model of the series needs the user's word.
enum class ModelMatch { Same, OtherModel, OtherSeries };
ModelMatch matchModels(const QString &fileModel, const QString &bridgeModel);

} // namespace profile

Q_DECLARE_METATYPE(Profile)
