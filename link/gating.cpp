// Identification after a successful login: read the model name, offer the
// model's I/O channels, read the activation settings, refuse other product
// series and gate the tabs and the LoRa band.
#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "link/codec.h"
#include "link/identification.h"
#include "link/link.h"
#include "pages/io/iopage.h"
#include "pages/radio/lorapage.h"
#include "pages/radio/lorawanpage.h"
#include "pages/radio/serialpage.h"

#include <QMessageBox>
#include <QModbusClient>
#include <QModbusReply>
#include <QTimer>

namespace {
constexpr quint16 ModelNameStart = 133;
constexpr quint16 ModelNameCount = 8;
const char DisabledTabRule[] = "QTabBar::tab:disabled {width: 0; color: transparent;}";
}

void MainWindow::startIdentification()
{
    m_phase = Identifying;
    m_modelReadFailed = false;
    // The model name read ends the wait when it concludes; the client's own
    // time-out (with its retries) plus a margin ends it at the latest, so a
    // Connect always completes.
    QModbusClient *device = m_link->device();
    m_identifyTimer->start(device ? device->timeout() * (device->numberOfRetries() + 1) + 1000 : 0);
    readModelName();
}

void MainWindow::readModelName()
{
    QModbusReply *reply = m_link->sendRead(ModelNameStart, ModelNameCount);
    if (!reply) {
        // Refused by the link: "Read error: ..." is on the status bar.
        m_modelReadFailed = true;
        QMetaObject::invokeMethod(this, &MainWindow::finishIdentification, Qt::QueuedConnection);
        return;
    }
    connect(reply, &QModbusReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (m_phase != Identifying)
            return;  // Disconnect ended the Connect meanwhile
        if (reply->error() == QModbusDevice::NoError) {
            ui->portEdit_3->setText(codec::registersToText(reply->result().values()));
            ui->statusBar->showMessage(tr("OK!"), 0);
        } else if (reply->error() == QModbusDevice::ProtocolError) {
            m_link->reportReadError(reply);
            m_modelReadFailed = true;
        } else {
            ui->statusBar->showMessage(
                tr("Unknown Device: Please input the correct type of IOT Devices."), 0);
            ui->portEdit_3->setText(tr("Unknown Device"));
            m_modelReadFailed = true;
        }
        finishIdentification();
    });
}

void MainWindow::finishIdentification()
{
    if (m_phase != Identifying)
        return;
    m_identifyTimer->stop();
    gateIoChannels();
    readActivationSettings();
    gateTabs();
}

void MainWindow::gateIoChannels()
{
    const ModelGating gating = gatingForModel(ui->portEdit_3->text());
    m_ioPage->setChannels(gating.channels);
    if (gating.disableTimeSetting)
        ui->tabWidget->setTabEnabled(TabTimeSetting, false);
}

void MainWindow::readActivationSettings()
{
    // After a failed model name read its error stays on the status bar.
    m_loraWanPage->readActivation(!m_modelReadFailed);
}

void MainWindow::gateTabs()
{
    const ModelGating gating = gatingForModel(ui->portEdit_3->text());
    if (gating.otherSeries) {
        // Another product series: say so for five seconds, then let go.
        m_phase = Refusing;
        auto *box = new QMessageBox(QMessageBox::Information, tr("Warning"),
                                    tr("Please Connect LoraWan Series Production!"),
                                    QMessageBox::NoButton);
        box->setWindowIconText(tr("Warning"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::ApplicationModal);
        QTimer::singleShot(5000, box, &QMessageBox::accept);
        connect(box, &QDialog::finished, this, &MainWindow::refuseProduct);
        box->show();
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
    endConnect();
}

void MainWindow::refuseProduct()
{
    if (m_phase != Refusing)
        return;
    m_link->close();
    restoreDisconnectedWidgets();
    endConnect();
}
