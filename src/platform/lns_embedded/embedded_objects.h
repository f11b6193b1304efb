#pragma once
// The LNS objects of an embedded network database. Each object reads its row when asked,
// so changes made by other programs are seen at once.

#include <memory>

#include "lns/lns_objects.h"
#include "platform/lns_embedded/network_db.h"

namespace platform::lns_embedded {

std::shared_ptr<lns::Network> NetworkObject(const std::shared_ptr<NetworkDb>& db);
std::shared_ptr<lns::System> SystemObject(const std::shared_ptr<NetworkDb>& db);
std::shared_ptr<lns::AppDevice> DeviceObject(const std::shared_ptr<NetworkDb>& db, int64_t deviceId);
std::shared_ptr<lns::NetworkVariable> NvObject(const std::shared_ptr<NetworkDb>& db, int64_t nvId);
std::shared_ptr<lns::ConfigProperty> CpObject(const std::shared_ptr<NetworkDb>& db, int64_t cpId);

// The row id behind an object of this server (0 for other objects).
int64_t RowIdOf(const lns::Object& object);

}  // namespace platform::lns_embedded
