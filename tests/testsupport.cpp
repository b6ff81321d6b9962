#include "testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSharedPointer>
#include <QStatusBar>
#include <QTest>

#include "link/link.h"

BoxCatcher::BoxCatcher(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &BoxCatcher::poll);
    m_timer.start();
}

QStringList BoxCatcher::texts() const
{
    QStringList texts;
    for (const Box &b : boxes)
        texts << b.text;
    return texts;
}

void BoxCatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("nwCaught").toBool())
        return;
    box->setProperty("nwCaught", true);
    boxes.append({ box->windowTitle(), box->text() });
    QAbstractButton *b = answerYes ? box->button(QMessageBox::Yes) : nullptr;
    b = b ? b : box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
    if (autoClose)
        b ? b->click() : box->accept();
}

bool Harness::startWindow()
{
    if (!m_bridge->start())
        return false;
    qputenv("NODEWEAVE_EXTRA_PORTS", m_bridge->portPath().toLocal8Bit());
    m_window = new MainWindow;
    m_window->show();
    return true;
}

QString Harness::status() const
{
    return m_window->statusBar()->currentMessage();
}

QDialog *Harness::loginDialog() const
{
    auto *login = m_window->findChild<QDialog *>("logindialog");
    return login && login->isVisible() ? login : nullptr;
}

QDialog *Harness::startConnect()
{
    find<QPushButton>("connectButton")->click();
    return QTest::qWaitFor([this] { return loginDialog() != nullptr; }, 10000) ? loginDialog() : nullptr;
}

bool Harness::submitLogin(const QString &user, const QString &password)
{
    QDialog *login = loginDialog();
    if (!login)
        return false;
    login->findChild<QLineEdit *>("usernameLineEdit")->setText(user);
    login->findChild<QLineEdit *>("passwordLineEdit")->setText(password);
    login->findChild<QPushButton *>("loginPushButton")->click();
    return true;
}

bool Harness::connectAs(const QString &user, const QString &password)
{
    return startConnect() && submitLogin(user, password)
           && QTest::qWaitFor([this] { return !m_window->isConnecting(); }, 30000);
}

bool Harness::waitForReplies()
{
    // Replies come back in request order, so once a quiet marker read (one
    // that leaves the status bar alone) is answered, everything sent before
    // it has been handled.
    auto done = QSharedPointer<bool>::create(false);
    RequestOptions quiet;
    quiet.showOk = false;
    quiet.clearStatus = false;
    return m_window->link()->read(0, 1, nullptr, [done](const QVector<quint16> &) { *done = true; }, quiet)
           && QTest::qWaitFor([done] { return *done; }, 15000);
}
