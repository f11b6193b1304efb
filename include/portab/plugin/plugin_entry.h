#pragma once
// The start of a profile plug-in program. One call from main() does what every plug-in does:
// the registration switches (/regserver, /unregserver), --help and --version, and with
// -Embedding the automation object whose SendCommand opens the object it names, builds the
// configuration window through the plug-in's own class, reads its parameters from the device
// and then runs the window: a window script (PORTAB_WINDOW_SCRIPT), the Qt window when the
// program was built with one, or nothing more. The plug-in's author supplies a ProfilePlugIn.

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "portab/config/configuration.h"
#include "portab/config/main_window.h"
#include "portab/config/window_script.h"
#include "portab/lns/lns_objects.h"
#include "portab/lns/plugin_context.h"
#include "portab/monitoring/monitoring.h"
#include "portab/services/dialogs.h"
#include "portab/ui/frm_main.h"

namespace plugin {

// What a plug-in program is called and registered as.
struct PlugInIdentity {
  std::string programName;  // the executable's name: usage text, version line, log file
  std::string progId;       // the automation class ("veltaDemoProfile.Application")
  std::string classId;      // its class id, in braces
  std::string registryKey;  // below HKEY_LOCAL_MACHINE: the window's place
  std::string displayName;  // the automation object's Name property
  // The function profile indexes ("FptIndex") the plug-in serves: /regserver registers it for
  // them, so that portab hands it the commands of objects of those profiles that the knowledge
  // base's "Plug-in" section does not give to another plug-in.
  std::vector<int32_t> functionProfiles;
};

// What SendCommand received, with the network settings the tool put before it.
struct Command {
  int32_t commandId = 0;
  int16_t classId = 0;
  std::string objectName;
  std::string networkName;
  std::string interfaceName;
  bool remote = false;
};

// One command's run on an opened object: its device and LonMark object, the configuration
// controller (parameter set and knowledge base), the window model and its dialogs.
struct Session {
  const Command& command;
  std::shared_ptr<lns::AppDevice> device;      // the device that holds the object
  std::shared_ptr<lns::LonMarkObject> object;  // the LonMark object the command names
  config::cConfiguration& configuration;       // Parameters(): the window's parameter set
  ui::frmMain& form;                           // the window model: pages, tabs, controls
  config::MainWindow& window;                  // the window's logic (menus, buttons, save, load)
  // The run's context: the plug-in INI file, the object server, the dialogs, the registry; what
  // monitor points (monitoring::cMonitorPoints) and the framework's fetch routines take.
  lns::PlugInContext& context;
  // The run's monitor points: the object's NVs "nviPrimeValue", "nviSecValue", "nvoValue",
  // "OutputValue" and "InputValue" as the plug-in INI file finds them; a plug-in adds its own
  // with MonitorPoints().AddMonitorPoint or M_PlugInSpecific::FetchNvToMonitorPoint. The
  // Monitoring page shows them all with live values.
  monitoring::cMonitoring& monitoring;
};

// The moments of a command at which the plug-in may look at its window.
enum class WindowMoment {
  AfterRead,         // the parameters were read from the device, the window is ready
  ScriptUnreadable,  // PORTAB_WINDOW_SCRIPT names a file that cannot be read
  AfterScript,       // the window script ran (failedLines of it were not carried out)
  AfterClose,        // the user closed the Qt window
};

// What a profile plug-in's author writes: everything here but BuildWindow is optional.
class ProfilePlugIn {
 public:
  virtual ~ProfilePlugIn() = default;
  // SendCommand arrived; nothing is opened yet.
  virtual void CommandReceived(const Command& command) { (void)command; }
  // The object or its device could not be found; `why` names what is missing. The command
  // ends here.
  virtual void ObjectNotFound(const Command& command, const std::string& why) {
    (void)command;
    (void)why;
  }
  // Which of the window's command sets the command opens (1 configuration ... 5 calibration:
  // the menu and pages frmMain::SetupMenu and SetupPages set up). By default command 13 opens
  // the configuration and every other command 4.
  virtual int32_t WindowCommand(const Command& command) { return command.commandId == 13 ? 1 : 4; }
  // The object is open: create the window's parameters in the configuration's parameter set
  // (bound to the object's and the device's CPs) and put their controls on the form's pages.
  // The framework reads them from the device when this returns. Errors raised here end the
  // command and reach the tool as the automation error.
  virtual void BuildWindow(Session& session) = 0;
  // The window at one of its moments (see WindowMoment).
  virtual void WindowAt(Session& session, WindowMoment moment, int failedLines) {
    (void)session;
    (void)moment;
    (void)failedLines;
  }
  // The command is done, whatever happened.
  virtual void CommandEnded(const Command& command) { (void)command; }
};

// The window system a plug-in program was built with. The plain build has none; the Qt build
// passes plugin::QtFrontEnd.
class WindowFrontEnd {
 public:
  virtual ~WindowFrontEnd() = default;
  // The dialogs of the run: the window system's, unless `answered` (a window script or
  // PORTAB_ANSWERS gives the answers), when `console` serves.
  virtual services::dialogs::Dialogs& Dialogs(services::dialogs::Dialogs& console, bool answered) = 0;
  // Shows the window; answers the user actions a window script uses through the widgets.
  virtual config::UserActions* Show(config::MainWindow& window) = 0;
  // Runs the window until the user closes it.
  virtual void Run() = 0;
  // The command is over: lets go of everything shown of its window (the window model goes
  // right after).
  virtual void Release() = 0;
};

// The folder of the machine's portab state (registry store, network databases):
// $PORTAB_HOME, else ${XDG_DATA_HOME:-$HOME/.local/share}/portab.
std::filesystem::path StateFolder();

// Runs the plug-in program: argv[1] is /regserver, /unregserver, -Embedding, --help, -h or
// --version. Answers the exit status (0 done, 1 an error, printed on standard error, 2 an
// unknown switch, with the usage). /regserver fails (1, nothing registered) when the identity
// lacks a programmatic id, a class id ({8-4-4-4-12 hex digits}) or a function profile, when
// its class id is registered for another programmatic id, or when another plug-in is
// registered for one of its function profiles. The plug-in INI file (PortaB.ini) is the one
// beside the program, else the one beside the registered portab. `qtBuild` names the program's Qt build beside it, started
// instead of the plain build when a display is there (empty: none).
int RunPlugIn(int argc, char** argv, const PlugInIdentity& identity, ProfilePlugIn& plugIn,
              WindowFrontEnd* frontEnd, const std::string& qtBuild = {});

}  // namespace plugin
