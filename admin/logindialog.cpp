#include "admin/logindialog.h"
#include "ui_logindialog.h"

#include "app/mainwindow.h"
#include "link/codec.h"
#include "link/link.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QModbusClient>

logindialog::logindialog(MainWindow *window)
    : QDialog(window), ui(new Ui::logindialog), m_window(window)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
}

logindialog::~logindialog()
{
    delete ui;
}

void logindialog::on_loginPushButton_clicked()
{
    const QString user = ui->usernameLineEdit->text();
    const QString password = ui->passwordLineEdit->text();
    // The bridge keeps 16 characters of each; a longer text would spill into
    // the registers after the login block.
    if (user.size() > MaxFieldLength || password.size() > MaxFieldLength) {
        QMessageBox::information(nullptr, tr("Login"),
                                 tr("Username and password can have at most 16 characters each."));
        return;
    }
    // Each attempt goes to the port chosen in the top bar now. Another press
    // while an attempt waits only sends again when the engineer has picked
    // another port meanwhile; the wait on the old one is then given up.
    const QString port = m_window->selectedPort();
    if (m_reply) {
        if (port == m_replyPort)
            return;
        dropAttempt();
    }
    QVector<quint16> values = codec::textToRegisters(user, FieldRegisters);
    values += codec::textToRegisters(password, FieldRegisters);

    Link *link = m_window->link();
    if (!link->device())
        link->createClient(Link::Serial);
    if (!link->openSerial(port)) {
        QMessageBox::information(
            nullptr, tr("Login"),
            tr("The port %1 cannot be opened: it is gone or in use by another program.").arg(port));
        return;
    }

    QModbusClient *device = link->device();
    QModbusReply *reply = device->sendWriteRequest(
        QModbusDataUnit(QModbusDataUnit::HoldingRegisters, LoginBlockStart, values), 1);
    if (!reply) {
        device->disconnectDevice();
        return;
    }
    if (reply->isFinished()) {
        device->disconnectDevice();
        reply->deleteLater();
        return;
    }
    m_reply = reply;
    m_replyPort = port;
    connect(reply, &QModbusReply::finished, this, [this, reply] { loginFinished(reply); });
}

void logindialog::loginFinished(QModbusReply *reply)
{
    m_reply = nullptr;
    reply->deleteLater();
    if (reply->error() == QModbusDevice::NoError) {
        m_window->setLoginAccepted();
        close();
        return;
    }
    m_window->link()->close();
    QMessageBox::information(nullptr, tr("Login"), tr("Please Check Username and Password."));
}

// Gives up the attempt that waits for an answer: whatever answer comes later
// is released unread, and the port it opened is let go.
void logindialog::dropAttempt()
{
    if (!m_reply)
        return;
    QModbusReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    connect(reply, &QModbusReply::finished, reply, &QObject::deleteLater);
    m_window->link()->close();
}

void logindialog::on_quitPushButton_clicked()
{
    m_window->setLoginCancelled();
    close();
}

void logindialog::closeEvent(QCloseEvent *event)
{
    dropAttempt();
    m_window->setLoginCancelled();
    event->accept();
}
