#include "pages/pagerequests.h"

#include "link/codec.h"
#include "link/link.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

bool readIntoLineEdit(Link *link, quint16 address, QLineEdit *edit)
{
    return link->readSingleRegister(address, edit, [edit](const QVector<quint16> &v) {
        edit->setText(QString::number(codec::signedValue(codec::valueAt(v, 0))));
    });
}

bool readUnsignedIntoLineEdit(Link *link, quint16 address, QLineEdit *edit, bool showOk)
{
    Link::Options options;
    options.showOk = showOk;
    return link->read(address, 1, edit, [edit](const QVector<quint16> &v) {
        edit->setText(QString::number(codec::valueAt(v, 0)));
    }, options);
}

bool readIntoCheckBox(Link *link, quint16 address, QAbstractButton *box)
{
    return link->readSingleRegister(address, box, [box](const QVector<quint16> &v) {
        box->setChecked(codec::valueAt(v, 0) != 0);
    });
}

bool writeLineEditRegister(Link *link, QLineEdit *edit, quint16 address)
{
    if (!link->device())
        return false;
    return link->write(address, { codec::lineEditValue(edit->text()) });
}

bool writeNumberInRange(Link *link, QLineEdit *edit, quint16 address, qint64 low, qint64 high,
                        const QString &refusal)
{
    if (!link->device())
        return false;
    link->clearMessage();
    qint64 value = 0;
    if (!codec::numberInRange(edit->text(), low, high, &value)) {
        link->showMessage(refusal, 0);
        return false;
    }
    return link->write(address, { quint16(value) }, edit);
}

void selectIndexOrNone(QComboBox *box, int index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}
