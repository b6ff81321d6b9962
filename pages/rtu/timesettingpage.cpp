#include "pages/rtu/timesettingpage.h"
#include "ui_timesettingpage.h"

#include "link/codec.h"
#include "link/link.h"
#include "pages/pagerequests.h"
#include "pages/rtu/timezonebias.h"

#include <QDateTime>

namespace {
constexpr quint16 ScheduleStart = 800;
constexpr quint16 CountdownRegister = 803;
constexpr quint16 ModeRegister = 804;
constexpr quint16 TimestampStart = 805;
constexpr quint16 TimeZoneRegister = 807;
constexpr int RequestSpacing = 20;  // ms between the two reads of a Check
}

TimeSettingPage::TimeSettingPage(Link *link, QWidget *parent)
    : QWidget(parent), ui(new Ui::TimeSettingPage), m_link(link)
{
    ui->setupUi(this);
}

TimeSettingPage::~TimeSettingPage()
{
    delete ui;
}

void TimeSettingPage::attachScheduleButtons(QAbstractButton *check, QAbstractButton *set)
{
    if (check)
        connect(check, &QAbstractButton::clicked, this,
                &TimeSettingPage::sensorTimeCheck);
    if (set)
        connect(set, &QAbstractButton::clicked, this,
                &TimeSettingPage::sensorTimeSet);
}

QCheckBox *TimeSettingPage::hourBox(int hour) const
{
    // checkBox_1 to checkBox_23 are the hours 1 to 23, checkBox_24 is 00:00.
    return findChild<QCheckBox *>(QStringLiteral("checkBox_%1").arg(hour == 0 ? 24 : hour));
}

void TimeSettingPage::readMode()
{
    Link::Options options;
    options.clearStatus = false;
    m_link->read(ModeRegister, 1, this,
                 [this](const QVector<quint16> &v) { sensorFormatReadReady(v); }, options);
}

void TimeSettingPage::sensorFormatReadReady(const QVector<quint16> &values)
{
    if (codec::valueAt(values, 0) != 0)
        ui->sensorSTradioButton->setChecked(true);
    else
        ui->sensorCTRadioButton->setChecked(true);
}

// ------------------------------------------------------------------ timestamp

void TimeSettingPage::on_sensorTSChkButton_clicked()
{
    m_link->read(TimestampStart, 2, this, [this](const QVector<quint16> &v) {
        ui->sensorTSLineEdit->setText(codec::localTimeText(codec::timestampFromRegisters(v)));
    });
}

void TimeSettingPage::on_sensorTSSetBtn_clicked()
{
    const quint32 now = quint32(QDateTime::currentSecsSinceEpoch());
    ui->sensorTSLineEdit->setText(codec::localTimeText(now));
    m_link->write(TimestampStart, codec::timestampToRegisters(now), this);
}

// ------------------------------------------------------------------ time zone

void TimeSettingPage::on_sensorTZChkButton_clicked()
{
    m_link->read(TimeZoneRegister, 1, this, [this](const QVector<quint16> &v) {
        ui->sensorTZLineEdit->setText(codec::timeZoneText(codec::signedValue(codec::valueAt(v, 0))));
    });
}

void TimeSettingPage::on_sensorTZSetBtn_clicked()
{
    const int bias = localTimeZoneBias();
    ui->sensorTZLineEdit->setText(codec::timeZoneText(bias));
    Link::Options options;
    options.compactErrors = true;
    m_link->write(TimeZoneRegister, { quint16(bias) }, this, Link::WriteDone(), options);
}

// ------------------------------------------------------------------ countdown and mode

void TimeSettingPage::on_sensorCountdownCheckButton_clicked()
{
    if (!m_link->device())
        return;
    readUnsignedIntoLineEdit(m_link, CountdownRegister, ui->sensorCountDownLineEdit, false);
    if (!Link::waitWithEvents(RequestSpacing, this))
        return;
    readMode();
}

void TimeSettingPage::on_sensorIntervalSetPushButton_2_clicked()
{
    writeNumberInRange(m_link, ui->sensorCountDownLineEdit, CountdownRegister, 0, 0xFFFF,
                       tr("Countdown time must be a whole number from 0 to 65535!"));
}

void TimeSettingPage::on_sensorCTRadioButton_clicked()
{
    m_link->write(ModeRegister, { 0 }, this);
}

void TimeSettingPage::on_sensorSTradioButton_clicked()
{
    m_link->write(ModeRegister, { 1 }, this);
}

// ------------------------------------------------------------------ schedule

void TimeSettingPage::sensorTimeCheck()
{
    if (!m_link->device())
        return;
    m_link->clearMessage();
    for (int h = 0; h < 24; ++h)
        hourBox(h)->setChecked(false);
    m_link->read(ScheduleStart, 2, this,
                 [this](const QVector<quint16> &v) { sensorTimeReadReady(v); });
    if (!Link::waitWithEvents(RequestSpacing, this))
        return;
    readMode();
}

void TimeSettingPage::sensorTimeReadReady(const QVector<quint16> &values)
{
    // Boxes are only checked here; Check unchecked them all before reading.
    const quint32 mask = codec::scheduleMaskFromRegisters(values);
    for (int h = 0; h < 24; ++h) {
        if (mask & (1u << h))
            hourBox(h)->setChecked(true);
    }
}

void TimeSettingPage::sensorTimeSet()
{
    quint32 mask = 0;
    for (int h = 0; h < 24; ++h) {
        if (hourBox(h)->isChecked())
            mask |= 1u << h;
    }
    m_link->write(ScheduleStart, codec::scheduleMaskToRegisters(mask), this);
}

void TimeSettingPage::on_sensorTimeCheckPushButton_2_clicked()
{
    sensorTimeCheck();
}

void TimeSettingPage::on_sensorTimeSetPushButton_2_clicked()
{
    sensorTimeSet();
}
