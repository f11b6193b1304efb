#pragma once
// Finding the CPs that a profile plug-in binds its parameters to, by name (compared without
// regard to case). A parameter bound to no CP (nullptr) stays unavailable: its control is grey
// and shows no value, reads and writes leave it out.

#include <memory>
#include <string>

#include "portab/lns/lns_objects.h"

namespace plugin {

// Whether a missing CP is an error.
enum class Need {
  Optional,  // answer nullptr: the parameter stays unavailable
  Required,  // raise error 5 (base::Error) naming the CP, the NV and the device or object
};

// The CP `name` of the LonMark object's own CP collection.
std::shared_ptr<lns::ConfigProperty> ObjectCp(const std::shared_ptr<lns::LonMarkObject>& object,
                                              const std::string& name, Need need = Need::Optional);
// The CP `name` of the device's own CP collection (its interface's CPs).
std::shared_ptr<lns::ConfigProperty> DeviceCp(const std::shared_ptr<lns::AppDevice>& device, const std::string& name,
                                              Need need = Need::Optional);
// The CP `name` that applies to the device's NV `nvName`; a missing NV counts as a missing CP.
std::shared_ptr<lns::ConfigProperty> NvCp(const std::shared_ptr<lns::AppDevice>& device, const std::string& nvName,
                                          const std::string& name, Need need = Need::Optional);
// The device's NV `name`; nullptr (Optional) or error 5 (Required) when it has none.
std::shared_ptr<lns::NetworkVariable> DeviceNv(const std::shared_ptr<lns::AppDevice>& device, const std::string& name,
                                               Need need = Need::Optional);

}  // namespace plugin
