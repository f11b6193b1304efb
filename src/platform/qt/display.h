#pragma once
// Whether a window system is there to show windows on: DISPLAY or WAYLAND_DISPLAY set, or a Qt
// platform named by QT_QPA_PLATFORM (such as "offscreen" for tests and screenshots).

namespace platform::qt {

bool DisplayAvailable();

// With a display, becomes the program's Qt build `qtBuild` (a file beside the running
// executable) with the same arguments, so this build never loads the window system's
// libraries. Returns when there is no display or no such build.
void BecomeQtBuildOnADisplay(const char* qtBuild, char** argv);

}  // namespace platform::qt
