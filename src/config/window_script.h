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
//   key <code>                  a key pressed in the window (112 is F1)
//   print                       prints the window's state
// Blank lines and lines starting with "#" are skipped. A line that cannot be carried out is
// reported with its number and skipped.

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "config/main_window.h"

namespace config {

class WindowScript {
 public:
  // `answerNext` queues an answer for the next question or file dialog.
  WindowScript(MainWindow& window, std::ostream& out, std::function<void(std::string)> answerNext);

  // Runs every line; returns the number of lines that could not be carried out.
  int Run(std::istream& script);
  // Runs one action (throws base::Error with a description when it cannot be carried out).
  void RunLine(const std::string& line);
  void Print() const;

 private:
  ui::window::ValueControl& Control(const std::string& tag, const std::string& caption = {}) const;
  // Whether the menu shows a tool of that name (separators have no caption and are no tools).
  bool HasTool(const std::string& name) const;

  MainWindow& window_;
  std::ostream& out_;
  std::function<void(std::string)> answerNext_;
};

}  // namespace config
