// nodeweave-cli: device profiles and provisioning from the command line.
//
//   nodeweave-cli --port PATH [--user USER] info | save FILE | diff FILE
//                 | write FILE [--groups LIST] [--with-identity] [--confirm-model]
//                 | provision KEYLIST [--profile FILE] [--confirm-model]
//
// The password comes from --password-file FILE or the environment variable
// NODEWEAVE_PASSWORD, never from the command line. Exit codes: 0 success
// (and no difference for diff), 1 differences found, 2 error.
#include "cli/clisession.h"
#include "link/registermap.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>

namespace {

int usageError(const QString &message)
{
    std::fprintf(stderr, "nodeweave-cli: %s (see --help)\n", message.toLocal8Bit().constData());
    return CliSession::Error;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Saves, compares and writes the configuration of an NB500/NB520 bridge,\n"
        "and provisions it from a key list.\n\n"
        "Commands:\n"
        "  info         model, firmware and serial number\n"
        "  save FILE    the bridge's configuration to a profile\n"
        "  diff FILE    the fields that differ between the bridge and a profile\n"
        "  write FILE   a profile to the bridge, after a backup beside FILE\n"
        "  provision KEYLIST\n"
        "               the next row of a key list (DevEUI, JoinEUI, AppKey) to the\n"
        "               bridge, logged in KEYLIST's .audit.csv\n\n"
        "The password comes from --password-file or NODEWEAVE_PASSWORD.\n"
        "Exit codes: 0 success (no differences), 1 differences found, 2 error."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("info, save, diff, write or provision"));
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("the profile (save, diff, write) or key list "
                                                "(provision)"));
    parser.addOptions({
        { QStringLiteral("port"), QStringLiteral("Serial port of the bridge."),
          QStringLiteral("PATH") },
        { QStringLiteral("user"), QStringLiteral("User name (default admin)."),
          QStringLiteral("USER"), QStringLiteral("admin") },
        { QStringLiteral("password-file"), QStringLiteral("Read the password from FILE."),
          QStringLiteral("FILE") },
        { QStringLiteral("groups"), QStringLiteral("write: only these groups, comma-separated."),
          QStringLiteral("LIST") },
        { QStringLiteral("with-identity"),
          QStringLiteral("write: also the fields that identify one device (keys, EUIs, "
                         "calibration).") },
        { QStringLiteral("confirm-model"),
          QStringLiteral("write, provision: accept a profile of another model of the same "
                         "series.") },
        { QStringLiteral("profile"),
          QStringLiteral("provision: also write this profile (without the fields that identify "
                         "one device)."),
          QStringLiteral("FILE") },
        { QStringLiteral("json"), QStringLiteral("Machine-readable results on standard output.") },
    });
}

bool readPassword(const QCommandLineParser &parser, QString *password, QString *error)
{
    if (parser.isSet(QStringLiteral("password-file"))) {
        QFile file(parser.value(QStringLiteral("password-file")));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        // The first line, without its line end.
        *password = QString::fromUtf8(file.readLine());
        password->remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
        return true;
    }
    if (qEnvironmentVariableIsSet("NODEWEAVE_PASSWORD")) {
        *password = qEnvironmentVariable("NODEWEAVE_PASSWORD");
        return true;
    }
    *error = QStringLiteral("no password: give --password-file FILE or set NODEWEAVE_PASSWORD");
    return false;
}

// The group names of --groups, matched without regard to case.
bool readGroups(const QString &list, QStringList *groups, QString *error)
{
    QStringList known;
    for (const regmap::Group *g : regmap::profileGroups())
        known << g->name;
    for (const QString &part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString wanted = part.trimmed();
        auto it = std::find_if(known.cbegin(), known.cend(), [&wanted](const QString &name) {
            return name.compare(wanted, Qt::CaseInsensitive) == 0;
        });
        if (it == known.cend()) {
            *error = QStringLiteral("unknown group '%1' (groups: %2)")
                         .arg(wanted, known.join(QLatin1String(", ")));
            return false;
        }
        *groups << *it;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // The Modbus classes' own messages would mix with the one-line errors.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus* = false"));
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nodeweave-cli"));
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);

    CliOptions options;
    const QStringList args = parser.positionalArguments();
    options.command = args.value(0);
    options.file = args.value(1);
    options.port = parser.value(QStringLiteral("port"));
    options.user = parser.value(QStringLiteral("user"));
    options.withIdentity = parser.isSet(QStringLiteral("with-identity"));
    options.confirmModel = parser.isSet(QStringLiteral("confirm-model"));
    options.json = parser.isSet(QStringLiteral("json"));
    options.profile = parser.value(QStringLiteral("profile"));
    const bool needsFile = options.command != QLatin1String("info");
    if (!QStringList{ "info", "save", "diff", "write", "provision" }.contains(options.command))
        return usageError(QStringLiteral(
            "give a command: info, save FILE, diff FILE, write FILE or provision KEYLIST"));
    if (args.size() != (needsFile ? 2 : 1))
        return usageError(needsFile ? QStringLiteral("%1 needs one %2").arg(
                              options.command, options.command == QLatin1String("provision")
                                                   ? QStringLiteral("KEYLIST") : QStringLiteral("FILE"))
                                    : QStringLiteral("info takes no FILE"));
    if (!options.profile.isEmpty() && options.command != QLatin1String("provision"))
        return usageError(QStringLiteral("--profile belongs to provision"));
    if (options.port.isEmpty())
        return usageError(QStringLiteral("give the bridge's serial port with --port PATH"));
    QString error;
    if (!readPassword(parser, &options.password, &error)
        || !readGroups(parser.value(QStringLiteral("groups")), &options.groups, &error))
        return usageError(error);

    CliSession session(options);
    QTimer::singleShot(0, &session, &CliSession::start);
    return app.exec();
}
