#include "platform/qt/colour_scheme.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <cstdlib>
#include <string_view>

namespace platform::qt {
namespace {

QPalette DarkPalette() {
  QPalette palette;
  const QColor window(0x2b, 0x2d, 0x30);
  const QColor base(0x1e, 0x1f, 0x22);
  const QColor text(0xe6, 0xe6, 0xe6);
  const QColor greyText(0x80, 0x80, 0x80);
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::ToolTipBase, base);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::PlaceholderText, greyText);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, QColor(0x3c, 0x3f, 0x41));
  // The frames of check boxes, option buttons and fields.
  palette.setColor(QPalette::Light, QColor(0x9a, 0x9d, 0xa1));
  palette.setColor(QPalette::Midlight, QColor(0x6c, 0x6f, 0x73));
  palette.setColor(QPalette::Mid, QColor(0x8a, 0x8d, 0x91));
  palette.setColor(QPalette::Dark, QColor(0x9a, 0x9d, 0xa1));
  palette.setColor(QPalette::Shadow, QColor(0x10, 0x10, 0x10));
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::BrightText, Qt::red);
  palette.setColor(QPalette::Link, QColor(0x4e, 0xa1, 0xf3));
  palette.setColor(QPalette::Highlight, QColor(0x2f, 0x65, 0xca));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, greyText);
  }
  return palette;
}

}  // namespace

void ApplyColourScheme() {
  const char* scheme = std::getenv("PORTAB_COLOR_SCHEME");
  if (scheme == nullptr) return;
  const std::string_view name(scheme);
  if (name != "dark" && name != "light") return;
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  QApplication::setPalette(name == "dark" ? DarkPalette() : QApplication::style()->standardPalette());
  if (name != "dark") return;
  // Fusion draws the frames of check boxes and option buttons darker than the window, which
  // hides them on a dark one: light frames, and a filled mark for the checked state.
  qApp->setStyleSheet(
      "QCheckBox::indicator, QRadioButton::indicator { width: 12px; height: 12px; border: 1px solid #9a9da1;"
      " background: #1e1f22; }"
      "QRadioButton::indicator { border-radius: 7px; }"
      "QCheckBox::indicator:checked, QRadioButton::indicator:checked { background: #4ea1f3; border-color: #4ea1f3; }"
      "QCheckBox::indicator:indeterminate { background: #808080; }"
      "QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { border-color: #606060; }");
}

}  // namespace platform::qt
