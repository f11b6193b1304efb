#pragma once
// The components of a program running without a window system: console dialogs and
// status window on standard error, the registry store under PORTAB_HOME, posix_spawn.

#include "platform/components.h"

namespace platform {

class ConsoleComponentFactory final : public ComponentFactory {
 public:
  std::unique_ptr<dialogs::StatusWindow> CreateStatusWindow() override;
  std::unique_ptr<dialogs::Dialogs> CreateDialogs() override;
  std::unique_ptr<registry::Registry> CreateRegistryAccess() override;
  std::unique_ptr<process::Shell> CreateShell() override;
  std::unique_ptr<lns::IniFile> CreateIniFile() override;
  std::shared_ptr<lns::ObjectServer> CreateObjectServer() override;
  std::unique_ptr<lns::NvTypeChanger> CreateNvTypeChanger() override;
  std::unique_ptr<automation::ComRegistration> CreateComRegistration(registry::Registry& registry) override;
  std::unique_ptr<automation::ObjectFactory> CreateObjectFactory(const registry::Registry& registry,
                                                                 std::shared_ptr<lns::ObjectServer> server) override;
};

// The running program: its executable, its folder, PORTAB_HOME and standard error.
ProgramInfo CurrentProgram();

}  // namespace platform
