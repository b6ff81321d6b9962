// Help > Help: the compiled help file where something can show it, else the
// plain HTML guide built beside it.
#pragma once

#include <QString>
#include <functional>

class QUrl;

namespace help {

// The help file and the HTML guide, relative to the working directory.
QString chmFileName();   // "Nodeweave_Help.chm"
QString htmlGuidePath(); // "help/index.html"

// How the help is shown: a viewer of compiled help (false when nothing here
// can show one), the desktop's URL opener (false when it has nothing to open
// a web page with), and the program's own help window. Tests replace them.
struct Opener
{
    std::function<bool(const QString &chmPath)> openChm;
    std::function<bool(const QUrl &)> openUrl;
    std::function<void(const QString &htmlPath)> showInWindow;
};

// The system's: on Windows the desktop shows .chm files itself, elsewhere a
// known viewer on the PATH is started; the help window is a text browser.
Opener systemOpener();
// Replaces the opener that openHelp uses (an empty one puts the system's
// back).
void setOpener(const Opener &opener);

// Opens the help found in `dir` and returns what the status bar says about it.
QString openHelp(const QString &dir);

} // namespace help
