#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QSharedPointer>

#include "link/link.h"

BoxCatcher::BoxCatcher(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &BoxCatcher::poll);
    m_timer.start();
}

void BoxCatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("nwCaught").toBool())
        return;
    box->setProperty("nwCaught", true);
    boxes.append({ box->windowTitle(), box->text() });
    if (!autoClose)
        return;
    if (QAbstractButton *b = box->defaultButton() ? box->defaultButton()
                             : (box->buttons().isEmpty() ? nullptr : box->buttons().first()))
        b->click();
    else
        box->accept();
}

Harness::Harness(const sim::Options &options) : m_bridge(new sim::SimBridge(options))
{
}

Harness::~Harness()
{
    delete m_window;
    m_bridge.reset();
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
    if (!QTest::qWaitFor([this] { return loginDialog() != nullptr; }, 10000))
        return nullptr;
    return loginDialog();
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
    if (!startConnect() || !submitLogin(user, password))
        return false;
    return QTest::qWaitFor([this] { return !m_window->isConnecting(); }, 30000);
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
    if (!m_window->link()->read(0, 1, nullptr,
                                [done](const QVector<quint16> &) { *done = true; }, quiet))
        return false;
    return QTest::qWaitFor([done] { return *done; }, 15000);
}
