#pragma once
// The logging component: procedure entry lines, coloured log lines for the log box, the
// log file, and the error operation that decides how a failing procedure goes on.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "base/procedure.h"

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
  virtual void AddLine(const std::string& text, uint32_t colour, bool flag) = 0;
};

// What the program hands the logging component at start.
struct LoggerSetup {
  std::string fileName;            // the executable's name + ".LOG"
  std::filesystem::path folder;    // the program folder
  int major = 0, minor = 0, revision = 0;
  int languageValue = 1000;        // 1000 English, 2000 German
  bool flag1 = true;
  std::string productName;
  bool flag2 = true;
  std::string title;
  std::filesystem::path fallbackFolder;  // used when `folder` is not writable
};

class Logger final : public base::ProcedureLog {
 public:
  // `console` receives the lines of unexpected errors (standard error in the programs).
  explicit Logger(std::ostream* console = nullptr);
  ~Logger() override;
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Opens the log file (appending), in the fallback folder when the program folder is
  // not writable, and writes a header line.
  void Init(const LoggerSetup& setup);
  const std::filesystem::path& LogFile() const { return logFile_; }

  void LogLine(const std::string& text, uint32_t colour, bool flag, bool withTime, int16_t blankLines) override;

  bool ErrorLogged() const override { return errorLogged_; }
  void SetErrorLogged(bool value) override { errorLogged_ = value; }

  void SetLogBox(LogBox* box) { logBox_ = box; }
  // Chooses the action code for an unexpected error; the default answers 2 (leave).
  void SetErrorPolicy(std::function<int(const base::Error&)> policy) { policy_ = std::move(policy); }

  void EntryLine(const std::string& line) override;
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
