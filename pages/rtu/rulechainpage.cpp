#include "pages/rtu/rulechainpage.h"
#include "ui_rulechainpage.h"

#include "link/link.h"
#include "pages/pagerequests.h"
#include "link/blockreader.h"
#include "link/pacing.h"
#include "pages/rtu/rulechainedit.h"
#include "pages/rtu/rulechainmodel.h"

#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace {
constexpr int AddPause = 4000;     // the device stores a new rule
constexpr int BlockPause = 2000;   // between the blocks of a full read
constexpr int DoneBoxTime = 2000;  // the closing note of a full read

quint16 entryStart(int index)
{
    return quint16(RuleChainPage::TableStart + codec::RuleEntryRegisters * index);
}
}

RuleChainPage::RuleChainPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::RuleChainPage), m_link(link)
{
    ui->setupUi(this);

    m_ruleChainList = RuleChain::unusedList(EntryCount);

    for (int id = 1; id <= 250; ++id) {
        ui->ruleInDeviceIDComboBox->addItem(QString::number(id));
        ui->ruleOutIDComboBox->addItem(QString::number(id));
    }
    for (int ch = 0; ch <= 7; ++ch) {
        ui->ruleInChComboBox->addItem(QString::number(ch));
        ui->ruleOutChnComboBox->addItem(QString::number(ch));
    }
    on_ruleOutChnComboBox_currentIndexChanged(ui->ruleOutChnComboBox->currentIndex());

    m_model = new RuleChain(this);
    m_model->setList(m_ruleChainList);
    QTableView *view = ui->RuleVIew;
    m_model->showIn(view);
    const int widths[] = { 100, 85, 70, 100, 100, 80, 100 };
    for (int c = 0; c < 7; ++c)
        view->setColumnWidth(c, widths[c]);
    view->setColumnHidden(RuleChain::IndexColumn, true);

    view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_menu = new QMenu(this);
    QAction *edit = m_menu->addAction(tr("Edit"));
    QAction *remove = m_menu->addAction(tr("Delete"));
    connect(edit, &QAction::triggered, this, &RuleChainPage::ruleChainEditAction);
    connect(remove, &QAction::triggered, this, &RuleChainPage::ruleChainDelete);
    connect(view, &QWidget::customContextMenuRequested, this, &RuleChainPage::ruleChainMenuPaint);

    m_addTimer = new QTimer(this);
    m_addTimer->setSingleShot(true);
    m_addTimer->setTimerType(Qt::PreciseTimer);  // a coarse timer may end a pause early
    connect(m_addTimer, &QTimer::timeout, this,
            [this] { ui->ruleChainAddPushButton->setEnabled(true); });
    m_reader = new BlockReader(m_link, TableStart, BlockRegisters, BlockCount, BlockPause,
                               DoneBoxTime, this);
    connect(m_reader, &BlockReader::blockRead, this, &RuleChainPage::ruleChainTableReadReady);
    connect(m_reader, &BlockReader::blocksSent, this, &RuleChainPage::showDoneBox);
    connect(m_reader, &BlockReader::finished, this, &RuleChainPage::finishTableRead);
}

RuleChainPage::~RuleChainPage()
{
    delete m_doneBox;
    delete ui;
}

void RuleChainPage::storeEntry(int index, const codec::RuleChainEntry &entry)
{
    if (index < 0 || index >= EntryCount)
        return;
    m_ruleChainList[index] = entry;
    m_ruleChainList[index].index = quint16(index);
}

QString RuleChainPage::nameError(const QString &name)
{
    // The device keeps one byte per character and takes a zero byte as the
    // end of the name: anything outside Latin-1 would be stored as a name
    // cut short, or as a free entry.
    return codec::firstProblemText(codec::entryNameProblem(name), {
        { codec::EntryNameTooLong, tr("Please set Rule-Name with maximum 8 words.") },
        { codec::EntryNameEmpty, tr("Please set Rule Name.") },
        { codec::EntryNameNotRegisterText, tr("Please set Rule Name with Latin-1 characters only.") },
    });
}

// The first problem of a typed output value in the order Add reports them.
QString RuleChainPage::addValueText(codec::RuleValueProblems problems)
{
    return codec::firstProblemText(problems, {
        { codec::RuleValueMissing, tr("Please set valid Current/Voltage value.") },
        { codec::RuleCurrentTooHigh, tr("Please set Current value less than 20000uA.") },
        { codec::RuleCurrentTooLow, tr("Please set Current value greater than 4000uA.") },
        { codec::RuleVoltageTooHigh, tr("Please set Voltage value less than 10000.") },
        { codec::RuleValueNegative, tr("Please set Current/Voltage value greater than 0.") },
    });
}

void RuleChainPage::refuse(const QString &text)
{
    QMessageBox::information(nullptr, tr("Error"), text);
}

void RuleChainPage::on_ruleOutChnComboBox_currentIndexChanged(int index)
{
    const bool shown = codec::ruleChannelHasValue(index);
    if (index == 4)
        ui->label_136->setText(tr("Output Current(uA):"));
    else if (index == 5)
        ui->label_136->setText(tr("Output Voltage(mV):"));
    ui->label_136->setVisible(shown);
    ui->TMOValueLineEdit->setVisible(shown);
    ui->label_137->setVisible(shown);
}

void RuleChainPage::on_ruleChainAddPushButton_clicked()
{
    m_link->clearMessage();
    ui->ruleChainAddPushButton->setEnabled(false);

    codec::RuleChainEntry entry;
    entry.name = ui->ruleNameLineEdit->text();
    entry.inDeviceId = quint16(ui->ruleInDeviceIDComboBox->currentText().toInt());
    entry.inChannel = quint16(ui->ruleInChComboBox->currentText().toInt());
    entry.type = quint16(qMax(0, ui->ruleTypeComboBox->currentIndex()));
    entry.outDeviceId = quint16(ui->ruleOutIDComboBox->currentText().toInt());
    entry.outChannel = quint16(ui->ruleOutChnComboBox->currentText().toInt());

    const QString valueText = ui->TMOValueLineEdit->text();
    QString error = nameError(entry.name);
    if (error.isEmpty())
        error = addValueText(codec::ruleValueProblem(entry.outChannel, valueText));
    // Add takes the first entry the window knows to be free: only a table
    // read from this bridge tells which entries it already uses.
    if (error.isEmpty() && m_blocksLoaded != (1 << BlockCount) - 1)
        error = tr("Check the table first, so no rule on the bridge is overwritten.");
    if (!error.isEmpty()) {
        QPointer<RuleChainPage> alive(this);
        refuse(error);
        if (alive)
            ui->ruleChainAddPushButton->setEnabled(true);
        return;
    }
    if (codec::ruleChannelHasValue(entry.outChannel))
        entry.tmoValue = quint16(valueText.toInt());

    int free = -1;
    for (int i = 0; i < EntryCount && free < 0; ++i) {
        if (m_ruleChainList.at(i).name.isEmpty())
            free = i;
    }
    if (free >= 0) {
        writeRuleChainEntry(entry, free);
        storeEntry(free, entry);
    }
    m_model->setList(m_ruleChainList);
    if (free >= 0)
        ui->RuleVIew->setRowHidden(free, false);
    m_addTimer->start(pacing::ms(AddPause));
}

void RuleChainPage::writeRuleChainEntry(const codec::RuleChainEntry &entry, int index)
{
    if (!m_link->device() || index < 0 || index >= EntryCount)
        return;
    Link::Options options;
    options.clearStatus = false;
    m_link->write(entryStart(index), codec::ruleEntryRegisters(entry), this, Link::WriteDone(),
                  options);
}

int RuleChainPage::entryAtRow(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return -1;
    bool ok = false;
    const int i = m_model->index(row, RuleChain::IndexColumn).data().toInt(&ok);
    return ok && i >= 0 && i < EntryCount ? i : -1;
}

void RuleChainPage::ruleChainMenuPaint(const QPoint &pos)
{
    const QModelIndex index = ui->RuleVIew->indexAt(pos);
    if (!index.isValid())
        return;
    // The actions work on the row that was clicked, not on whatever row
    // happens to be current.
    m_menuRow = index.row();
    QPointer<RuleChainPage> alive(this);
    m_menu->exec(QCursor::pos());
    if (alive)
        m_menuRow = -1;
}

void RuleChainPage::ruleChainEditAction()
{
    if (m_menuRow < 0)
        return;
    openEditDialog(entryAtRow(m_menuRow));
}

void RuleChainPage::on_RuleVIew_doubleClicked(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    openEditDialog(entryAtRow(index.row()));
}

void RuleChainPage::openEditDialog(int entry)
{
    if (entry < 0)
        return;
    auto *dialog = new ruleChainEdit(this, entry);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Rule Chain Configuration"));
    connect(dialog, &ruleChainEdit::ruleChainSignal, this, &RuleChainPage::ruleChainEditSlot);
    dialog->show();
}

void RuleChainPage::ruleChainEditSlot(int index)
{
    if (index < 0 || index >= EntryCount)
        return;
    writeRuleChainEntry(m_ruleChainList.at(index), index);
    m_model->setList(m_ruleChainList);
    // An entry deleted or cleared while its dialog was open is in use again.
    if (!m_ruleChainList.at(index).name.isEmpty())
        ui->RuleVIew->setRowHidden(index, false);
}

void RuleChainPage::ruleChainDelete()
{
    if (!m_link->device())
        return;
    const int i = entryAtRow(m_menuRow);
    if (i < 0)
        return;
    storeEntry(i, codec::RuleChainEntry());
    Link::Options options;
    options.clearStatus = false;
    m_link->write(entryStart(i), QVector<quint16>(codec::RuleEntryRegisters, 0), this,
                  Link::WriteDone(), options);
    ui->RuleVIew->setRowHidden(i, true);
}

void RuleChainPage::linkClosed()
{
    m_blocksLoaded = 0;
}

void RuleChainPage::clearList()
{
    m_blocksLoaded = 0;
    m_ruleChainList = RuleChain::unusedList(EntryCount);
    RuleChain::hideRows(ui->RuleVIew, EntryCount);
}

void RuleChainPage::on_ruleClrPushButton_clicked()
{
    clearList();
}

void RuleChainPage::on_ruleChkPushButton_clicked()
{
    if (!m_link->device() || m_reader->isReading())
        return;
    m_link->clearMessage();
    ui->ruleChkPushButton->setEnabled(false);
    clearList();
    m_reader->start();
}

// Stays up for the last wait of a full read, closed when the table is shown.
void RuleChainPage::showDoneBox()
{
    delete m_doneBox;
    m_doneBox = new QMessageBox(QMessageBox::Information, QString(),
                                tr("Read rule chain table configuration done, thanks for patience."),
                                QMessageBox::NoButton);
    m_doneBox->setWindowIconText(tr("Tip"));
    m_doneBox->setWindowModality(Qt::ApplicationModal);
    m_doneBox->show();
}

void RuleChainPage::finishTableRead()
{
    if (m_doneBox) {
        m_doneBox->accept();
        m_doneBox->deleteLater();
    }
    RuleChain::showUsedRows(ui->RuleVIew, m_ruleChainList, 0, EntryCount - 1);
    m_model->setList(m_ruleChainList);
    ui->ruleChkPushButton->setEnabled(true);
}

void RuleChainPage::ruleChainTableReadReady(int block, const QVector<quint16> &values, bool late)
{
    const int first = RuleChain::storeBlock(m_ruleChainList, block, values, BlockEntries,
                                            codec::RuleEntryRegisters, codec::decodeRuleEntry);
    // A block answered after the read ended shows its rules itself.
    if (late)
        RuleChain::showUsedRows(ui->RuleVIew, m_ruleChainList, first, first + BlockEntries - 1);
    m_blocksLoaded |= 1 << block;
    m_model->setList(m_ruleChainList);
}

void RuleChainPage::on_ruleIntervalChkPushButton_clicked()
{
    readIntoLineEdit(m_link, LoopTimeRegister, ui->ruleIntervalLineEdit);
}

void RuleChainPage::on_ruleIntervalSetPushButton_clicked()
{
    writeLineEditRegister(m_link, ui->ruleIntervalLineEdit, LoopTimeRegister);
}
