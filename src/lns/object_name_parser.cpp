#include "lns/object_name_parser.h"

#include "base/text.h"

namespace lns {

ParsedObjectName ObjectNameParser::Parse(std::string_view objectName) const {
  ParsedObjectName result;
  const std::string normalized = base::ReplaceAll(base::TrimWhitespace(objectName), "\\", "/");
  const auto parts = base::Split(normalized, "/");
  if (parts.size() != 4) return result;
  for (const auto& part : parts) {
    if (base::TrimBlanks(part).empty()) return result;
  }
  const size_t dot = parts[1].find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 >= parts[1].size()) return result;
  for (const auto& component : base::Split(parts[1].substr(dot + 1), ".")) {
    if (base::TrimBlanks(component).empty()) return result;
  }
  result.ok = true;
  result.networkName = parts[0];
  result.systemName = parts[1].substr(0, dot);
  result.subsystemPath = parts[1].substr(dot + 1);
  result.fullSubsystem = parts[1];
  result.deviceName = parts[2];
  result.objectName = parts[3];
  return result;
}

}  // namespace lns
