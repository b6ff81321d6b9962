#include "admin/logindialog.h"
#include "ui_logindialog.h"

#include "link/loginsession.h"

#include <QCloseEvent>
#include <QMessageBox>

logindialog::logindialog(LoginSession *session, QWidget *parent)
    : QDialog(parent), ui(new Ui::logindialog), m_session(session)
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
    constexpr int MaxLength = LoginSession::MaxFieldLength;
    if (user.size() > MaxLength || password.size() > MaxLength) {
        QMessageBox::information(nullptr, tr("Login"),
                                 tr("Username and password can have at most 16 characters each."));
        return;
    }
    const auto attempt =
        m_session->sendLogin(user, password, this, [this](bool ok) { loginFinished(ok); });
    if (attempt == LoginSession::Attempt::PortUnavailable) {
        QMessageBox::information(
            nullptr, tr("Login"),
            tr("The port %1 cannot be opened: it is gone or in use by another program.")
                .arg(m_session->loginPort()));
    }
}

void logindialog::loginFinished(bool accepted)
{
    if (accepted) {
        m_session->setLoginAccepted();
        close();
        return;
    }
    QMessageBox::information(nullptr, tr("Login"), tr("Please Check Username and Password."));
}

void logindialog::on_quitPushButton_clicked()
{
    m_session->setLoginCancelled();
    close();
}

void logindialog::closeEvent(QCloseEvent *event)
{
    m_session->dropLogin();
    m_session->setLoginCancelled();
    event->accept();
}
