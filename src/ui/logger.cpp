#include "ui/logger.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace ui {

std::string TimeOfDayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string ErrorLineText(const base::Error& error, std::string_view module, std::string_view procedure) {
  std::string line = "Error " + base::ErrorNumberText(error.Number()) + " in ";
  line.append(module).append(".").append(procedure).append(": ").append(error.Description());
  if (!error.Source().empty()) line.append(" [").append(error.Source()).append("]");
  return line;
}

Logger::Logger(std::ostream* console) : console_(console) {}

Logger::~Logger() {
  if (file_) file_->flush();
}

bool Logger::OpenFile(const std::filesystem::path& file) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  {
    std::ofstream probe(file, std::ios::app);
    if (!probe) return false;
  }
  try {
    auto sink = std::make_shared<spdlog::sinks::basic_file_sink_mt>(file.string(), false);
    file_ = std::make_shared<spdlog::logger>("portab", std::move(sink));
    file_->set_pattern("%Y-%m-%d %H:%M:%S.%e %L %v");
    file_->flush_on(spdlog::level::trace);
    logFile_ = file;
    return true;
  } catch (const spdlog::spdlog_ex&) {
    return false;
  }
}

void Logger::Init(const LoggerSetup& setup) {
  const bool inProgramFolder = OpenFile(setup.folder / setup.fileName);
  if (!inProgramFolder && !OpenFile(setup.fallbackFolder / setup.fileName)) {
    if (console_ != nullptr) *console_ << "portab: no log file can be written\n";
    return;
  }
  WriteFile(setup.productName + " " + std::to_string(setup.major) + "." + std::to_string(setup.minor) + "." +
                std::to_string(setup.revision) + " log opened (language " + std::to_string(setup.languageValue) + ")",
            false);
  if (!inProgramFolder) {
    WriteFile("The program folder " + setup.folder.string() + " is not writable; the log is written to " +
                  logFile_.string(),
              false);
  }
}

void Logger::WriteFile(const std::string& text, bool isError) {
  if (!file_) return;
  try {
    file_->log(isError ? spdlog::level::err : spdlog::level::info, text);
  } catch (...) {
    // Log lines are never allowed to fail.
  }
}

void Logger::LogLine(const std::string& text, uint32_t colour, bool flag, bool withTime, int16_t blankLines) {
  if (colour == colour::kRed) errorLogged_ = true;
  if (colour == colour::kGreen) colour = colour::kDarkGreen;
  if (colour == colour::kBlue) colour = colour::kDarkBlue;
  const std::string line = withTime ? TimeOfDayText() + " - " + text : text;
  WriteFile(line, colour == colour::kRed);
  for (int16_t i = 0; i < blankLines; ++i) WriteFile("", false);
  if (logBox_ == nullptr) return;
  try {
    logBox_->AddLine(line, colour, flag);
    for (int16_t i = 0; i < blankLines; ++i) logBox_->AddLine("", colour, flag);
  } catch (...) {
    // Errors while writing to the log box are ignored.
  }
}

void Logger::EntryLine(const std::string& line) { WriteFile(line, false); }

int Logger::HandleError(const base::Error& error, const std::string& text, std::string_view module,
                        std::string_view procedure) {
  std::string line = ErrorLineText(error, module, procedure);
  if (!text.empty()) line += " - " + text;
  LogLine(line, colour::kRed, true, true, 0);
  if (console_ != nullptr) *console_ << "portab: " << line << "\n" << std::flush;
  return policy_ ? policy_(error) : static_cast<int>(base::ErrorAction::Leave);
}

}  // namespace ui
