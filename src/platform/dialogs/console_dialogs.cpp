#include "platform/dialogs/console_dialogs.h"

#include <algorithm>
#include <cstdlib>

#include "base/text.h"

namespace platform::dialogs {
namespace {

std::string ShownText(std::string_view text) {
  return base::ReplaceAll(base::ReplaceAll(text, "\r\n", "\n"), "\r", "\n");
}

std::optional<Answer> ParseAnswer(std::string_view word) {
  for (Answer a : {Answer::Ok, Answer::Yes, Answer::No, Answer::Cancel}) {
    if (base::EqualsNoCase(word, AnswerName(a))) return a;
  }
  return std::nullopt;
}

}  // namespace

ConsoleDialogs::ConsoleDialogs(std::ostream& out)
    : ConsoleDialogs(out, std::getenv("PORTAB_ANSWERS") != nullptr ? std::getenv("PORTAB_ANSWERS") : "") {}

ConsoleDialogs::ConsoleDialogs(std::ostream& out, std::string_view answers) : out_(out) {
  if (answers.empty()) return;
  for (auto& answer : base::Split(answers, ",")) answers_.emplace_back(base::TrimBlanks(answer));
}

std::optional<std::string> ConsoleDialogs::NextAnswer() {
  if (answers_.empty()) return std::nullopt;
  std::string next = std::move(answers_.front());
  answers_.pop_front();
  return next;
}

Answer ConsoleDialogs::Show(const MessageBox& box) {
  const auto offered = AnswersOf(box.buttons);
  const size_t defaultIndex = std::clamp<size_t>(static_cast<size_t>(std::max(box.defaultButton, 1)), 1, offered.size()) - 1;
  Answer answer = offered[defaultIndex];
  if (offered.size() > 1) {
    // An answer that the box does not offer falls back to the default button.
    if (auto given = NextAnswer()) {
      auto parsed = ParseAnswer(*given);
      if (parsed && std::find(offered.begin(), offered.end(), *parsed) != offered.end()) answer = *parsed;
    }
  }
  out_ << "--- " << IconName(box.icon) << ": " << box.title << "\n"
       << ShownText(box.text) << "\n"
       << "--- answer: " << AnswerName(answer) << "\n";
  out_.flush();
  return answer;
}

std::optional<std::string> ConsoleDialogs::ChooseFile(const FileDialog& dialog) {
  auto given = NextAnswer();
  if (given && base::EqualsNoCase(*given, "Cancel")) given.reset();
  if (given && given->empty()) given.reset();
  out_ << "--- " << (dialog.kind == FileDialog::Kind::Open ? "Open" : "Save") << ": " << dialog.title << "\n"
       << "--- answer: " << (given ? *given : std::string("Cancel")) << "\n";
  out_.flush();
  return given;
}

void ConsoleDialogs::ShowAbout(const AboutBox& about) {
  out_ << "--- About: " << about.title << "\n";
  for (const auto* lines : {&about.lines, &about.makerLines}) {
    for (const auto& line : *lines) {
      if (!line.empty()) out_ << ShownText(line) << "\n";
    }
  }
  out_ << "--- answer: OK\n";
  out_.flush();
}

void ConsoleStatusWindow::Show() {
  if (!visible_ && !text_.empty()) out_ << "--- status: " << ShownText(text_) << "\n";
  visible_ = true;
}

void ConsoleStatusWindow::SetStatusText(std::string_view text) {
  text_ = text;
  if (visible_) out_ << "--- status: " << ShownText(text_) << "\n" << std::flush;
}

}  // namespace platform::dialogs
