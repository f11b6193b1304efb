// LNS object names as a tool passes them on the command line or to SendCommand.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lns/object_name_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const auto parsed = lns::ObjectNameParser().Parse(name);
  if (!parsed.ok) return 0;
  // The parts of a name that parsed are separated pieces of it: none holds a separator.
  for (const std::string& part : {parsed.networkName, parsed.deviceName, parsed.objectName}) {
    if (part.find_first_of("/\\") != std::string::npos) std::abort();
  }
  return 0;
}
