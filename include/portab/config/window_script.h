#pragma once
// Drives a main window from a text of user actions, one a line, for runs without a window
// system (the file named by PORTAB_WINDOW_SCRIPT), and prints the window's state.
//
//   menu <tool>                 a menu tool by name: OpenFile, SaveFile, ReadParameters, ...
//   page <key>                  a page button (1 Configuration ... 5 Calibration)
//   tab <n>                     the tab "KEY:n" of the current page
//   type <parameter> <text>     types the text over a text box's text and leaves the field
//   pick <parameter> <entry>    picks the combo box entry with that text
//   click <parameter> [<caption>]  clicks a check box, or the option button with that caption
//   ok | cancel | apply         the buttons of the button line
//   answer <answer>             the answer to the next question (Yes, No, OK, Cancel) or the
//                               file name for the next file dialog
//   key <code>                  a key pressed in the window (112 F1, 13 Enter, 27 Escape)
//   monitor pause|resume|pump   pauses or resumes the Monitoring page's live values, or
//                               delivers the object server's pending NV updates to it
//   print                       prints the window's state: where it is, pages, tabs, the
//                               controls of the sub-page shown (a text box with its unit and
//                               range), the monitor points on the Monitoring page, the
//                               log, the buttons and the status line
// Blank lines and lines starting with "#" are skipped. A line that cannot be carried out is
// reported with its number and skipped.

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "portab/config/main_window.h"

namespace config {

// How a user's actions reach the window: straight to the model, or through a front end's
// widgets (which pass them on to the same model).
class UserActions {
 public:
  virtual ~UserActions() = default;
  // A menu tool by name, a page button by key, a tab of the current page by key ("KEY:n").
  virtual void Menu(const std::string& tool) = 0;
  virtual void Page(const std::string& key) = 0;
  virtual void Tab(const std::string& key) = 0;
  // Focus into the text box, select its text, type `text` key by key, leave the box.
  virtual void Type(ui::window::TextBox& box, const std::string& text) = 0;
  virtual void Pick(ui::window::ComboBox& combo, int32_t position) = 0;  // the entry at that 0-based index
  virtual void Click(ui::window::ValueControl& control) = 0;  // a check box or option button
  virtual void Button(const std::string& which) = 0;          // "ok", "cancel" or "apply"
  // A key pressed in the window: 13 (Enter) applies when Apply is enabled, 27 (Escape)
  // cancels, any other goes to the window's KeyDown (112 is F1).
  virtual void Key(int16_t keyCode) = 0;
};

// The actions on the window model itself (the console front end).
class ModelActions final : public UserActions {
 public:
  // Acts on `window`, which must outlive it.
  explicit ModelActions(MainWindow& window) : window_(window) {}
  void Menu(const std::string& tool) override { window_.MenuToolClick(tool); }
  void Page(const std::string& key) override { window_.PageButtonClick(key); }
  void Tab(const std::string& key) override { window_.TabClick(key); }
  void Type(ui::window::TextBox& box, const std::string& text) override;
  void Pick(ui::window::ComboBox& combo, int32_t position) override { combo.UserSelect(position); }
  void Click(ui::window::ValueControl& control) override;
  void Button(const std::string& which) override;
  void Key(int16_t keyCode) override;

 private:
  MainWindow& window_;
};

// Runs a script of user actions on one window (the actions are listed above).
class WindowScript {
 public:
  // `answerNext` queues an answer for the next question or file dialog; `actions` carries the
  // user's actions out (on the model when none is given).
  WindowScript(MainWindow& window, std::ostream& out, std::function<void(std::string)> answerNext,
               UserActions* actions = nullptr);

  // Runs every line; returns the number of lines that could not be carried out (each is
  // reported on `out` with its number and skipped).
  int Run(std::istream& script);
  // Runs one action; raises error 5 with a description when it cannot be carried out (an
  // unknown action, no such control, tool, page or tab, a disabled control, a closed window).
  void RunLine(const std::string& line);
  // Prints the window's state on `out`: page buttons, tabs, the visible controls of the
  // sub-page shown with their values and colours, the log when shown, the buttons and the
  // status line.
  void Print() const;

 private:
  ui::window::ValueControl& Control(const std::string& tag, const std::string& caption = {}) const;
  // Whether the menu shows a tool of that name (separators have no caption and are no tools).
  bool HasTool(const std::string& name) const;
  void Monitor(const std::string& what);
  void PrintMonitorTable() const;

  MainWindow& window_;
  std::ostream& out_;
  std::function<void(std::string)> answerNext_;
  ModelActions modelActions_;
  UserActions& actions_;
};

}  // namespace config
