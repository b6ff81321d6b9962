// The login that opens every connection: it opens the serial link, writes the
// entered credentials to the bridge's login block (199 to 214) and takes the
// bridge's answer as the verdict. Nothing is compared on the PC.
#pragma once

#include <QDialog>
#include <QPointer>

namespace Ui { class logindialog; }

class MainWindow;
class QModbusReply;

class logindialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr quint16 LoginBlockStart = 199;
    static constexpr int FieldRegisters = 8;  // 16 characters each
    static constexpr int MaxFieldLength = 2 * FieldRegisters;

    explicit logindialog(MainWindow *window);
    ~logindialog() override;

private slots:
    void on_loginPushButton_clicked();
    void on_quitPushButton_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void loginFinished(QModbusReply *reply);
    void dropAttempt();

    Ui::logindialog *ui;
    MainWindow *m_window;
    QPointer<QModbusReply> m_reply;  // the attempt waiting for the bridge's answer
    QString m_replyPort;             // the port it went out on
};
