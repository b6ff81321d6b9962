#include "link/profile.h"

#include "link/modelgating.h"
#include "link/newfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

const char Profile::FormatName[] = "nodeweave-profile";

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("profile", text);
}

const QLatin1String GroupKey("group"), FieldsKey("fields"), AbsentKey("absent"),
    IdentityKey("identity fields");

QJsonObject groupJson(const ProfileGroup &g)
{
    QJsonObject o{ { GroupKey, g.name } };
    if (!g.present) {
        o.insert(AbsentKey, g.absentReason);
        return o;
    }
    o.insert(FieldsKey, g.fields);
    // Told to whoever edits the file; a write leaves them out unless asked.
    QJsonArray identity;
    if (const regmap::Group *map = regmap::group(g.name))
        for (const regmap::Field &f : map->fields)
            if (f.identity)
                identity << f.name;
    if (!identity.isEmpty())
        o.insert(IdentityKey, identity);
    return o;
}

// A present group's fields checked and put in canonical form.
bool readFields(const regmap::Group &map, const QJsonValue &value,
                const profilefields::Context &context, QJsonObject *fields, QString *error)
{
    const QJsonObject in = value.toObject();
    for (auto it = in.begin(); it != in.end(); ++it) {
        if (!map.field(it.key())) {
            *error = QStringLiteral("%1 / %2: %3")
                         .arg(map.name, it.key(), tr("not a field of this group"));
            return false;
        }
    }
    for (const regmap::Field &f : map.fields) {
        QVector<quint16> regs;
        QString reason = tr("missing");
        if (!in.contains(f.name)
            || !profilefields::encode(f, in.value(f.name), context, &regs, &reason)) {
            *error = QStringLiteral("%1 / %2: %3").arg(map.name, f.name, reason);
            return false;
        }
        fields->insert(f.name, profilefields::decode(f, regs, context));
    }
    return true;
}

bool readGroup(const QJsonValue &value, const profilefields::Context &context, ProfileGroup *g,
               QString *error)
{
    const QJsonObject o = value.toObject();
    g->name = o.value(GroupKey).toString();
    const regmap::Group *map = regmap::group(g->name);
    if (!map || !map->saved) {
        *error = tr("%1: not a group of a profile").arg(g->name);
        return false;
    }
    if (o.contains(AbsentKey)) {
        g->absentReason = o.value(AbsentKey).toString();
        return true;
    }
    g->present = true;
    return readFields(*map, o.value(FieldsKey), context, &g->fields, error);
}

bool readHeader(const QJsonObject &o, Profile *p, QString *error)
{
    if (o.value(QLatin1String("format")).toString() != QLatin1String(Profile::FormatName)) {
        *error = tr("not a Nodeweave device profile");
        return false;
    }
    const int version = o.value(QLatin1String("version")).toInt();
    if (version != Profile::FormatVersion) {
        *error = tr("profile version %1 is not supported (this program reads version %2)")
                     .arg(version).arg(Profile::FormatVersion);
        return false;
    }
    p->time = QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODate);
    p->model = o.value(QLatin1String("model")).toString();
    p->firmware = o.value(QLatin1String("firmware")).toString();
    p->serial = o.value(QLatin1String("serial")).toString();
    if (p->model.isEmpty()) {
        *error = tr("model: missing");
        return false;
    }
    return true;
}

QString entryText(const QJsonObject &entry)
{
    return QString::fromUtf8(QJsonDocument(entry).toJson(QJsonDocument::Compact));
}

// A table's entries by position, compared entry by entry and key by key.
void compareTable(const QString &group, const regmap::Field &f, const QJsonArray &bridge,
                  const QJsonArray &file, QVector<ProfileDifference> *out)
{
    const QString position = f.kind == regmap::Kind::Sensors ? QStringLiteral("slot")
                              : f.kind == regmap::Kind::Rules ? QStringLiteral("entry")
                                                              : QStringLiteral("row");
    QMap<int, QJsonObject> left, right;
    for (const QJsonValue &v : bridge)
        left.insert(v.toObject().value(position).toInt(), v.toObject());
    for (const QJsonValue &v : file)
        right.insert(v.toObject().value(position).toInt(), v.toObject());
    QList<int> keys = left.keys() + right.keys();
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (int k : keys) {
        QJsonObject a = left.value(k), b = right.value(k);
        a.remove(position);
        b.remove(position);
        const QString where = QStringLiteral("%1 %2 %3").arg(f.name, position).arg(k);
        const QLatin1String raw("raw");
        if (a.isEmpty() || b.isEmpty() || a.contains(raw) || b.contains(raw)) {
            if (a != b)
                out->append({ group, where, a.isEmpty() ? tr("(free)") : entryText(a),
                              b.isEmpty() ? tr("(free)") : entryText(b), f.identity });
            continue;
        }
        QStringList names = a.keys() + b.keys();
        names.removeDuplicates();
        for (const QString &name : names)
            if (a.value(name) != b.value(name))
                out->append({ group, where + QStringLiteral(" \u00b7 ") + name,
                              profilefields::text(a.value(name)),
                              profilefields::text(b.value(name)), f.identity });
    }
}

} // namespace

const ProfileGroup *Profile::group(const QString &name) const
{
    for (const ProfileGroup &g : groups)
        if (g.name == name)
            return &g;
    return nullptr;
}

QStringList Profile::presentGroups() const
{
    QStringList names;
    for (const ProfileGroup &g : groups)
        if (g.present)
            names << g.name;
    return names;
}

namespace profile {

ProfileGroup decodeGroup(const regmap::Group &group, const QHash<quint16, quint16> &registers,
                         const profilefields::Context &context)
{
    ProfileGroup g;
    g.name = group.name;
    g.present = true;
    for (const regmap::Field &f : group.fields) {
        QVector<quint16> regs;
        for (int i = 0; i < f.count; ++i)
            regs << registers.value(quint16(f.address + i));
        g.fields.insert(f.name, profilefields::decode(f, regs, context));
    }
    return g;
}

QByteArray toJson(const Profile &p)
{
    QJsonArray groups;
    for (const ProfileGroup &g : p.groups)
        groups << groupJson(g);
    const QJsonObject o{
        { "format", QLatin1String(Profile::FormatName) }, { "version", Profile::FormatVersion },
        { "time", p.time.toUTC().toString(Qt::ISODate) }, { "model", p.model },
        { "firmware", p.firmware }, { "serial", p.serial }, { "groups", groups },
    };
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool fromJson(const QByteArray &json, Profile *profile, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) {
        *error = parseError.error != QJsonParseError::NoError
                     ? tr("not valid JSON at byte %1: %2")
                           .arg(parseError.offset).arg(parseError.errorString())
                     : tr("not a Nodeweave device profile");
        return false;
    }
    Profile p;
    if (!readHeader(doc.object(), &p, error))
        return false;
    const profilefields::Context context = profilefields::Context::forModel(p.model);
    QHash<QString, ProfileGroup> read;
    for (const QJsonValue &value : doc.object().value(QLatin1String("groups")).toArray()) {
        ProfileGroup g;
        if (!readGroup(value, context, &g, error))
            return false;
        if (read.contains(g.name)) {
            *error = tr("%1: listed twice").arg(g.name);
            return false;
        }
        read.insert(g.name, g);
    }
    for (const regmap::Group *map : regmap::profileGroups())
        if (read.contains(map->name))
            p.groups << read.value(map->name);
    *profile = p;
    return true;
}

bool readFile(const QString &path, Profile *profile, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QString why;
    if (!fromJson(file.readAll(), profile, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    return true;
}

bool writeFile(const QString &path, const Profile &profile, QString *error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(toJson(profile)) >= 0 && file.commit())
        return true;
    *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

bool writeNewFile(const QString &stem, const Profile &profile, QString *path, QString *error)
{
    QFile file;
    const QByteArray json = toJson(profile);
    if (openNewFile(file, stem, QStringLiteral(".json")) && file.write(json) == json.size()
        && file.flush()) {
        *path = file.fileName();
        return true;
    }
    *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    return false;
}

bool groupRegisters(const Profile &profile, const regmap::Group &group, bool withIdentity,
                    QMap<quint16, quint16> *registers, QString *error)
{
    const ProfileGroup *g = profile.group(group.name);
    if (!g || !g->present) {
        *error = tr("%1: not in the profile").arg(group.name);
        return false;
    }
    const profilefields::Context context = profilefields::Context::forModel(profile.model);
    for (const regmap::Field &f : group.fields) {
        if (f.identity && !withIdentity)
            continue;
        QVector<quint16> regs;
        QString reason;
        if (!profilefields::encode(f, g->fields.value(f.name), context, &regs, &reason)) {
            *error = QStringLiteral("%1 / %2: %3").arg(group.name, f.name, reason);
            return false;
        }
        for (int i = 0; i < regs.size(); ++i)
            registers->insert(quint16(f.address + i), regs.at(i));
    }
    return true;
}

QVector<ProfileDifference> compare(const Profile &bridge, const Profile &file)
{
    QVector<ProfileDifference> out;
    for (const ProfileGroup &f : file.groups) {
        const ProfileGroup *b = bridge.group(f.name);
        const regmap::Group *map = regmap::group(f.name);
        if (!f.present || !map)
            continue;
        if (!b || !b->present) {
            out.append({ f.name, QString(), b ? b->absentReason : tr("not read"), tr("saved"),
                         false });
            continue;
        }
        for (const regmap::Field &field : map->fields) {
            const QJsonValue a = b->fields.value(field.name), c = f.fields.value(field.name);
            if (a == c)
                continue;
            const regmap::Kind kind = field.kind;
            const bool table = kind == regmap::Kind::Sensors || kind == regmap::Kind::Rules
                               || kind == regmap::Kind::ScanMap;
            if (table)
                compareTable(f.name, field, a.toArray(), c.toArray(), &out);
            else
                out.append({ f.name, field.name, profilefields::text(a), profilefields::text(c),
                             field.identity });
        }
    }
    return out;
}

ModelMatch matchModels(const QString &fileModel, const QString &bridgeModel)
{
    if (gatingForModel(fileModel).series != gatingForModel(bridgeModel).series)
        return ModelMatch::OtherSeries;
    return fileModel == bridgeModel ? ModelMatch::Same : ModelMatch::OtherModel;
}

} // namespace profile
