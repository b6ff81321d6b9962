// Shared pieces of the integration tests: a catcher for modal message boxes
// and a harness that runs the real window against the simulated bridge.
#pragma once

#include "app/mainwindow.h"
#include "sim/simbridge.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <memory>

class QDialog;

// Records and answers every modal message box (the static QMessageBox calls
// run their own loop, so a timer finds them as the active modal widget):
// with its default button, or Yes where it has one while `answerYes`.
class BoxCatcher : public QObject
{
    Q_OBJECT
public:
    struct Box { QString title; QString text; };

    explicit BoxCatcher(QObject *parent = nullptr);
    QList<Box> boxes;
    void clear() { boxes.clear(); }
    QString lastTitle() const { return boxes.isEmpty() ? QString() : boxes.last().title; }
    QString lastText() const { return boxes.isEmpty() ? QString() : boxes.last().text; }
    QStringList texts() const;
    bool autoClose = true;  // false: recorded, left open
    bool answerYes = false;

private:
    void poll();
    QTimer m_timer;
};

class Harness
{
public:
    explicit Harness(const sim::Options &options = sim::Options()) : m_bridge(new sim::SimBridge(options)) {}
    ~Harness() { delete m_window; }

    bool startWindow();
    MainWindow *window() const { return m_window; }
    sim::SimBridge &bridge() { return *m_bridge; }
    QString status() const;

    template <typename T> T *find(const QString &name) const { return m_window->findChild<T *>(name); }

    QDialog *startConnect();  // clicks Connect, waits for the login dialog
    bool submitLogin(const QString &user, const QString &password);  // in the open login dialog
    // A whole Connect: login, then identification until the procedure ends.
    bool connectAs(const QString &user = QStringLiteral("admin"), const QString &password = QStringLiteral("admin"));
    QDialog *loginDialog() const;
    // Waits until every request sent so far has been answered and handled
    // (identification, for one, ends with reads still on their way), with a
    // read of register 0 that shows nothing.
    bool waitForReplies();

    BoxCatcher boxes;

private:
    std::unique_ptr<sim::SimBridge> m_bridge;
    QPointer<MainWindow> m_window;
};
