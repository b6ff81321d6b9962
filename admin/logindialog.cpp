#include "admin/logindialog.h"
#include "ui_logindialog.h"

#include "app/mainwindow.h"
#include "link/codec.h"
#include "link/link.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QModbusClient>
#include <QPointer>

logindialog::logindialog(MainWindow *window, const QString &portName)
    : QDialog(window), ui(new Ui::logindialog), m_window(window), m_portName(portName)
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
    if (m_pending)
        return;
    const QString user = ui->usernameLineEdit->text();
    const QString password = ui->passwordLineEdit->text();
    // The bridge keeps 16 characters of each; a longer text would spill into
    // the registers after the login block.
    if (user.size() > MaxFieldLength || password.size() > MaxFieldLength) {
        QMessageBox::information(nullptr, tr("Login"),
                                 tr("Username and password can have at most 16 characters each."));
        return;
    }
    QVector<quint16> values = codec::textToRegisters(user, FieldRegisters);
    values += codec::textToRegisters(password, FieldRegisters);

    Link *link = m_window->link();
    if (!link->device())
        link->createClient(Link::Serial);
    link->openSerial(m_portName);

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
    m_pending = true;
    connect(reply, &QModbusReply::finished, this, [this, reply] { loginFinished(reply); });
}

void logindialog::loginFinished(QModbusReply *reply)
{
    m_pending = false;
    reply->deleteLater();
    if (reply->error() == QModbusDevice::NoError) {
        m_window->setLoginAccepted();
        close();
        return;
    }
    m_window->link()->close();
    QMessageBox::information(nullptr, tr("Login"), tr("Please Check Username and Password."));
}

void logindialog::on_quitPushButton_clicked()
{
    m_window->setLoginCancelled();
    close();
}

void logindialog::closeEvent(QCloseEvent *event)
{
    m_window->setLoginCancelled();
    event->accept();
}
