#pragma once
// A run's context on the demo network: the demo object "Omnal 1" of "Switch 1", the shipped
// PortaB.ini, a registry store whose registration points at a server folder with the shipped
// knowledge base, and recording dialogs.

#include <memory>

#include "lns/plugin_context.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "platform/registry/file_registry.h"
#include "support/demo_network.h"
#include "support/fakes.h"

namespace testing_support {

class PlugInRun {
 public:
  PlugInRun();
  // Registers `serverPath` as the program of veltaPortaB.Application.
  void RegisterServer(const std::string& serverPath);
  std::filesystem::path ServerFolder() const { return demo.Dir() / "server"; }

  DemoNetwork demo;
  Records records;
  RecordingDialogs dialogs{records};
  platform::ini::ProfileIniFile ini;
  platform::registry::FileRegistry registry;
  platform::lns_embedded::EmbeddedNvTypeChanger typeChanger;
  bool startFailed = false;
  lns::PlugInContext context;
};

}  // namespace testing_support
