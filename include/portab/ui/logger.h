#pragma once
// The logging component: procedure entry lines, coloured log lines for the log box, the
// log file, and the error operation that decides how a failing procedure goes on.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "portab/base/procedure.h"

namespace spdlog {
class logger;
}

namespace ui {

// Colours: red in the lowest byte.
namespace colour {
inline constexpr uint32_t kBlack = 0;
inline constexpr uint32_t kRed = 255;
inline constexpr uint32_t kGreen = 65280;
inline constexpr uint32_t kDarkGreen = 32768;
inline constexpr uint32_t kBlue = 16711680;
inline constexpr uint32_t kDarkBlue = 12582912;
}  // namespace colour

// The window's log box, as the logger fills it.
class LogBox {
 public:
  virtual ~LogBox() = default;
  // Adds a line; `flag` is passed on from the logging call (the window's log box ignores it).
  virtual void AddLine(const std::string& text, uint32_t colour, bool flag) = 0;
};

// What the program hands the logging component at start.
struct LoggerSetup {
  std::string fileName;            // the executable's name + ".LOG"
  std::filesystem::path folder;    // the program folder
  int major = 0, minor = 0, revision = 0;  // the version in the header line
  int languageValue = 1000;        // 1000 English, 2000 German
  bool flag1 = true;               // not used by this logger
  std::string productName;         // starts the header line
  bool flag2 = true;               // not used by this logger
  std::string title;               // not used by this logger
  std::filesystem::path fallbackFolder;  // used when `folder` is not writable
};

// The logging component the programs install (base::SetProcedureLog).
class Logger final : public base::ProcedureLog {
 public:
  // `console` receives the lines of unexpected errors (standard error in the programs).
  explicit Logger(std::ostream* console = nullptr);
  ~Logger() override;
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Opens the log file (appending), in the fallback folder when the program folder is
  // not writable, and writes a header line. Without either, lines go to no file (a note on
  // the console); nothing is raised.
  void Init(const LoggerSetup& setup);
  const std::filesystem::path& LogFile() const { return logFile_; }  // "" without a file

  // Writes the line (with the time when asked) and `blankLines` empty lines to the file and
  // the log box. A red line sets ErrorLogged; green and blue are shown in their dark shades.
  // Failures of the file or the log box are ignored.
  void LogLine(const std::string& text, uint32_t colour, bool flag, bool withTime, int16_t blankLines) override;

  // Set by a red line until cleared (read/write).
  bool ErrorLogged() const override { return errorLogged_; }
  void SetErrorLogged(bool value) override { errorLogged_ = value; }

  void SetLogBox(LogBox* box) { logBox_ = box; }  // where lines are shown too (none: the file only)
  // Chooses the action code for an unexpected error; the default answers 2 (leave).
  void SetErrorPolicy(std::function<int(const base::Error&)> policy) { policy_ = std::move(policy); }

  // Writes an entry line to the file only.
  void EntryLine(const std::string& line) override;
  // Logs the error as a red line with the time (and echoes it on the console), then answers
  // the error policy's action code.
  int HandleError(const base::Error& error, const std::string& text, std::string_view module,
                  std::string_view procedure) override;

 private:
  void WriteFile(const std::string& text, bool isError);
  bool OpenFile(const std::filesystem::path& file);

  std::ostream* console_;
  std::shared_ptr<spdlog::logger> file_;
  std::filesystem::path logFile_;
  LogBox* logBox_ = nullptr;
  bool errorLogged_ = false;
  std::function<int(const base::Error&)> policy_;
};

// The current time of day as "hh:mm:ss".
std::string TimeOfDayText();
// "Error <number> in <module>.<procedure>: <description> [<source>]", the number as
// base::ErrorNumberText shows it
std::string ErrorLineText(const base::Error& error, std::string_view module, std::string_view procedure);

}  // namespace ui
