#include "tools/asdialog.h"
#include "ui_asdialog.h"

#include "link/link.h"
#include "link/pacing.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>

namespace {
constexpr int Server = 1;
constexpr quint16 BasicStart = 810;
constexpr quint16 BasicCount = 3;
constexpr quint16 MapStart = 813;
constexpr quint16 MapCount = 40;
constexpr int MapEntries = 20;
constexpr int HalfEntries = 10;
constexpr quint16 SecondHalfStart = MapStart + 2 * HalfEntries;  // 833
// The bridge stores the first half of the map before it takes the second.
constexpr int HalfPause = 1800;

const Qt::Alignment LeftCentred = Qt::AlignLeft | Qt::AlignVCenter;

// Writes go to server 1 and leave the status bar alone until the reply.
bool writeToBridge(Link *link, quint16 start, const QVector<quint16> &values)
{
    RequestOptions options;
    options.server = Server;
    options.clearStatus = false;
    return link->write(start, values, link, Link::WriteDone(), options);
}
}

// ---- mapModel

mapModel::mapModel(QObject *parent) : QAbstractTableModel(parent)
{
    for (int i = 0; i < MapEntries; ++i)
        m_list.append(codec::ScanMapEntry());
}

int mapModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.size();
}

int mapModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant mapModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.size())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(LeftCentred);
    if (role != Qt::DisplayRole)
        return QVariant();
    const codec::ScanMapEntry &e = m_list.at(index.row());
    const uint field = index.column() == 0 ? e.id : index.column() == 1 ? e.functionCode : e.reg;
    return field == 0 ? QString() : QString::number(field);
}

bool mapModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_list.size())
        return false;
    codec::ScanMapEntry &e = m_list[index.row()];
    quint32 number = 0;
    switch (index.column()) {
    case 0:
        // What the 8-bit field cannot hold is refused, not cut to its low bits.
        if (!codec::unsignedFieldValue(value.toString(), 0xFF, &number)) {
            QMessageBox::warning(nullptr, tr("tip"), tr("please input ID 0 to 255"));
            return false;
        }
        e.id = quint8(number);
        break;
    case 1: {
        const int code = value.toInt();
        if (code >= 1 && code <= 4) {
            e.functionCode = quint8(code);
        } else {
            QMessageBox::warning(nullptr, tr("tip"),
                                 tr("please input function code 1 or 2 or 3 or 4"));
            e.functionCode = 0;
        }
        break;
    }
    case 2:
        if (!codec::unsignedFieldValue(value.toString(), 0xFFFF, &number)) {
            QMessageBox::warning(nullptr, tr("tip"), tr("please input REG 0 to 65535"));
            return false;
        }
        e.reg = quint16(number);
        break;
    default:
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

QVariant mapModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(LeftCentred);
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal) {
        switch (section) {
        case 0: return tr("ID");
        case 1: return tr("Function Code");
        case 2: return tr("REG");
        default: break;
        }
    }
    return QVariant();
}

Qt::ItemFlags mapModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QAbstractTableModel::flags(index);
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
}

void mapModel::setList(const QList<codec::ScanMapEntry> &list)
{
    beginResetModel();
    m_list = list;
    endResetModel();
}

// ---- asDialog

asDialog::asDialog(Link *link, QWidget *parent)
    : QDialog(parent), ui(new Ui::asDialog), m_link(link), m_mapModel(new mapModel(this))
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(348, 564);
    ui->pushButton->hide();

    QTableView *view = ui->mapTableView;
    view->setModel(m_mapModel);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setShowGrid(false);
    view->setFrameShape(QFrame::NoFrame);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

asDialog::~asDialog()
{
    delete ui;
}

// The dialog's reads say nothing, except for a reply of the wrong length: a
// failed read leaves the widgets alone.
void asDialog::readQuietly(quint16 start, quint16 count,
                           void (asDialog::*decode)(const QVector<quint16> &))
{
    RequestOptions options;
    options.server = Server;
    options.silent = true;
    options.reportWrongCount = true;
    m_link->read(start, count, this,
                 [this, decode](const QVector<quint16> &values) { (this->*decode)(values); },
                 options);
}

void asDialog::on_checkMapPushButton_clicked()
{
    readQuietly(BasicStart, BasicCount, &asDialog::mapEnableSlot);
}

void asDialog::mapEnableSlot(const QVector<quint16> &v)
{
    ui->mapEnableRadioButton->setChecked(codec::valueAt(v, 0) != 0);
    ui->mapLoopLineEdit->setText(QString::number(codec::valueAt(v, 1)));
    ui->mapIntervalLineEdit->setText(QString::number(codec::valueAt(v, 2)));
}

void asDialog::on_applyMapPushButton_clicked()
{
    if (!m_link->device())
        return;
    // Times the registers cannot hold are refused, not cut to 16 bits.
    quint32 loop = 0;
    quint32 interval = 0;
    if (!codec::unsignedFieldValue(ui->mapLoopLineEdit->text(), 0xFFFF, &loop)) {
        QMessageBox::warning(nullptr, tr("tip"), tr("please input Loop Time 0 to 65535"));
        return;
    }
    if (!codec::unsignedFieldValue(ui->mapIntervalLineEdit->text(), 0xFFFF, &interval)) {
        QMessageBox::warning(nullptr, tr("tip"), tr("please input Interval Time 0 to 65535"));
        return;
    }
    const QVector<quint16> values{
        quint16(ui->mapEnableRadioButton->isChecked() ? 1 : 0), quint16(loop), quint16(interval),
    };
    writeToBridge(m_link, BasicStart, values);
}

void asDialog::on_asCheckPushButton_clicked()
{
    readQuietly(MapStart, MapCount, &asDialog::mapSetSlot);
}

void asDialog::mapSetSlot(const QVector<quint16> &v)
{
    m_mapModel->setList(codec::scanMapFromRegisters(v, MapEntries));
}

void asDialog::on_appPushButton_clicked()
{
    if (!m_link->device())
        return;
    // Each half goes out as its full 20 registers: the qualifying rows, then
    // empty entries, so the device keeps no stale entry of an earlier map.
    const QList<codec::ScanMapEntry> rows = m_mapModel->list();
    const QVector<quint16> first =
        codec::scanMapHalf(rows.mid(0, HalfEntries), HalfEntries, codec::scanRowForFirstHalf);
    const QVector<quint16> second =
        codec::scanMapHalf(rows.mid(HalfEntries, HalfEntries), HalfEntries,
                           codec::scanRowForSecondHalf);

    QPointer<Link> link(m_link);
    QPointer<asDialog> self(this);
    ui->appPushButton->setEnabled(false);
    writeToBridge(link, MapStart, first);
    // The window stays responsive meanwhile; the dialog may even be closed,
    // the second half is sent all the same.
    if (!Link::waitWithEvents(pacing::ms(HalfPause), link) || !link)
        return;
    writeToBridge(link, SecondHalfStart, second);
    if (self)
        self->ui->appPushButton->setEnabled(true);
}
