#include "link/newfile.h"

#include <QFile>

namespace {
constexpr int MaxSuffix = 9999;
}

bool openNewFile(QFile &file, const QString &stem, const QString &extension)
{
    for (int n = 0; n <= MaxSuffix; ++n) {
        const QString suffix = n == 0 ? QString() : QStringLiteral("_%1").arg(n);
        file.setFileName(stem + suffix + extension);
        // NewOnly fails instead of opening a file that is there already,
        // even one created between a check and the open.
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!QFile::exists(file.fileName()))
            return false;  // not a name clash: a folder that cannot be written, say
    }
    return false;
}
