#pragma once
// Message boxes, file dialogs, the About box and the status window, as the program uses them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services::dialogs {

// A message box's icon, its buttons (in that order), and the button the user chose.
enum class Icon { Critical, Exclamation, Question, Information };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Yes, No, Cancel };

struct MessageBox {
  std::string text;  // line breaks as CR LF
  std::string title;  // the window title
  Icon icon = Icon::Information;
  Buttons buttons = Buttons::Ok;
  int defaultButton = 1;  // 1-based position among the buttons
};

struct FileDialog {
  enum class Kind { Open, Save };  // choose an existing file, or a file to write
  Kind kind = Kind::Open;
  std::string title;
  std::string filter;  // "Data (*.dat)|*.dat|All (*.*)|*.*"
  std::string initialFile;  // where the dialog starts (a file or a folder)
};

// The About box: a title and its text lines.
struct AboutBox {
  std::string title;
  std::vector<std::string> lines;  // the product line and the object server's line
  // Picture files: the product's mark beside the lines, the maker's strip below them (a file
  // that cannot be read shows no picture).
  std::vector<std::string> pictures;
  std::vector<std::string> makerLines;  // below the maker's strip
};

// The English names ("Critical", "OK", "Yes", ...), for logs and scripts.
std::string_view IconName(Icon icon);
std::string_view AnswerName(Answer answer);
// The answers a box offers, in button order.
std::vector<Answer> AnswersOf(Buttons buttons);

// The dialogs of the run; each waits for the user.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows the box; the answer the user chose.
  virtual Answer Show(const MessageBox& box) = 0;
  // The chosen file, or nullopt when the user cancels.
  virtual std::optional<std::string> ChooseFile(const FileDialog& dialog) = 0;
  virtual void ShowAbout(const AboutBox& about) = 0;  // returns when it is closed
};

// The progress window with one status text line.
class StatusWindow {
 public:
  virtual ~StatusWindow() = default;
  // Shows and closes the window (without waiting); the status line's text (read/write).
  virtual void Show() = 0;
  virtual void Close() = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  // Called before the first status text of a start; what it resets is up to the window (the
  // console window has nothing to reset).
  virtual void Reset() = 0;
  virtual void SetFont(std::string_view fontName) = 0;  // the font of the status text
  virtual bool Visible() const = 0;
  virtual std::string StatusText() const = 0;
};

}  // namespace services::dialogs
