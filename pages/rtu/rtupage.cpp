#include "pages/rtu/rtupage.h"
#include "ui_rtupage.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"
#include "pages/pagerequests.h"
#include "pages/rtu/sensor_edit.h"
#include "pages/rtu/sensormodel.h"

#include <QCursor>
#include <QHeaderView>
#include <QIntValidator>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>

namespace {
constexpr quint16 SensorTableStart = 500;
constexpr quint16 SensorValueStart = 700;
constexpr quint16 UploadIntervalRegister = 802;
constexpr quint16 PollingTimeoutRegister = 808;
constexpr int HalfEntries = 10;
constexpr int ErrorTimeout = 5000;
constexpr int ReloadPause = 1000;    // before and after each half of the table
constexpr int ReloadBoxTime = 3000;  // the closing note of a Reload

quint16 entryStart(int slot)
{
    return quint16(SensorTableStart + codec::SensorEntryRegisters * slot);
}
}

RtuPage::RtuPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::RtuPage), m_link(link)
{
    ui->setupUi(this);
    ui->sensorSlaveId->setValidator(new QIntValidator(1, 247, this));
    ui->sensorPLCAddress->setValidator(new QIntValidator(0, 65535, this));
    // Function codes 1 and 2 read up to 80 bits; Add checks the limit of the
    // chosen code, so the field must let 11 to 80 be typed.
    ui->sensorLength->setValidator(new QIntValidator(1, 80, this));
    ui->sensorCheckPushButton->hide();

    for (int s = 0; s < SlotCount; ++s) {
        SensorEntry entry;
        entry.sequence = quint32(s);
        m_sensorList.append(entry);
    }
    m_rowShown.fill(false, SlotCount);
    setUpTable();

    // The edit dialog belongs to the window, like the page's message boxes
    // it is a window of its own; it is kept and reused for every Edit.
    QWidget *owner = parent ? parent->window() : this;
    m_editDialog = new sensor_edit(owner);
    connect(m_editDialog.data(), &sensor_edit::sensorEditDone, this, &RtuPage::onSensorEditDone);
}

RtuPage::~RtuPage()
{
    delete ui;
}

void RtuPage::setModelNameSource(std::function<QString()> source)
{
    m_modelName = std::move(source);
}

QString RtuPage::modelName() const
{
    return m_modelName ? m_modelName() : QString();
}

void RtuPage::linkClosed()
{
    sensorConfigLoaded = false;
    m_halvesLoaded = 0;
    // A closed link ends every request; none of its answers is owed any more.
    m_readsPending = 0;
}

// ------------------------------------------------------------------ table

void RtuPage::setUpTable()
{
    m_model = new sensor(this);
    QTableView *view = ui->sensorTableView;
    view->setModel(m_model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setShowGrid(true);
    view->setFrameShape(QFrame::Box);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setContextMenuPolicy(Qt::CustomContextMenu);

    m_menu = new QMenu(view);
    m_menu->addAction(tr("Edit"), this, &RtuPage::sensEdit);
    m_menu->addAction(tr("Delete"), this, &RtuPage::sensDelete);
    connect(view, &QWidget::customContextMenuRequested, this, &RtuPage::sensMensu);

    refreshModel();
    const int widths[] = { 110, 80, 80, 80, 110 };
    for (int c = 0; c < 5; ++c)
        view->setColumnWidth(c, widths[c]);
    view->setColumnHidden(sensor::SequenceColumn, true);
}

void RtuPage::setRowShown(int row, bool shown)
{
    if (row < 0 || row >= SlotCount)
        return;
    m_rowShown[row] = shown;
    ui->sensorTableView->setRowHidden(row, !shown);
}

void RtuPage::refreshModel()
{
    m_model->setSensorList(m_sensorList);
    // A model reset forgets hidden rows; the page decides which are shown.
    for (int row = 0; row < SlotCount; ++row)
        ui->sensorTableView->setRowHidden(row, !m_rowShown.at(row));
}

void RtuPage::showNamedRows(int first, int last)
{
    for (int s = first; s <= last && s < SlotCount; ++s) {
        if (!m_sensorList.at(s).name.isEmpty())
            setRowShown(s, true);
    }
}

void RtuPage::clearSlots()
{
    m_halvesLoaded = 0;
    for (int s = 0; s < SlotCount; ++s) {
        m_sensorList[s].setFields(codec::SensorFields());
        setRowShown(s, false);
    }
}

int RtuPage::slotOfRow(int row) const
{
    if (row < 0 || row >= m_model->rowCount())
        return -1;
    bool ok = false;
    const int slot = m_model->data(m_model->index(row, sensor::SequenceColumn)).toInt(&ok);
    return ok && slot >= 0 && slot < SlotCount ? slot : -1;
}

void RtuPage::writeSensorEntry(const SensorEntry &entry, int slot)
{
    if (!m_link->device())
        return;
    m_link->write(entryStart(slot), codec::sensorEntryToRegisters(entry.fields()), this);
}

// ------------------------------------------------------------------ Add

// The first problem of a typed entry in the order the page reports them.
QString RtuPage::addProblemText(codec::SensorEntryProblems problems, int functionCode)
{
    const QString quantity = codec::sensorQuantityLimit(functionCode) == 10
        ? tr("Please set Register Quantity number between 1 and 10.")
        : tr("Please set Register Quantity number between 1 and 80.");
    return codec::firstProblemText(problems, {
        { codec::SensorNameTooLong, tr("Please set RTU number with maximum 8 word.") },
        { codec::SensorNameEmpty, tr("Please set RTU number.") },
        { codec::SensorNameNotRegisterText,
          tr("Please set RTU number with Latin-1 characters only.") },
        { codec::SensorSlaveIdOutOfRange, tr("Please set ID number between 1 and 247.") },
        { codec::SensorQuantityOutOfRange, quantity },
        { codec::SensorFunctionCodeInvalid, tr("Please choose a function code.") },
        { codec::SensorAddressOutOfRange, tr("Please set PLC Address between 1 and 65535.") },
    });
}

void RtuPage::on_sensorAddPushButton_clicked()
{
    m_link->clearMessage();
    const auto refuse = [](const QString &text) {
        QMessageBox::information(nullptr, tr("Error"), text, QMessageBox::Ok);
    };
    const QString name = ui->sensorTypeLineEdit->text();
    const int slaveId = ui->sensorSlaveId->text().toInt();
    const int functionCode = ui->sensorFunCodeCombox->currentIndex() + 1;
    const int quantity = ui->sensorLength->text().toInt();
    const int address = ui->sensorPLCAddress->text().toInt();
    const QString problem = addProblemText(
        codec::sensorEntryProblem(name, slaveId, functionCode, address, quantity), functionCode);
    if (!problem.isEmpty()) {
        refuse(problem);
        return;
    }
    // Add takes the first slot the window knows to be free: only a table
    // read from this bridge tells which entries it already uses.
    if (m_halvesLoaded != 0x3) {
        refuse(tr("Reload the table first, so no entry on the bridge is overwritten."));
        return;
    }

    const int slot = firstFreeSlot();
    if (slot < 0) {
        refreshModel();
        refuse(tr("All %1 RTU entries are in use. Delete an entry before adding another one.")
                   .arg(TableSize));
        return;
    }

    SensorEntry entry;
    entry.setFields({ name, quint8(slaveId), quint8(functionCode), quint32(address),
                      qint16(quantity) });
    entry.sequence = quint32(slot);
    writeSensorEntry(entry, slot);
    m_sensorList[slot] = entry;
    refreshModel();
    setRowShown(slot, true);
}

// Only the bridge's 20 entries may be used: a slot beyond them would be
// written into the registers that follow the table.
int RtuPage::firstFreeSlot() const
{
    for (int s = 0; s < TableSize; ++s) {
        if (m_sensorList.at(s).name.isEmpty())
            return s;
    }
    return -1;
}

// ------------------------------------------------------------------ Reload

bool RtuPage::readTableHalf(quint16 start, int firstSlot)
{
    // The bar keeps the other half's outcome until this half's answer comes.
    Link::Options options;
    options.clearStatus = false;
    const auto decode = [this, firstSlot](const QVector<quint16> &values) {
        sensorUpdateReadReady(values, firstSlot);
    };
    const bool sent = m_link->read(start, quint16(HalfEntries * codec::SensorEntryRegisters), this,
                                   decode, [this](QModbusDevice::Error) { --m_readsPending; },
                                   options);
    if (sent)
        ++m_readsPending;
    return sent;
}

void RtuPage::sensorUpdateReadReady(const QVector<quint16> &values, int firstSlot)
{
    for (int k = 0; k < HalfEntries; ++k)
        m_sensorList[firstSlot + k].setFields(
            codec::sensorEntryFromRegisters(values, k * codec::SensorEntryRegisters));
    sensorConfigLoaded = true;
    m_halvesLoaded |= firstSlot == 0 ? 0x1 : 0x2;
}

void RtuPage::on_sensorUpdatePushButton_clicked()
{
    if (!m_link->device() || m_reloading)
        return;
    m_link->clearMessage();
    m_reloading = true;
    ui->sensorUpdatePushButton->setEnabled(false);
    m_readsPending = 0;
    clearSlots();

    // Every wait ends early when the page goes away with its window.
    if (!Link::waitWithEvents(pacing::ms(ReloadPause), this))
        return;
    readTableHalf(SensorTableStart, 0);
    if (!Link::waitWithEvents(pacing::ms(ReloadPause), this))
        return;
    readTableHalf(quint16(SensorTableStart + HalfEntries * codec::SensorEntryRegisters), HalfEntries);
    if (!Link::waitWithEvents(pacing::ms(ReloadPause), this))
        return;
    // A slow or retrying link may still owe a reply; the rows shown must be
    // those the bridge answered. Each reply ends at the latest with the
    // link's own time-out.
    while (m_readsPending > 0) {
        if (!Link::waitWithEvents(pacing::ms(100), this))
            return;
    }
    refreshModel();

    QPointer<RtuPage> self(this);
    QMessageBox box(QMessageBox::Information, QString(),
                    tr("Read sensor-Configuration done, thanks for patience"),
                    QMessageBox::NoButton);
    box.setWindowIconText(tr("Tip"));
    QTimer::singleShot(pacing::ms(ReloadBoxTime), Qt::PreciseTimer, &box, &QMessageBox::accept);
    box.exec();
    if (!self)
        return;

    showNamedRows(0, TableSize - 1);
    m_reloading = false;
    ui->sensorUpdatePushButton->setEnabled(true);
}

// ------------------------------------------------------------------ Check Value

void RtuPage::on_sensorCheckPushButton_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    if (!sensorConfigLoaded) {
        QMessageBox::information(nullptr, tr("Information"),
                                 tr("Please Update Sensor Configure Firstly"), QMessageBox::Ok);
        return;
    }
    m_link->read(SensorValueStart, SlotCount, this,
                 [this](const QVector<quint16> &v) { sensorCheckReadReady(v); });
    if (!Link::waitWithEvents(100, this))
        return;
    QPointer<RtuPage> self(this);
    QMessageBox::information(nullptr, tr("Read Value"),
                             tr("Read sensor-data done, thanks for patience."), QMessageBox::Ok);
    if (!self)
        return;
    refreshModel();
    showNamedRows(0, SlotCount - 1);
}

void RtuPage::sensorCheckReadReady(const QVector<quint16> &values)
{
    for (int s = 0; s < SlotCount; ++s)
        m_sensorList[s].valueText = QString::number(codec::valueAt(values, s));
}

// ------------------------------------------------------------------ Clear

void RtuPage::on_sensorClearPushButton_clicked()
{
    clearSlots();
}

// ------------------------------------------------------------------ Edit, Delete

void RtuPage::sensMensu(const QPoint &pos)
{
    const QModelIndex index = ui->sensorTableView->indexAt(pos);
    m_targetSlot = index.isValid() ? slotOfRow(index.row()) : -1;
    if (m_targetSlot >= 0)
        m_menu->popup(QCursor::pos());
}

void RtuPage::on_sensorTableView_doubleClicked(const QModelIndex &index)
{
    m_targetSlot = index.isValid() ? slotOfRow(index.row()) : -1;
    sensEdit();
}

void RtuPage::sensEdit()
{
    const int slot = m_targetSlot;
    m_targetSlot = -1;
    if (slot < 0 || !m_link->device() || !m_editDialog)
        return;
    if (m_editDialog->isVisible()) {
        // One edit at a time: the open dialog keeps its slot and comes forward.
        m_editDialog->raise();
        m_editDialog->activateWindow();
        return;
    }
    m_editDialog->load(slot, m_sensorList.at(slot));
    m_editDialog->show();
    m_editDialog->setWindowTitle(tr("Sensor Setting"));
}

void RtuPage::onSensorEditDone(int slot, const SensorEntry &entry)
{
    if (slot < 0 || slot >= SlotCount)
        return;
    m_sensorList[slot] = entry;
    m_link->write(entryStart(slot), codec::sensorEntryToRegisters(entry.fields()), this);
    refreshModel();
}

void RtuPage::sensDelete()
{
    const int slot = m_targetSlot;
    m_targetSlot = -1;
    if (slot < 0)
        return;
    m_sensorList[slot].setFields(codec::SensorFields());
    // An open edit of the deleted entry would write it back on confirm.
    if (m_editDialog && m_editDialog->isVisible() && m_editDialog->slot() == slot)
        m_editDialog->reject();
    if (!m_link->device())
        return;
    m_link->write(entryStart(slot), QVector<quint16>(codec::SensorEntryRegisters, 0), this);
    setRowShown(slot, false);
}

// ------------------------------------------------------------------ upload interval

void RtuPage::on_sensorIntervalCheckPushButton_clicked()
{
    if (!m_link->device())
        return;
    ui->sensorIntervalLineEdit->clear();
    readUnsignedIntoLineEdit(m_link, UploadIntervalRegister, ui->sensorIntervalLineEdit, false);
}

void RtuPage::on_sensorIntervalSetPushButton_clicked()
{
    writeNumberInRange(m_link, ui->sensorIntervalLineEdit, UploadIntervalRegister, 0, 0xFFFF,
                       tr("Upload interval must be a whole number from 0 to 65535!"));
}

// ------------------------------------------------------------------ polling time-out

void RtuPage::on_sensorTimeOutReadPushButton_clicked()
{
    Link::Options options;
    options.refusedText = tr("Read Error: ");
    m_link->read(PollingTimeoutRegister, 1, this,
                 [this](const QVector<quint16> &v) { snesorTimeOutReadyRead(v); }, options);
}

void RtuPage::snesorTimeOutReadyRead(const QVector<quint16> &values)
{
    const quint16 value = codec::valueAt(values, 0);
    ui->sensorTimeOutLineEdit->setText(
        QString::number(codec::pollingTimeoutSeconds(value, modelName())));
}

void RtuPage::on_sensorTimeOutWritePushButton_clicked()
{
    const int seconds = ui->sensorTimeOutLineEdit->text().toInt();
    if (seconds <= 0) {
        m_link->showMessage(tr("TimeOut time can't be less than or equal to 0!"), 0);
        return;
    }
    if (seconds > 20) {
        m_link->showMessage(tr("TimeOut time can't be more than 20!"), 0);
        return;
    }
    Link::Options options;
    options.compactErrors = true;
    m_link->write(PollingTimeoutRegister, { codec::pollingTimeoutRegister(seconds, modelName()) },
                  this, Link::WriteDone(), options);
}
