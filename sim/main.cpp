// nodeweave-sim: a simulated NB500/NB520 bridge on a pseudo-terminal.
//
// Prints the port path alone on the first line of standard output, then serves
// until SIGINT or SIGTERM.
#include "simbridge.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Simulated NB500/NB520 LoRa bridge (Modbus RTU on a pseudo-terminal).\n"
        "Prints the port path on the first line, then serves until SIGINT/SIGTERM."));
    parser.addHelpOption();
    parser.addOptions({
        { QStringLiteral("model"), QStringLiteral("Model name (default NB500-400)."),
          QStringLiteral("NAME"), QStringLiteral("NB500-400") },
        { QStringLiteral("serial"), QStringLiteral("Serial number (default NW24110001)."),
          QStringLiteral("TEXT"), QStringLiteral("NW24110001") },
        { QStringLiteral("user"), QStringLiteral("Stored user name (default admin)."),
          QStringLiteral("USER"), QStringLiteral("admin") },
        { QStringLiteral("password"), QStringLiteral("Stored password (default admin)."),
          QStringLiteral("PASSWORD"), QStringLiteral("admin") },
        { QStringLiteral("link"), QStringLiteral("Create a symbolic link to the port at PATH."),
          QStringLiteral("PATH") },
        { QStringLiteral("delay"), QStringLiteral("Answer every request after MS ms."),
          QStringLiteral("MS"), QStringLiteral("0") },
        { QStringLiteral("no-answer"), QStringLiteral("Never answer.") },
        { QStringLiteral("exception"),
          QStringLiteral("Answer requests touching registers FIRST..LAST with exception CODE "
                         "(repeatable)."),
          QStringLiteral("FIRST-LAST:CODE") },
        { QStringLiteral("bad-crc"), QStringLiteral("Damage the CRC of every reply.") },
        { QStringLiteral("pace"),
          QStringLiteral("Keep to 9600-baud line timing: requests and answers take their "
                         "wire time, answers leave 5 ms after a request.") },
    });
}

// One --exception value, FIRST-LAST:CODE.
bool parseException(const QString &value, sim::FaultRule *rule)
{
    static const QRegularExpression rangeAndCode(
        QStringLiteral("^\\s*(\\w+)\\s*-\\s*(\\w+)\\s*:\\s*(\\w+)\\s*$"));
    const QRegularExpressionMatch m = rangeAndCode.match(value);
    bool ok1 = false, ok2 = false, ok3 = false;
    rule->kind = sim::Fault::Exception;
    if (m.hasMatch()) {
        rule->first = m.captured(1).toInt(&ok1, 0);
        rule->last = m.captured(2).toInt(&ok2, 0);
        rule->code = m.captured(3).toInt(&ok3, 0);
    }
    return ok1 && ok2 && ok3 && rule->first >= 0 && rule->last <= 0xFFFF
           && rule->first <= rule->last && rule->code >= 1 && rule->code <= 255;
}

// The fault rules the command line asks for; false after a bad value.
bool readFaults(const QCommandLineParser &parser, QList<sim::FaultRule> *rules)
{
    for (const QString &value : parser.values(QStringLiteral("exception"))) {
        sim::FaultRule rule;
        if (!parseException(value, &rule)) {
            std::fprintf(stderr, "nodeweave-sim: bad --exception value '%s' (want FIRST-LAST:CODE)\n",
                         qPrintable(value));
            return false;
        }
        rules->append(rule);
    }
    if (parser.isSet(QStringLiteral("no-answer"))) {
        sim::FaultRule rule;
        rule.kind = sim::Fault::NoAnswer;
        rules->append(rule);
    }
    if (parser.isSet(QStringLiteral("bad-crc"))) {
        sim::FaultRule rule;
        rule.kind = sim::Fault::BadCrc;
        rules->append(rule);
    }
    return true;
}

sim::Options bridgeOptions(const QCommandLineParser &parser)
{
    sim::Options options;
    options.model = parser.value(QStringLiteral("model"));
    options.serial = parser.value(QStringLiteral("serial"));
    options.user = parser.value(QStringLiteral("user"));
    options.password = parser.value(QStringLiteral("password"));
    options.linkPath = parser.value(QStringLiteral("link"));
    options.paced = parser.isSet(QStringLiteral("pace"));
    return options;
}

} // namespace

int main(int argc, char *argv[])
{
    // Block the stop signals before any thread exists; they are collected by sigwait().
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nodeweave-sim"));
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);

    bool ok = false;
    const int delayMs = parser.value(QStringLiteral("delay")).toInt(&ok);
    if (!ok || delayMs < 0) {
        std::fprintf(stderr, "nodeweave-sim: bad --delay value\n");
        return 2;
    }
    QList<sim::FaultRule> rules;
    if (!readFaults(parser, &rules))
        return 2;

    sim::SimBridge bridge(bridgeOptions(parser));
    for (const sim::FaultRule &rule : rules)
        bridge.addFault(rule);
    bridge.setDelay(delayMs);
    if (!bridge.start()) {
        std::fprintf(stderr, "nodeweave-sim: %s\n", qPrintable(bridge.errorString()));
        return 1;
    }
    std::printf("%s\n", QFile::encodeName(bridge.portPath()).constData());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    bridge.stop();
    return 0;
}
