#pragma once

#include <QString>

namespace corvane {

// How the desktop knows the application: the desktop entry, icon and AppStream id it is
// installed under, and the name shown with its notices.
inline const QString kDesktopId = QStringLiteral("com.corvane.Corvane");
inline const QString kDesktopName = QStringLiteral("Corvane");
// The program name a script's tunnel is started under: a window leaves such a tunnel running.
inline const QString kScriptProgram = QStringLiteral("corvanectl");
// The project's version, as --version tells it.
inline const QString kVersion = QStringLiteral(CORVANE_VERSION);

} // namespace corvane
