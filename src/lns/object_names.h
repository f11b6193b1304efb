#pragma once
// LNS object names of devices and LonMark objects, both ways:
// "Network/System.Subsystem[.Subsystem...]/Device[/LonMark object]".

#include <string>

#include "lns/lns_objects.h"

namespace lns {

// The object of that name on the server (opened when needed), nullptr when there is none.
ObjectPtr ResolveObjectName(ObjectServer& server, const std::string& objectName);
// The name of a device or LonMark object; "" for other objects.
std::string ObjectNameOf(const ObjectPtr& object);

}  // namespace lns
