#include "config/window_script.h"

#include <algorithm>
#include <cstdio>

#include "base/error.h"
#include "base/text.h"
#include "config/live_monitoring.h"
#include "ui/res_strings.h"

namespace config {
namespace {

using namespace ui::window;

constexpr int32_t kMonitoringPage = 3;
constexpr int16_t kNothingToShow = 1860;  // "Nothing to show for this object on this page."
constexpr int16_t kEnter = 13;
constexpr int16_t kEscape = 27;

[[noreturn]] void Refuse(const std::string& why) {
  throw base::Error(base::err::kInvalidCallOrKey, "WindowScript", why);
}

std::string Colour(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", colour);
  return text;
}

// The first word and the rest of a line (words are separated by blanks or tabs).
std::pair<std::string, std::string> SplitFirst(std::string_view line) {
  const std::string_view trimmed = base::TrimWhitespace(line);
  const size_t blank = trimmed.find_first_of(" \t");
  if (blank == std::string_view::npos) return {std::string(trimmed), {}};
  return {std::string(trimmed.substr(0, blank)), std::string(base::TrimWhitespace(trimmed.substr(blank + 1)))};
}

std::string Shown(const ValueControl& control) {
  if (const auto* text = dynamic_cast<const TextBox*>(&control)) {
    return "text box \"" + text->Text() + "\"" + (text->Unit().empty() ? "" : " " + text->Unit()) +
           (text->ToolTipText().empty() ? "" : " (" + text->ToolTipText() + ")");
  }
  if (const auto* combo = dynamic_cast<const ComboBox*>(&control)) return "combo box \"" + combo->Text() + "\"";
  if (const auto* check = dynamic_cast<const CheckBox*>(&control)) {
    static constexpr const char* kStates[] = {"unchecked", "checked", "grey"};
    return std::string("check box ") + kStates[check->Value()];
  }
  if (const auto* option = dynamic_cast<const OptionButton*>(&control)) {
    return "option \"" + option->Caption() + "\" " + (option->Value() ? "selected" : "not selected");
  }
  return "control";
}

constexpr int16_t kLogSubPage = 7;

}  // namespace

bool WindowScript::HasTool(const std::string& name) const {
  for (const auto& band : window_.Form().menu.Bands()) {
    for (const auto& tool : band.tools) {
      if (base::EqualsNoCase(tool.name, name) && !tool.caption.empty() && tool.visible) return true;
    }
  }
  return false;
}

void ModelActions::Type(TextBox& box, const std::string& text) {
  box.UserFocus();
  box.UserSelectAll();
  box.UserType(text);
  box.UserLeave();
}

void ModelActions::Click(ValueControl& control) {
  if (auto* check = dynamic_cast<CheckBox*>(&control)) return check->UserClick();
  if (auto* option = dynamic_cast<OptionButton*>(&control)) return option->UserClick();
}

void ModelActions::Key(int16_t keyCode) {
  if (keyCode == kEnter) {
    if (window_.Form().buttons.applyEnabled) window_.ApplyClick();
  } else if (keyCode == kEscape) {
    window_.CancelClick();
  } else {
    window_.KeyDown(keyCode);
  }
}

void ModelActions::Button(const std::string& which) {
  if (which == "ok") return window_.OkClick();
  if (which == "cancel") return window_.CancelClick();
  window_.ApplyClick();
}

WindowScript::WindowScript(MainWindow& window, std::ostream& out, std::function<void(std::string)> answerNext,
                           UserActions* actions)
    : window_(window),
      out_(out),
      answerNext_(std::move(answerNext)),
      modelActions_(window),
      actions_(actions != nullptr ? *actions : modelActions_) {}

int WindowScript::Run(std::istream& script) {
  int failed = 0;
  int number = 0;
  std::string line;
  while (std::getline(script, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // a UTF-8 byte order mark
    const std::string_view trimmed = base::TrimWhitespace(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    out_ << "--- window script: " << trimmed << "\n";
    try {
      RunLine(line);
    } catch (const std::exception& e) {
      ++failed;
      out_ << "--- window script line " << number << " not carried out: " << base::ToError(e, "WindowScript").Description()
           << "\n";
    }
  }
  return failed;
}

ValueControl& WindowScript::Control(const std::string& tag, const std::string& caption) const {
  for (const auto& placed : window_.Form().controls) {
    if (!base::EqualsNoCase(placed.control->Tag(), tag)) continue;
    if (!caption.empty() && !base::EqualsNoCase(placed.control->Caption(), caption)) continue;
    return *placed.control;
  }
  Refuse("no control of the parameter \"" + tag + "\"" + (caption.empty() ? "" : " with the caption \"" + caption + "\""));
}

void WindowScript::RunLine(const std::string& line) {
  const auto [action, rest] = SplitFirst(line);
  const std::string verb = base::FoldCase(action);
  const ui::frmMain& form = window_.Form();
  if (form.unloaded && verb != "print") Refuse("the window is closed");
  if (verb == "menu") {
    if (!HasTool(rest)) Refuse("the menu has no tool \"" + rest + "\"");
    actions_.Menu(rest);
  } else if (verb == "page") {
    if (!form.pageBar.Has(rest)) Refuse("there is no page button \"" + rest + "\"");
    actions_.Page(rest);
  } else if (verb == "tab") {
    const std::string key = "KEY:" + rest;
    const bool shown = form.currentPage >= 0 &&
                       std::any_of(form.pages[static_cast<size_t>(form.currentPage)].tabs.begin(),
                                   form.pages[static_cast<size_t>(form.currentPage)].tabs.end(),
                                   [&](const Tab& tab) { return tab.key == key; });
    if (!shown) Refuse("the page shown has no tab \"" + key + "\"");
    actions_.Tab(key);
  } else if (verb == "type" || verb == "pick" || verb == "click") {
    const auto [tag, argument] = SplitFirst(rest);
    if (tag.empty()) Refuse("\"" + action + "\" needs a parameter name");
    if (!Control(tag, verb == "click" ? argument : std::string()).Enabled()) Refuse("\"" + tag + "\" is disabled");
    if (verb == "type") {
      auto* box = dynamic_cast<TextBox*>(&Control(tag));
      if (box == nullptr) Refuse("\"" + tag + "\" is not a text box");
      actions_.Type(*box, argument);
    } else if (verb == "pick") {
      auto* combo = dynamic_cast<ComboBox*>(&Control(tag));
      if (combo == nullptr) Refuse("\"" + tag + "\" is not a combo box");
      for (int32_t i = 0; i < combo->ListCount(); ++i) {
        if (base::EqualsNoCase(combo->List(i), argument)) return actions_.Pick(*combo, i);
      }
      Refuse("\"" + tag + "\" has no entry \"" + argument + "\"");
    } else {
      ValueControl& control = Control(tag, argument);
      if (dynamic_cast<CheckBox*>(&control) == nullptr && dynamic_cast<OptionButton*>(&control) == nullptr) {
        Refuse("\"" + tag + "\" cannot be clicked");
      }
      actions_.Click(control);
    }
  } else if (verb == "ok" || verb == "cancel") {
    actions_.Button(verb);
  } else if (verb == "apply") {
    if (!form.buttons.applyEnabled) Refuse("the Apply button is disabled");
    actions_.Button(verb);
  } else if (verb == "answer") {
    answerNext_(rest);
  } else if (verb == "key") {
    if (rest.empty() || rest.size() > 5 || rest.find_first_not_of("0123456789") != std::string::npos ||
        base::Val(rest) > 32767) {
      Refuse("a key is given by its code, 0 to 32767");
    }
    actions_.Key(static_cast<int16_t>(base::CInt(base::Val(rest))));
  } else if (verb == "monitor") {
    Monitor(base::FoldCase(rest));
  } else if (verb == "print") {
    Print();
  } else {
    Refuse("unknown action \"" + action + "\"");
  }
}

void WindowScript::Monitor(const std::string& what) {
  LiveMonitoring* live = window_.Monitoring();
  if (live == nullptr) Refuse("the window has no monitor points");
  if (what == "pause" || what == "resume") {
    live->Pause(what == "pause");
  } else if (what == "pump") {
    live->Pump();
  } else {
    Refuse("\"monitor\" takes pause, resume or pump");
  }
}

void WindowScript::PrintMonitorTable() const {
  const auto& table = window_.Form().monitorTable;
  out_ << "  monitor points (" << table.state << "):\n";
  for (const auto& row : table.rows) {
    out_ << "    " << row.name << ": "
         << (!row.available ? ui::ResString(1870) : row.failed ? ui::ResString(1871) : "\"" + row.value + "\"") << "\n";
  }
}

void WindowScript::Print() const {
  const ui::frmMain& form = window_.Form();
  out_ << "=== window \"" << form.caption << "\"" << (form.unloaded ? " (closed)" : "") << "\n";
  if (!form.headerLine.empty()) out_ << "  where: " << form.headerLine << "\n";
  out_ << "  pages:";
  for (const auto& button : form.pageBar.Buttons()) {
    const bool current = form.currentPage == static_cast<int32_t>(base::Val(button.key)) - 1;
    out_ << " [" << button.key << "] " << button.caption << (current ? " *" : "");
  }
  out_ << "\n";
  if (form.currentPage >= 0) {
    const auto& page = form.pages[static_cast<size_t>(form.currentPage)];
    out_ << "  tabs:";
    for (size_t i = 0; i < page.tabs.size(); ++i) {
      out_ << " [" << page.tabs[i].key << "] " << page.tabs[i].caption
           << (static_cast<int32_t>(i) == page.selected ? " *" : "");
    }
    out_ << "\n";
  }
  const bool monitorTable = form.currentPage + 1 == kMonitoringPage && window_.Monitoring() != nullptr &&
                            !form.monitorTable.rows.empty();
  bool controlShown = false;
  for (const auto& placed : form.controls) {
    if (placed.page != form.currentPage || placed.subPage != form.currentSubPage || !placed.control->Visible()) continue;
    controlShown = true;
    const auto& control = *placed.control;
    out_ << "  " << placed.label << " (" << control.Tag() << "): " << Shown(control) << ", fore "
         << Colour(control.ForeColor()) << ", back " << Colour(control.BackColor())
         << (control.Enabled() ? ", enabled" : ", disabled")
         << (control.Problem().empty() ? "" : ", problem: " + control.Problem()) << "\n";
  }
  if (monitorTable) PrintMonitorTable();
  if (form.currentPage >= 0 && !controlShown && !monitorTable && form.currentSubPage != kLogSubPage) {
    out_ << "  " << ui::ResString(kNothingToShow) << "\n";  // as the window says on such a page
  }
  if (form.logBox.visible || form.currentSubPage == kLogSubPage) {
    out_ << "  log:\n";
    for (const auto& logLine : form.logBox.Lines()) {
      out_ << "    " << (logLine.colour == colours::kRed ? "! " : "") << logLine.text << "\n";
    }
  }
  out_ << "  buttons: " << form.buttons.ok << ", " << form.buttons.cancel << ", " << form.buttons.apply
       << (form.buttons.applyEnabled ? " (enabled)" : " (disabled)") << "\n  status: " << form.statusLine << "\n";
  if (!form.lastTransfer.empty()) out_ << "  " << form.lastTransfer << "\n";
}

}  // namespace config
