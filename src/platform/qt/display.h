#pragma once
// Whether a window system is there to show windows on: DISPLAY or WAYLAND_DISPLAY set, or a Qt
// platform named by QT_QPA_PLATFORM (such as "offscreen" for tests and screenshots).

namespace platform::qt {

bool DisplayAvailable();

// Becomes the program's Qt build `qtBuild` (a file beside the running executable) with the
// same arguments when that build is needed: with a display, so that this build never loads
// the window system's libraries; and when this build cannot reach database servers but a
// network may be on one (PORTAB_SERVER or a network's server entry), since the Qt build links
// the PostgreSQL connection (and runs on the console without a display). Returns when neither
// holds or there is no such build.
void BecomeQtBuildWhenNeeded(const char* qtBuild, char** argv);

}  // namespace platform::qt
