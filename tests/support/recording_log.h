#pragma once
// A logging component that records entry lines, log lines and errors, and answers every
// error with a fixed action. It is installed while it lives.

#include <string>
#include <vector>

#include "base/procedure.h"
#include "ui/logger.h"

namespace testing_support {

class RecordingLog : public base::ProcedureLog {
 public:
  explicit RecordingLog(int action = 2) : action_(action) { base::SetProcedureLog(this); }
  ~RecordingLog() override { base::SetProcedureLog(nullptr); }
  RecordingLog(const RecordingLog&) = delete;
  RecordingLog& operator=(const RecordingLog&) = delete;

  void EntryLine(const std::string& line) override { lines.push_back(line); }
  int HandleError(const base::Error& error, const std::string&, std::string_view module,
                  std::string_view procedure) override {
    errors.push_back(std::to_string(error.Number()) + "@" + std::string(module) + "." + std::string(procedure));
    return action_;
  }
  void LogLine(const std::string& text, uint32_t colour, bool, bool, int16_t) override {
    if (colour == 255) {
      redLines.push_back(text);
      errorLogged = true;
    }
    lines.push_back(text);
    if (logBox != nullptr) logBox->AddLine(text, colour, false);
  }
  bool ErrorLogged() const override { return errorLogged; }
  void SetErrorLogged(bool value) override { errorLogged = value; }

  bool Contains(const std::string& text) const {
    for (const auto& line : lines) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  std::vector<std::string> lines;
  std::vector<std::string> errors;
  std::vector<std::string> redLines;
  bool errorLogged = false;
  ui::LogBox* logBox = nullptr;  // a window's log box that shows the lines too

 private:
  int action_;
};

}  // namespace testing_support
