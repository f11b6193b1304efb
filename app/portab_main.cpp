// portab: the plug-in program. A command-line start runs one command and ends; the
// switches -Embedding, /regserver and /unregserver belong to the automation server.

#include <iostream>
#include <string>

#include "base/error.h"
#include "base/procedure.h"
#include "host/application.h"
#include "host/automation_start.h"
#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/run_state.h"
#include "platform/automation/object_client.h"
#include "platform/real_components.h"

namespace {

// A tool created the Application object: serve it over standard input and output.
int ServeApplication(const std::string& commandLine) {
  host::M_PlugIn::Main(commandLine, true);  // returns at once: the work arrives through the object
  try {
    auto application = host::CreateApplication();
    platform::automation::ServeObject(application, [] { return !host::RunGoesOn(); },
                                      platform::automation::LnsResolverFor(host::RunState().Lns.objectServer));
  } catch (const base::EndProgram&) {
    // The error operation asked to end the program.
  }
  host::EndAutomationRun();
  return 0;
}

}  // namespace

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
    // /regserver and /unregserver are served before Main, so the self-registration start
    // that Main makes can never start Main again.
    switch (host::AutomationSwitchOf(commandLine)) {
      case host::AutomationSwitch::RegServer: return host::RegisterServer(false);
      case host::AutomationSwitch::UnregServer: return host::RegisterServer(true);
      case host::AutomationSwitch::Embedding: return ServeApplication(commandLine);
      case host::AutomationSwitch::None: break;
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
  // A run that reported an unexpected error (a refused /REG:<language>, say) did not do all it
  // was asked to.
  return state.StartFailed || base::ErrorsReported() > 0 ? 1 : 0;
}
