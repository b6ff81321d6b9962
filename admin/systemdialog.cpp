#include "admin/systemdialog.h"
#include "ui_systemdialog.h"

#include "link/codec.h"
#include "link/link.h"
#include "link/pacing.h"
#include "pages/pagerequests.h"

#include <QDateTime>
#include <QIcon>
#include <QMessageBox>

namespace {
constexpr int Server = 1;  // the dialog always talks to server 1

constexpr quint16 SerialNumberStart = 141;
constexpr quint16 VersionStart = 170;
constexpr int TextBlockCount = 8;
constexpr quint16 FactoryResetRegister = 178;
constexpr quint16 UsernameStart = 180;
constexpr quint16 PasswordStart = 188;
constexpr int CredentialRegisters = 8;  // 16 characters each
constexpr int MaxCredentialLength = 2 * CredentialRegisters;
constexpr quint16 VoltageHoldRegister = 306;
constexpr quint16 CurrentHoldRegister = 307;
constexpr quint16 Pwm5HoldRegister = 308;
constexpr quint16 PwmOcHoldRegister = 309;
constexpr quint16 ClockStart = 805;
constexpr int ClockCount = 2;
constexpr int ReloadWaitMs = 3000;

RequestOptions serverOne(bool clearStatus)
{
    RequestOptions options;
    options.server = Server;
    options.clearStatus = clearStatus;
    return options;
}
}

systemDialog::systemDialog(Link *link, QWidget *parent)
    : QDialog(parent), ui(new Ui::systemDialog), m_link(link)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/images/settings.png")));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint);
    setFixedSize(DialogWidth, CollapsedHeight);
    ui->usernameLineEdit->setEnabled(true);
    ui->passwordLineEdit->setEnabled(true);
    ui->widget->hide();
}

systemDialog::~systemDialog()
{
    delete ui;
}

void systemDialog::readRegisters(quint16 address, int count, ReadSlot slot)
{
    // A reply with fewer registers than asked for is as good as none: its
    // missing registers would show as zeros (a hold as OFF, a cut-off text).
    RequestOptions options = serverOne(false);
    options.silent = true;
    m_link->read(address, quint16(count), this,
                 [this, slot](const QVector<quint16> &values) { (this->*slot)(values); }, options);
}

// ---------------------------------------------------------------- version, serial number

void systemDialog::on_systemCheck_clicked()
{
    readRegisters(VersionStart, TextBlockCount, &systemDialog::versionReadReady);
}

void systemDialog::versionReadReady(const QVector<quint16> &values)
{
    ui->systemVersionLineEdit->setText(codec::versionText(values));
}

void systemDialog::on_SNRead_clicked()
{
    readRegisters(SerialNumberStart, TextBlockCount, &systemDialog::SNReadReady);
}

void systemDialog::SNReadReady(const QVector<quint16> &values)
{
    if (!codec::serialNumberUnset(values))
        ui->SNShow->setText(codec::zeroEndedText(values));
}

// ---------------------------------------------------------------- device clock

void systemDialog::on_globalTSCheckPushButton_clicked()
{
    m_link->read(ClockStart, ClockCount, this,
                 [this](const QVector<quint16> &values) { globalTSChkReadReady(values); },
                 serverOne(true));
}

void systemDialog::globalTSChkReadReady(const QVector<quint16> &values)
{
    ui->globalTSLineEdit->setText(codec::localTimeText(codec::timestampFromRegisters(values)));
}

void systemDialog::on_globalTSSetPushButton_clicked()
{
    // One reading of the PC clock, so the field shows exactly what is written.
    const qint64 seconds = QDateTime::currentSecsSinceEpoch();
    ui->globalTSLineEdit->setText(codec::localTimeText(seconds));
    m_link->write(ClockStart, codec::timestampToRegisters(quint32(seconds)), this,
                  Link::WriteDone(), serverOne(true));
}

// ---------------------------------------------------------------- output holds

void systemDialog::showHold(QComboBox *box, const QVector<quint16> &values)
{
    // Only 0 (OFF) and 1 (ON) are holds; anything else leaves no selection.
    selectIndexOrNone(box, codec::valueAt(values, 0));
}

void systemDialog::writeHoldSetting(quint16 address, QComboBox *box)
{
    if (!m_link->device())
        return;
    // After a read of a value that is neither OFF nor ON the box has no
    // selection; writing that would put 0xFFFF into the hold register.
    if (box->currentIndex() < 0) {
        QMessageBox::information(nullptr, tr("Error"), tr("Please choose OFF or ON before Set."));
        return;
    }
    m_link->write(address, { quint16(box->currentIndex()) }, this, Link::WriteDone(),
                  serverOne(false));
}

void systemDialog::currentHoldReadReady(const QVector<quint16> &values)
{
    showHold(ui->currentHoldComboBox, values);
}

void systemDialog::voltageHoldReadReady(const QVector<quint16> &values)
{
    showHold(ui->voltageHoldComboBox, values);
}

void systemDialog::PWM5ReadReady(const QVector<quint16> &values)
{
    showHold(ui->PWMComboBox, values);
}

void systemDialog::PWMOCReadReady(const QVector<quint16> &values)
{
    showHold(ui->PWMOCComboBox, values);
}

void systemDialog::on_currentHoldCheck_clicked()
{
    readRegisters(CurrentHoldRegister, 1, &systemDialog::currentHoldReadReady);
}

void systemDialog::on_currentHoldSet_clicked()
{
    writeHoldSetting(CurrentHoldRegister, ui->currentHoldComboBox);
}

void systemDialog::on_voltageHoldChk_clicked()
{
    readRegisters(VoltageHoldRegister, 1, &systemDialog::voltageHoldReadReady);
}

void systemDialog::on_voltageHoldSet_clicked()
{
    writeHoldSetting(VoltageHoldRegister, ui->voltageHoldComboBox);
}

void systemDialog::on_PWMChk_clicked()
{
    readRegisters(Pwm5HoldRegister, 1, &systemDialog::PWM5ReadReady);
}

void systemDialog::on_PWMSet_clicked()
{
    writeHoldSetting(Pwm5HoldRegister, ui->PWMComboBox);
}

void systemDialog::on_PWMOCChk_clicked()
{
    readRegisters(PwmOcHoldRegister, 1, &systemDialog::PWMOCReadReady);
}

void systemDialog::on_PWMOCSet_clicked()
{
    writeHoldSetting(PwmOcHoldRegister, ui->PWMOCComboBox);
}

// ---------------------------------------------------------------- factory reset

void systemDialog::on_systemSet_clicked()
{
    if (!m_link->device())
        return;
    // No is the default: a stray Enter must not wipe the device.
    const auto answer = QMessageBox::information(
        nullptr, tr("Reset"), tr("WARN: It will reset the system to default setting value."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    m_link->write(FactoryResetRegister, { 1 }, this, Link::WriteDone(), serverOne(false));
}

// ---------------------------------------------------------------- expander

void systemDialog::on_pushButton_clicked()
{
    if (ui->pushButton->text() == QLatin1String(">>>")) {
        setFixedSize(DialogWidth, ExpandedHeight);
        ui->widget->show();
        ui->pushButton->setText(QStringLiteral("<<<"));
    } else {
        ui->widget->hide();
        setFixedSize(DialogWidth, CollapsedHeight);
        ui->pushButton->setText(QStringLiteral(">>>"));
    }
}

// ---------------------------------------------------------------- credentials

void systemDialog::on_systemReload_clicked()
{
    ui->systemReload->setEnabled(false);
    // Applying while the fields are being refilled would store half-loaded
    // credentials.
    ui->systemApply->setEnabled(false);
    ui->passwordLineEdit->clear();
    ui->usernameLineEdit->clear();
    // Only what this Reload reads is shown: a read that fails leaves the
    // field empty instead of bringing back the credentials of an older one.
    usernameText.clear();
    passwordText.clear();
    readRegisters(UsernameStart, CredentialRegisters, &systemDialog::usernameReadReady);
    readRegisters(PasswordStart, CredentialRegisters, &systemDialog::passwordReadReady);
    if (!Link::waitWithEvents(pacing::ms(ReloadWaitMs), this))
        return;
    ui->usernameLineEdit->setText(usernameText);
    ui->passwordLineEdit->setText(passwordText);
    ui->systemReload->setEnabled(true);
    ui->systemApply->setEnabled(true);
}

void systemDialog::usernameReadReady(const QVector<quint16> &values)
{
    usernameText = codec::zeroEndedText(values);
}

void systemDialog::passwordReadReady(const QVector<quint16> &values)
{
    passwordText = codec::zeroEndedText(values);
}

void systemDialog::on_systemApply_clicked()
{
    const QString user = ui->usernameLineEdit->text();
    const QString password = ui->passwordLineEdit->text();
    // The bridge keeps 16 characters of each; a longer text would reach past
    // the credentials block into the login registers.
    if (user.size() > MaxCredentialLength || password.size() > MaxCredentialLength) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Username and password can have at most 16 characters each."));
        return;
    }
    // A character the bridge cannot store would be written as a zero byte,
    // and the stored login would no longer be the one that was typed.
    if (!codec::isRegisterText(user) || !codec::isRegisterText(password)) {
        QMessageBox::information(nullptr, tr("Error"),
                                 tr("Username and password can only use Latin-1 characters."));
        return;
    }
    const auto answer = QMessageBox::information(
        nullptr, QString(), tr("WARN: It will change the username and password for login."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;

    ui->systemApply->setEnabled(false);
    QVector<quint16> values = codec::textToRegisters(user, CredentialRegisters);
    values += codec::textToRegisters(password, CredentialRegisters);
    if (m_link->device()) {
        RequestOptions options = serverOne(false);
        options.silent = true;
        // Not sent (the link is closed): the engineer must not take the old
        // login for changed.
        const auto done = [this](bool ok) { credentialsWritten(ok); };
        if (!m_link->write(UsernameStart, values, this, done, options))
            credentialsWritten(false);
    }
    ui->systemApply->setEnabled(true);
}

void systemDialog::credentialsWritten(bool ok)
{
    if (ok)
        QMessageBox::information(nullptr, QString(), tr("Successed to Reset Username and Password."));
    else
        QMessageBox::information(nullptr, QString(), tr("Failed to Reset Username and Password."));
}
