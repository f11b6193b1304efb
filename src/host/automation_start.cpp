#include "host/automation_start.h"

#include "base/error.h"
#include "base/text.h"
#include "host/m_lca_plugin.h"
#include "host/run_state.h"

namespace host {

AutomationSwitch AutomationSwitchOf(std::string_view commandLine) {
  const std::string_view trimmed = base::TrimBlanks(commandLine);
  if (trimmed.size() < 2 || (trimmed[0] != '-' && trimmed[0] != '/')) return AutomationSwitch::None;
  const std::string_view word = trimmed.substr(1);
  if (base::EqualsNoCase(word, "Embedding")) return AutomationSwitch::Embedding;
  if (base::EqualsNoCase(word, "regserver")) return AutomationSwitch::RegServer;
  if (base::EqualsNoCase(word, "unregserver")) return AutomationSwitch::UnregServer;
  return AutomationSwitch::None;
}

int RunAutomationSwitch(AutomationSwitch which) {
  // The automation server and the class registration are not built yet: the start ends
  // at once, leaving a line in the log file and on standard error.
  const char* what = which == AutomationSwitch::Embedding  ? "The automation server (-Embedding)"
                     : which == AutomationSwitch::RegServer ? "Automation class registration (/regserver)"
                                                            : "Automation class unregistration (/unregserver)";
  ui::Logger logger(RunState().Program.console);
  logger.Init(M_LcaPlugIn::LoggerSetupFor(RunState().Program));
  const base::Error error = base::NotAvailable("Automation", what);
  logger.HandleError(error, "", "Automation", "Start");
  return 1;
}

}  // namespace host
