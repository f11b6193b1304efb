#pragma once
// The LNS objects of an embedded network database. Each object reads its row when asked,
// so changes made by other programs are seen at once; a collection keeps its member list
// until another connection commits to the database.

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

// The NV type change component of the embedded server: a static NV keeps its type
// (kNvTypeNotChangeable), an NV of that type already is left alone (kNvTypeUnchanged), an
// unknown type or an NV of another server is refused (kBadValue), an unreachable device
// refuses (kDeviceNotAccessible). The new type's value starts as zeros.
class EmbeddedNvTypeChanger final : public lns::NvTypeChanger {
 public:
  void ChangeType(std::shared_ptr<lns::NetworkVariable>& nv, int16_t typeId, std::string_view programId,
                  uint8_t scope) override;
};

}  // namespace platform::lns_embedded
