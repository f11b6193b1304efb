#pragma once
// Procedure entry lines and the error operation.
//
// Every procedure announces itself ("[M_PlugIn] Public Sub Main()") and runs its
// statements under an error scope: an unexpected error goes to the logging component's
// error operation, whose action code decides how the procedure goes on
// (0 repeat the statement, 1 go on with the next, 2 leave the procedure, 3 end the program).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "portab/base/error.h"

namespace base {

// Whether an entry line says "Public Sub" or "Private Sub".
enum class Visibility { Public, Private };

// The action codes of the error operation (see above).
enum class ErrorAction : int { Repeat = 0, Next = 1, Leave = 2, End = 3 };

// The logging component as procedures see it.
class ProcedureLog {
 public:
  virtual ~ProcedureLog() = default;
  // Logs a procedure's entry line (or a plain note).
  virtual void EntryLine(const std::string& line) = 0;
  // The error operation: receives the error, a text, the module and the procedure name, and
  // answers an ErrorAction code.
  virtual int HandleError(const Error& error, const std::string& text, std::string_view module,
                          std::string_view procedure) = 0;
  // A coloured line for the log box (colours with red in the lowest byte; 255 is red).
  virtual void LogLine(const std::string& text, uint32_t colour, bool flag, bool withTime, int16_t blankLines) = 0;
  // Set whenever a red line was logged (read/write).
  virtual bool ErrorLogged() const = 0;
  virtual void SetErrorLogged(bool value) = 0;
};

// How many unexpected errors procedures handed to the logging component's error operation in
// this process: a program that goes on after one still ends with a failure status.
int ErrorsReported();

// Installs the logging component (nullptr: entry lines are dropped and errors propagate).
void SetProcedureLog(ProcedureLog* log);
ProcedureLog* CurrentProcedureLog();  // the installed one, or nullptr

// "[" module "] " + "Public Sub "/"Private Sub " + name + "(" params ")".
std::string EntryLineText(std::string_view module, Visibility visibility, std::string_view name,
                          std::string_view params = {});
// Writes that entry line through the logging component (nothing without one).
void LogEntry(std::string_view module, Visibility visibility, std::string_view name,
              std::string_view params = {});
// Writes a plain line through the logging component (nothing without one).
void LogNote(const std::string& text);
// The logging component's line operation (nothing without one).
void LogLine(const std::string& text, uint32_t colour, bool withTime = false, int16_t blankLines = 0);
inline constexpr uint32_t kRedLine = 255;  // the colour of error lines
// A red line (with the time) for an error that the flow swallows: the user sees what did not
// happen, but the error flag the configuration controller reads stays as it was, so the
// line changes nothing of what the flow does next (a write still answers as it would).
void LogSwallowedError(const std::string& text);
// How many swallowed errors were logged since the program started (also without a logging
// component), so a caller can tell whether its work met any.
int SwallowedErrors();

// Thrown when the error operation answers "end the program". The host catches it at the
// top of a run and ends the run.
struct EndProgram {};

// How often one statement is repeated on answer 0 before the procedure is left instead,
// so that a persistent error cannot hang the program.
inline constexpr int kMaxRepeats = 10;

// The error handling of one procedure: the names its errors are reported under, and the
// running of its body and statements under the error operation.
class ErrorScope {
 public:
  // The module and procedure names the error operation receives.
  ErrorScope(std::string module, std::string procedure)
      : module_(std::move(module)), procedure_(std::move(procedure)) {}

  // As given to the constructor.
  const std::string& Module() const { return module_; }
  const std::string& ProcedureName() const { return procedure_; }

  // Runs the body of the procedure. An error that escapes a Step (or the body itself)
  // goes to the error operation; "leave" returns from Run, "end" throws EndProgram. Without
  // a logging component the error propagates to the caller.
  void Run(const std::function<void()>& body);

  // Runs one statement of the body under the error operation: "repeat" runs it again (at
  // most kMaxRepeats times, then leaves), "next" returns, "leave" leaves the procedure.
  void Step(const std::function<void()>& statement);

 private:
  struct Leave {
    const ErrorScope* scope;
  };
  // Asks the error operation; returns true when the statement is to be repeated.
  bool Dispatch(const std::exception& error, int attempt);

  std::string module_;
  std::string procedure_;
};

// Logs the entry line and runs `body` under an error scope of the same names.
void RunProcedure(std::string_view module, Visibility visibility, std::string_view name,
                  const std::function<void(ErrorScope&)>& body, std::string_view params = {});

// Runs `statement`, ignoring the numbered errors it raises ("with errors ignored").
// Returns false when an error was ignored.
bool IgnoringErrors(const std::function<void()>& statement);

}  // namespace base
