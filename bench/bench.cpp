// nodeweave-bench: times the real main window against a simulated bridge that
// keeps to 9600-baud line timing, and the real nodeweave executable's start-up
// and idle cost. Prints one table; see bench/README.md.
//
//   nodeweave-bench --app PATH/nodeweave [--cli PATH/nodeweave-cli] [--quick]
//
// Needs a display (scripts/bench runs it under Xvfb).
#include "app/mainwindow.h"
#include "app/trafficmodel.h"
#include "link/link.h"
#include "link/modelgating.h"
#include "link/profilereader.h"
#include "link/profilewriter.h"
#include "pages/rtu/eventlogpage.h"
#include "sim/simbridge.h"
#include "tools/ymodem.h"

#include <QAbstractButton>
#include <QAction>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {

// ------------------------------------------------------------------ clocks

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

double nowMs() { return monotonicNs() / 1e6; }

// ------------------------------------------------------------------ limits

using namespace sim::line;

double ms(double micros) { return micros / 1000.0; }

// One Modbus transaction on the wire: the master's 3.5-character silence
// before its request, the request, the bridge's turnaround, the reply.
double transactionMs(int requestBytes, int replyBytes)
{
    return ms(kSilenceMicros + wireMicros(requestBytes) + kTurnaroundMicros + wireMicros(replyBytes));
}
double readMs(int registers) { return transactionMs(8, 5 + 2 * registers); }
double writeMs(int registers) { return transactionMs(9 + 2 * registers, 8); }

// A profile job's limit: its requests on the wire plus the pause the pages
// make after each of them, but the last (the job ends with its answer).
struct ProfileJob {
    double wire = 0, pauses = 0, lastPause = 0;
    void add(double transaction, int pause)
    {
        wire += transaction;
        pauses += lastPause;
        lastPause = pause;
    }
    double limit() const { return wire + pauses; }
    void read(const QString &model, const QStringList &groups, bool header)
    {
        if (header) {
            add(readMs(16), 0);  // model name and serial number
            add(readMs(8), 0);   // firmware
        }
        for (const regmap::Group *g : regmap::profileGroups()) {
            if ((!groups.isEmpty() && !groups.contains(g->name))
                || !regmap::offeredBy(*g, gatingForModel(model)))
                continue;
            for (const regmap::Block &b : g->blocks)
                add(readMs(b.count), b.readPause);
        }
    }
    // The backup, then each group's runs of registers and its check.
    void write(const Profile &p, bool withIdentity)
    {
        read(p.model, p.presentGroups(), true);
        for (const QString &name : p.presentGroups()) {
            const regmap::Group &g = *regmap::group(name);
            QMap<quint16, quint16> regs;
            QString error;
            profile::groupRegisters(p, g, withIdentity, &regs, &error);
            for (const regmap::Block &b : g.blocks) {
                int run = 0;
                for (int a = b.start; a <= b.end(); ++a) {
                    if (a < b.end() && regs.contains(quint16(a)) && run < regmap::MaxWriteRegisters) {
                        ++run;
                        continue;
                    }
                    if (run)
                        add(writeMs(run), b.writePause);
                    run = a < b.end() && regs.contains(quint16(a)) ? 1 : 0;
                }
            }
            if (!regs.isEmpty())
                read(p.model, { name }, false);
        }
    }
};

// The YMODEM download of the event log (20016 bytes: 20 packets of 1024),
// as the bridge sends it: start request "C"; header (133); the bridge's own
// first block and the 20 file blocks (1029 each); EOT, EOT. The receiver
// answers ACK C, ACK per block, NAK, ACK C. Every packet of the bridge
// starts one turnaround after the answer before it. Add the quiet time
// after the bridge's first block, before the receiver answers it, and the
// 2000 ms the receiver waits before it hands the file over.
constexpr int kLogPackets = 20;
constexpr double kSettleWaitMs = 2000;
double downloadWireMs()
{
    const int sent = 133 + (1 + kLogPackets) * 1029 + 1 + 1;
    const int answered = 1 + 2 + (1 + kLogPackets) * 1 + 1 + 2;
    const int turnarounds = 1 + 1 + kLogPackets + 1 + 1 + 1;
    return ms(wireMicros(sent + answered) + turnarounds * kTurnaroundMicros);
}

// ------------------------------------------------------------------ results

struct Row {
    QString operation;
    QVector<double> samples;   // ms (idle: CPU %)
    double limit = -1;         // ms; < 0: no limit
    QString limitNote;
    double gap = -1;           // ms; < 0: not measured
    QString gapNote;
    QString unit = "ms";
    // Budget: median <= factor * limit, or median < absolute when set.
    double factor = 1.10;
    double absolute = -1;
    QString extra;
    bool failed = false;       // an operation did not complete
};

double median(QVector<double> v)
{
    if (v.isEmpty())
        return NAN;
    std::sort(v.begin(), v.end());
    const int n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

QString num(double v, int decimals = 1)
{
    if (std::isnan(v))
        return QStringLiteral("-");
    return QString::number(v, 'f', decimals);
}

// ------------------------------------------------------------------ GUI probes

// Ticks every 10 ms on the GUI thread; the longest time between two ticks
// while armed is how long the thread was kept from its event loop.
class GapMeter : public QObject
{
public:
    GapMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double t = nowMs();
            if (m_armed && m_last > 0) {
                m_max = std::max(m_max, t - m_last);
                // NW_BENCH_GAPS=MS: where the gaps above MS (1: 30) happen, for a profiler run.
                static const int threshold = qEnvironmentVariableIntValue("NW_BENCH_GAPS");
                if (threshold > 0 && t - m_last > (threshold > 1 ? threshold : 30))
                    std::fprintf(stderr, "bench: gap of %.1f ms, %.1f ms after arming\n", t - m_last,
                                 m_last - m_armedAt);
            }
            m_last = t;
        });
        m_timer.start();
    }
    void arm() { m_armed = true; m_last = m_armedAt = nowMs(); m_max = 0; }
    // The longest gap so far, counting the one still open.
    double disarm()
    {
        m_max = std::max(m_max, nowMs() - m_last);
        m_armed = false;
        return m_max;
    }

private:
    QTimer m_timer;
    bool m_armed = false;
    double m_last = 0;
    double m_armedAt = 0;
    double m_max = 0;
};

// Notes when watched widgets were last painted and enabled.
class Probe : public QObject
{
public:
    void watch(QWidget *w) { w->installEventFilter(this); }
    double painted(QObject *o) const { return m_paint.value(o, -1); }
    double enabledAt(QObject *o) const { return m_enabled.value(o, -1); }
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            m_paint[o] = nowMs();
        else if (e->type() == QEvent::EnabledChange && static_cast<QWidget *>(o)->isEnabled())
            m_enabled[o] = nowMs();
        return false;
    }

private:
    QHash<QObject *, double> m_paint;
    QHash<QObject *, double> m_enabled;
};

// Runs the event loop until `done` holds or `timeoutMs` passed.
bool spinUntil(const std::function<bool()> &done, int timeoutMs)
{
    const double end = nowMs() + timeoutMs;
    while (!done()) {
        if (nowMs() > end)
            return false;
        // Blocks until something happens; the 10 ms gap timer wakes it at the latest.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void settle(int msecs)
{
    const double end = nowMs() + msecs;
    spinUntil([end] { return nowMs() >= end; }, msecs + 1000);
}

// ------------------------------------------------------------------ the in-process bench

class Bench
{
public:
    bool start();
    ~Bench();

    Row singleRead(int runs);
    Row serialRead(int runs);
    Row serialWrite(int runs);
    Row keyWrite(int runs);
    Row sensorReload(int runs);
    Row ruleChainRead(int runs);
    Row monitorRead(int runs);
    Row logDownload(int runs);
    Row logParse(int runs);
    Row profileSave(int runs);
    Row profileWrite(int runs);
    QList<Row> trafficReads(int runs);
    Row trafficBurst(int runs, bool filtered);
    Row trafficFilterTyped(int runs);

private:
    template <typename T> T *find(const char *name) const
    {
        T *w = m_window->findChild<T *>(QLatin1String(name));
        if (!w)
            std::fprintf(stderr, "bench: no widget %s\n", name);
        return w;
    }
    QStatusBar *bar() const { return m_window->statusBar(); }
    void showTab(int tab);
    bool quietRead();
    // Click, then wait until "OK!" shows and the status bar and `widget`
    // (when given) have been painted after `changed` (when given) was set.
    bool clickForOk(QAbstractButton *button, QWidget *widget, const double *changed,
                    double *duration);
    // Click a button that disables itself, wait until it is enabled again
    // and `view` has been painted after that.
    bool clickUntilEnabled(QAbstractButton *button, QWidget *view, int timeoutMs, double *duration);
    void timeWrites(Row &row, int runs, const char *button);
    // One click on the RF page's RSSI "Read" until value and "OK!" are painted.
    bool timeRssiRead(double *duration);
    void setTrafficOpen(bool open);
    void timeTableRead(Row &row, int runs, const char *button, const char *view, int timeoutMs,
                       int cellRow, int cellColumn, const QVariant &expected);

    std::unique_ptr<sim::SimBridge> m_bridge;
    QPointer<MainWindow> m_window;
    GapMeter m_gaps;
    Probe m_probe;
    double m_okAt = -1;
    QTemporaryDir m_dir;
};

Bench::~Bench()
{
    delete m_window;
}

bool Bench::start()
{
    if (!m_dir.isValid() || !QDir::setCurrent(m_dir.path()))
        return false;  // event log exports land here
    sim::Options options;
    options.paced = true;
    m_bridge.reset(new sim::SimBridge(options));
    if (!m_bridge->start()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(m_bridge->errorString()));
        return false;
    }
    qputenv("NODEWEAVE_EXTRA_PORTS", m_bridge->portPath().toLocal8Bit());
    m_window = new MainWindow;
    m_window->setFixedSize(1027, 735);
    m_window->defaultTheme();
    m_window->show();
    QObject::connect(bar(), &QStatusBar::messageChanged, bar(), [this](const QString &text) {
        if (text == QLatin1String("OK!"))
            m_okAt = nowMs();
    });
    m_probe.watch(bar());

    find<QPushButton>("connectButton")->click();
    QDialog *login = nullptr;
    spinUntil([&] {
        login = m_window->findChild<QDialog *>("logindialog");
        return login && login->isVisible();
    }, 10000);
    if (!login)
        return false;
    login->findChild<QLineEdit *>("usernameLineEdit")->setText("admin");
    login->findChild<QLineEdit *>("passwordLineEdit")->setText("admin");
    login->findChild<QPushButton *>("loginPushButton")->click();
    if (!spinUntil([this] { return m_window->isLoginAccepted() && !m_window->isConnecting(); }, 30000))
        return false;
    auto *tabs = find<QTabWidget>("tabWidget");
    for (int tab : { MainWindow::TabRuleChain, MainWindow::TabMonitor, MainWindow::TabEventLog })
        tabs->setTabEnabled(tab, true);  // identification keeps them off for this model
    return quietRead();
}

void Bench::showTab(int tab)
{
    find<QTabWidget>("tabWidget")->setCurrentIndex(tab);
    settle(200);
}

// Waits until everything sent so far has been answered (replies come in order).
bool Bench::quietRead()
{
    bool done = false;
    RequestOptions quiet;
    quiet.showOk = false;
    quiet.clearStatus = false;
    if (!m_window->link()->read(0, 1, nullptr, [&done](const QVector<quint16> &) { done = true; },
                                quiet))
        return false;
    return spinUntil([&done] { return done; }, 15000);
}

bool Bench::clickForOk(QAbstractButton *button, QWidget *widget, const double *changed,
                       double *duration)
{
    m_okAt = -1;
    const double t0 = nowMs();
    button->click();
    const bool ok = spinUntil([&] {
        if (m_okAt < 0 || m_probe.painted(bar()) < m_okAt)
            return false;
        if (widget && (*changed < 0 || m_probe.painted(widget) < *changed))
            return false;
        return true;
    }, 10000);
    double end = m_probe.painted(bar());
    if (widget)
        end = std::max(end, m_probe.painted(widget));
    *duration = end - t0;
    return ok;
}

bool Bench::clickUntilEnabled(QAbstractButton *button, QWidget *view, int timeoutMs, double *duration)
{
    m_probe.watch(button);
    m_probe.watch(view);
    const double t0 = nowMs();
    button->click();  // may run its waits before it returns
    const bool ok = spinUntil([&] {
        const double enabled = m_probe.enabledAt(button);
        return button->isEnabled() && enabled > t0 && m_probe.painted(view) >= enabled;
    }, timeoutMs);
    *duration = std::max(m_probe.enabledAt(button), m_probe.painted(view)) - t0;
    return ok;
}

// Clicks a write button `runs` times, each time until "OK!" is painted.
void Bench::timeWrites(Row &row, int runs, const char *button)
{
    auto *b = find<QPushButton>(button);
    m_gaps.arm();
    for (int i = 0; i < runs; ++i) {
        double d = 0;
        if (!clickForOk(b, nullptr, nullptr, &d)) {
            row.failed = true;
            break;
        }
        row.samples << d;
    }
    row.gap = m_gaps.disarm();
}

// Clicks a table page's read button `runs` times, each time until the button
// is enabled again and the table repainted, and checks one cell afterwards.
void Bench::timeTableRead(Row &row, int runs, const char *button, const char *view, int timeoutMs,
                          int cellRow, int cellColumn, const QVariant &expected)
{
    auto *b = find<QPushButton>(button);
    auto *v = find<QAbstractItemView>(view);
    m_gaps.arm();
    for (int i = 0; i < runs; ++i) {
        double d = 0;
        if (!clickUntilEnabled(b, v->viewport(), timeoutMs, &d)
            || v->model()->index(cellRow, cellColumn).data() != expected) {
            row.failed = true;
            break;
        }
        row.samples << d;
    }
    row.gap = m_gaps.disarm();
}

bool Bench::timeRssiRead(double *duration)
{
    auto *edit = find<QLineEdit>("rssiLineEdit");
    m_probe.watch(edit);
    double changed = -1;
    QObject::connect(edit, &QLineEdit::textChanged, edit, [&changed](const QString &t) {
        if (!t.isEmpty())
            changed = nowMs();
    });
    edit->clear();
    changed = -1;
    const bool ok = clickForOk(find<QPushButton>("RSSIRead"), edit, &changed, duration)
                    && edit->text() == QLatin1String("-87");
    QObject::disconnect(edit, &QLineEdit::textChanged, edit, nullptr);
    return ok;
}

Row Bench::singleRead(int runs)
{
    Row row;
    row.operation = "single-register read (RSSI) click->value+OK!";
    row.limit = readMs(1);
    row.limitNote = "8+7 B";
    showTab(MainWindow::TabRf);
    m_gaps.arm();
    for (int i = 0; i < runs; ++i) {
        double d = 0;
        if (!timeRssiRead(&d)) {
            row.failed = true;
            break;
        }
        row.samples << d;
    }
    row.gap = m_gaps.disarm();
    return row;
}

void Bench::setTrafficOpen(bool open)
{
    auto *action = find<QAction>("actionTraffic");
    if (action->isChecked() != open) {
        action->trigger();
        settle(200);
    }
}

// The RSSI reads with View > Traffic open and closed, in turns of 20 so both
// see the same load on the machine: open within 1.02 x the closed median.
QList<Row> Bench::trafficReads(int runs)
{
    Row closed, open;
    closed.operation = "RSSI read, traffic view closed";
    closed.limit = readMs(1);
    closed.limitNote = "8+7 B";
    open.operation = "RSSI read, traffic view open";
    open.factor = 1.02;
    showTab(MainWindow::TabRf);
    for (int done = 0; done < runs && !open.failed && !closed.failed;) {
        for (Row *row : { &closed, &open }) {
            setTrafficOpen(row == &open);
            m_gaps.arm();
            for (int i = 0; i < 20 && done + i < runs; ++i) {
                double d = 0;
                if (!timeRssiRead(&d)) {
                    row->failed = true;
                    break;
                }
                row->samples << d;
            }
            row->gap = std::max(row->gap, m_gaps.disarm());
        }
        done += 20;
    }
    setTrafficOpen(false);
    open.limit = median(closed.samples);
    open.limitNote = "the closed median";
    return { closed, open };
}

// `n` records as the link reports them: port reads, key writes, sensor reads.
void trafficRecords(Link *link, int n, int salt)
{
    for (int i = 0; i < n; ++i) {
        TrafficRecord r;
        r.time = qint64(nowMs());
        r.roundTrip = 25;
        const int kind = (i + salt) % 3;
        r.kind = kind == 1 ? TrafficRecord::Write : TrafficRecord::Read;
        r.start = kind == 0 ? 0 : kind == 1 ? 248 : 500;
        r.values = kind == 0 ? QVector<quint16>{ 0, 8, 1, 0, 1 }
                 : kind == 1 ? QVector<quint16>(8, quint16(i)) : QVector<quint16>(70, quint16(i));
        r.count = quint16(r.values.size());
        emit link->requestFinished(r);
    }
}

// The first character typed in the filter while the view holds 10,000 rows
// never filtered before: from the keystroke until the filtered rows show;
// the gap covers clearing the filter again.
Row Bench::trafficFilterTyped(int runs)
{
    Row row;
    row.operation = "filter typed over 10,000 traffic rows";
    row.limitNote = "rows not yet filtered; no wire";
    setTrafficOpen(true);
    auto *filter = find<QLineEdit>("trafficFilter");
    auto *count = find<QLabel>("trafficCount");
    auto *view = find<QAbstractItemView>("trafficTable");
    auto *model = m_window->findChild<TrafficModel *>();
    m_probe.watch(view->viewport());
    for (int run = 0; run < runs; ++run) {
        find<QPushButton>("trafficClear")->click();
        trafficRecords(m_window->link(), TrafficModel::MaxRows, run);
        spinUntil([&] { return model->rowCount() == TrafficModel::MaxRows; }, 10000);
        settle(200);
        m_gaps.arm();
        const double t0 = nowMs();
        filter->setText(QStringLiteral("s"));
        double shown = -1;
        const bool ok = spinUntil([&] {
            if (shown < 0 && count->text().endsWith(QLatin1String(" of 10000 rows")))
                shown = nowMs();
            return shown > 0 && m_probe.painted(view->viewport()) >= shown;
        }, 10000);
        const double done = m_probe.painted(view->viewport());
        int expected = 0;
        for (int r = 0; r < model->rowCount(); ++r)
            expected += model->rowText(r).contains(QLatin1Char('s'), Qt::CaseInsensitive);
        const bool right = view->model()->rowCount() == expected;
        filter->clear();  // every row back, within the gap measured
        settle(100);
        row.gap = std::max(row.gap, m_gaps.disarm());
        if (!ok || !right) {
            row.failed = true;
            break;
        }
        row.samples << done - t0;
    }
    find<QPushButton>("trafficClear")->click();
    setTrafficOpen(false);
    return row;
}

// 1,000 records reach the open view at once (a profile's worth and more)
// while it holds its 10,000 rows: the oldest leave, the new ones show.
Row Bench::trafficBurst(int runs, bool filtered)
{
    Row row;
    row.operation = filtered ? "1,000 traffic rows arrive, filter on" : "1,000 traffic rows arrive";
    row.limitNote = "10,000 rows kept; gathered 100 ms; no wire";
    setTrafficOpen(true);
    find<QLineEdit>("trafficFilter")->setText(filtered ? "sensor" : "");
    auto *view = find<QAbstractItemView>("trafficTable");
    auto *model = m_window->findChild<TrafficModel *>();
    m_probe.watch(view->viewport());
    double inserted = -1;
    int arrived = 0;  // rows added since the burst began: all of them, maybe over several turns
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view,
                     [&](const QModelIndex &, int first, int last) {
                         inserted = nowMs();
                         arrived += last - first + 1;
                     });
    const auto burst = [this](int n, int salt) { trafficRecords(m_window->link(), n, salt); };
    burst(TrafficModel::MaxRows, 0);
    spinUntil([&] { return model->rowCount() == TrafficModel::MaxRows; }, 10000);
    settle(300);
    for (int run = 0; run < runs; ++run) {
        inserted = -1;
        arrived = 0;
        m_gaps.arm();
        const double t0 = nowMs();
        burst(1000, run);
        const bool ok = spinUntil(
            [&] { return arrived == 1000 && m_probe.painted(view->viewport()) >= inserted; }, 10000);
        const double gap = m_gaps.disarm();
        if (!ok || model->rowCount() != TrafficModel::MaxRows) {
            row.failed = true;
            break;
        }
        row.gap = std::max(row.gap, gap);
        row.samples << m_probe.painted(view->viewport()) - t0;
        settle(200);
    }
    QObject::disconnect(model, &QAbstractItemModel::rowsInserted, view, nullptr);
    find<QLineEdit>("trafficFilter")->clear();
    find<QPushButton>("trafficClear")->click();
    setTrafficOpen(false);
    return row;
}

Row Bench::serialRead(int runs)
{
    Row row;
    row.operation = "Serial page Read (regs 0-4)";
    row.limit = readMs(5);
    row.limitNote = "8+15 B";
    showTab(MainWindow::TabSerial);
    auto *baud = find<QComboBox>("s_baudCombo");
    auto *parity = find<QComboBox>("s_parityCombo");
    auto *button = find<QPushButton>("serialBtnRead");
    m_probe.watch(baud);
    double changed = -1;
    QObject::connect(baud, QOverload<int>::of(&QComboBox::currentIndexChanged), baud,
                     [&changed](int index) { if (index == 0) changed = nowMs(); });
    m_gaps.arm();
    for (int i = 0; i < runs; ++i) {
        baud->setCurrentIndex(3);
        parity->setCurrentIndex(2);
        changed = -1;
        double d = 0;
        if (!clickForOk(button, baud, &changed, &d) || parity->currentIndex() != 0) {
            row.failed = true;
            break;
        }
        row.samples << d;
    }
    row.gap = m_gaps.disarm();
    QObject::disconnect(baud, QOverload<int>::of(&QComboBox::currentIndexChanged), baud, nullptr);
    return row;
}

Row Bench::serialWrite(int runs)
{
    Row row;
    row.operation = "Serial page Write (regs 0-4)";
    row.limit = writeMs(5);
    row.limitNote = "19+8 B";
    showTab(MainWindow::TabSerial);
    find<QComboBox>("s_baudCombo")->setCurrentIndex(1);
    find<QComboBox>("s_parityCombo")->setCurrentIndex(1);
    timeWrites(row, runs, "serialBtn");
    if (m_bridge->regs(0, 5) != QVector<quint16>({ 1, 8, 1, 1, 1 }))
        row.failed = true;
    m_bridge->setRegs(0, { 0, 8, 1, 0, 1 });
    return row;
}

Row Bench::keyWrite(int runs)
{
    Row row;
    row.operation = "16-byte key write (App_key)";
    row.limit = writeMs(8);
    row.limitNote = "25+8 B";
    showTab(MainWindow::TabLoraWan);
    find<QLineEdit>("otaaAppKeyLine")->setText("2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C");
    timeWrites(row, runs, "otaaAppKeyWrite");
    if (m_bridge->reg(248) != 0x2B7E || m_bridge->reg(255) != 0x4F3C)
        row.failed = true;
    return row;
}

Row Bench::sensorReload(int runs)
{
    Row row;
    row.operation = "RTU sensor table Reload";
    // 1000 ms, read, 1000 ms, read, 1000 ms, 3000 ms box: the reads fall
    // inside the waits.
    row.limit = 1000 + std::max(1000.0, readMs(70)) + std::max(1000.0, readMs(70)) + 3000;
    row.limitNote = "waits 3x1000+box 3000";
    showTab(MainWindow::TabRtu);
    timeTableRead(row, runs, "sensorUpdatePushButton", "sensorTableView", 30000, 1, 0, QVariant(QStringLiteral("FLOW-02")));
    return row;
}

Row Bench::ruleChainRead(int runs)
{
    Row row;
    row.operation = "rule chain full read (8 blocks)";
    row.limit = 8 * std::max(2000.0, readMs(50)) + 2000;
    row.limitNote = "waits 8x2000+box 2000";
    m_bridge->setText(2402, 4, "Rule1");
    m_bridge->setRegs(2406, { 1, 2, 3, 4, 1, 0 });
    showTab(MainWindow::TabRuleChain);
    timeTableRead(row, runs, "ruleChkPushButton", "RuleVIew", 60000, 0, 0, QVariant(QStringLiteral("Rule1")));
    return row;
}

Row Bench::monitorRead(int runs)
{
    Row row;
    row.operation = "chain monitor read (4 blocks)";
    row.limit = 4 * std::max(1000.0, readMs(90)) + 6000;
    row.limitNote = "waits 4x1000+6000";
    m_bridge->setText(2000, 4, "Rule1");
    m_bridge->setRegs(2004, { 1234, 1, 1, 0x6592, 0x0080 });
    showTab(MainWindow::TabMonitor);
    timeTableRead(row, runs, "monitorCheckpushButton", "MonitorView", 60000, 0, 1, QVariant(1234u));
    return row;
}

QList<sim::LogRecord> thousandRecords()
{
    QList<sim::LogRecord> records;
    for (int i = 0; i < 1000; ++i) {
        sim::LogRecord r;
        r.tag = "Rule" + QByteArray::number(i % 40 + 1);
        r.type = quint16(i % 4);
        r.valueInput = quint16((i * 37) % 20000);
        r.valueOutput = quint16((i * 53) % 2000);
        r.timeStamp = 1796083200u + quint32(i) * 293;
        r.result = i % 7 == 3 ? 0 : 1;
        records.append(r);
    }
    return records;
}

Row Bench::logDownload(int runs)
{
    Row row;
    row.operation = "YMODEM download, 1000-record log";
    row.limit = downloadWireMs() + ymodem::DefaultFirstDataQuietMs + kSettleWaitMs;
    row.limitNote = "22.7 kB wire+quiet 200+settle 2000";
    row.gapNote = "(settle wait is a timer)";
    sim::LogOptions log;
    log.records = thousandRecords();
    m_bridge->setEventLog(log);
    showTab(MainWindow::TabEventLog);
    auto *page = m_window->findChild<EventLogPage *>();
    auto *receiver = page->findChild<ymodem *>();
    auto *enable = find<QRadioButton>("eventLogEnableRadioButton");
    auto *check = find<QPushButton>("ELogChkPushButton");
    auto *view = find<QAbstractItemView>("EventLogView");
    m_probe.watch(view->viewport());
    double parsed = -1;
    // Connected after the page's own handler: runs once the file is parsed.
    QObject::connect(receiver, &ymodem::finRcv, view, [&parsed](const QString &) { parsed = nowMs(); });
    for (int i = 0; i < runs; ++i) {
        find<QPushButton>("ELogClearPushButton")->click();
        m_okAt = -1;
        enable->click();  // register 3000 = 1
        if (!spinUntil([&] { return m_okAt > 0 && m_bridge->reg(3000) == 1; }, 10000)) {
            row.failed = true;
            break;
        }
        settle(100);
        parsed = -1;
        m_gaps.arm();
        const double t0 = nowMs();
        check->click();
        const bool ok = spinUntil([&] { return parsed > 0 && m_probe.painted(view->viewport()) >= parsed; },
                                  120000);
        const double gap = m_gaps.disarm();
        if (!ok || view->model()->rowCount() != 1000) {
            row.failed = true;
            break;
        }
        row.gap = std::max(row.gap, gap);
        row.samples << m_probe.painted(view->viewport()) - t0;
        // The page writes register 3000 = 0 on the reopened link.
        if (!spinUntil([&] { return m_bridge->reg(3000) == 0; }, 10000) || !quietRead()) {
            row.failed = true;
            break;
        }
    }
    QObject::disconnect(receiver, &ymodem::finRcv, view, nullptr);
    return row;
}

Row Bench::logParse(int runs)
{
    Row row;
    row.operation = "event log parse + display (1000 rec)";
    row.limitNote = "no wire";
    showTab(MainWindow::TabEventLog);
    auto *page = m_window->findChild<EventLogPage *>();
    auto *view = find<QAbstractItemView>("EventLogView");
    m_probe.watch(view->viewport());
    // The file as the receiver stores it: whole 1024-byte blocks.
    QByteArray file = sim::buildLogFile(thousandRecords());
    file.append(QByteArray(1024 - file.size() % 1024, 0x1A));
    for (int i = 0; i < runs; ++i) {
        find<QPushButton>("ELogClearPushButton")->click();
        settle(100);
        const QString name = QDir::current().absoluteFilePath("received.bin");
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size()) {
            row.failed = true;
            break;
        }
        f.close();
        m_okAt = -1;
        m_gaps.arm();
        const double t0 = nowMs();
        page->parseEventLog(name);
        const double returned = nowMs();
        const bool ok = spinUntil([&] { return m_probe.painted(view->viewport()) >= returned; }, 10000);
        const double gap = m_gaps.disarm();
        if (!ok || view->model()->rowCount() != 1000) {
            row.failed = true;
            break;
        }
        row.gap = std::max(row.gap, gap);
        row.samples << m_probe.painted(view->viewport()) - t0;
        // It ends by writing register 3000 = 0.
        if (!spinUntil([&] { return m_okAt > 0; }, 10000)) {
            row.failed = true;
            break;
        }
    }
    return row;
}

// Reads the whole bridge into a profile, as "Save profile..." does, with the
// window's link inside this event loop.
Row Bench::profileSave(int runs)
{
    Row row;
    row.operation = "profile save, whole bridge";
    ProfileJob job;
    job.read(m_bridge->text(133, 8), {}, true);
    row.limit = job.limit();
    row.limitNote = QStringLiteral("wire %1+waits %2").arg(num(job.wire)).arg(job.pauses);
    ProfileReader reader(m_window->link());
    m_gaps.arm();
    for (int i = 0; i < runs; ++i) {
        bool done = false;
        QObject::connect(&reader, &ProfileReader::finished, &reader,
                         [&done](const ProfileReadResult &r) { done = r.status == ProfileReadResult::Done; });
        const double t0 = nowMs();
        reader.start();
        if (!spinUntil([&] { return done; }, 60000)) {
            row.failed = true;
            break;
        }
        row.samples << nowMs() - t0;
        QObject::disconnect(&reader, &ProfileReader::finished, &reader, nullptr);
    }
    row.gap = m_gaps.disarm();
    return row;
}

// Writes a saved profile back with every field, backup and checks included.
Row Bench::profileWrite(int runs)
{
    Row row;
    row.operation = "profile write, whole bridge";
    Profile saved;
    ProfileReader reader(m_window->link());
    QObject::connect(&reader, &ProfileReader::finished, &reader,
                     [&saved](const ProfileReadResult &r) { saved = r.profile; });
    reader.start();
    if (!spinUntil([&] { return !saved.model.isEmpty(); }, 60000)) {
        row.failed = true;
        return row;
    }
    ProfileJob job;
    job.write(saved, true);
    row.limit = job.limit();
    row.limitNote = QStringLiteral("wire %1+waits %2").arg(num(job.wire)).arg(job.pauses);
    ProfileWriter writer(m_window->link());
    m_gaps.arm();
    for (int i = 0; i < runs; ++i) {
        int status = -1;
        QObject::connect(&writer, &ProfileWriter::finished, &writer,
                         [&status](const ProfileWriteResult &r) { status = r.status; });
        const double t0 = nowMs();
        writer.start({ saved, m_dir.filePath("bench.json"), {}, true, false });
        if (!spinUntil([&] { return status >= 0; }, 120000) || status != ProfileWriteResult::Done) {
            row.failed = true;
            break;
        }
        row.samples << nowMs() - t0;
        QObject::disconnect(&writer, &ProfileWriter::finished, &writer, nullptr);
    }
    row.gap = m_gaps.disarm();
    return row;
}

// ------------------------------------------------------------------ the executable

struct Launch {
    QProcess *process = nullptr;
    double startupMs = -1;
};

Launch launchApp(const QString &app)
{
    Launch l;
    l.process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NODEWEAVE_FIRST_PAINT_STAMP", "1");
    env.remove("NODEWEAVE_EXTRA_PORTS");
    env.insert("QT_LOGGING_RULES", "qt.modbus*=false");
    l.process->setProcessEnvironment(env);
    l.process->setProcessChannelMode(QProcess::SeparateChannels);
    const qint64 t0 = monotonicNs();
    l.process->start(app, QStringList());
    QByteArray err;
    const double end = nowMs() + 20000;
    while (nowMs() < end && l.process->state() != QProcess::NotRunning) {
        l.process->waitForReadyRead(100);
        err += l.process->readAllStandardError();
        const int at = err.indexOf("first-paint ");
        if (at >= 0 && err.indexOf('\n', at) > at) {
            const qint64 stamp = err.mid(at + 12, err.indexOf('\n', at) - at - 12).trimmed().toLongLong();
            l.startupMs = (stamp - t0) / 1e6;
            break;
        }
    }
    return l;
}

void stopApp(Launch &l)
{
    if (!l.process)
        return;
    l.process->terminate();
    if (!l.process->waitForFinished(5000)) {
        l.process->kill();
        l.process->waitForFinished(5000);
    }
    delete l.process;
    l.process = nullptr;
}

// Peak resident memory of a running process, kB.
long peakKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// User + system CPU time of a process (all threads), ms.
double cpuMs(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return NAN;
    const QByteArray all = f.readAll();
    const QList<QByteArray> fields = all.mid(all.lastIndexOf(')') + 2).split(' ');
    // Fields after the name start at "state" (3); utime is 14, stime 15.
    if (fields.size() < 13)
        return NAN;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

Row startupRow(const QString &app, int runs)
{
    Row row;
    row.operation = "start-up to first painted window";
    row.absolute = 300;
    QVector<double> peaks;
    for (int i = 0; i < runs; ++i) {
        Launch l = launchApp(app);
        if (l.startupMs < 0) {
            stopApp(l);
            row.failed = true;
            break;
        }
        row.samples << l.startupMs;
        QThread::msleep(300);
        peaks << double(peakKb(l.process->processId()));
        stopApp(l);
    }
    row.extra = QStringLiteral("peak RSS %1 MB").arg(num(median(peaks) / 1024.0));
    return row;
}

Row idleRow(const QString &app, int seconds)
{
    Row row;
    row.operation = QStringLiteral("idle %1 s, port watch running").arg(seconds);
    row.unit = "%CPU";
    row.absolute = 0.5;
    Launch l = launchApp(app);
    if (l.startupMs < 0) {
        stopApp(l);
        row.failed = true;
        return row;
    }
    QThread::msleep(1000);
    const qint64 pid = l.process->processId();
    const double c0 = cpuMs(pid);
    QElapsedTimer t;
    t.start();
    QThread::sleep(unsigned(seconds));
    const double c1 = cpuMs(pid);
    row.samples << 100.0 * (c1 - c0) / double(t.elapsed());
    row.extra = QStringLiteral("peak RSS %1 MB").arg(num(peakKb(pid) / 1024.0));
    stopApp(l);
    return row;
}

// nodeweave-cli info against a paced bridge of its own: process start, login
// and identification, the header read, exit.
Row cliInfoRow(const QString &cli, int runs)
{
    Row row;
    row.operation = "nodeweave-cli info";
    // The login write, the model name and activation reads of the Connect,
    // then the header's two reads.
    const double wire = writeMs(16) + readMs(8) + 2 * readMs(1) + readMs(16) + readMs(8);
    row.limit = 300 + wire;
    row.factor = 1.0;
    row.limitNote = QStringLiteral("0.3 s + wire %1").arg(num(wire));
    sim::Options options;
    options.paced = true;
    sim::SimBridge bridge(options);
    if (!bridge.start()) {
        row.failed = true;
        return row;
    }
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NODEWEAVE_PASSWORD", "admin");
        process.setProcessEnvironment(env);
        const double t0 = nowMs();
        process.start(cli, { "--port", bridge.portPath(), "info" });
        if (!process.waitForFinished(10000) || process.exitCode() != 0) {
            row.failed = true;
            break;
        }
        row.samples << nowMs() - t0;
    }
    return row;
}

// ------------------------------------------------------------------ table

void printTable(const QList<Row> &rows)
{
    const char *fmt = "%-44s %5s %9s %19s %9s %6s %8s  %-5s %s\n";
    std::printf(fmt, "operation", "runs", "median", "spread (min-max)", "limit", "ratio", "gap ms",
                "pass", "notes");
    std::printf("%s\n", QByteArray(128, '-').constData());
    for (const Row &r : rows) {
        QVector<double> s = r.samples;
        std::sort(s.begin(), s.end());
        const double med = median(s);
        const int dec = r.unit == "%CPU" ? 3 : 1;
        const QString medText = num(med, dec) + (r.unit == "%CPU" ? "%" : "");
        const QString spread = s.isEmpty() ? "-" : num(s.first(), dec) + "-" + num(s.last(), dec);
        const double ratio = r.limit > 0 ? med / r.limit : NAN;
        bool pass = !r.failed && !s.isEmpty();
        if (r.limit > 0)
            pass = pass && ratio <= r.factor;
        if (r.absolute > 0)
            pass = pass && med < r.absolute;
        if (r.gap >= 0)
            pass = pass && r.gap <= 50;
        QStringList notes;
        if (!r.limitNote.isEmpty())
            notes << r.limitNote;
        if (!r.gapNote.isEmpty())
            notes << r.gapNote;
        if (r.absolute > 0)
            notes << QStringLiteral("budget < %1%2").arg(r.absolute).arg(r.unit == "%CPU" ? "%" : " ms");
        if (!r.extra.isEmpty())
            notes << r.extra;
        if (r.failed)
            notes << "FAILED to complete";
        std::printf(fmt, qPrintable(r.operation), qPrintable(QString::number(s.size())),
                    qPrintable(medText), qPrintable(spread),
                    qPrintable(r.limit > 0 ? num(r.limit) : QStringLiteral("-")),
                    qPrintable(num(ratio, 3)), qPrintable(r.gap >= 0 ? num(r.gap) : QStringLiteral("-")),
                    pass ? "pass" : "MISS", qPrintable(notes.join("; ")));
    }
    std::printf("\nlimit: wire time at 9600 8N1 (%.4f ms/byte), 3.5-char silence before each request "
                "(%.3f ms), bridge turnaround %.1f ms, plus the waits the pages make by design.\n"
                "pass: median <= 1.10 x limit, longest GUI-thread gap between 10 ms ticks <= 50 ms; "
                "start-up < 300 ms; idle CPU < 0.5 %%.\n",
                kByteMicros / 1000, kSilenceMicros / 1000, kTurnaroundMicros / 1000);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.modbus* = false"));
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString exe;
    const int at = args.indexOf("--app");
    if (at >= 0 && at + 1 < args.size())
        exe = QFileInfo(args.at(at + 1)).absoluteFilePath();
    // nodeweave-cli: --cli PATH, or beside the window's executable in cli/.
    const int cliAt = args.indexOf("--cli");
    QString cli;
    if (cliAt >= 0 && cliAt + 1 < args.size())
        cli = QFileInfo(args.at(cliAt + 1)).absoluteFilePath();
    if (cli.isEmpty() && !exe.isEmpty())
        cli = QFileInfo(exe).dir().filePath("cli/nodeweave-cli");
    const bool quick = args.contains("--quick");
    const QString only = args.indexOf("--only") >= 0 ? args.value(args.indexOf("--only") + 1) : QString();
    auto want = [&only](const char *key) { return only.isEmpty() || only.split(',').contains(key); };

    QList<Row> rows;
    {
        Bench bench;
        if (!bench.start()) {
            std::fprintf(stderr, "bench: could not connect the window to the simulated bridge\n");
            return 1;
        }
        auto step = [&rows](const char *what, const std::function<Row()> &run) {
            std::fprintf(stderr, "bench: %s...\n", what);
            rows << run();
        };
        if (want("read"))
            step("single-register reads", [&] { return bench.singleRead(quick ? 20 : 200); });
        if (want("serial")) {
            step("Serial page reads", [&] { return bench.serialRead(quick ? 5 : 30); });
            step("Serial page writes", [&] { return bench.serialWrite(quick ? 5 : 30); });
        }
        if (want("key"))
            step("key writes", [&] { return bench.keyWrite(quick ? 5 : 30); });
        if (want("reload"))
            step("sensor table Reload", [&] { return bench.sensorReload(quick ? 1 : 3); });
        if (want("rules"))
            step("rule chain reads", [&] { return bench.ruleChainRead(quick ? 1 : 2); });
        if (want("monitor"))
            step("chain monitor reads", [&] { return bench.monitorRead(quick ? 1 : 3); });
        if (want("ymodem"))
            step("YMODEM downloads", [&] { return bench.logDownload(quick ? 1 : 3); });
        if (want("parse"))
            step("event log parsing", [&] { return bench.logParse(quick ? 3 : 10); });
        if (want("traffic")) {
            step("reads with the traffic view open and closed", [&] {
                const QList<Row> pair = bench.trafficReads(quick ? 40 : 200);
                rows << pair.first();
                return pair.last();
            });
            step("traffic row bursts", [&] { return bench.trafficBurst(quick ? 3 : 10, false); });
            step("traffic row bursts, filtered", [&] { return bench.trafficBurst(quick ? 3 : 10, true); });
            step("filter typed over traffic rows", [&] { return bench.trafficFilterTyped(quick ? 3 : 10); });
        }
        if (want("profile")) {
            step("profile saves", [&] { return bench.profileSave(quick ? 1 : 3); });
            step("profile writes", [&] { return bench.profileWrite(quick ? 1 : 2); });
        }
    }
    if (!exe.isEmpty()) {
        if (want("startup")) {
            std::fprintf(stderr, "bench: start-up...\n");
            rows << startupRow(exe, quick ? 3 : 10);
        }
        if (want("idle")) {
            std::fprintf(stderr, "bench: idle minute...\n");
            rows << idleRow(exe, quick ? 10 : 60);
        }
    }
    if (!cli.isEmpty() && want("cli")) {
        std::fprintf(stderr, "bench: nodeweave-cli info...\n");
        rows << cliInfoRow(cli, quick ? 3 : 10);
    }
    printTable(rows);
    return 0;
}
