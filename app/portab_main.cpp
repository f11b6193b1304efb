// portab: the plug-in program. A command-line start runs one command and ends; the
// switches -Embedding, /regserver and /unregserver belong to the automation server; --help,
// -h and --version alone on the command line only print.

#include <iostream>
#include <optional>
#include <string>

#include "base/error.h"
#include "base/procedure.h"
#include "base/standard_options.h"
#include "host/application.h"
#include "host/automation_start.h"
#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/run_state.h"
#include "platform/automation/object_client.h"
#include "platform/real_components.h"
#include "platform/qt/display.h"
#ifdef PORTAB_WITH_QT
#include <QApplication>

#include "platform/qt/colour_scheme.h"
#include "platform/qt/qt_components.h"
#endif

namespace {

constexpr const char* kHelp =
    "usage: portab /<keyword>:<value>/<keyword>:<value>...   one command, as an LNS tool starts it\n"
    "       portab /regserver | /unregserver | -Embedding\n"
    "       portab --help | -h | --version\n"
    "\n"
    "keywords (in any order; each piece starts with \"/\"):\n"
    "  /CLASSID:<n>        class id of the object (28: the omnal LonMark object)\n"
    "  /COMMANDID:<n>      the command: 13 configure, 22 control the switch, 50 register in the networks\n"
    "  /OBJECTNAME:<name>  the LNS object (Network\\System.Subsystem\\Device\\Object); without it the\n"
    "                      About box shows and the program registers itself\n"
    "  /REMOTE:            the tool works on a remote network\n"
    "  /NI:<name>          the name of the network interface\n"
    "  /REG:<n>            save the language setting <n> and end\n"
    "  /UNREG:             remove the registrations and the program's registry key, and end\n"
    "  /S                  open the window without LNS, with the status window\n"
    "\n"
    "switches (alone on the command line):\n"
    "  /regserver          register the automation class veltaPortaB.Application\n"
    "  /unregserver        remove that registration\n"
    "  -Embedding          serve the Application object on standard input and output\n"
    "  --help, -h          print this text\n"
    "  --version           print the program's version\n";

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
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  // Before anything that could read or write state: these only print.
  switch (base::StandardOptionOf(commandLine)) {
    case base::StandardOption::Help: std::cout << kHelp; return 0;
    case base::StandardOption::Version: std::cout << base::VersionLine("portab"); return 0;
    case base::StandardOption::None: break;
  }

  platform::ConsoleComponentFactory consoleFactory;
  services::ComponentFactory* factory = &consoleFactory;
#ifdef PORTAB_WITH_QT
  // Without a display (started for a network on a database server) this build runs on the console.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  std::optional<QApplication> application;
  std::optional<platform::qt::QtComponentFactory> qtFactory;
  if (platform::qt::DisplayAvailable()) {
    application.emplace(qtArgc, qtArgv);
    platform::qt::ApplyColourScheme();
    factory = &qtFactory.emplace();
  }
#endif
  auto& state = host::RunState();
  state.Program = platform::CurrentProgram();
#ifdef PORTAB_WITH_QT
  // The build with the Qt dialogs stands in for portab: same log file, same registration.
  state.Program.executable = state.Program.programFolder / "portab";
#endif
  state.Factory = factory;
  try {
    // /regserver and /unregserver are served before Main, so the self-registration start
    // that Main makes can never start Main again.
    const host::AutomationSwitch automationSwitch = host::AutomationSwitchOf(commandLine);
#ifndef PORTAB_WITH_QT
    // With a display, the build with Qt message boxes and file dialogs runs the command (this
    // build stays free of the window system's libraries for a fast start without one).
    if (automationSwitch == host::AutomationSwitch::None || automationSwitch == host::AutomationSwitch::Embedding) {
      platform::qt::BecomeQtBuildWhenNeeded("portab-qt", argv);
    }
#endif
    switch (automationSwitch) {
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
    std::cerr << "portab: error " << base::ErrorNumberText(e.Number()) << ": " << e.Description() << "\n";
    return 1;
  }
  // A run that reported an unexpected error (a refused /REG:<language>, say) did not do all it
  // was asked to.
  return state.StartFailed || base::ErrorsReported() > 0 ? 1 : 0;
}
