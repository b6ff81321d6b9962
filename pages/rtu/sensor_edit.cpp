#include "pages/rtu/sensor_edit.h"
#include "ui_sensor_edit.h"

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
    ui->sensorFunctionCodeComboBox->setCurrentIndex(
        entry.functionCode >= 1 && entry.functionCode <= 4 ? entry.functionCode - 1 : -1);
    ui->sensorPLCAddress->setText(QString::number(entry.plcAddress));
    ui->sensorLLE->setText(QString::number(entry.registerQuantity));
}

void sensor_edit::on_sensorAddPushButton_clicked()
{
    const auto refuse = [](const QString &text) {
        QMessageBox::information(nullptr, tr("Error"), text, QMessageBox::Ok);
    };
    const int slaveId = ui->sensorSlaveId->text().toInt();
    const int address = ui->sensorPLCAddress->text().toInt();
    const QString name = ui->sensorTypeLE->text();
    const int quantity = ui->sensorLLE->text().toInt();
    const int codeIndex = ui->sensorFunctionCodeComboBox->currentIndex();
    if (slaveId < 1 || slaveId > 247) {
        refuse(tr("Please set Slave ID number between 1 and 247."));
        return;
    }
    if (address < 1 || address > 65535) {
        refuse(tr("Please set PLC Address between 1 and 65535."));
        return;
    }
    if (name.size() > 8) {
        refuse(tr("Please set RTU number with maximum 8 word."));
        return;
    }
    if (name.isEmpty()) {
        refuse(tr("Please set RTU number."));
        return;
    }
    if (codeIndex == 2 || codeIndex == 3) {
        if (quantity < 1 || quantity > 10) {
            refuse(tr("Please set Register Quantity  between 1 and 10."));
            return;
        }
    } else if (quantity < 1 || quantity > 80) {
        refuse(tr("Please set Register Quantity  between 1 and 80."));
        return;
    }
    // No function code chosen: a free slot opened for editing has none.
    if (codeIndex < 0) {
        refuse(tr("Please choose a function code."));
        return;
    }
    if (m_slot < 0)
        return;

    SensorEntry entry = m_entry;
    entry.name = name;
    entry.slaveId = quint8(slaveId);
    entry.functionCode = quint8(codeIndex + 1);
    entry.plcAddress = quint32(address);
    entry.registerQuantity = qint16(quantity);
    entry.valueText = QStringLiteral("null");
    entry.sequence = quint32(m_slot);
    const int slot = m_slot;
    accept();
    emit sensorEditDone(slot, entry);
}
