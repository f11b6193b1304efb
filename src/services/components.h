#pragma once
// The outside components a run creates in InitApp, and where the program lives.
// The programs hand in the real implementations; tests hand in fakes.

#include <filesystem>
#include <memory>
#include <ostream>

#include "lns/ini_file.h"
#include "lns/lns_objects.h"
#include "services/automation.h"
#include "services/dialogs.h"
#include "services/shell.h"
#include "services/registry.h"

namespace services {

// Where the running program lives and where it reports.
struct ProgramInfo {
  std::filesystem::path executable;     // full path of the running program
  std::filesystem::path programFolder;  // its folder: PortaB.ini, the knowledge base, the log file
  std::filesystem::path home;           // PORTAB_HOME: machine state, the log file's fallback folder
  std::ostream* console = nullptr;      // where unexpected errors are echoed (standard error)

  // The executable's name without folder and extension.
  std::string ExeName() const { return executable.stem().string(); }
};

// Makes the outside components of a run; each call makes a new one, which the caller owns.
class ComponentFactory {
 public:
  virtual ~ComponentFactory() = default;
  virtual std::unique_ptr<services::dialogs::StatusWindow> CreateStatusWindow() = 0;
  virtual std::unique_ptr<services::dialogs::Dialogs> CreateDialogs() = 0;
  virtual std::unique_ptr<services::registry::Registry> CreateRegistryAccess() = 0;
  virtual std::unique_ptr<services::process::Shell> CreateShell() = 0;
  virtual std::unique_ptr<lns::IniFile> CreateIniFile() = 0;
  // The LNS object server of the run (the main window's server control).
  virtual std::shared_ptr<lns::ObjectServer> CreateObjectServer() = 0;
  virtual std::unique_ptr<lns::NvTypeChanger> CreateNvTypeChanger() = 0;
  // Both work on the registry store the run uses.
  virtual std::unique_ptr<services::automation::ComRegistration> CreateComRegistration(services::registry::Registry& registry) = 0;
  // LNS objects that other programs hand back are resolved with `server`.
  virtual std::unique_ptr<services::automation::ObjectFactory> CreateObjectFactory(const services::registry::Registry& registry,
                                                                         std::shared_ptr<lns::ObjectServer> server) = 0;
};

}  // namespace services
