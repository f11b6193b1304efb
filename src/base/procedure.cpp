#include "base/procedure.h"

#include <atomic>

namespace base {
namespace {
ProcedureLog* g_log = nullptr;
}

void SetProcedureLog(ProcedureLog* log) { g_log = log; }
ProcedureLog* CurrentProcedureLog() { return g_log; }

std::string EntryLineText(std::string_view module, Visibility visibility, std::string_view name,
                          std::string_view params) {
  std::string line = "[";
  line.append(module).append("] ");
  line.append(visibility == Visibility::Public ? "Public Sub " : "Private Sub ");
  line.append(name).append("(").append(params).append(")");
  return line;
}

void LogEntry(std::string_view module, Visibility visibility, std::string_view name,
              std::string_view params) {
  if (g_log != nullptr) g_log->EntryLine(EntryLineText(module, visibility, name, params));
}

void LogNote(const std::string& text) {
  if (g_log != nullptr) g_log->EntryLine(text);
}

void LogLine(const std::string& text, uint32_t colour, bool withTime, int16_t blankLines) {
  if (g_log != nullptr) g_log->LogLine(text, colour, true, withTime, blankLines);
}

namespace {
std::atomic<int> g_swallowedErrors{0};
}  // namespace

int SwallowedErrors() { return g_swallowedErrors.load(); }

void LogSwallowedError(const std::string& text) {
  ++g_swallowedErrors;
  if (g_log == nullptr) return;
  const bool flagged = g_log->ErrorLogged();
  g_log->LogLine(text, kRedLine, true, true, 0);
  g_log->SetErrorLogged(flagged);
}

namespace {
std::atomic<int> g_errorsReported{0};
}  // namespace

int ErrorsReported() { return g_errorsReported.load(); }

bool ErrorScope::Dispatch(const std::exception& error, int attempt) {
  if (g_log == nullptr) throw;  // no logging component: the caller sees the error
  ++g_errorsReported;
  const Error numbered = ToError(error, module_ + "." + procedure_);
  const int action = g_log->HandleError(numbered, "", module_, procedure_);
  switch (static_cast<ErrorAction>(action)) {
    case ErrorAction::Repeat:
      if (attempt < kMaxRepeats) return true;
      throw Leave{this};
    case ErrorAction::Next:
      return false;
    case ErrorAction::End:
      throw EndProgram{};
    case ErrorAction::Leave:
    default:
      throw Leave{this};
  }
}

void ErrorScope::Step(const std::function<void()>& statement) {
  for (int attempt = 0;; ++attempt) {
    try {
      statement();
      return;
    } catch (const Leave&) {
      throw;
    } catch (const std::exception& e) {
      if (!Dispatch(e, attempt)) return;
    }
  }
}

void ErrorScope::Run(const std::function<void()>& body) {
  try {
    Step(body);
  } catch (const Leave& leave) {
    if (leave.scope != this) throw;
  }
}

void RunProcedure(std::string_view module, Visibility visibility, std::string_view name,
                  const std::function<void(ErrorScope&)>& body, std::string_view params) {
  LogEntry(module, visibility, name, params);
  ErrorScope scope{std::string(module), std::string(name)};
  scope.Run([&] { body(scope); });
}

bool IgnoringErrors(const std::function<void()>& statement) {
  try {
    statement();
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace base
