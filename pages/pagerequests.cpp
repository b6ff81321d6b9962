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

void selectIndexOrNone(QComboBox *box, int index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}
