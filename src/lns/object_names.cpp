#include "lns/object_names.h"

#include <vector>

#include "base/error.h"
#include "base/text.h"
#include "lns/lns_connector.h"
#include "lns/object_name_parser.h"

namespace lns {

ObjectPtr ResolveObjectName(ObjectServer& server, const std::string& objectName) {
  const std::string normalized = base::ReplaceAll(objectName, "\\", "/");
  const bool isDevice = base::Split(normalized, "/").size() == 3;
  const auto parsed = ObjectNameParser().Parse(isDevice ? normalized + "/-" : normalized);
  if (!parsed.ok) return nullptr;
  try {
    if (!server.IsOpen()) server.Open(0);
    auto level = server.Networks()->ItemByName(parsed.networkName)->Systems()->Item(1)->Subsystems();
    std::shared_ptr<Subsystem> subsystem;
    for (const auto& name : base::Split(parsed.subsystemPath, ".")) {
      subsystem = level->ItemByName(name);
      level = subsystem->Subsystems();
    }
    auto device = subsystem->AppDevices()->ItemByName(parsed.deviceName);
    if (isDevice) return device;
    return device->Interface()->LonMarkObjects()->ItemByName(parsed.objectName);
  } catch (const base::Error&) {
    return nullptr;
  }
}

std::string ObjectNameOf(const ObjectPtr& object) {
  if (!object) return {};
  std::vector<std::string> subsystems;
  std::string device;
  std::string lonMarkObject;
  std::string system;
  std::string network;
  try {
    for (ObjectPtr o = object; o; o = o->Parent()) {
      switch (o->ClassId()) {
        case class_id::kLonMarkObject: lonMarkObject = o->Name(); break;
        case class_id::kAppDevice: device = o->Name(); break;
        case class_id::kSubsystem: subsystems.insert(subsystems.begin(), o->Name()); break;
        case class_id::kSystem: system = o->Name(); break;
        case class_id::kNetwork: network = o->Name(); break;
        default: break;
      }
    }
  } catch (const base::Error&) {
    return {};
  }
  if (device.empty() || subsystems.empty()) return {};
  std::string name = network + "/" + system;
  for (const auto& s : subsystems) name += "." + s;
  name += "/" + device;
  if (!lonMarkObject.empty()) name += "/" + lonMarkObject;
  return name;
}

}  // namespace lns
