#pragma once
// The outside components a run creates in InitApp, and where the program lives.
// The programs hand in the real implementations; tests hand in fakes.

#include <filesystem>
#include <memory>
#include <ostream>

#include "lns/ini_file.h"
#include "platform/dialogs/dialogs.h"
#include "platform/process/shell.h"
#include "platform/registry/registry.h"

namespace platform {

struct ProgramInfo {
  std::filesystem::path executable;     // full path of the running program
  std::filesystem::path programFolder;  // its folder: PortaB.ini, the knowledge base, the log file
  std::filesystem::path home;           // PORTAB_HOME: machine state, the log file's fallback folder
  std::ostream* console = nullptr;      // where unexpected errors are echoed (standard error)

  // The executable's name without folder and extension.
  std::string ExeName() const { return executable.stem().string(); }
};

class ComponentFactory {
 public:
  virtual ~ComponentFactory() = default;
  virtual std::unique_ptr<dialogs::StatusWindow> CreateStatusWindow() = 0;
  virtual std::unique_ptr<dialogs::Dialogs> CreateDialogs() = 0;
  virtual std::unique_ptr<registry::Registry> CreateRegistryAccess() = 0;
  virtual std::unique_ptr<process::Shell> CreateShell() = 0;
  virtual std::unique_ptr<lns::IniFile> CreateIniFile() = 0;
};

}  // namespace platform
