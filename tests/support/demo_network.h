#pragma once
// The demo network (data/demo/network.json) in a fresh folder, opened on the embedded server.

#include <memory>

#include "lns/lns_objects.h"
#include "platform/lns_embedded/embedded_server.h"
#include "support/temp_dir.h"

namespace testing_support {

class DemoNetwork {
 public:
  // The demo network in a file, or on the server PORTAB_TEST_DEMO_ON_SERVER names.
  DemoNetwork();
  std::shared_ptr<lns::AppDevice> Device() const;        // "Switch 1"
  std::shared_ptr<lns::LonMarkObject> Object() const;    // "Omnal 1"
  std::shared_ptr<lns::ConfigProperty> DeviceCp(int32_t position) const;
  std::shared_ptr<lns::ConfigProperty> ObjectCp(int32_t position) const;
  std::shared_ptr<lns::System> System() const;
  const std::shared_ptr<platform::lns_embedded::EmbeddedObjectServer>& Server() const { return server_; }
  const TempDir& Dir() const { return dir_; }
  // A second connection to the same network database (as another program would open it).
  static std::unique_ptr<DemoNetwork> Reopen(const DemoNetwork& other);

 private:
  explicit DemoNetwork(const DemoNetwork& other, int);
  TempDir dir_;
  std::string uri_;  // the server the network is on (PORTAB_TEST_DEMO_ON_SERVER), "" for the file
  std::shared_ptr<platform::lns_embedded::EmbeddedObjectServer> server_;
};

}  // namespace testing_support
