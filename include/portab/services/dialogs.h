#pragma once
// Message boxes, file dialogs, the About box and the status window, as the program uses them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services::dialogs {

enum class Icon { Critical, Exclamation, Question, Information };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

struct MessageBox {
  std::string text;  // line breaks as CR LF
  std::string title;
  Icon icon = Icon::Information;
  Buttons buttons = Buttons::Ok;
  int defaultButton = 1;  // 1-based position among the buttons
};

struct FileDialog {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  std::string title;
  std::string filter;  // "Data (*.dat)|*.dat|All (*.*)|*.*"
  std::string initialFile;
};

struct AboutBox {
  std::string title;
  std::vector<std::string> lines;
};

std::string_view IconName(Icon icon);
std::string_view AnswerName(Answer answer);
// The answers a box offers, in button order.
std::vector<Answer> AnswersOf(Buttons buttons);

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual Answer Show(const MessageBox& box) = 0;
  // The chosen file, or nullopt when the user cancels.
  virtual std::optional<std::string> ChooseFile(const FileDialog& dialog) = 0;
  virtual void ShowAbout(const AboutBox& about) = 0;
};

// The progress window with one status text line.
class StatusWindow {
 public:
  virtual ~StatusWindow() = default;
  virtual void Show() = 0;
  virtual void Close() = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  virtual void Reset() = 0;
  virtual void SetFont(std::string_view fontName) = 0;
  virtual bool Visible() const = 0;
  virtual std::string StatusText() const = 0;
};

}  // namespace services::dialogs
