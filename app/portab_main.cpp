// portab: the plug-in program. A command-line start runs one command and ends; the
// switches -Embedding, /regserver and /unregserver belong to the automation server.

#include <iostream>
#include <string>

#include "base/error.h"
#include "host/automation_start.h"
#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/run_state.h"
#include "platform/real_components.h"

int main(int argc, char** argv) {
  platform::ConsoleComponentFactory factory;
  auto& state = host::RunState();
  state.Program = platform::CurrentProgram();
  state.Factory = &factory;

  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  try {
    const auto automation = host::AutomationSwitchOf(commandLine);
    if (automation != host::AutomationSwitch::None) {
      // /regserver and /unregserver are served before Main, so the self-registration start
      // that Main makes can never start Main again.
      if (automation == host::AutomationSwitch::Embedding) host::M_PlugIn::Main(commandLine, true);
      return host::RunAutomationSwitch(automation);
    }
    try {
      host::M_PlugIn::Main(commandLine, false);
    } catch (const base::EndProgram&) {
      // The error operation asked to end the program.
    }
    // Without a message loop nothing keeps the run alive once Main returns.
    host::M_LcaPlugIn::EndApp();
  } catch (const base::Error& e) {
    std::cerr << "portab: error " << e.Number() << ": " << e.Description() << "\n";
    return 1;
  }
  return state.StartFailed ? 1 : 0;
}
