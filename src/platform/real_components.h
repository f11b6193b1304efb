#pragma once
// The components of a program running without a window system: console dialogs and
// status window on standard error, the registry store under PORTAB_HOME, posix_spawn.

#include "services/components.h"

namespace platform {

using services::ComponentFactory;
using services::ProgramInfo;

class ConsoleComponentFactory final : public ComponentFactory {
 public:
  std::unique_ptr<services::dialogs::StatusWindow> CreateStatusWindow() override;
  std::unique_ptr<services::dialogs::Dialogs> CreateDialogs() override;
  std::unique_ptr<services::registry::Registry> CreateRegistryAccess() override;
  std::unique_ptr<services::process::Shell> CreateShell() override;
  std::unique_ptr<lns::IniFile> CreateIniFile() override;
  std::shared_ptr<lns::ObjectServer> CreateObjectServer() override;
  std::unique_ptr<lns::NvTypeChanger> CreateNvTypeChanger() override;
  std::unique_ptr<services::automation::ComRegistration> CreateComRegistration(services::registry::Registry& registry) override;
  std::unique_ptr<services::automation::ObjectFactory> CreateObjectFactory(const services::registry::Registry& registry,
                                                                 std::shared_ptr<lns::ObjectServer> server) override;
};

// The running program: its executable, its folder, PORTAB_HOME and standard error.
ProgramInfo CurrentProgram();

}  // namespace platform
