#include "pages/radio/groupnetpage.h"
#include "ui_groupnetpage.h"

#include "link/codec.h"
#include "link/link.h"
#include "pages/pagerequests.h"
#include "pages/radio/netmodel.h"
#include "tools/asdialog.h"

#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QSignalBlocker>

namespace {
constexpr quint16 SourceIdRegister = 100;
constexpr quint16 BitmapStart = 101;
constexpr quint16 BitmapCount = 16;
constexpr quint16 AesEnableRegister = 117;
constexpr quint16 AesKeyStart = 118;
constexpr quint16 AesKeyCount = 8;
constexpr quint16 ResponseTimeoutRegister = 149;
constexpr quint16 LcTimeoutRegister = 150;
constexpr quint16 SerialNumberStart = 141;
constexpr quint16 SerialNumberCount = 8;
constexpr int BitmapIds = 255;  // 16 registers carry IDs 1 to 256; 256 is no ID

void showError(const QString &text)
{
    QMessageBox::information(nullptr, QObject::tr("Error"), text);
}
}

GroupNetPage::GroupNetPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::GroupNetPage), m_link(link)
{
    ui->setupUi(this);
    // The serial number row stays hidden: engineers see the serial number in
    // the system settings dialog.
    ui->SNLineEdit->hide();
    ui->SNPushButton->hide();
    ui->SNPushButtonWrite->hide();
    m_netModel = new NetModel(this);
    QTableView *view = ui->netBitMapTableView;
    view->setModel(m_netModel);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setShowGrid(false);
    view->setFrameShape(QFrame::NoFrame);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    m_tableMenu = new QMenu(this);
    QAction *settings = m_tableMenu->addAction(tr("Settings"));
    settings->setObjectName(QStringLiteral("asSettingsAction"));
    connect(settings, &QAction::triggered, this, &GroupNetPage::asSettingAction);
    connect(view, &QWidget::customContextMenuRequested, this, &GroupNetPage::asMenuPaint);
}

GroupNetPage::~GroupNetPage()
{
    delete ui;
}

void GroupNetPage::asMenuPaint(const QPoint &)
{
    m_tableMenu->popup(QCursor::pos());
}

void GroupNetPage::asSettingAction()
{
    auto *dialog = new asDialog(m_link, window());
    dialog->setWindowTitle(tr("ID-FunctionCode-Reg Settings"));
    dialog->show();
}

// The whole number is checked, not just its low 16 bits: 65537 is no time-out
// of one second.
void GroupNetPage::writeInRange(QLineEdit *edit, quint16 address, int low, int high,
                                const QString &message)
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    qint64 value = 0;
    if (!codec::numberInRange(edit->text(), low, high, &value)) {
        showError(message);
        return;
    }
    m_link->write(address, { quint16(value) }, this);
}

void GroupNetPage::on_netSIDRead_clicked()
{
    readUnsignedIntoLineEdit(m_link, SourceIdRegister, ui->srcIDLineEdit);
}

void GroupNetPage::on_netSIDWrite_clicked()
{
    writeInRange(ui->srcIDLineEdit, SourceIdRegister, 1, 250,
                 tr("Source ID Should between 1 and 250!"));
}

void GroupNetPage::on_netTimeoutRead_clicked()
{
    readUnsignedIntoLineEdit(m_link, ResponseTimeoutRegister, ui->ResTOutlineEdit);
}

void GroupNetPage::on_netTimeoutWrite_clicked()
{
    writeInRange(ui->ResTOutlineEdit, ResponseTimeoutRegister, 1, 300,
                 tr("Response Timeout Should between 1 and 300!"));
}

void GroupNetPage::on_LCTimeoutRead_clicked()
{
    readUnsignedIntoLineEdit(m_link, LcTimeoutRegister, ui->LCTimeOutlineEdit);
}

void GroupNetPage::on_LCTimeoutWrite_clicked()
{
    writeInRange(ui->LCTimeOutlineEdit, LcTimeoutRegister, 0, 65535,
                 tr("LC Timeout Should between 0 and 65535!"));
}

void GroupNetPage::on_netAesEnableRead_clicked()
{
    m_link->readSingleRegister(AesEnableRegister, this, [this](const QVector<quint16> &v) {
        aesEnableReadReady(v);
    });
}

void GroupNetPage::aesEnableReadReady(const QVector<quint16> &v)
{
    // Showing the device's setting is no choice of the user's: it must not
    // replace the key on the page with a fresh proposal.
    const QSignalBlocker quiet(ui->aesComboBox);
    selectIndexOrNone(ui->aesComboBox, codec::valueAt(v, 0));
}

void GroupNetPage::on_netAesEnableWrite_clicked()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    const int index = ui->aesComboBox->currentIndex();
    if (index < 0) {
        showError(tr("Please choose Off or On before writing."));
        return;
    }
    m_link->write(AesEnableRegister, { quint16(index) }, this);
}

void GroupNetPage::on_netAesKeyRead_clicked()
{
    m_link->read(AesKeyStart, AesKeyCount, this, [this](const QVector<quint16> &v) {
        ui->aesLineEdit->setText(codec::registersToText(v));
    });
}

void GroupNetPage::on_netAesKeyWrite_clicked()
{
    const QString key = ui->aesLineEdit->text();
    if (key.size() != 16) {
        showError(tr("Length of AES Key Should be 16!"));
        return;
    }
    if (!m_link->device())
        return;
    m_link->clearMessage();
    // Each character takes one byte; one that has none would go out as 0.
    if (!codec::isLatin1Text(key)) {
        showError(tr("The AES Key may only hold Latin-1 characters!"));
        return;
    }
    m_link->write(AesKeyStart, codec::textToRegisters(key, AesKeyCount), this);
}

void GroupNetPage::on_aesComboBox_currentIndexChanged(int index)
{
    // Switching encryption on proposes a key; the user writes it with its
    // own button.
    if (index == 1)
        ui->aesLineEdit->setText(codec::proposeAesKey());
}

void GroupNetPage::on_netBitMapRead_clicked()
{
    m_link->read(BitmapStart, BitmapCount, this,
                 [this](const QVector<quint16> &v) { bitMapReadReady(v); });
}

void GroupNetPage::bitMapReadReady(const QVector<quint16> &v)
{
    const QVector<bool> flags = codec::bitmapToFlags(v, BitmapIds);
    QList<NetEntry> list;
    for (int i = 0; i < flags.size(); ++i)
        list.append({ i + 1, flags.at(i) });
    m_netModel->setNetList(list);
    emit bitMapRead();
}

void GroupNetPage::on_netBitMapWrite_clicked()
{
    QVector<bool> flags(BitmapIds, false);
    for (int row = 0; row < BitmapIds && row < m_netModel->rowCount(); ++row)
        flags[row] = m_netModel->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked;
    if (!m_link->device())
        return;
    m_link->write(BitmapStart, codec::flagsToBitmap(flags, BitmapCount), this);
}

void GroupNetPage::on_netBitMapClear_clicked()
{
    m_netModel->clearDestinations();
}

// The hidden serial number row: the text as the registers hold it, zero
// bytes included.
void GroupNetPage::on_SNPushButton_clicked()
{
    m_link->read(SerialNumberStart, SerialNumberCount, this, [this](const QVector<quint16> &v) {
        ui->SNLineEdit->setText(codec::registersToText(v));
    });
}

// The serial number is set at the factory; its Write sends nothing.
void GroupNetPage::on_SNPushButtonWrite_clicked()
{
}
