#pragma once
// The LON/IP interfaces of this machine, by name, and the network each one is attached to,
// kept in the registry store:
//   HKEY_LOCAL_MACHINE\SOFTWARE\velta\veltaPortaB\LonIp\Interfaces\<name>
//       "Address" = "lonip:127.1.1.127", "Timeout" = milliseconds of one try, "Retries",
//       "Version" = "0" (legacy) or "1" (enhanced)
//   HKEY_LOCAL_MACHINE\SOFTWARE\velta\veltaPortaB\LonIp\Networks\<network>
//       "Interface" = <name>
// Names are compared without regard to case.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/lonip/lon_channel.h"
#include "services/registry.h"

namespace platform::lonip {

struct InterfaceSettings {
  std::string name;
  Ipv4 address;
  std::chrono::milliseconds timeout{600};
  int retries = 3;
  bool enhanced = false;  // datagrams of the enhanced version (12-bit transaction ids)
  // "lonip:127.1.1.127"
  std::string AddressText() const { return "lonip:" + address.Text(); }
};

// Reads "lonip:IPV4"; nullopt for anything else, and for an address that is no tool's LON
// address: a subnet (third number) of 0, a node (fourth) of 0 or above 127, or an address of
// network 0 or of multicast and above.
std::optional<Ipv4> ParseInterfaceAddress(std::string_view text);

class InterfaceStore {
 public:
  explicit InterfaceStore(services::registry::Registry& registry) : registry_(registry) {}

  // The interfaces whose entries are whole; `damaged` (when given) gets one line for each
  // entry that is not ("lon1: the Address "lonip:999.1.1.1" is no interface address").
  std::vector<InterfaceSettings> List(std::vector<std::string>* damaged = nullptr) const;
  // The interface of that name; nullopt when there is none or its entry is damaged (`problem`,
  // when given, then says what is wrong).
  std::optional<InterfaceSettings> Find(std::string_view name, std::string* problem = nullptr) const;
  // Adds or changes an interface. Raises LonIpError(Usage) for a name that the store cannot
  // keep (empty, not UTF-8, a backslash or a control character, blanks around it, over 64
  // bytes), settings out
  // of range, or an address another interface has.
  void Put(const InterfaceSettings& settings);
  // Removes an interface and the attachments that name it; false when there was none.
  bool Remove(std::string_view name);

  // The interface attached to a network, nullopt when none is. Raises LonIpError(Usage), naming
  // the network, the interface and what is wrong, when the one attached no longer exists or its
  // entry is damaged: the network must not quietly fall back to simulated devices.
  std::optional<InterfaceSettings> AttachedTo(std::string_view network) const;
  // Attaches `name` (which must exist) to the network; "" detaches.
  void Attach(std::string_view network, std::string_view name);
  // The networks attached to an interface, in the store's order.
  std::vector<std::string> NetworksAttachedTo(std::string_view name) const;

 private:
  services::registry::Registry& registry_;
};

// The channel's settings for an interface; its transaction ids are kept in `stateFolder`.
ChannelSettings ChannelSettingsOf(const InterfaceSettings& settings, const std::filesystem::path& stateFolder);

}  // namespace platform::lonip
