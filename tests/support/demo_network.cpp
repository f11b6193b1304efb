#include "support/demo_network.h"

#include <cstdlib>

#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/postgres_db.h"

namespace testing_support {

DemoNetwork::DemoNetwork() {
  const std::string description = ReadFile(std::string(PORTAB_DATA_DIR) + "/demo/network.json");
  if (const char* uri = std::getenv("PORTAB_TEST_DEMO_ON_SERVER"); uri != nullptr && *uri != '\0') {
    uri_ = uri;
    platform::lns_embedded::PostgresDb server(uri_);
    platform::lns_embedded::CreateNetworkOnServer(server, description, true);
  } else {
    platform::lns_embedded::CreateNetwork(dir_ / "lns", description, false);
  }
  server_ = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(dir_ / "lns", uri_);
  server_->Open(0);
}

DemoNetwork::DemoNetwork(const DemoNetwork& other, int) : uri_(other.uri_) {
  server_ = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(other.dir_ / "lns", uri_);
  server_->Open(0);
}

std::unique_ptr<DemoNetwork> DemoNetwork::Reopen(const DemoNetwork& other) {
  return std::unique_ptr<DemoNetwork>(new DemoNetwork(other, 0));
}

std::shared_ptr<lns::System> DemoNetwork::System() const {
  return server_->Networks()->ItemByName("Demo")->Systems()->Item(1);
}

std::shared_ptr<lns::AppDevice> DemoNetwork::Device() const {
  return System()->Subsystems()->ItemByName("Floor 1")->AppDevices()->ItemByName("Switch 1");
}

std::shared_ptr<lns::LonMarkObject> DemoNetwork::Object() const {
  return Device()->Interface()->LonMarkObjects()->ItemByName("Omnal 1");
}

std::shared_ptr<lns::ConfigProperty> DemoNetwork::DeviceCp(int32_t position) const {
  return Device()->Interface()->ConfigProperties()->Item(position);
}

std::shared_ptr<lns::ConfigProperty> DemoNetwork::ObjectCp(int32_t position) const {
  return Object()->ConfigProperties()->Item(position);
}

}  // namespace testing_support
