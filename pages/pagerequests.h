// Helpers the pages and dialogs share: one-register requests that fill or
// read a single widget (through the link's standard read and write actions),
// and showing a value read from the device in a combo box.
#pragma once

#include <QtGlobal>

class Link;
class QAbstractButton;
class QComboBox;
class QLineEdit;

// Reads one register into `edit` as a signed decimal number.
bool readIntoLineEdit(Link *link, quint16 address, QLineEdit *edit);
// Reads one register into `edit` as an unsigned decimal number; `showOk`:
// "OK!" on success.
bool readUnsignedIntoLineEdit(Link *link, quint16 address, QLineEdit *edit, bool showOk = true);
// Reads one register into `box`: checked when it is not zero.
bool readIntoCheckBox(Link *link, quint16 address, QAbstractButton *box);
// Writes `edit`'s decimal text (0 when it is none), low 16 bits, to one register.
bool writeLineEditRegister(Link *link, QLineEdit *edit, quint16 address);
// Writes `edit`'s whole number to one register when it lies from `low` to
// `high`; otherwise shows `refusal` on the status bar until the next message
// and sends nothing.
bool writeNumberInRange(Link *link, QLineEdit *edit, quint16 address, qint64 low, qint64 high,
                        const QString &refusal);

// Selects item `index` of `box`; an index the box does not have (a value the
// device should not hold) leaves it without a current item.
void selectIndexOrNone(QComboBox *box, int index);
