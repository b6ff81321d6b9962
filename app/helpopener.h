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

// How the help is shown: the desktop's URL opener and whether something here
// can show a compiled help file. Tests replace both.
struct Opener
{
    std::function<bool(const QUrl &)> openUrl;
    std::function<bool()> chmViewerExists;
};

// The desktop's opener; a compiled help viewer exists on Windows always,
// elsewhere when a known one is on the PATH.
Opener systemOpener();
// Replaces the opener that openHelp uses (an empty one puts the system's
// back).
void setOpener(const Opener &opener);

// Opens the help found in `dir` and returns what the status bar says about it.
QString openHelp(const QString &dir);

} // namespace help
