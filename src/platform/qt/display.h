#pragma once
// Whether a window system is there to show windows on: DISPLAY or WAYLAND_DISPLAY set, or a Qt
// platform named by QT_QPA_PLATFORM (such as "offscreen" for tests and screenshots).

namespace platform::qt {

bool DisplayAvailable();

}  // namespace platform::qt
