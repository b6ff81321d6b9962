// The one window: top bar (port, model name, Connect), the tab widget of
// configuration pages, menus, themes and help. It owns the link and every
// page and dialog, runs the Connect procedure and adapts the pages to the
// identified bridge.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

namespace Ui { class MainWindow; }

class QDialog;
class QTimer;
class Link;
class SettingsDialog;
class systemDialog;
class SerialPage;
class GroupNetPage;
class LoraPage;
class LoraWanPage;
class IoPage;
class RfPage;
class AdjustPage;
class RtuPage;
class RuleChainPage;
class MonitorPage;
class EventLogPage;
class TmoPage;
class TimeSettingPage;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // Tab indexes, in the order the pages are shown.
    enum Tab {
        TabSerial = 0, TabGroupNet, TabLora, TabLoraWan, TabIo, TabRf, TabAdjust, TabRtu,
        TabRuleChain, TabMonitor, TabEventLog, TabTmo, TabTimeSetting, TabCount
    };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Link *link() const { return m_link; }
    int frequencyBand() const { return m_frequencyBand; }
    bool isLoginAccepted() const { return loginAccepted; }
    // A Connect is under way: waiting for the login or identifying the bridge.
    bool isConnecting() const { return m_phase != Idle; }

    // The port chosen in the top bar ("COM:").
    QString selectedPort() const;

    // Set by the login dialog: the device accepted the credentials, or the
    // user gave up. An acceptance outside the login wait counts for nothing.
    void setLoginAccepted()
    {
        if (m_phase != LoggingIn)
            return;
        loginAccepted = true;
        emit loginConcluded();
    }
    void setLoginCancelled() { loginCancelled = true; emit loginConcluded(); }

signals:
    // The login wait has something to look at (accepted or given up).
    void loginConcluded();
    // The link was closed by Disconnect, a lost port or a refused product:
    // pages drop what they loaded from the device.
    void disconnected();

public slots:
    void defaultTheme();
    void darkTheme();
    void helpChmDocment();
    void findComPort();

private slots:
    void on_connectButton_clicked();
    void on_connectType_currentIndexChanged(int index);
    void on_tabWidget_currentChanged(int index);
    void onStateChanged(int state);
    void serialAlarmTask();
    void onLinkLost(const QString &errorText);
    void onLoginConcluded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createPages();
    void wireActions();
    void applyStyleSheet(const QString &resource);
    void setTabRule(bool tabsChanged);
    void fitTabWidget();
    void disconnectProcedure();
    void restoreDisconnectedWidgets();

    // Identification after a successful login, driven by the replies.
    void startIdentification();
    void readModelName();
    void finishIdentification();
    void gateIoChannels();
    void readActivationSettings();
    void gateTabs();
    void refuseProduct();
    void endConnect();
    void abandonConnect();

    Ui::MainWindow *ui;
    Link *m_link = nullptr;
    SettingsDialog *m_settingsDialog = nullptr;
    systemDialog *m_systemDialog = nullptr;
    QTimer *portWatchTimer = nullptr;
    QStringList portNames;
    QByteArray m_portSignature;  // portListSignature() at the last enumeration
    int m_portSettleTicks = 0;   // port watch ticks that still enumerate in full
    bool loginAccepted = false;
    bool loginCancelled = false;
    int m_frequencyBand = 0;
    // The Connect procedure runs as a sequence of events, so the window stays
    // responsive and a closing window leaves nothing waiting on the stack.
    enum Phase { Idle, LoggingIn, Identifying, Refusing };
    Phase m_phase = Idle;
    QPointer<QDialog> m_login;
    QPointer<QObject> m_parentlessTheme;  // styles parentless dialogs
    QTimer *m_identifyTimer = nullptr;  // ends the model name wait at the latest
    bool m_modelReadFailed = false;

    SerialPage *m_serialPage = nullptr;
    GroupNetPage *m_groupNetPage = nullptr;
    LoraPage *m_loraPage = nullptr;
    LoraWanPage *m_loraWanPage = nullptr;
    IoPage *m_ioPage = nullptr;
    RfPage *m_rfPage = nullptr;
    AdjustPage *m_adjustPage = nullptr;
    RtuPage *m_rtuPage = nullptr;
    RuleChainPage *m_ruleChainPage = nullptr;
    MonitorPage *m_monitorPage = nullptr;
    EventLogPage *m_eventLogPage = nullptr;
    TmoPage *m_tmoPage = nullptr;
    TimeSettingPage *m_timeSettingPage = nullptr;
};
