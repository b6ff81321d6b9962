#include "helpopener.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace help {

namespace {

Opener &currentOpener()
{
    static Opener opener = systemOpener();
    return opener;
}

bool knownChmViewerOnPath()
{
#ifdef Q_OS_WIN
    return true;  // Windows shows .chm files itself
#else
    for (const char *name : { "xchm", "kchmviewer", "chmsee" }) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty())
            return true;
    }
    return false;
#endif
}

QString tr(const char *text)
{
    return QCoreApplication::translate("Help", text);
}

} // namespace

QString chmFileName() { return QStringLiteral("Nodeweave_Help.chm"); }
QString htmlGuidePath() { return QStringLiteral("help/index.html"); }

Opener systemOpener()
{
    return { [](const QUrl &url) { return QDesktopServices::openUrl(url); },
             knownChmViewerOnPath };
}

void setOpener(const Opener &opener)
{
    currentOpener() = (opener.openUrl && opener.chmViewerExists) ? opener : systemOpener();
}

QString openHelp(const QString &dirPath)
{
    const Opener &opener = currentOpener();
    const QDir dir(dirPath);
    const QString chm = dir.absoluteFilePath(chmFileName());
    const QString html = dir.absoluteFilePath(htmlGuidePath());
    const bool haveChm = QFileInfo::exists(chm);
    if (haveChm && opener.chmViewerExists() && opener.openUrl(QUrl::fromLocalFile(chm)))
        return tr("Opened the help file %1.").arg(chmFileName());
    if (!QFileInfo::exists(html)) {
        if (haveChm)
            return tr("No viewer for %1 here, and no HTML guide %2 beside it.")
                .arg(chmFileName(), htmlGuidePath());
        return tr("No help here: neither %1 nor the HTML guide %2 is in %3.")
            .arg(chmFileName(), htmlGuidePath(), QDir::toNativeSeparators(dir.absolutePath()));
    }
    if (!opener.openUrl(QUrl::fromLocalFile(html)))
        return tr("Could not open the HTML guide %1.").arg(htmlGuidePath());
    if (haveChm)
        return tr("No viewer for %1 here: opened the HTML guide %2.")
            .arg(chmFileName(), htmlGuidePath());
    return tr("No %1 here: opened the HTML guide %2.").arg(chmFileName(), htmlGuidePath());
}

} // namespace help
