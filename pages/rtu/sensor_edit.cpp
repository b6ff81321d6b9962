#include "pages/rtu/sensor_edit.h"
#include "ui_sensor_edit.h"

#include "pages/pagerequests.h"

#include <QIntValidator>
#include <QMessageBox>

sensor_edit::sensor_edit(QWidget *parent) : QDialog(parent), ui(new Ui::sensor_edit)
{
    ui->setupUi(this);
    ui->sensorSlaveId->setValidator(new QIntValidator(0, 255, this));
    ui->sensorPLCAddress->setValidator(new QIntValidator(0, 65535, this));
    ui->sensorLLE->setValidator(new QIntValidator(1, 80, this));
}

sensor_edit::~sensor_edit()
{
    delete ui;
}

void sensor_edit::load(int slot, const SensorEntry &entry)
{
    m_slot = slot;
    m_entry = entry;
    ui->sensorTypeLE->setText(entry.name);
    ui->sensorSlaveId->setText(QString::number(entry.slaveId));
    // An entry without a valid function code (a free slot) leaves no choice.
    selectIndexOrNone(ui->sensorFunctionCodeComboBox, int(entry.functionCode) - 1);
    ui->sensorPLCAddress->setText(QString::number(entry.plcAddress));
    ui->sensorLLE->setText(QString::number(entry.registerQuantity));
}

// The first problem of the typed entry in the order the dialog reports them.
static QString problemText(codec::SensorEntryProblems problems, int functionCode)
{
    const QString quantity = codec::sensorQuantityLimit(functionCode) == 10
        ? sensor_edit::tr("Please set Register Quantity  between 1 and 10.")
        : sensor_edit::tr("Please set Register Quantity  between 1 and 80.");
    return codec::firstProblemText(problems, {
        { codec::SensorSlaveIdOutOfRange,
          sensor_edit::tr("Please set Slave ID number between 1 and 247.") },
        { codec::SensorAddressOutOfRange,
          sensor_edit::tr("Please set PLC Address between 1 and 65535.") },
        { codec::SensorNameTooLong, sensor_edit::tr("Please set RTU number with maximum 8 word.") },
        { codec::SensorNameEmpty, sensor_edit::tr("Please set RTU number.") },
        { codec::SensorNameNotRegisterText,
          sensor_edit::tr("Please set RTU number with Latin-1 characters only.") },
        { codec::SensorQuantityOutOfRange, quantity },
        // A free slot opened for editing has no function code.
        { codec::SensorFunctionCodeInvalid, sensor_edit::tr("Please choose a function code.") },
    });
}

void sensor_edit::on_sensorAddPushButton_clicked()
{
    const int slaveId = ui->sensorSlaveId->text().toInt();
    const int address = ui->sensorPLCAddress->text().toInt();
    const QString name = ui->sensorTypeLE->text();
    const int quantity = ui->sensorLLE->text().toInt();
    const int functionCode = ui->sensorFunctionCodeComboBox->currentIndex() + 1;
    const QString problem = problemText(
        codec::sensorEntryProblem(name, slaveId, functionCode, address, quantity), functionCode);
    if (!problem.isEmpty()) {
        QMessageBox::information(nullptr, tr("Error"), problem, QMessageBox::Ok);
        return;
    }
    if (m_slot < 0)
        return;

    SensorEntry entry = m_entry;
    entry.name = name;
    entry.slaveId = quint8(slaveId);
    entry.functionCode = quint8(functionCode);
    entry.plcAddress = quint32(address);
    entry.registerQuantity = qint16(quantity);
    entry.valueText = QStringLiteral("null");
    entry.sequence = quint32(m_slot);
    const int slot = m_slot;
    accept();
    emit sensorEditDone(slot, entry);
}
