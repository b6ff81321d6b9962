// The window's side of the link: the Connect/Disconnect procedure with its
// login wait, the link state display, the port watch and a lost port.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "admin/logindialog.h"
#include "link/link.h"
#include "link/portlist.h"
#include "pages/radio/lorapage.h"
#include "pages/radio/serialpage.h"

#include <QModbusClient>
#include <QTimer>

namespace {
const char DisabledTabRule[] = "QTabBar::tab:disabled {width: 0; color: transparent;}";
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
    if (m_phase != Idle && !open)
        return;
    ui->statusBar->clearMessage();

    if (m_phase != Idle) {
        abandonConnect();
        return;
    }
    if (device->state() == QModbusDevice::ConnectedState) {
        disconnectProcedure();
        return;
    }

    m_phase = LoggingIn;
    loginCancelled = false;
    m_login = new logindialog(this);
    m_login->show();
}

void MainWindow::onLoginConcluded()
{
    if (m_phase != LoggingIn)
        return;
    if (loginAccepted) {
        ui->actionConnect->setEnabled(false);
        ui->actionDisconnect->setEnabled(true);
        startIdentification();
    } else if (loginCancelled) {
        // Given up before the bridge accepted: the port an attempt opened is
        // let go, and the window reads disconnected.
        endConnect();
        m_link->close();
    }
}

QString MainWindow::selectedPort() const
{
    return ui->portComboBox->currentText();
}

void MainWindow::endConnect()
{
    m_phase = Idle;
    m_identifyTimer->stop();
    if (m_login)
        m_login->deleteLater();
}

// Disconnect while the login waits or identification runs: the dialog goes
// (with any answer still due), identification stops, the link closes.
void MainWindow::abandonConnect()
{
    if (m_login)
        m_login->close();
    endConnect();
    disconnectProcedure();
}

void MainWindow::restoreDisconnectedWidgets()
{
    ui->actionConnect->setEnabled(true);
    ui->actionDisconnect->setEnabled(false);
    m_serialPage->setAddressRowVisible(true);
    ui->portEdit_3->clear();
    loginAccepted = false;
    loginCancelled = false;
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

void MainWindow::onLinkLost(const QString &errorText)
{
    if (!m_link->device() || m_link->state() == QModbusDevice::UnconnectedState)
        return;
    disconnectProcedure();
    ui->statusBar->showMessage(errorText, 5000);
}

void MainWindow::findComPort()
{
    m_portSignature = portListSignature();  // before the enumeration: a change meanwhile counts
    portNames = availablePortNames();
    ui->portComboBox->clear();
    ui->portComboBox->addItems(portNames);
}

void MainWindow::serialAlarmTask()
{
    // Every second: enumerate the ports only when something may have changed,
    // and for a few seconds after that, while the system finishes setting up
    // a new adapter (its driver and udev entry may lag behind the device node).
    const QByteArray signature = portListSignature();
    if (signature.isEmpty() || signature != m_portSignature)
        m_portSettleTicks = 5;
    m_portSignature = signature;
    if (m_portSettleTicks <= 0)
        return;
    --m_portSettleTicks;
    if (availablePortNames() == portNames)
        return;
    findComPort();
    ui->portComboBox->setCurrentIndex(0);
}
