#pragma once
// The device link of a network attached to a LON/IP interface. A device is reached at the
// subnet/node its row records (and the IP it keeps, when commissioning found one); a device
// without an address is not commissioned and does not answer. The channel is bound for each
// request and let go after it, so that the programs of one run (portab, the profile plug-in,
// portab-lns) take turns on the interface's address; the threads of one program take turns
// on the channel (a request at a time).

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/lonip/cp_files.h"
#include "platform/lns_embedded/device_link.h"
#include "platform/lns_embedded/sql_db.h"
#include "platform/lonip/interfaces.h"
#include "platform/lonip/lonip_channel.h"

namespace platform::lns_embedded {

// Where a device of the network is, as its row records it.
struct DeviceAddress {
  std::string name;
  std::string neuronId;  // "" while not commissioned
  lonip::LonAddress address;
  std::optional<lonip::Ipv4> ip;
  bool Commissioned() const { return address.node != 0; }
  // "device "Switch 1" (7F0100/1/4)"
  std::string Text() const;
};
// Raises kNotFound when the row does not exist.
DeviceAddress DeviceAddressOf(SqlDb& db, int64_t deviceId, const lonip::DomainId& domain);

class LonIpLink final : public DeviceLink, public std::enable_shared_from_this<LonIpLink> {
 public:
  // The devices of the network in `db`, reached through the interface `settings`; the last
  // transaction ids are kept in `stateFolder`.
  LonIpLink(lonip::InterfaceSettings settings, std::filesystem::path stateFolder, SqlDb& db);

  std::string InterfaceName() const override { return settings_.name + " (" + settings_.AddressText() + ")"; }
  std::function<void()> StatusCheck(int64_t deviceId) override;
  std::function<std::vector<uint8_t>()> NvFetch(int64_t deviceId, int32_t nvIndex, const std::string& what) override;
  std::function<void()> NvUpdate(int64_t deviceId, int32_t nvIndex, std::vector<uint8_t> value,
                                 const std::string& what) override;

  // A CP in a value file, reached through the file directory that the device's SNVT_address NV
  // of its Node Object (nvoFileDirectory) points at.
  std::function<std::vector<uint8_t>()> FileRead(int64_t deviceId, FileSpot spot, const std::string& what) override;
  std::function<void()> FileWrite(int64_t deviceId, FileSpot spot, std::vector<uint8_t> bytes,
                                  const std::string& what) override;

  // The domain of the network's devices: the interface address's.
  lonip::DomainId Domain() const { return lonip::LonAddressOfIp(settings_.address).domain; }
  // The interface.
  const lonip::InterfaceSettings& Settings() const { return settings_; }
  // Runs `use` with the channel bound; LonIpErrors become base::Errors naming `device`.
  void WithChannel(const std::string& device, const std::function<void(lonip::LonIpChannel&)>& use);
  // Runs `use` on a commissioned device (kDeviceNotAccessible for one that is not) with the
  // channel bound and told where the device lives; `what` is added to its name in errors.
  // A failure forgets the value files known of device row `filesOf`.
  void WithDevice(const DeviceAddress& device, const std::string& what,
                  const std::function<void(lonip::LonIpChannel&, const lonip::LonTarget&)>& use, int64_t filesOf = 0);
  // The device of a row, in the interface's domain.
  DeviceAddress AddressOf(int64_t deviceId) const { return DeviceAddressOf(db_, deviceId, Domain()); }
  // Forgets what the devices told of their NVs (after commissioning, a device may be another).
  void ForgetSelectors() {
    const std::lock_guard lock(channelMutex_);
    selectors_.clear();
    cpFiles_.clear();
  }

 private:
  // The device index of the NV that points at the device's file directory; raises
  // kDeviceRefused naming the device when the network knows none.
  uint16_t DirectoryNvOf(int64_t deviceId, const std::string& device) const;
  lonip::InterfaceSettings settings_;
  std::filesystem::path stateFolder_;
  SqlDb& db_;
  // Held for each request: the channel, the transaction ids and the selectors are one thread's
  // at a time (a request away from the window runs beside the window's own).
  std::recursive_mutex channelMutex_;
  // The ids of this program's requests on the interface, across the channels bound in turn.
  std::shared_ptr<lonip::TransactionIds> ids_;
  struct InputNv {
    uint16_t selector = 0;
    size_t size = 0;
  };
  std::map<std::pair<int64_t, int32_t>, InputNv> selectors_;  // input NVs, as the devices told of them
  // The value files of a device, as its directory gave them a moment ago: the reads and writes
  // of one upload or commit ask for the directory once. Forgotten after a failure and a while.
  struct KnownFiles {
    lonip::DeviceCpFiles files;
    std::chrono::steady_clock::time_point until;
  };
  std::map<int64_t, KnownFiles> cpFiles_;
  lonip::DeviceCpFiles CpFilesOf(int64_t deviceId, lonip::LonChannel& channel, const lonip::LonTarget& target,
                                      uint16_t directoryNv);
  std::vector<uint8_t> FetchAt(const DeviceAddress& device, int32_t nvIndex, const std::string& what);
  void UpdateAt(int64_t deviceId, const DeviceAddress& device, int32_t nvIndex, const std::vector<uint8_t>& value,
                const std::string& what);
};

// The LonIpError as the object server raises it: kDeviceNotAccessible for no answer or no
// network, kDeviceRefused for a refusal or a malformed answer, kInterfaceBusy when another
// program kept the interface.
[[noreturn]] void RaiseDeviceError(const std::exception& error, const std::string& device);

}  // namespace platform::lns_embedded
