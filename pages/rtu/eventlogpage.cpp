#include "pages/rtu/eventlogpage.h"
#include "ui_eventlogpage.h"

#include "link/lineparams.h"
#include "link/link.h"
#include "pages/rtu/eventlogmodel.h"
#include "link/pacing.h"
#include "link/newfile.h"
#include "tools/ymodem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QModbusClient>
#include <QProgressDialog>
#include <QSerialPort>
#include <QTimer>

namespace {
constexpr quint16 EnableRegister = 3000;
constexpr int RequestInterval = 3000;  // between two start requests
constexpr int MaxRequests = 20;
}

EventLogPage::EventLogPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::EventLogPage), m_link(link)
{
    ui->setupUi(this);

    eventLogModel = new EventLogModel(this);
    ui->EventLogView->setModel(eventLogModel);
    const int widths[] = { 170, 170, 100, 170, 170, 230 };
    for (int c = 0; c < 6; ++c)
        ui->EventLogView->setColumnWidth(c, widths[c]);

    logSerialPort = new QSerialPort(this);
    m_ymodem = new ymodem(this);
    connect(m_ymodem, &ymodem::finRcv, this, &EventLogPage::parseEventLog);
    connect(m_ymodem, &ymodem::transferFailed, this, &EventLogPage::abandon);

    // A pulled adapter ends the download at once, instead of after the start
    // requests or the transfer's stall time have run out. Queued: the port is
    // closed from outside its own error report.
    connect(logSerialPort, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                const bool gone = error == QSerialPort::ResourceError
                                  || error == QSerialPort::ReadError;
                if (gone && m_downloading)
                    abandon(tr("Event log download failed: %1").arg(logSerialPort->errorString()));
            },
            Qt::QueuedConnection);

    m_requestTimer = new QTimer(this);
    m_requestTimer->setTimerType(Qt::PreciseTimer);  // a coarse timer may ask early
    connect(m_requestTimer, &QTimer::timeout, this, &EventLogPage::requestTick);

    // A Check that waits for the enable write starts at the latest when the
    // write has had its time.
    m_writeWaitTimer = new QTimer(this);
    m_writeWaitTimer->setSingleShot(true);
    m_writeWaitTimer->setInterval(Link::ResponseTimeout + 1000);
    connect(m_writeWaitTimer, &QTimer::timeout, this, [this] {
        m_enableWrites = 0;
        startCheck();
    });
}

EventLogPage::~EventLogPage()
{
    stopDownload();
    delete m_progress;
    delete ui;
}

QString EventLogPage::portName() const
{
    // The port the link was opened on; before any connection, the chosen one.
    return m_link->portName();
}

void EventLogPage::on_eventLogEnableRadioButton_clicked()
{
    const bool on = ui->eventLogEnableRadioButton->isChecked();
    ui->ELogChkPushButton->setEnabled(on && !m_downloading);
    if (!m_link->device())
        return;
    const bool sent = m_link->write(EnableRegister, { quint16(on ? 1 : 0) }, this, [this](bool ok) {
        if (ok && !m_exportError.isEmpty())
            m_link->showMessage(m_exportError, 0);
        m_exportError.clear();
        if (m_enableWrites > 0 && --m_enableWrites == 0 && m_checkAfterWrite)
            startCheck();
    });
    if (sent)
        ++m_enableWrites;
}

void EventLogPage::setupProgressDialog()
{
    if (!m_progress) {
        m_progress = new QProgressDialog;
        connect(m_progress, &QProgressDialog::canceled, this, [this] {
            if (m_downloading)
                abandon(tr("Event log download cancelled."));
        });
    }
    m_progress->setLabelText(tr("Processing... Please wait..."));
    m_progress->setRange(0, 100);
    m_progress->setWindowModality(Qt::ApplicationModal);
    m_progress->setCancelButtonText(tr("Cancel"));
    m_progress->setValue(0);
    m_ymodem->progressDialog = m_progress;
}

void EventLogPage::on_ELogChkPushButton_clicked()
{
    if (!ui->eventLogEnableRadioButton->isChecked() || m_downloading || m_checkAfterWrite)
        return;
    if (m_enableWrites > 0) {
        // Taking the port now would cut off the write that switches the
        // transfer on: start once it is answered (or has had its time).
        m_checkAfterWrite = true;
        ui->ELogChkPushButton->setEnabled(false);
        ui->eventLogEnableRadioButton->setEnabled(false);
        m_writeWaitTimer->start();
        return;
    }
    startCheck();
}

void EventLogPage::startCheck()
{
    // The wait of this Check ends here, so it cannot start a later one early.
    m_writeWaitTimer->stop();
    m_checkAfterWrite = false;
    if (m_downloading)
        return;
    m_portName = portName();
    if (m_portName.isEmpty()) {
        ui->eventLogEnableRadioButton->setEnabled(true);
        ui->ELogChkPushButton->setEnabled(ui->eventLogEnableRadioButton->isChecked());
        m_link->showMessage(tr("No serial port for the event log download."), 5000);
        return;
    }

    // The link and the YMODEM receiver share the one serial port.
    m_reconnect = m_link->state() != QModbusDevice::UnconnectedState;
    m_link->close();

    logSerialPort->setPortName(m_portName);
    lineparams::applyTo(logSerialPort);
    if (!logSerialPort->open(QIODevice::ReadWrite)) {
        const QString error = logSerialPort->errorString();
        giveBackPort();
        m_link->showMessage(tr("Cannot open %1 for the event log download: %2")
                                .arg(m_portName, error), 0);
        return;
    }
    logSerialPort->clear();

    m_link->clearMessage();
    m_downloading = true;
    m_downloadStart = QDateTime::currentMSecsSinceEpoch();
    m_downloadClock.start();
    ui->ELogChkPushButton->setEnabled(false);
    ui->eventLogEnableRadioButton->setEnabled(false);
    m_ymodem->transferStarted = false;
    m_ymodem->setSerialPort(logSerialPort);
    setupProgressDialog();

    // Ask for the file every 3 seconds until the device starts sending; 20
    // requests unanswered make the 60 s after which the device is given up.
    m_requestsSent = 0;
    requestTick();
    m_requestTimer->start(pacing::ms(RequestInterval));
}

void EventLogPage::requestTick()
{
    if (!m_downloading || m_ymodem->transferStarted) {
        m_requestTimer->stop();
        return;
    }
    if (m_requestsSent >= MaxRequests) {
        abandon(tr("Event log download failed: the device did not start the transfer."));
        return;
    }
    m_ymodem->sendStartRequest();
    ++m_requestsSent;
}

void EventLogPage::giveBackPort()
{
    m_requestTimer->stop();
    if (logSerialPort->isOpen())
        logSerialPort->close();
    m_ymodem->transferStarted = false;
    m_downloading = false;
    if (m_progress)
        m_progress->reset();
    const bool reconnect = m_reconnect;
    m_reconnect = false;
    if (reconnect && !m_link->openSerial(m_portName))
        emit portLost(tr("The port %1 is gone: the link is closed.").arg(m_portName));
    ui->eventLogEnableRadioButton->setEnabled(true);
    ui->ELogChkPushButton->setEnabled(ui->eventLogEnableRadioButton->isChecked());
}

void EventLogPage::abandon(const QString &reason)
{
    if (!m_downloading)
        return;
    m_ymodem->cancelTransfer();
    reportDownload(reason);
    giveBackPort();
    m_link->showMessage(reason, 0);
}

void EventLogPage::reportDownload(const QString &failure)
{
    if (!m_link->isRecording())
        return;
    TrafficRecord r;
    r.kind = TrafficRecord::Download;
    r.time = m_downloadStart;
    r.roundTrip = int(m_downloadClock.elapsed());
    r.server = 1;
    if (m_ymodem->transferStarted) {
        const ymodem::Statistics s = m_ymodem->statistics();
        r.bytes = s.bytes;
        r.blocks = s.blocks;
        r.resends = s.resends;
    }
    r.failure = failure;
    m_link->noteTransfer(r);
}

void EventLogPage::stopDownload()
{
    // A Check still waiting for the switch write does not start any more.
    m_writeWaitTimer->stop();
    m_checkAfterWrite = false;
    if (!m_downloading)
        return;
    m_requestTimer->stop();
    m_ymodem->cancelTransfer();
    if (logSerialPort->isOpen())
        logSerialPort->close();
    m_ymodem->transferStarted = false;
    m_downloading = false;
    m_reconnect = false;
    if (m_progress)
        m_progress->reset();
}

void EventLogPage::parseEventLog(QString fileName)
{
    if (m_downloading)
        reportDownload(QString());
    giveBackPort();

    QFile file(fileName);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    eventLogList = codec::parseEventLogFile(bytes);
    eventLogModel->setList(eventLogList);
    eventLogModel->setFileOrder(eventLogList);

    saveToTxt();

    ui->eventLogEnableRadioButton->setChecked(false);
    on_eventLogEnableRadioButton_clicked();
    file.remove();
}

void EventLogPage::saveToTxt()
{
    // A second export within the same second gets a name of its own rather
    // than adding its records to the first one's file.
    const QString stem = QStringLiteral("EventLog")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    QFile file;
    m_lastExport.clear();
    if (!openNewFile(file, QDir::current().absoluteFilePath(stem), QStringLiteral(".txt"))) {
        m_exportError = tr("Cannot write %1: %2").arg(file.fileName(), file.errorString());
        m_link->showMessage(m_exportError, 0);
        return;
    }
    QByteArray text;
    for (const codec::EventLogEntry &e : qAsConst(eventLogList)) {
        if (!e.tag.isEmpty())
            text += codec::eventLogExportLine(e);
    }
    if (file.write(text) != text.size() || !file.flush()) {
        m_exportError = tr("Cannot write %1: %2").arg(file.fileName(), file.errorString());
        m_link->showMessage(m_exportError, 0);
        return;
    }
    m_lastExport = file.fileName();
}

void EventLogPage::on_ELogClearPushButton_clicked()
{
    // Both copies go, so a header click cannot bring the records back.
    eventLogList.clear();
    eventLogModel->setFileOrder({});
    eventLogModel->setList({});
}
