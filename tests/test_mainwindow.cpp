// The window around a connection: themes and layout, the TMO tab's reads,
// the PC serial settings dialog, Help and Exit.
#include "testsupport.h"

#include "app/helpopener.h"
#include "app/settingsdialog.h"
#include "link/link.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QTabBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSerialPort>
#include <QTabWidget>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void themes_data();
    void themes();
    void tmoTabReadsOnlyWhenCurrent();
    void settingsDialogApply();
    void helpOpens_data();
    void helpOpens();
    void exitClosesAndDisconnects();
};

// A widget shows whole when no sibling covers part of it and no edge of a
// parent (the tab's frame, the status bar, the window) cuts it, or a scroll
// area between them reaches as far as it goes.
static bool shownWhole(QWidget *w, QWidget *window)
{
    const auto siblings = w->parentWidget()->findChildren<QWidget *>(QString(),
                                                                     Qt::FindDirectChildrenOnly);
    for (QWidget *s : siblings) {
        if (s != w && s->isVisible() && !s->isWindow() && s->geometry().intersects(w->geometry()))
            return false;
    }
    QRect r = w->rect();
    for (QWidget *c = w; c != window;) {
        QWidget *p = c->parentWidget();
        auto *area = qobject_cast<QScrollArea *>(p->parentWidget());
        if (area && area->viewport() == p) {
            const QSize beyond = c->size() - p->size();
            if (area->verticalScrollBar()->maximum() < beyond.height()
                || area->horizontalScrollBar()->maximum() < beyond.width())
                return false;
            c = area;
            r = area->rect();
            continue;
        }
        r.translate(c->pos());
        if (!p->rect().contains(r))
            return false;
        c = p;
    }
    return true;
}

void TestMainWindow::themes_data()
{
    QTest::addColumn<QString>("theme");
    QTest::addColumn<bool>("dark");
    QTest::newRow("default, after dark") << "action_Default" << false;
    QTest::newRow("dark") << "actionDa_rk" << true;
}

// The dark theme offers the Adjust tab, the default one hides it. A message
// box without parent wears the window's theme. Every shown widget of every
// page is seen whole.
void TestMainWindow::themes()
{
    QFETCH(QString, theme);
    QFETCH(bool, dark);
    Harness h;
    QVERIFY(h.startWindow());
    h.find<QAction>("actionDa_rk")->trigger();
    h.find<QAction>(theme)->trigger();
    auto *tabs = h.find<QTabWidget>("tabWidget");
    QCOMPARE(h.window()->styleSheet().contains("#222222", Qt::CaseInsensitive), dark);
    QCOMPARE(tabs->isTabEnabled(MainWindow::TabAdjust), dark);
    QTRY_COMPARE(tabs->tabBar()->tabRect(MainWindow::TabAdjust).width() > 0, dark);
    QString boxSheet;
    QTimer::singleShot(0, [&boxSheet] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxSheet = box->styleSheet();
            box->accept();
        }
    });
    QMessageBox::information(nullptr, "Error", "text");
    QVERIFY(!boxSheet.isEmpty());
    QCOMPARE(boxSheet, h.window()->styleSheet());

    QStringList cut;
    // One tab more than offered at a time, as no model ever offers them all.
    for (int i = 0; i < tabs->count(); ++i) {
        const bool offered = tabs->isTabEnabled(i);
        tabs->setTabEnabled(i, true);
        tabs->setCurrentIndex(i);
        QCoreApplication::sendPostedEvents();  // lays the page out
        for (QWidget *w : h.window()->findChildren<QWidget *>()) {
            if (w->isVisible() && !w->isWindow() && !shownWhole(w, h.window()))
                cut << tabs->tabText(i) + ": " + w->objectName();
        }
        tabs->setTabEnabled(i, offered);
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

// The TMO tab reads its two switches when it becomes current, and only then.
void TestMainWindow::tmoTabReadsOnlyWhenCurrent()
{
    Harness h;
    QVERIFY(h.startWindow());
    QVERIFY(h.connectAs());
    h.bridge().setReg(903, 1);
    h.bridge().setReg(900, 0);
    auto *current = h.find<QCheckBox>("currentEnableCheckBox");
    auto *voltage = h.find<QCheckBox>("voltageEnableCheckBox");
    voltage->setChecked(true);
    QVERIFY(h.waitForReplies());  // identification's last reads are not the tab's
    h.bridge().clearReads();
    auto *tabs = h.find<QTabWidget>("tabWidget");
    tabs->setCurrentIndex(MainWindow::TabIo);
    tabs->setTabEnabled(MainWindow::TabTmo, true);  // identification keeps it hidden
    tabs->setCurrentIndex(MainWindow::TabTmo);
    QTRY_VERIFY_WITH_TIMEOUT(current->isChecked() && !voltage->isChecked(), 10000);
    QVERIFY(h.waitForReplies());
    QStringList reads;  // start+count, the harness's own read of 0 last
    for (const sim::ReadRecord &r : h.bridge().reads())
        reads << QString("%1+%2").arg(r.start).arg(r.count);
    QCOMPARE(reads, (QStringList{ "903+1", "900+1", "0+1" }));
    QCOMPARE(h.bridge().writes().size(), 1);  // only the login
}

// The PC serial settings are kept in memory only; Apply closes the dialog.
void TestMainWindow::settingsDialogApply()
{
    Harness h;
    QVERIFY(h.startWindow());
    h.find<QAction>("actionOptions")->trigger();
    auto *dialog = h.window()->findChild<SettingsDialog *>();
    QVERIFY(dialog->isVisible());
    dialog->findChild<QComboBox *>("parityCombo")->setCurrentText("Mark");
    dialog->findChild<QComboBox *>("stopBitsCombo")->setCurrentText("3");
    dialog->findChild<QComboBox *>("baudCombo")->setCurrentText("9600");
    dialog->findChild<QPushButton *>("applyButton")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->settings().parity, int(QSerialPort::MarkParity));
    QCOMPARE(dialog->settings().stopBits, int(QSerialPort::OneAndHalfStop));
    QCOMPARE(dialog->settings().baud, 9600);
}

void TestMainWindow::helpOpens_data()
{
    QTest::addColumn<bool>("built");
    QTest::addColumn<QString>("shows");  // what can show help here: "chm", "url", the window always
    QTest::addColumn<QString>("opened"); // how and which file
    QTest::addColumn<QString>("status");
    QTest::newRow("chm viewer") << true << "chm url" << "chm Nodeweave_Help.chm"
                                << "Opened the help file Nodeweave_Help.chm.";
    QTest::newRow("browser only") << true << "url" << "url help/index.html"
        << "No viewer for Nodeweave_Help.chm here: opened the HTML guide help/index.html.";
    QTest::newRow("neither") << true << "" << "window help/index.html"
        << "No help viewer or web browser here: showing the HTML guide help/index.html in the help window.";
    QTest::newRow("nothing built") << false << "chm url" << ""
        << "No help here: neither Nodeweave_Help.chm nor the HTML guide help/index.html is in %1.";
}

// Help opens the compiled help where a viewer exists, else the HTML guide in
// a browser or, without one, in the program's own window, and says which on
// the status bar.
void TestMainWindow::helpOpens()
{
    QFETCH(bool, built);
    QFETCH(QString, shows);
    QFETCH(QString, opened);
    QFETCH(QString, status);
    QTemporaryDir dir;
    if (built) {
        QVERIFY(QDir(dir.path()).mkpath("help"));
        for (const char *name : { "Nodeweave_Help.chm", "help/index.html" })
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    }
    QStringList seen;
    const auto by = [&](const QString &how, const QString &path) {
        seen << how + ' ' + QDir(dir.path()).relativeFilePath(path);
        return shows.contains(how);
    };
    help::setOpener({ [=](const QString &chm) { return by("chm", chm); },
                      [=](const QUrl &url) { return by("url", url.toLocalFile()); },
                      [=](const QString &html) { by("window", html); } });
    const QString home = QDir::currentPath();
    QDir::setCurrent(dir.path());
    Harness h;
    QVERIFY(h.startWindow());
    h.find<QAction>("actionHelp_2")->trigger();
    QDir::setCurrent(home);
    help::setOpener({});
    QCOMPARE(seen.isEmpty() ? QString() : seen.last(), opened);
    QCOMPARE(h.status(), status.replace("%1", QDir::toNativeSeparators(dir.path())));
}

void TestMainWindow::exitClosesAndDisconnects()
{
    Harness h;
    QVERIFY(h.startWindow());
    QVERIFY(h.connectAs());
    h.find<QAction>("actionExit")->trigger();
    QVERIFY(!h.window()->isVisible());
    QCOMPARE(h.window()->link()->state(), QModbusDevice::UnconnectedState);
    QCOMPARE(h.find<QPushButton>("connectButton")->text(), QString("Connect"));
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
