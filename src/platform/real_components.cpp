#include "platform/real_components.h"

#include <iostream>

#include "platform/automation/class_registry.h"
#include "platform/automation/object_client.h"
#include "platform/dialogs/console_dialogs.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/process/shell.h"
#include "platform/registry/file_registry.h"

namespace platform {

std::unique_ptr<services::dialogs::StatusWindow> ConsoleComponentFactory::CreateStatusWindow() {
  return std::make_unique<dialogs::ConsoleStatusWindow>(std::cerr);
}

std::unique_ptr<services::dialogs::Dialogs> ConsoleComponentFactory::CreateDialogs() {
  return std::make_unique<dialogs::ConsoleDialogs>(std::cerr);
}

std::unique_ptr<services::registry::Registry> ConsoleComponentFactory::CreateRegistryAccess() {
  return std::make_unique<registry::FileRegistry>(registry::DefaultRegistryFile());
}

std::unique_ptr<services::process::Shell> ConsoleComponentFactory::CreateShell() {
  return std::make_unique<process::PosixShell>();
}

std::unique_ptr<lns::IniFile> ConsoleComponentFactory::CreateIniFile() {
  return std::make_unique<ini::ProfileIniFile>();
}

std::shared_ptr<lns::ObjectServer> ConsoleComponentFactory::CreateObjectServer() {
  return std::make_shared<lns_embedded::EmbeddedObjectServer>(registry::PortabHome() / "lns",
                                                            lns_embedded::ServerFromEnvironment());
}

std::unique_ptr<lns::NvTypeChanger> ConsoleComponentFactory::CreateNvTypeChanger() {
  return std::make_unique<lns_embedded::EmbeddedNvTypeChanger>();
}

std::unique_ptr<services::automation::ComRegistration> ConsoleComponentFactory::CreateComRegistration(
    services::registry::Registry& registry) {
  return std::make_unique<automation::RegistryComRegistration>(registry);
}

std::unique_ptr<services::automation::ObjectFactory> ConsoleComponentFactory::CreateObjectFactory(
    const services::registry::Registry& registry, std::shared_ptr<lns::ObjectServer> server) {
  return std::make_unique<automation::RegistryObjectFactory>(registry, automation::LnsResolverFor(std::move(server)));
}

ProgramInfo CurrentProgram() {
  ProgramInfo info;
  info.executable = process::CurrentExecutable();
  info.programFolder = info.executable.parent_path();
  info.home = registry::PortabHome();
  info.console = &std::cerr;
  return info;
}

}  // namespace platform
