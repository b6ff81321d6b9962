// The window's construction, its pages and menus, themes, help and closing;
// its side of the link and the Connect procedure is in connection.cpp.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "admin/systemdialog.h"
#include "app/helpopener.h"
#include "app/provisionwindow.h"
#include "app/profileactions.h"
#include "app/settingsdialog.h"
#include "app/trafficview.h"
#include "link/connectprocedure.h"
#include "link/link.h"
#include "link/portlist.h"
#include "pages/io/adjustpage.h"
#include "pages/io/iopage.h"
#include "pages/io/tmopage.h"
#include "pages/radio/groupnetpage.h"
#include "pages/radio/lorapage.h"
#include "pages/radio/lorawanpage.h"
#include "pages/radio/rfpage.h"
#include "pages/radio/serialpage.h"
#include "pages/rtu/eventlogpage.h"
#include "pages/rtu/monitorpage.h"
#include "pages/rtu/rtupage.h"
#include "pages/rtu/rulechainpage.h"
#include "pages/rtu/timesettingpage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QDir>
#include <QFile>

// The resource bundle lives in the static library; register it from here so
// a window built without the executable's main still finds its style sheets
// and images.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// Gives windows without a parent (message boxes, the download progress
// dialog) the window's style sheet: they cannot inherit it from the window.
// It is set when the dialog is first polished, before its widgets are styled
// (so they are styled once), and again when it is shown after a theme change. Cheaper than an application-wide style sheet
// on top of the window's, which would have every widget of the window
// match both sheets, at start-up and on each theme change.
class ParentlessTheme : public QObject
{
public:
    using QObject::QObject;
    QString sheet;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if ((event->type() != QEvent::Polish && event->type() != QEvent::Show)
            || !watched->isWidgetType())
            return false;
        auto *w = static_cast<QWidget *>(watched);
        if (!w->isWindow() || w->parentWidget() || !qobject_cast<QDialog *>(w))
            return false;
        // A sheet of the dialog's own stays; one given here follows the theme.
        const QVariant given = w->property("nwThemeSheet");
        if (!w->styleSheet().isEmpty() && (!given.isValid() || w->styleSheet() != given.toString()))
            return false;
        if (w->styleSheet() != sheet) {
            w->setStyleSheet(sheet);
            w->setProperty("nwThemeSheet", sheet);
        }
        return false;
    }
};
const char *const SensorModels[] = {
    "TH-01 Temperature/Humidity", "TH-02 Temperature/Humidity", "PT100 Temperature",
    "SM-10 Soil Moisture",        "SM-20 Soil Moisture/EC",     "PH-01 pH",
    "DO-01 Dissolved Oxygen",     "EC-01 Conductivity",         "TB-01 Turbidity",
    "LV-01 Ultrasonic Level",     "PR-01 Pressure",             "FL-01 Flow",
    "WS-01 Wind Speed",           "WD-01 Wind Direction",       "RG-01 Rain Gauge",
    "LX-01 Illuminance",          "CO2-01 Carbon Dioxide",      "NH3-01 Ammonia",
    "PM-01 Particulates",         "NS-01 Noise",                "EM-01 Energy Meter",
};
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow)
{
    initResources();
    ui->setupUi(this);
    ui->centralWidget->installEventFilter(this);
    m_link = new Link(this);
    connect(m_link, &Link::statusMessage, ui->statusBar, &QStatusBar::showMessage);
    connect(m_link, &Link::statusCleared, ui->statusBar, &QStatusBar::clearMessage);
    m_link->setServerAddressSource([this] { return ui->serverEdit->value(); });
    m_link->setPortSource([this] { return selectedPort(); });
    connect(m_link, &Link::stateChanged, this, &MainWindow::onStateChanged);
    m_connect = new ConnectProcedure(m_link, this);

    createPages();
    wireConnect();
    setWindowTitle(tr("Nodeweave V1.0.1"));
    setFixedSize(1027, 735);

    m_settingsDialog = new SettingsDialog(this);
    m_systemDialog = new systemDialog(m_link, this);
    wireActions();
    TrafficView::install(this, m_link, ui->actionTraffic);

    ui->connectType->setCurrentIndex(0);
    on_connectType_currentIndexChanged(0);

    m_portWatch = new PortWatch(this);
    connect(m_portWatch, &PortWatch::portsChanged, this, &MainWindow::onPortsChanged);
    findComPort();

    for (const char *name : SensorModels)
        ui->sensorTypeCombox->addItem(QString::fromLatin1(name));
    ui->connectType->hide();
    ui->serverEdit->hide();
    ui->sensorTypeCombox->hide();
    // The schedule group of the "TimeSetting" page carries the same Check and
    // Set; this pair would sit below the status bar, out of reach.
    ui->sensorTimeCheckPushButton->hide();
    ui->sensorTimeSetPushButton->hide();
    m_serialPage->setAddressRowVisible(false);


    for (int tab : { TabGroupNet, TabLora, TabAdjust, TabRuleChain, TabMonitor, TabEventLog,
                     TabTmo, TabTimeSetting })
        ui->tabWidget->setTabEnabled(tab, false);
    ui->tabWidget->setStyleSheet(QString::fromLatin1(DisabledTabRule));
    ui->tabWidget->setCurrentIndex(TabRtu);
}

MainWindow::~MainWindow()
{
    delete m_link;  // disconnects and deletes the client
    m_link = nullptr;
    delete ui;
}

void MainWindow::createPages()
{
    QTabWidget *tabs = ui->tabWidget;
    tabs->addTab(m_serialPage = new SerialPage(m_link, tabs), tr("Serial"));
    tabs->addTab(m_groupNetPage = new GroupNetPage(m_link, tabs), tr("Group Net"));
    tabs->addTab(m_loraPage = new LoraPage(m_link, tabs), tr("LoRa"));
    tabs->addTab(m_loraWanPage = new LoraWanPage(m_link, tabs), tr("LoRa Wan"));
    tabs->addTab(m_ioPage = new IoPage(m_link, tabs), tr("I/O"));
    tabs->addTab(m_rfPage = new RfPage(m_link, tabs), tr("RF"));
    tabs->addTab(m_adjustPage = new AdjustPage(m_link, tabs), tr("Adjust"));
    tabs->addTab(m_rtuPage = new RtuPage(m_link, tabs), tr("RTU"));
    tabs->addTab(m_ruleChainPage = new RuleChainPage(m_link, tabs), tr(" Rule Chain"));
    tabs->addTab(m_monitorPage = new MonitorPage(m_link, tabs), tr(" Chain Monitor"));
    tabs->addTab(m_eventLogPage = new EventLogPage(m_link, tabs), tr("Event Log"));
    connect(m_eventLogPage, &EventLogPage::portLost, this, &MainWindow::onLinkLost);
    tabs->addTab(m_tmoPage = new TmoPage(m_link, tabs), tr("TMO I/O"));
    tabs->addTab(m_timeSettingPage = new TimeSettingPage(m_link, tabs), tr("TimeSetting"));

    // The polling time-out unit depends on the identified model; a closed
    // link invalidates what the pages read from the bridge; a destination
    // bitmap read empties the "RF" page's bitmap text; the window's own
    // schedule buttons act on the "TimeSetting" page.
    m_rtuPage->setModelNameSource([this] { return ui->portEdit_3->text(); });
    connect(this, &MainWindow::disconnected, m_rtuPage, &RtuPage::linkClosed);
    connect(this, &MainWindow::disconnected, m_ruleChainPage, &RuleChainPage::linkClosed);
    connect(this, &MainWindow::disconnected, m_serialPage, &SerialPage::linkClosed);
    connect(m_groupNetPage, &GroupNetPage::bitMapRead, m_rfPage, &RfPage::clearBitMapText);
    m_timeSettingPage->attachScheduleButtons(ui->sensorTimeCheckPushButton,
                                             ui->sensorTimeSetPushButton);
}

void MainWindow::wireActions()
{
    connect(ui->actionConnect, &QAction::triggered, this, &MainWindow::on_connectButton_clicked);
    connect(ui->actionDisconnect, &QAction::triggered, this, &MainWindow::on_connectButton_clicked);
    connect(ui->actionExit, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionOptions, &QAction::triggered, m_settingsDialog, &QWidget::show);
    connect(ui->action_Settings, &QAction::triggered, m_systemDialog, &QWidget::show);
    connect(ui->action_Default, &QAction::triggered, this, &MainWindow::defaultTheme);
    connect(ui->actionDa_rk, &QAction::triggered, this, &MainWindow::darkTheme);
    connect(ui->actionHelp_2, &QAction::triggered, this, &MainWindow::helpChmDocment);
    connect(ui->actionProvision, &QAction::triggered, this, &MainWindow::openProvisionWindow);
    m_profileActions = new ProfileActions(m_link, this, [this] { return ui->portEdit_3->text(); });
    connect(ui->actionSaveProfile, &QAction::triggered, m_profileActions, &ProfileActions::save);
    connect(ui->actionCompareProfile, &QAction::triggered, m_profileActions,
            &ProfileActions::compare);
    connect(ui->actionWriteProfile, &QAction::triggered, m_profileActions, &ProfileActions::write);
    connect(this, &MainWindow::disconnected, m_profileActions, &ProfileActions::linkClosed);

    // These three icons come from an images folder beside the working
    // directory; without it the entries simply have no icon.
    ui->action_Settings->setIcon(QIcon(QStringLiteral("images/settings.png")));
    ui->menu_Theme->setIcon(QIcon(QStringLiteral("images/theme.png")));
    ui->actionHelp_2->setIcon(QIcon(QStringLiteral("images/help.png")));

    for (QAction *a : { ui->actionConnect, ui->actionExit, ui->actionOptions, ui->action_Settings,
                        ui->action_Default, ui->actionDa_rk, ui->actionHelp_2 })
        a->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    setProfileActionsEnabled(false);
}

void MainWindow::setProfileActionsEnabled(bool enabled)
{
    for (QAction *a : { ui->actionSaveProfile, ui->actionCompareProfile, ui->actionWriteProfile })
        a->setEnabled(enabled);
}

void MainWindow::openProvisionWindow()
{
    auto *window = findChild<ProvisionWindow *>();
    if (!window)
        window = new ProvisionWindow(m_link, m_connect, this);
    window->show();
    window->raise();
    window->activateWindow();
}

void MainWindow::applyStyleSheet(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray bytes = file.readAll();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    const QString sheet = QString::fromLatin1(bytes);
    setStyleSheet(sheet);
    // Message boxes have no parent; give them the theme too.
    if (!m_parentlessTheme) {
        auto *theme = new ParentlessTheme(this);
        qApp->installEventFilter(theme);
        m_parentlessTheme = theme;
    }
    static_cast<ParentlessTheme *>(m_parentlessTheme.data())->sheet = sheet;
}

// Setting the rule lays the tabs out anew, which an enabled or disabled tab
// needs (its width comes from the rule). When no tab changed, the window's
// new sheet has just restyled every tab, and setting the same rule again
// would only restyle the whole tab widget a second time.
void MainWindow::setTabRule(bool tabsChanged)
{
    const QString rule = QString::fromLatin1(DisabledTabRule);
    if (tabsChanged || ui->tabWidget->styleSheet() != rule)
        ui->tabWidget->setStyleSheet(rule);
}

void MainWindow::defaultTheme()
{
    applyStyleSheet(QStringLiteral(":stylesheet.qss"));
    const bool adjustChanged = ui->tabWidget->isTabEnabled(TabAdjust);
    ui->tabWidget->setTabEnabled(TabAdjust, false);
    setTabRule(adjustChanged);
}

void MainWindow::darkTheme()
{
    applyStyleSheet(QStringLiteral(":stylesheetblack.qss"));
    const bool adjustChanged = !ui->tabWidget->isTabEnabled(TabAdjust);
    ui->tabWidget->setTabEnabled(TabAdjust, true);
    setTabRule(adjustChanged);
}

void MainWindow::helpChmDocment()
{
    ui->statusBar->showMessage(help::openHelp(QDir::currentPath()));
}

void MainWindow::on_tabWidget_currentChanged(int index)
{
    if (index == TabTmo && m_tmoPage)
        m_tmoPage->readEnables();
}

bool MainWindow::event(QEvent *event)
{
    // Hovering a menu entry without a status tip would clear the status bar
    // and with it an "OK!" or an error the engineer has not read yet.
    if (event->type() == QEvent::StatusTip
        && static_cast<QStatusTipEvent *>(event)->tip().isEmpty())
        return true;
    return QMainWindow::event(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->centralWidget && event->type() == QEvent::Resize)
        fitTabWidget();
    return QMainWindow::eventFilter(watched, event);
}

// The tab widget reaches down to just above the status bar, whatever height
// the theme gives the menu and status bars, so no page's frame is cut.
void MainWindow::fitTabWidget()
{
    constexpr int BottomMargin = 4;
    const QRect r = ui->tabWidget->geometry();
    ui->tabWidget->setGeometry(r.x(), r.y(), r.width(),
                               ui->centralWidget->height() - r.y() - BottomMargin);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // "&Quit" and the close button end any Connect under way and close the
    // link before the window goes.
    if (m_login)
        m_login->close();
    m_connect->abandon();
    m_eventLogPage->stopDownload();  // a log download holds the port
    m_link->close();
    event->accept();
}
