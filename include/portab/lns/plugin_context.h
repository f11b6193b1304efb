#pragma once
// What the run hands the configuration, knowledge-base and monitoring objects: the plug-in
// INI file, the LNS objects of the run, the start-failed flag and the outside components.
// The host fills it from its run state; tests fill it directly.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "lns/ini_file.h"
#include "lns/lns_objects.h"

namespace services::dialogs {
class Dialogs;
}
namespace services::registry {
class Registry;
}
namespace services::automation {
class ObjectFactory;
}

namespace lns {

struct PlugInContext {
  IniFile* iniFile = nullptr;                      // the plug-in INI file
  std::shared_ptr<DeviceTemplate> deviceTemplate;  // the device's template, as the INI reads hand it back
  std::shared_ptr<ObjectServer> objectServer;
  std::shared_ptr<Network> network;
  std::shared_ptr<System> system;
  std::shared_ptr<AppDevice> device;
  std::shared_ptr<LonMarkObject> lonMarkObject;
  NvTypeChanger* nvTypeChanger = nullptr;

  bool* startFailed = nullptr;  // the run's StartFailed
  services::dialogs::Dialogs* dialogs = nullptr;
  services::registry::Registry* registry = nullptr;
  std::function<std::unique_ptr<IniFile>()> newIniFile;  // the INI component's constructor
  std::filesystem::path executable;                     // the running program
  std::string windowCaption;                            // title of the main window's messages
  services::automation::ObjectFactory* objectFactory = nullptr;  // creates other plug-ins

  // The command this run received, handed on to the profile plug-in.
  int32_t commandId = 0;
  int16_t classId = 0;
  std::string objectName;
};

}  // namespace lns
