#include "helpopener.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>

namespace help {

namespace {

Opener &currentOpener()
{
    static Opener opener = systemOpener();
    return opener;
}

bool startChmViewer(const QString &path)
{
#ifdef Q_OS_WIN
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#else
    for (const char *name : { "xchm", "kchmviewer", "chmsee" }) {
        const QString viewer = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!viewer.isEmpty() && QProcess::startDetached(viewer, { path }))
            return true;
    }
    return false;
#endif
}

// One help window for the whole program, raised again when asked twice.
void showHelpWindow(const QString &path)
{
    static QPointer<QTextBrowser> window;
    if (!window) {
        window = new QTextBrowser;
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(QCoreApplication::translate("Help", "Nodeweave Help"));
        window->setOpenExternalLinks(true);
        window->resize(900, 700);
    }
    window->setSource(QUrl::fromLocalFile(path));
    window->show();
    window->raise();
    window->activateWindow();
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
    return { startChmViewer, [](const QUrl &url) { return QDesktopServices::openUrl(url); },
             showHelpWindow };
}

void setOpener(const Opener &opener)
{
    currentOpener() = (opener.openChm && opener.openUrl && opener.showInWindow) ? opener : systemOpener();
}

QString openHelp(const QString &dirPath)
{
    const Opener &opener = currentOpener();
    const QDir dir(dirPath);
    const QString chm = dir.absoluteFilePath(chmFileName());
    const QString html = dir.absoluteFilePath(htmlGuidePath());
    const bool haveChm = QFileInfo::exists(chm);
    if (haveChm && opener.openChm(chm))
        return tr("Opened the help file %1.").arg(chmFileName());
    if (!QFileInfo::exists(html)) {
        if (haveChm)
            return tr("No viewer for %1 here, and no HTML guide %2 beside it.")
                .arg(chmFileName(), htmlGuidePath());
        return tr("No help here: neither %1 nor the HTML guide %2 is in %3.")
            .arg(chmFileName(), htmlGuidePath(), QDir::toNativeSeparators(dir.absolutePath()));
    }
    if (!opener.openUrl(QUrl::fromLocalFile(html))) {
        // Nothing on this desktop opens a web page: the guide in our own window.
        opener.showInWindow(html);
        return tr("No help viewer or web browser here: showing the HTML guide %1 in the help window.")
            .arg(htmlGuidePath());
    }
    if (haveChm)
        return tr("No viewer for %1 here: opened the HTML guide %2.")
            .arg(chmFileName(), htmlGuidePath());
    return tr("No %1 here: opened the HTML guide %2.").arg(chmFileName(), htmlGuidePath());
}

} // namespace help
