// Files the program writes next to itself (the received log file, the text
// export) are always new: a name already taken gets a numbered suffix.
#pragma once

#include <QString>

class QFile;

// Creates and opens for writing a file that did not exist: stem + extension,
// or, when that name is taken, stem + "_1" + extension, then "_2", and so on.
// An existing file is never opened, so nothing is appended to or overwritten.
// False when no file could be created; `file` then holds the reason.
bool openNewFile(QFile &file, const QString &stem, const QString &extension = QString());
