#pragma once
// What the run hands the configuration, knowledge-base and monitoring objects: the plug-in
// INI file, the LNS objects of the run, the start-failed flag and the outside components.
// The host fills it from its run state; tests fill it directly.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "portab/lns/ini_file.h"
#include "portab/lns/lns_objects.h"

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

// Every member may be empty (a test, a tool); the code that needs a missing one does without
// it or reports what it cannot do.
struct PlugInContext {
  IniFile* iniFile = nullptr;                      // the plug-in INI file
  std::shared_ptr<DeviceTemplate> deviceTemplate;  // the device's template, as the INI reads hand it back
  // The run's LNS objects: the open server and network, the system, the device and the
  // LonMark object the plug-in was started for.
  std::shared_ptr<ObjectServer> objectServer;
  std::shared_ptr<Network> network;
  std::shared_ptr<System> system;
  std::shared_ptr<AppDevice> device;
  std::shared_ptr<LonMarkObject> lonMarkObject;
  NvTypeChanger* nvTypeChanger = nullptr;  // changes an NV's type (monitoring)

  bool* startFailed = nullptr;  // the run's StartFailed
  services::dialogs::Dialogs* dialogs = nullptr;    // messages and questions (none: not shown)
  services::registry::Registry* registry = nullptr;  // finds the knowledge base and registered plug-ins
  std::function<std::unique_ptr<IniFile>()> newIniFile;  // the INI component's constructor
  std::filesystem::path executable;                     // the running program
  std::string windowCaption;                            // title of the main window's messages
  services::automation::ObjectFactory* objectFactory = nullptr;  // creates other plug-ins

  // The command this run received, handed on to the profile plug-in.
  int32_t commandId = 0;
  int16_t classId = 0;     // the class of the object the command is for
  std::string objectName;  // that object's LNS object name
};

}  // namespace lns
