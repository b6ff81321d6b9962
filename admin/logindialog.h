// The login that opens every connection: the entered credentials go to the
// bridge's login block (199 to 214) through the Connect under way, and the
// bridge's answer is the verdict. Nothing is compared on the PC.
#pragma once

#include <QDialog>

namespace Ui { class logindialog; }

class LoginSession;

class logindialog : public QDialog
{
    Q_OBJECT
public:
    logindialog(LoginSession *session, QWidget *parent);
    ~logindialog() override;

private slots:
    void on_loginPushButton_clicked();
    void on_quitPushButton_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void loginFinished(bool accepted);

    Ui::logindialog *ui;
    LoginSession *m_session;
};
