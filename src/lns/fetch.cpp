#include "lns/fetch.h"

#include "base/error.h"
#include "base/procedure.h"

namespace lns::M_PlugIn {
namespace {

using base::Visibility;

// Not found: false in `succeed`, or error 10000 when the caller did not ask.
void NotFound(const std::string& name, bool* succeed) {
  if (succeed == nullptr) {
    throw base::Error(base::err::kCpNvNotPlaced, "M_PlugIn", "INI - File Error : " + name);
  }
  *succeed = false;
}

// Runs the walk under the routine's error scope; the "not found" error is raised outside it,
// so that it reaches the caller. A walk left by the error operation changes nothing more.
template <typename Walk>
void Run(const char* module, const char* procedure, const std::string& name, bool* succeed, Walk walk) {
  bool found = false;
  bool walked = false;
  base::ErrorScope scope(module, procedure);
  scope.Run([&] {
    found = walk();
    walked = true;
  });
  if (!walked) return;
  if (found) {
    if (succeed != nullptr) *succeed = true;
  } else {
    NotFound(name, succeed);
  }
}

}  // namespace

void FetchLmoCp(const std::string& name, const std::string& section, const IniFile& ini,
                std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<LonMarkObject>& owner,
                std::shared_ptr<ConfigProperty>& result, bool* succeed) {
  base::LogEntry("M_PlugIn", Visibility::Public, "FetchCp");
  const int16_t position = ini.ReadCpPosition(name, section, deviceTemplate);
  Run("M_PlugIn", "FetchLmoCp", name, succeed, [&] {
    if (position == -1) return false;
    result = owner->ConfigProperties()->Item(position);
    return true;
  });
}

void FetchLmoCp2(const std::string& name, const std::string& section, const IniFile& ini,
                 std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<LonMarkObject>& owner,
                 std::shared_ptr<ConfigProperty>& result, bool* succeed) {
  base::LogEntry("M_PlugIn", Visibility::Public, "FetchCp");
  const int16_t position = ini.ReadCpPosition(name, section, deviceTemplate);
  const int16_t nvPosition = position >= 1 ? ini.ReadField(name, section, deviceTemplate, 2) : 0;
  Run("M_LNS_Utilities", "FetchLmoCp2", name, succeed, [&] {
    if (position < 1) return false;
    auto cps = nvPosition > 0 ? owner->NetworkVariables()->Item(nvPosition)->ConfigProperties()
                              : owner->ConfigProperties();
    result = cps->Item(position);
    return true;
  });
}

void FetchDevCp(const std::string& name, const std::string& section, const IniFile& ini,
                std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<AppDevice>& owner,
                std::shared_ptr<ConfigProperty>& result, bool* succeed) {
  base::LogEntry("M_PlugIn", Visibility::Public, "FetchDevCp");
  const int16_t position = ini.ReadField(name, section, deviceTemplate, 1);
  const int16_t objectPosition = position >= 1 ? ini.ReadField(name, section, deviceTemplate, 2) : 0;
  Run("M_PlugIn", "FetchDevCp", name, succeed, [&] {
    if (position < 1) return false;
    auto cps = objectPosition > 0 ? owner->Interface()->LonMarkObjects()->Item(objectPosition)->ConfigProperties()
                                  : owner->Interface()->ConfigProperties();
    result = cps->Item(position);
    return true;
  });
}

void FetchNv(const std::string& name, const std::string& section, const IniFile& ini,
             std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<LonMarkObject>& owner,
             std::shared_ptr<NetworkVariable>& result, bool* succeed) {
  base::LogEntry("M_PlugIn", Visibility::Public, "FetchNv");
  const int16_t position = ini.ReadField(name, section, deviceTemplate, 1);
  Run("M_PlugIn", "FetchNv", name, succeed, [&] {
    if (position < 1) return false;
    result = owner->NetworkVariables()->Item(position);
    return true;
  });
}

void FetchDevNv(const std::string& name, const std::string& section, const IniFile& ini,
                std::shared_ptr<DeviceTemplate>& deviceTemplate, const std::shared_ptr<AppDevice>& owner,
                std::shared_ptr<NetworkVariable>& result, bool* succeed) {
  base::LogEntry("M_PlugIn", Visibility::Public, "FetchDevNv");
  const int16_t position = ini.ReadField(name, section, deviceTemplate, 1);
  const int16_t objectPosition = position >= 1 ? ini.ReadField(name, section, deviceTemplate, 2) : 0;
  Run("M_PlugIn", "FetchDevNv", name, succeed, [&] {
    if (position < 1) return false;
    auto nvs = objectPosition > 0 ? owner->Interface()->LonMarkObjects()->Item(objectPosition)->NetworkVariables()
                                  : owner->Interface()->NetworkVariables();
    result = nvs->Item(position);
    return true;
  });
}

}  // namespace lns::M_PlugIn
