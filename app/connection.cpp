// The window's side of the link and the Connect procedure: the link state
// display, Connect/Disconnect, what identification means for the widgets
// (tabs, channel boxes, band, the refusal box), a lost port and the port watch.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "admin/logindialog.h"
#include "link/connectprocedure.h"
#include "link/link.h"
#include "link/portlist.h"
#include "pages/io/iopage.h"
#include "pages/radio/lorapage.h"
#include "pages/radio/lorawanpage.h"
#include "pages/radio/serialpage.h"

#include <QMessageBox>
#include <QModbusClient>
#include <QStatusBar>
#include <QTimer>

void MainWindow::wireConnect()
{
    ConnectProcedure *procedure = m_connect;
    connect(procedure, &ConnectProcedure::loginAccepted, this, [this] {
        ui->actionConnect->setEnabled(false);
        ui->actionDisconnect->setEnabled(true);
    });
    connect(procedure, &ConnectProcedure::modelNameRead, ui->portEdit_3, &QLineEdit::setText);
    connect(procedure, &ConnectProcedure::modelIdentified, this, &MainWindow::applyGating);
    connect(procedure, &ConnectProcedure::activationMethodRead, m_loraWanPage,
            &LoraWanPage::showActivationMethod);
    connect(procedure, &ConnectProcedure::confirmedUplinksRead, m_loraWanPage,
            &LoraWanPage::showConfirmedUplinks);
    connect(procedure, &ConnectProcedure::finished, this, [this](bool connected) {
        if (m_login)
            m_login->deleteLater();
        setProfileActionsEnabled(connected && m_connect->isLoginAccepted() && m_link->isConnected());
    });
    connect(procedure, &ConnectProcedure::linkLost, this, &MainWindow::onLinkLost);
}

bool MainWindow::isLoginAccepted() const
{
    return m_connect->isLoginAccepted();
}

bool MainWindow::isConnecting() const
{
    return m_connect->isConnecting();
}

QString MainWindow::selectedPort() const
{
    return ui->portComboBox->currentText();
}

void MainWindow::on_connectType_currentIndexChanged(int index)
{
    if (!m_link->createClient(index == 1 ? Link::Tcp : Link::Serial))
        ui->connectButton->setEnabled(false);
}

void MainWindow::onStateChanged(int state)
{
    const bool unconnected = state == QModbusDevice::UnconnectedState;
    ui->actionConnect->setEnabled(unconnected);
    ui->actionDisconnect->setEnabled(!unconnected);
    if (unconnected)
        setProfileActionsEnabled(false);
    if (unconnected)
        ui->connectButton->setText(tr("Connect"));
    else if (state == QModbusDevice::ConnectedState)
        ui->connectButton->setText(tr("Disconnect"));
}

void MainWindow::on_connectButton_clicked()
{
    QModbusClient *device = m_link->device();
    if (!device)
        return;
    // A Connect under way owns the login dialog: a second Connect (button or
    // menu) must not open another one. Once an attempt has opened the link
    // the button reads "Disconnect", and that ends the Connect.
    const bool open = device->state() != QModbusDevice::UnconnectedState;
    if (m_connect->isConnecting() && !open)
        return;
    ui->statusBar->clearMessage();

    if (m_connect->isConnecting()) {
        abandonConnect();
        return;
    }
    if (device->state() == QModbusDevice::ConnectedState) {
        disconnectProcedure();
        return;
    }
    if (!m_connect->begin())
        return;
    m_login = new logindialog(m_connect, this);
    m_login->show();
}

// Disconnect while the login waits or identification runs: the dialog goes
// (with any answer still due), identification stops, the link closes.
void MainWindow::abandonConnect()
{
    if (m_login)
        m_login->close();
    m_connect->abandon();
    disconnectProcedure();
}

void MainWindow::restoreDisconnectedWidgets()
{
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    setProfileActionsEnabled(false);
    m_serialPage->setAddressRowVisible(true);
    ui->portEdit_3->clear();
    m_connect->resetLogin();
    emit disconnected();
}

void MainWindow::disconnectProcedure()
{
    m_link->close();
    restoreDisconnectedWidgets();
    ui->tabWidget->setStyleSheet(QString::fromLatin1(DisabledTabRule));
    repaint();
    m_loraPage->clearFrequencyItems();
}

void MainWindow::applyGating(const ModelGating &gating)
{
    m_ioPage->setChannels(gating.channels);
    if (gating.disableTimeSetting)
        ui->tabWidget->setTabEnabled(TabTimeSetting, false);
    if (gating.otherSeries) {
        refuseProduct();
        return;
    }
    if (gating.bridge) {
        for (int tab : { TabGroupNet, TabLora, TabRuleChain, TabMonitor, TabEventLog, TabTmo })
            ui->tabWidget->setTabEnabled(tab, false);
        m_serialPage->setAddressRowVisible(false);
    }
    if (gating.band >= 0) {
        m_frequencyBand = gating.band;
        m_loraPage->setFrequencyBand(gating.band);
        m_loraPage->setFrequencyItems(gating.frequencies);
    }
    ui->tabWidget->setStyleSheet(QString::fromLatin1(DisabledTabRule));
    repaint();
}

// Another product series: say so for five seconds, then let go.
void MainWindow::refuseProduct()
{
    auto *box = new QMessageBox(QMessageBox::Information, tr("Warning"),
                                tr("Please Connect LoraWan Series Production!"),
                                QMessageBox::NoButton);
    box->setWindowIconText(tr("Warning"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QTimer::singleShot(5000, box, &QMessageBox::accept);
    connect(box, &QDialog::finished, this, [this] {
        if (m_connect->endRefusal())
            restoreDisconnectedWidgets();
    });
    box->show();
}

void MainWindow::onLinkLost(const QString &errorText)
{
    disconnectProcedure();
    ui->statusBar->showMessage(errorText, 5000);
}

void MainWindow::findComPort()
{
    ui->portComboBox->clear();
    ui->portComboBox->addItems(m_portWatch->refresh());
}

// A port came or went: the list is filled anew and its first port chosen.
void MainWindow::onPortsChanged(const QStringList &names)
{
    ui->portComboBox->clear();
    ui->portComboBox->addItems(names);
    ui->portComboBox->setCurrentIndex(0);
}
