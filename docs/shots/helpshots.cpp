// Takes the user guide's screenshots: runs the window against a simulated
// bridge, clicks through the pages by object name and saves each grab as a
// PNG into the folder given as the first argument (docs/images).
// Run by scripts/help-shots under Xvfb, in the build folder (menu icons).
#include "app/mainwindow.h"
#include "link/codec.h"
#include "link/link.h"
#include "sim/simbridge.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

QString g_outDir;
MainWindow *g_window = nullptr;
int g_failures = 0;

// Lets the event loop run until `done` holds, at most `ms`.
bool waitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void settle(int ms = 300)
{
    waitFor([] { return false; }, ms);
}

// Every request sent so far has been answered: replies come in order, so a
// quiet read of register 0 answered last marks the end.
void waitForReplies()
{
    auto done = std::make_shared<bool>(false);
    RequestOptions quiet;
    quiet.showOk = false;
    quiet.clearStatus = false;
    if (!g_window->link()->read(0, 1, nullptr, [done](const QVector<quint16> &) { *done = true; },
                                quiet)
        || !waitFor([done] { return *done; }, 15000)) {
        std::fprintf(stderr, "help-shots: the bridge did not answer\n");
        ++g_failures;
    }
    settle(150);
}

void click(QWidget *in, const char *name)
{
    auto *b = in->findChild<QAbstractButton *>(QString::fromLatin1(name));
    if (!b) {
        std::fprintf(stderr, "help-shots: no button %s\n", name);
        ++g_failures;
        return;
    }
    b->click();
    waitForReplies();
}

void save(QWidget *w, const char *name)
{
    settle();
    const QString path = QDir(g_outDir).filePath(QString::fromLatin1(name) + ".png");
    if (!w->grab().save(path)) {
        std::fprintf(stderr, "help-shots: cannot write %s\n", qPrintable(path));
        ++g_failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

void showTab(MainWindow::Tab tab)
{
    g_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(tab);
    settle(100);
}

// The "done" boxes of the table reads are answered as an engineer would.
void closeMessageBoxes()
{
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
        box->accept();
}

// Two sensors in the table, so the RTU page shows what it is for.
void fillSensorTable(sim::SimBridge &bridge)
{
    codec::SensorFields temp{ QStringLiteral("TEMP01"), 2, 3, 1, 2 };
    codec::SensorFields flow{ QStringLiteral("FLOW02"), 5, 4, 100, 4 };
    bridge.setRegs(500, codec::sensorEntryToRegisters(temp));
    bridge.setRegs(507, codec::sensorEntryToRegisters(flow));
    bridge.setRegs(700, { 215, 1180 });
}

bool login()
{
    g_window->findChild<QAbstractButton *>(QStringLiteral("connectButton"))->click();
    QDialog *dialog = nullptr;
    waitFor([&] { return (dialog = g_window->findChild<QDialog *>(QStringLiteral("logindialog")))
                         && dialog->isVisible(); });
    if (!dialog)
        return false;
    dialog->findChild<QLineEdit *>(QStringLiteral("usernameLineEdit"))->setText("admin");
    dialog->findChild<QLineEdit *>(QStringLiteral("passwordLineEdit"))->setText("admin");
    save(dialog, "login");
    dialog->findChild<QAbstractButton *>(QStringLiteral("loginPushButton"))->click();
    return waitFor([] { return !g_window->isConnecting(); }, 30000);
}

void shootPages()
{
    showTab(MainWindow::TabSerial);
    click(g_window, "serialBtnRead");
    save(g_window, "main-window");
    save(g_window, "page-serial");
    showTab(MainWindow::TabLoraWan);
    for (const char *b : { "otaaDevEuiRead", "otaaAppEuiRead", "otaaAppKeyRead", "abpDevAddrRead",
                           "abpAppsKeyRead", "abpNwksKeyRead" })
        click(g_window, b);
    save(g_window, "page-lorawan");
    showTab(MainWindow::TabIo);
    for (const char *b : { "currentInputPushButton", "currentOutputReadPushButton",
                           "voltageInputPushButton", "rvPshBtn", "PwmOutputReadPushButton" })
        click(g_window, b);
    save(g_window, "page-io");
    showTab(MainWindow::TabRf);
    click(g_window, "RSSIRead");
    click(g_window, "SNNRRead");
    save(g_window, "page-rf");
    showTab(MainWindow::TabRtu);
    for (const char *b : { "sensorUpdatePushButton", "sensorCheckPushButton",
                           "sensorTimeOutReadPushButton", "sensorIntervalCheckPushButton" })
        click(g_window, b);
    save(g_window, "page-rtu");
}

void shootDialogs()
{
    g_window->findChild<QAction *>(QStringLiteral("action_Settings"))->trigger();
    QWidget *system = g_window->findChild<QDialog *>(QStringLiteral("systemDialog"));
    if (system) {
        for (const char *b : { "systemCheck", "SNRead", "globalTSCheckPushButton", "currentHoldCheck",
                               "voltageHoldChk", "PWMChk", "PWMOCChk" })
            click(system, b);
        save(system, "dialog-system");
        system->close();
    }
    g_window->findChild<QAction *>(QStringLiteral("actionOptions"))->trigger();
    QWidget *options = g_window->findChild<QDialog *>(QStringLiteral("SettingsDialog"));
    if (options) {
        save(options, "dialog-options");
        options->close();
    }
    if (!system || !options) {
        std::fprintf(stderr, "help-shots: a settings dialog was not found\n");
        ++g_failures;
    }
}

// Tools > Provision…, where the program has it.
void shootProvision()
{
    auto *provision = g_window->findChild<QAction *>(QStringLiteral("actionProvision"));
    if (!provision)
        return;
    provision->trigger();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->inherits("ProvisionWindow") && w->isVisible()) {
            save(w, "provision");
            w->close();
        }
    }
}

// View > Traffic, where the program has it, after a few page reads.
void shootTraffic()
{
    auto *traffic = g_window->findChild<QAction *>(QStringLiteral("actionTraffic"));
    if (!traffic)
        return;
    traffic->trigger();
    showTab(MainWindow::TabSerial);
    click(g_window, "serialBtnRead");
    showTab(MainWindow::TabLoraWan);
    click(g_window, "otaaDevEuiRead");
    click(g_window, "otaaAppKeyWrite");
    save(g_window, "traffic");
    traffic->trigger();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: nodeweave-help-shots OUTPUT-FOLDER\n");
        return 2;
    }
    g_outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_outDir);
    sim::SimBridge bridge;
    if (!bridge.start()) {
        std::fprintf(stderr, "help-shots: %s\n", qPrintable(bridge.errorString()));
        return 1;
    }
    fillSensorTable(bridge);
    qputenv("NODEWEAVE_EXTRA_PORTS", bridge.portPath().toLocal8Bit());
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, closeMessageBoxes);
    boxes.start(20);

    MainWindow window;
    g_window = &window;
    window.setFixedSize(1027, 735);
    window.show();
    settle(500);
    if (!login()) {
        std::fprintf(stderr, "help-shots: the login did not finish\n");
        return 1;
    }
    shootPages();
    shootDialogs();
    shootProvision();
    shootTraffic();
    window.close();
    return g_failures == 0 ? 0 : 1;
}
