#pragma once
// Dialogs without a window system: every box is written to standard error as
//   --- <Critical|Exclamation|Question|Information>: <title>
//   <text, CR LF shown as line breaks>
//   --- answer: <OK|Yes|No|Cancel>
// A box with a choice takes the next answer from the comma-separated PORTAB_ANSWERS
// (a file dialog takes a file name from it, or "Cancel"); without one, the default button.

#include <deque>
#include <ostream>

#include "services/dialogs.h"

namespace platform::dialogs {

using namespace services::dialogs;  // the interfaces implemented here

class ConsoleDialogs final : public Dialogs {
 public:
  // Answers are read from PORTAB_ANSWERS.
  explicit ConsoleDialogs(std::ostream& out);
  ConsoleDialogs(std::ostream& out, std::string_view answers);

  Answer Show(const MessageBox& box) override;
  std::optional<std::string> ChooseFile(const FileDialog& dialog) override;
  void ShowAbout(const AboutBox& about) override;
  // The answer to the next question or file dialog, before those of PORTAB_ANSWERS.
  void AnswerNext(std::string answer) { answers_.push_front(std::move(answer)); }

 private:
  std::optional<std::string> NextAnswer();

  std::ostream& out_;
  std::deque<std::string> answers_;
};

// The status window writes each text to standard error while it is shown:
//   --- status: <text>
class ConsoleStatusWindow final : public StatusWindow {
 public:
  explicit ConsoleStatusWindow(std::ostream& out) : out_(out) {}
  void Show() override;
  void Close() override { visible_ = false; }
  void SetStatusText(std::string_view text) override;
  void Reset() override {}
  void SetFont(std::string_view fontName) override { font_ = fontName; }
  bool Visible() const override { return visible_; }
  std::string StatusText() const override { return text_; }

 private:
  std::ostream& out_;
  bool visible_ = false;
  std::string text_;
  std::string font_;
};

}  // namespace platform::dialogs
