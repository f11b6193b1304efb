#pragma once
// Splits an LNS object name: the network, then the system and the subsystem path joined by
// ".", then the device, then the LonMark object, separated by "/", for example
// "Demo/System.Floor 1/Switch 1/Omnal 1". Parts may hold blanks. A backslash is accepted
// wherever "/" may stand (the command line splits at "/").

#include <string>
#include <string_view>

namespace lns {

// The parts of an object name; all empty unless ok.
struct ParsedObjectName {
  bool ok = false;  // the name had the form: four non-empty parts, the second with a "."
  std::string networkName;
  std::string subsystemPath;  // below the system, "." between nested subsystems: "Floor 1"
  std::string deviceName;
  std::string objectName;
  std::string systemName;     // not used by the run
  std::string fullSubsystem;  // system and subsystem path as written; not used by the run
};

// Splits object names (see above).
class ObjectNameParser {
 public:
  // ok is false for a name that does not have that form; never raises.
  ParsedObjectName Parse(std::string_view objectName) const;
};

}  // namespace lns
