#include "pages/rtu/monitorpage.h"
#include "ui_monitorpage.h"

#include "link/link.h"
#include "link/blockreader.h"
#include "pages/rtu/rulechainmodel.h"

#include <QHeaderView>
#include <QTimer>

namespace {
constexpr int BlockPause = 1000;   // between the blocks of a read
constexpr int SettlePause = 6000;  // after the last block, before the rows are shown
}

MonitorPage::MonitorPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::MonitorPage), m_link(link)
{
    ui->setupUi(this);

    m_chainMonitorList = ruleMonitor::unusedList(EntryCount);
    m_model = new ruleMonitor(this);
    m_model->setList(m_chainMonitorList);
    QTableView *view = ui->MonitorView;
    m_model->showIn(view);
    for (int c = 0; c < 4; ++c)
        view->setColumnWidth(c, 170);
    view->setColumnWidth(ruleMonitor::TimeColumn, 230);
    view->setContextMenuPolicy(Qt::CustomContextMenu);

    m_reader = new BlockReader(m_link, TableStart, BlockRegisters, BlockCount, BlockPause,
                               SettlePause, this);
    connect(m_reader, &BlockReader::blockRead, this, &MonitorPage::ruleMonitorTableReadReady);
    connect(m_reader, &BlockReader::finished, this, &MonitorPage::finishRead);
}

MonitorPage::~MonitorPage()
{
    delete ui;
}

bool MonitorPage::isReading() const
{
    return m_reader->isReading();
}

void MonitorPage::on_monitorRadioButton_clicked()
{
    if (!monitorTimer) {
        monitorTimer = new QTimer(this);
        monitorTimer->setObjectName(QStringLiteral("monitorTimer"));
        monitorTimer->setInterval(AutoInterval);
        connect(monitorTimer, &QTimer::timeout, this, &MonitorPage::on_monitorCheckpushButton_clicked);
    }
    if (ui->monitorRadioButton->isChecked())
        monitorTimer->start();
    else
        monitorTimer->stop();
}

void MonitorPage::on_monitorCheckpushButton_clicked()
{
    // A tick of Auto mode that comes while a read is still running is
    // skipped: a second read alongside would only double the traffic.
    if (!m_link->device() || isReading())
        return;
    m_link->clearMessage();
    ui->monitorCheckpushButton->setEnabled(false);
    m_reader->start();
}

void MonitorPage::finishRead()
{
    m_model->setList(m_chainMonitorList);
    ruleMonitor::showUsedRows(ui->MonitorView, m_chainMonitorList, 0, EntryCount - 1);
    ui->monitorCheckpushButton->setEnabled(true);
}

void MonitorPage::ruleMonitorTableReadReady(int block, const QVector<quint16> &values, bool late)
{
    QList<codec::ChainMonitorEntry> &list = m_chainMonitorList;
    const int first = ruleMonitor::storeBlock(list, block, values, BlockEntries,
                                              codec::MonitorEntryRegisters,
                                              codec::decodeMonitorEntry);
    // A block answered after its read ended shows its rows itself.
    if (late)
        ruleMonitor::showUsedRows(ui->MonitorView, list, first, first + BlockEntries - 1);
    m_model->setList(m_chainMonitorList);
}

void MonitorPage::on_monitorClearPushButton_clicked()
{
    m_chainMonitorList = ruleMonitor::unusedList(EntryCount);
    ruleMonitor::hideRows(ui->MonitorView, EntryCount);
}
