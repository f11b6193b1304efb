#pragma once
// One binder for every parameter control: it makes the widget of a control kind, shows what
// the model holds (text, list, check state, colours, enabled, visible) whenever the model
// reports a change, and hands what the user does to the model's User... operations. Key
// presses in a text box go through the model's key filter, never through a Qt validator.

#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/window/value_controls.h"

namespace platform::qt {

class ControlBinding {
 public:
  // `afterUserAction` runs after each user action has reached the model (the window redraws).
  ControlBinding(std::shared_ptr<ui::window::ValueControl> control, std::function<void()> afterUserAction);
  ~ControlBinding();
  ControlBinding(const ControlBinding&) = delete;
  ControlBinding& operator=(const ControlBinding&) = delete;

  QWidget* Widget() const { return widget_; }
  // What goes on the page: the widget with a text box's unit and the mark of a transfer
  // problem beside it.
  QWidget* Row() const { return row_.isNull() ? widget_.data() : row_.data(); }
  ui::window::ValueControl& Control() const { return *control_; }
  // Shows the model's state in the widget.
  void Show();
  // After a user action reached the model: shows it, and the window redraws.
  void UserActed();

  // How a control kind maps to a widget (one table in the source file).
  struct Kind;

 private:
  std::shared_ptr<ui::window::ValueControl> control_;
  const Kind* kind_;
  QPointer<QWidget> widget_;  // owned by the page it is put on
  QPointer<QWidget> row_;     // a text box's field and unit, owned by the page
  QPointer<QLabel> unit_;
  QPointer<QLabel> problem_;  // shown while the control has a Problem
  std::function<void()> afterUserAction_;
  size_t updated_;
  std::unique_ptr<QObject> filter_;
};

// A Windows colour value as Qt colour: 0x80000000 + n are system colours (5 window background,
// 8 window text, 15 button face), other values are 0x00BBGGRR.
QColor QtColour(uint32_t colour, const QPalette& palette);

}  // namespace platform::qt
