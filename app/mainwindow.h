// The one window: top bar (port, model name, Connect), the tab widget of
// configuration pages, menus, themes and help. It owns the link, the Connect
// procedure and every page and dialog, and adapts the pages to the
// identified bridge (app/connection.cpp).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

namespace Ui { class MainWindow; }

class QDialog;
class ConnectProcedure;
class Link;
class PortWatch;
class ProfileActions;
struct ModelGating;
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
    // Save, compare and write device profiles (menu "Device").
    ProfileActions *profileActions() const { return m_profileActions; }
    int frequencyBand() const { return m_frequencyBand; }
    bool isLoginAccepted() const;
    // A Connect is under way: waiting for the login or identifying the bridge.
    bool isConnecting() const;

    // The port chosen in the top bar ("COM:").
    QString selectedPort() const;

signals:
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
    void onPortsChanged(const QStringList &names);
    void onLinkLost(const QString &errorText);
    // Tools > Provision…: the provisioning window (one, kept while the window lives).
    void openProvisionWindow();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Every tab that is disabled is also hidden.
    static constexpr const char *DisabledTabRule =
        "QTabBar::tab:disabled {width: 0; color: transparent;}";

    void createPages();
    void wireActions();
    void wireConnect();
    void applyStyleSheet(const QString &resource);
    void setTabRule(bool tabsChanged);
    void fitTabWidget();
    void disconnectProcedure();
    void restoreDisconnectedWidgets();
    void abandonConnect();
    // What the identified model means for the pages, or the refusal of
    // another product series.
    void applyGating(const ModelGating &gating);
    // The profile actions need a bridge that is connected, logged in and identified.
    void setProfileActionsEnabled(bool enabled);
    void refuseProduct();

    Ui::MainWindow *ui;
    Link *m_link = nullptr;
    ConnectProcedure *m_connect = nullptr;
    SettingsDialog *m_settingsDialog = nullptr;
    systemDialog *m_systemDialog = nullptr;
    PortWatch *m_portWatch = nullptr;
    ProfileActions *m_profileActions = nullptr;
    int m_frequencyBand = 0;
    QPointer<QDialog> m_login;  // the login dialog of the Connect under way
    QPointer<QObject> m_parentlessTheme;  // styles parentless dialogs

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
