#include "app/trafficview.h"
#include "ui_trafficview.h"

#include "app/trafficmodel.h"
#include "link/link.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHeaderView>
#include <QMainWindow>
#include <QMessageBox>
#include <QSaveFile>
#include <QScrollBar>
#include <QStyle>

namespace {

constexpr int DockHeight = 260;

// Grows the fixed-size window by the dock while the dock is docked and open,
// so the pages above keep their room, and gives the room back when the dock
// is closed or floats.
class DockFit : public QObject
{
public:
    DockFit(QMainWindow *window, QDockWidget *dock) : QObject(dock), m_window(window), m_dock(dock)
    {
        connect(dock, &QDockWidget::visibilityChanged, this, &DockFit::fit);
        connect(dock, &QDockWidget::topLevelChanged, this, &DockFit::fit);
    }

private:
    void fit()
    {
        const bool docked = !m_dock->isHidden() && !m_dock->isFloating();
        QWidget *view = m_dock->widget();
        if (m_dock->isFloating())
            view->setMinimumHeight(120), view->setMaximumHeight(QWIDGETSIZE_MAX);
        else
            view->setFixedHeight(DockHeight);
        if (docked == m_grown)
            return;
        m_grown = docked;
        if (!docked) {
            m_window->setFixedSize(m_base);
            return;
        }
        m_base = m_window->size();
        const int separator = m_window->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent,
                                                             nullptr, m_window);
        m_window->setFixedSize(m_base.width(),
                               m_base.height() + m_dock->sizeHint().height() + separator);
    }

    QMainWindow *m_window;
    QDockWidget *m_dock;
    QSize m_base;
    bool m_grown = false;
};

QString chooseFile(QWidget *parent, const QString &suggested)
{
    return QFileDialog::getSaveFileName(parent, TrafficView::tr("Save traffic"), suggested,
                                        TrafficView::tr("CSV (*.csv);;Text (*.txt)"));
}

} // namespace

TrafficView::TrafficView(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::TrafficView), m_link(link), m_model(new TrafficModel(this)),
      m_filter(new TrafficFilter(this)), m_chooser(chooseFile)
{
    ui->setupUi(this);
    // Denser than the pages; the frames in a fixed-width font.
    const QString mono = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    setStyleSheet(QStringLiteral("QTableView, QHeaderView::section { font-size: 12px; }"
                                 " QLineEdit, QLabel, QCheckBox, QPushButton { font-size: 13px; }"
                                 " QPlainTextEdit { font-family: \"%1\"; font-size: 12px; }")
                      .arg(mono));
    m_filter->setSourceModel(m_model);
    QTableView *table = ui->trafficTable;
    table->setModel(m_filter);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setColumnWidths();
    table->horizontalHeader()->setSectionResizeMode(TrafficModel::Values, QHeaderView::Stretch);
    ui->trafficSplitter->setSizes({ 790, 220 });
    ui->trafficSplitter->setStretchFactor(0, 1);

    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TrafficView::showDetail);
    connect(m_filter, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar *bar = ui->trafficTable->verticalScrollBar();
        m_follow = bar->value() == bar->maximum();
    });
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_follow)
            ui->trafficTable->scrollToBottom();
        updateCount();
    });
    connect(m_filter, &QAbstractItemModel::rowsRemoved, this, &TrafficView::updateCount);
    connect(m_filter, &QAbstractItemModel::modelReset, this, &TrafficView::updateCount);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &TrafficView::showDetail);
    connect(m_model, &TrafficModel::textsReady, this, &TrafficView::applyFilter);
    updateCount();
}

TrafficView::~TrafficView()
{
    delete ui;
}

TrafficView *TrafficView::install(QMainWindow *window, Link *link, QAction *action)
{
    auto *dock = new QDockWidget(tr("Traffic"), window);
    dock->setObjectName(QStringLiteral("trafficDock"));
    dock->setAllowedAreas(Qt::BottomDockWidgetArea);
    auto *view = new TrafficView(link, dock);
    view->setObjectName(QStringLiteral("trafficView"));
    dock->setWidget(view);
    window->addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    new DockFit(window, dock);
    action->setCheckable(true);
    action->setChecked(false);
    connect(action, &QAction::toggled, dock, &QWidget::setVisible);
    // Closed by its own button, or shown by the action: the two agree, and
    // the view listens only while open.
    connect(dock, &QDockWidget::visibilityChanged, view, [dock, view, action] {
        action->setChecked(!dock->isHidden());
        view->setOpen(!dock->isHidden());
    });
    return view;
}

void TrafficView::setOpen(bool open)
{
    m_open = open;
    listen();
}

void TrafficView::listen()
{
    const bool wanted = m_link && m_open && !ui->trafficPause->isChecked();
    if (wanted == bool(m_listening))
        return;
    if (wanted)
        m_listening = connect(m_link, &Link::requestFinished, m_model, &TrafficModel::add);
    else
        disconnect(m_listening);
    if (!wanted)
        m_model->flush();  // what came before the pause shows
}

void TrafficView::on_trafficPause_toggled(bool)
{
    listen();
}

void TrafficView::on_trafficFilter_textChanged(const QString &)
{
    applyFilter();
}

void TrafficView::applyFilter()
{
    const QString text = ui->trafficFilter->text();
    const bool on = !text.trimmed().isEmpty();
    m_model->setTextsNeeded(on);
    m_filtering = on && !m_model->hasAllTexts();
    if (!m_filtering)
        m_filter->setText(text);
    updateCount();
}

void TrafficView::on_trafficClear_clicked()
{
    m_model->clear();
    ui->trafficDetail->clear();
}

void TrafficView::on_trafficShowKeys_toggled(bool show)
{
    m_model->setShowKeys(show);
    applyFilter();  // the texts it looks at have changed
}

QVector<const traffic::Row *> TrafficView::rows(bool selectedOnly) const
{
    QVector<int> sourceRows;
    if (selectedOnly) {
        for (const QModelIndex &i : ui->trafficTable->selectionModel()->selectedRows())
            sourceRows << m_filter->mapToSource(i).row();
        std::sort(sourceRows.begin(), sourceRows.end());
    } else {
        for (int r = 0; r < m_filter->rowCount(); ++r)
            sourceRows << m_filter->mapToSource(m_filter->index(r, 0)).row();
    }
    QVector<const traffic::Row *> list;
    for (int r : sourceRows)
        list << &m_model->row(r);
    return list;
}

void TrafficView::on_trafficCopy_clicked()
{
    const QVector<const traffic::Row *> selected = rows(true);
    if (!selected.isEmpty())
        QApplication::clipboard()->setText(TrafficModel::tabText(selected));
}

void TrafficView::on_trafficSave_clicked()
{
    const QString suggested = QDir::current().absoluteFilePath(
        QStringLiteral("traffic-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    const QString path = m_chooser(this, suggested);
    if (path.isEmpty())
        return;
    const QVector<const traffic::Row *> shown = rows(false);
    const bool csv = path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const QByteArray bytes =
        (csv ? TrafficModel::csvText(shown) : TrafficModel::plainText(shown)).toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        QMessageBox::warning(this, tr("Traffic"),
                             tr("Cannot write %1: %2").arg(path, file.errorString()));
}

void TrafficView::showDetail()
{
    const QModelIndex current = ui->trafficTable->currentIndex();
    if (!current.isValid()) {
        ui->trafficDetail->clear();
        return;
    }
    const traffic::Row &r = m_model->row(m_filter->mapToSource(current).row());
    QStringList lines;
    lines << tr("%1  %2  %3 ms").arg(r.time, r.function, r.ms) << r.registers;
    lines << tr("result   %1").arg(r.result);
    if (!r.values.isEmpty())
        lines << tr("values   %1").arg(r.values);
    if (!r.request.isEmpty())
        lines << tr("request  %1").arg(r.request);
    if (!r.reply.isEmpty())
        lines << tr("reply    %1").arg(r.reply);
    ui->trafficDetail->setPlainText(lines.join(QLatin1Char('\n')));
}

// Wide enough for what the columns hold, in the font the style sheet gives
// them (known once the view is polished).
void TrafficView::setColumnWidths()
{
    QTableView *table = ui->trafficTable;
    table->ensurePolished();
    const QFontMetrics fm(table->font());  // the sections' font too
    const auto width = [&](const char *sample) {
        return fm.horizontalAdvance(QLatin1String(sample)) + 14;
    };
    const auto title = [&](int column) {
        return fm.horizontalAdvance(m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole)
                                            .toString()) + 24;
    };
    table->verticalHeader()->setDefaultSectionSize(fm.height() + 6);
    const int widths[] = { width("00:00:00.000"), width("R/W"),     width("Server"),
                           width("Function"),     width("LoRaWAN - app key 248-255"),
                           0,                     width("exception 2: illegal data"),
                           width("999") };
    for (int c = 0; c < TrafficModel::ColumnCount; ++c)
        if (widths[c] > 0)
            table->setColumnWidth(c, qMax(widths[c], title(c)));
}

void TrafficView::updateCount()
{
    if (m_filtering) {
        ui->trafficCount->setText(tr("Filtering\u2026"));
        return;
    }
    const int all = m_model->rowCount();
    const int shown = m_filter->rowCount();
    ui->trafficCount->setText(shown == all ? (all == 1 ? tr("1 row") : tr("%1 rows").arg(all))
                                           : tr("%1 of %2 rows").arg(shown).arg(all));
}
