#pragma once
// The window's colours: the desktop's palette (the platform theme's, a KDE or GNOME dark
// theme included), unless PORTAB_COLOR_SCHEME asks for "dark" or "light", which gives Qt's
// Fusion style with a palette of that scheme, for desktops without a theme of their own.

namespace platform::qt {

// Applies PORTAB_COLOR_SCHEME to the running QApplication; any other value (or none) leaves
// the desktop's palette.
void ApplyColourScheme();

}  // namespace platform::qt
