#include "platform/real_components.h"

#include <iostream>

#include "platform/dialogs/console_dialogs.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/process/shell.h"
#include "platform/registry/file_registry.h"

namespace platform {

std::unique_ptr<dialogs::StatusWindow> ConsoleComponentFactory::CreateStatusWindow() {
  return std::make_unique<dialogs::ConsoleStatusWindow>(std::cerr);
}

std::unique_ptr<dialogs::Dialogs> ConsoleComponentFactory::CreateDialogs() {
  return std::make_unique<dialogs::ConsoleDialogs>(std::cerr);
}

std::unique_ptr<registry::Registry> ConsoleComponentFactory::CreateRegistryAccess() {
  return std::make_unique<registry::FileRegistry>(registry::DefaultRegistryFile());
}

std::unique_ptr<process::Shell> ConsoleComponentFactory::CreateShell() {
  return std::make_unique<process::PosixShell>();
}

std::unique_ptr<lns::IniFile> ConsoleComponentFactory::CreateIniFile() {
  return std::make_unique<ini::ProfileIniFile>();
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
