#pragma once
// The components of a program on a display: Qt message boxes and file dialogs (unless
// PORTAB_ANSWERS gives the answers), everything else as without a window system.

#include "platform/real_components.h"

namespace platform::qt {

class QtComponentFactory final : public services::ComponentFactory {
 public:
  std::unique_ptr<services::dialogs::StatusWindow> CreateStatusWindow() override { return console_.CreateStatusWindow(); }
  std::unique_ptr<services::dialogs::Dialogs> CreateDialogs() override;
  std::unique_ptr<services::registry::Registry> CreateRegistryAccess() override { return console_.CreateRegistryAccess(); }
  std::unique_ptr<services::process::Shell> CreateShell() override { return console_.CreateShell(); }
  std::unique_ptr<lns::IniFile> CreateIniFile() override { return console_.CreateIniFile(); }
  std::shared_ptr<lns::ObjectServer> CreateObjectServer() override { return console_.CreateObjectServer(); }
  std::unique_ptr<lns::NvTypeChanger> CreateNvTypeChanger() override { return console_.CreateNvTypeChanger(); }
  std::unique_ptr<services::automation::ComRegistration> CreateComRegistration(
      services::registry::Registry& registry) override {
    return console_.CreateComRegistration(registry);
  }
  std::unique_ptr<services::automation::ObjectFactory> CreateObjectFactory(
      const services::registry::Registry& registry, std::shared_ptr<lns::ObjectServer> server) override {
    return console_.CreateObjectFactory(registry, std::move(server));
  }

 private:
  ConsoleComponentFactory console_;
};

}  // namespace platform::qt
