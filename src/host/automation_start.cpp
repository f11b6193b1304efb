#include "host/automation_start.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "host/application.h"
#include "host/m_lca_plugin.h"
#include "host/registration.h"
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

int RegisterServer(bool unregister) {
  auto& s = RunState();
  ui::Logger logger(s.Program.console);
  logger.Init(M_LcaPlugIn::LoggerSetupFor(s.Program));
  base::SetProcedureLog(&logger);
  int status = 0;
  base::RunProcedure("M_PlugIn", base::Visibility::Public, unregister ? "UnregisterServer" : "RegisterServer",
                     [&](base::ErrorScope&) {
                       status = 1;  // until the registration is written
                       auto registry = s.Factory->CreateRegistryAccess();
                       auto registration = s.Factory->CreateComRegistration(*registry);
                       if (unregister) {
                         registration->Unregister(M_PlugIn::kProgramId, M_PlugIn::kClassId);
                       } else {
                         registration->Register({M_PlugIn::kProgramId, M_PlugIn::kClassId, s.Program.executable, {}});
                       }
                       status = 0;
                     });
  base::SetProcedureLog(nullptr);
  return status;
}

base::DispatchPtr CreateApplication() { return std::make_shared<Application>(); }

void EndAutomationRun() { M_LcaPlugIn::EndApp(); }

}  // namespace host
