#include "scale_network.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace bench_support {

std::string ScaleDescription(int devices) {
  using json = nlohmann::ordered_json;
  std::ifstream in(std::string(PORTAB_DATA_DIR) + "/demo/network.json");
  std::stringstream text;
  text << in.rdbuf();
  const json demo = json::parse(text.str());
  const json& device = demo["subsystems"][0]["devices"][0];
  json subsystems = json::array();
  for (int i = 0; i < devices; ++i) {
    if (i % kDevicesPerSubsystem == 0) {
      subsystems.push_back({{"name", SubsystemName(i / kDevicesPerSubsystem + 1)}, {"devices", json::array()}});
    }
    json copy = device;
    copy["name"] = DeviceName(i + 1);
    subsystems.back()["devices"].push_back(std::move(copy));
  }
  return json{{"network", "Scale"}, {"system", "System"}, {"subsystems", std::move(subsystems)}}.dump();
}

}  // namespace bench_support
