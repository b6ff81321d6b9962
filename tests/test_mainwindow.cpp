// The window before and around a connection: menus, themes,
// the port list and the PC serial settings dialog.
#include "testsupport.h"

#include "app/settingsdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTabBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void themes();
    void everyWidgetReachable_data();
    void everyWidgetReachable();
    void tmoTabReadsOnlyWhenCurrent();
    void settingsDialogApply_data();
    void settingsDialogApply();
    void quitClosesAndDisconnects();
};

void TestMainWindow::themes()
{
    Harness h;
    QVERIFY(h.startWindow());
    auto *tabs = h.find<QTabWidget>("tabWidget");
    h.find<QAction>("actionDa_rk")->trigger();
    QVERIFY(tabs->isTabEnabled(6));
    QVERIFY(h.window()->styleSheet().contains("#222222", Qt::CaseInsensitive));
    QVERIFY(tabs->styleSheet().contains("QTabBar::tab:disabled {width: 0; color: transparent;}"));
    QTRY_VERIFY(tabs->tabBar()->tabRect(6).width() > 0);
    // A message box without parent wears the window's theme.
    const auto boxSheet = [] {
        QString sheet;
        QTimer::singleShot(0, [&sheet] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                sheet = box->styleSheet();
                box->accept();
            }
        });
        QMessageBox::information(nullptr, "Error", "text");
        return sheet;
    };
    QCOMPARE(boxSheet(), h.window()->styleSheet());
    h.find<QAction>("action_Default")->trigger();
    QVERIFY(!tabs->isTabEnabled(6));
    QVERIFY(!h.window()->styleSheet().isEmpty());
    QVERIFY(!h.window()->styleSheet().contains("#222222", Qt::CaseInsensitive));
    QTRY_COMPARE(tabs->tabBar()->tabRect(6).width(), 0);
    QCOMPARE(boxSheet(), h.window()->styleSheet());
}

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

void TestMainWindow::everyWidgetReachable_data()
{
    QTest::addColumn<QString>("theme");
    QTest::newRow("default") << "action_Default";
    QTest::newRow("dark") << "actionDa_rk";
}

void TestMainWindow::everyWidgetReachable()
{
    QFETCH(QString, theme);
    Harness h;
    QVERIFY(h.startWindow());
    h.find<QAction>(theme)->trigger();
    auto *tabs = h.find<QTabWidget>("tabWidget");
    QStringList cut;
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setTabEnabled(i, true);
        tabs->setCurrentIndex(i);
        QCoreApplication::sendPostedEvents();  // lays the page out
        for (QWidget *w : h.window()->findChildren<QWidget *>()) {
            if (w->isVisible() && !w->isWindow() && !shownWhole(w, h.window()))
                cut << tabs->tabText(i) + ": " + w->objectName();
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(", ")));
}

void TestMainWindow::tmoTabReadsOnlyWhenCurrent()
{
    Harness h;
    QVERIFY(h.startWindow());
    QVERIFY(h.connectAs());
    h.bridge().setReg(903, 1);
    h.bridge().setReg(900, 0);
    auto *tabs = h.find<QTabWidget>("tabWidget");
    auto *current = h.find<QCheckBox>("currentEnableCheckBox");
    auto *voltage = h.find<QCheckBox>("voltageEnableCheckBox");
    voltage->setChecked(true);
    QTRY_COMPARE_WITH_TIMEOUT(h.status(), QString("OK!"), 10000);
    // Identification's last reads may still be on their way on a slow
    // machine; they must not count as the TMO tab's.
    QVERIFY(h.waitForReplies());

    h.bridge().clearReads();
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(4);
    QVERIFY(h.bridge().reads().isEmpty());

    tabs->setTabEnabled(11, true);  // identification keeps it hidden
    tabs->setCurrentIndex(11);
    QTRY_VERIFY_WITH_TIMEOUT(current->isChecked() && !voltage->isChecked(), 10000);
    const auto reads = h.bridge().reads();
    QCOMPARE(reads.size(), 2);
    QCOMPARE(reads.at(0).start, 903);
    QCOMPARE(reads.at(1).start, 900);
    QCOMPARE(reads.at(0).count, 1);
    QCOMPARE(h.bridge().writes().size(), 1);  // only the login
}

void TestMainWindow::settingsDialogApply_data()
{
    QTest::addColumn<QString>("parity");
    QTest::addColumn<QString>("stopBits");
    QTest::addColumn<int>("parityValue");
    QTest::addColumn<int>("stopBitsValue");
    QTest::newRow("No") << "No" << "1" << 0 << 1;
    QTest::newRow("Even") << "Even" << "2" << 2 << 2;
    QTest::newRow("Mark, 1.5") << "Mark" << "3" << 5 << 3;
}

void TestMainWindow::settingsDialogApply()
{
    Harness h;
    QVERIFY(h.startWindow());
    h.find<QAction>("actionOptions")->trigger();
    auto *dialog = h.window()->findChild<SettingsDialog *>();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QString("PC Serial Settings"));
    QCOMPARE(dialog->findChild<QComboBox *>("baudCombo")->currentText(), QString("115200"));
    QCOMPARE(dialog->findChild<QSpinBox *>("timeoutSpinner")->value(), 1000);

    QFETCH(QString, parity);
    QFETCH(QString, stopBits);
    dialog->findChild<QComboBox *>("parityCombo")->setCurrentText(parity);
    dialog->findChild<QComboBox *>("stopBitsCombo")->setCurrentText(stopBits);
    dialog->findChild<QComboBox *>("baudCombo")->setCurrentText("9600");
    dialog->findChild<QPushButton *>("applyButton")->click();
    QVERIFY(!dialog->isVisible());
    QTEST(dialog->settings().parity, "parityValue");
    QTEST(dialog->settings().stopBits, "stopBitsValue");
    QCOMPARE(dialog->settings().baud, 9600);
}

void TestMainWindow::quitClosesAndDisconnects()
{
    Harness h;
    QVERIFY(h.startWindow());
    QVERIFY(h.connectAs());
    QVERIFY(h.window()->isVisible());
    h.find<QAction>("actionExit")->trigger();
    QVERIFY(!h.window()->isVisible());
    QVERIFY(!h.window()->findChild<QPushButton *>("connectButton")->text().isEmpty());
    QCOMPARE(h.find<QPushButton>("connectButton")->text(), QString("Connect"));
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
