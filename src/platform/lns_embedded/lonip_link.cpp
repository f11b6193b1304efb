#include "platform/lns_embedded/lonip_link.h"

#include <optional>

#include "base/error.h"
#include "lns/lns_errors.h"
#include "platform/lonip/cp_files.h"
#include "platform/lonip/device_requests.h"
#include "platform/lonip/lonip_error.h"

namespace platform::lns_embedded {

std::string DeviceAddress::Text() const {
  return "device \"" + name + "\"" + (Commissioned() ? " (" + address.Text() + ")" : std::string());
}

DeviceAddress DeviceAddressOf(SqlDb& db, int64_t deviceId, const lonip::DomainId& domain) {
  auto row = db.Prepare("SELECT name, neuron_id, subnet, node, ip FROM device WHERE id = ?1").Bind(1, deviceId);
  if (!row.Step()) throw base::Error(lns::err::kNotFound, "LNS", "The device no longer exists");
  DeviceAddress device;
  device.name = row.Text(0);
  device.neuronId = row.Text(1);
  device.address = {domain, static_cast<uint8_t>(row.Int(2)), static_cast<uint8_t>(row.Int(3) & 0x7F)};
  device.ip = lonip::Ipv4::Parse(row.Text(4));
  return device;
}

void RaiseDeviceError(const std::exception& error, const std::string& device) {
  const auto* lonIp = dynamic_cast<const lonip::LonIpError*>(&error);
  using Kind = lonip::LonIpError::Kind;
  int32_t number = lns::err::kDeviceNotAccessible;
  if (lonIp != nullptr && (lonIp->ErrorKind() == Kind::Refused || lonIp->ErrorKind() == Kind::Malformed ||
                          lonIp->ErrorKind() == Kind::Usage)) {
    number = lns::err::kDeviceRefused;
  } else if (lonIp != nullptr && lonIp->ErrorKind() == Kind::Busy) {
    number = lns::err::kInterfaceBusy;
  }
  const std::string text = error.what();
  // The channel's messages name the device by its address; the name is said once more in front.
  throw base::Error(number, "LNS", text.find(device) == std::string::npos ? device + ": " + text : text);
}

LonIpLink::LonIpLink(lonip::InterfaceSettings settings, std::filesystem::path stateFolder, SqlDb& db)
    : settings_(std::move(settings)), stateFolder_(std::move(stateFolder)), db_(db) {}

void LonIpLink::WithChannel(const std::string& device, const std::function<void(lonip::LonIpChannel&)>& use) {
  const std::lock_guard lock(channelMutex_);
  try {
    auto settings = lonip::ChannelSettingsOf(settings_, stateFolder_);
    settings.hearBroadcasts = false;
    lonip::LonIpChannel channel(settings, ids_);
    ids_ = channel.TransactionIdsInUse();
    use(channel);
  } catch (const lonip::LonIpError& error) {
    RaiseDeviceError(error, device);
  }
}

void LonIpLink::WithDevice(const DeviceAddress& device, const std::string& what,
                           const std::function<void(lonip::LonIpChannel&, const lonip::LonTarget&)>& use, int64_t filesOf) {
  if (!device.Commissioned()) {
    throw base::Error(lns::err::kDeviceNotAccessible, "LNS",
                      device.Text() + " is not commissioned on " + InterfaceName() +
                          " (portab-lns commission gives it an address)");
  }
  const auto target = lonip::LonTarget::Node(device.address);
  WithChannel(what.empty() ? device.Text() : device.Text() + ", " + what, [&](lonip::LonIpChannel& channel) {
    if (device.ip) channel.Remember(device.address, *device.ip);
    try {
      use(channel, target);
    } catch (...) {
      cpFiles_.erase(filesOf);  // a device that failed may be another one now
      throw;
    }
  });
}

std::function<void()> LonIpLink::StatusCheck(int64_t deviceId) {
  return [self = shared_from_this(), device = AddressOf(deviceId)] {
    self->WithDevice(device, "", [](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
      lonip::QueryStatus(channel, target);
    });
  };
}

std::function<std::vector<uint8_t>()> LonIpLink::NvFetch(int64_t deviceId, int32_t nvIndex, const std::string& what) {
  return [self = shared_from_this(), device = AddressOf(deviceId), nvIndex, what] {
    return self->FetchAt(device, nvIndex, what);
  };
}

std::function<void()> LonIpLink::NvUpdate(int64_t deviceId, int32_t nvIndex, std::vector<uint8_t> value,
                                          const std::string& what) {
  return [self = shared_from_this(), deviceId, device = AddressOf(deviceId), nvIndex, value = std::move(value), what] {
    self->UpdateAt(deviceId, device, nvIndex, value, what);
  };
}

std::vector<uint8_t> LonIpLink::FetchAt(const DeviceAddress& device, int32_t nvIndex, const std::string& what) {
  std::vector<uint8_t> value;
  WithDevice(device, what, [&](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
    value = lonip::NvFetch(channel, target, static_cast<uint16_t>(nvIndex));
  });
  return value;
}

void LonIpLink::UpdateAt(int64_t deviceId, const DeviceAddress& device, int32_t nvIndex,
                         const std::vector<uint8_t>& value, const std::string& what) {
  WithDevice(device, what, [&](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
    const std::pair<int64_t, int32_t> key{deviceId, nvIndex};
    try {
      auto known = selectors_.find(key);
      if (known == selectors_.end()) {
        const auto config = lonip::QueryNvConfig(channel, target, static_cast<uint16_t>(nvIndex));
        if (config.output) {
          throw lonip::LonIpError(lonip::LonIpError::Kind::Refused,
                                  "it is an output NV of the device on " + InterfaceName() + "; only input NVs are written");
        }
        // A device ignores an update of another length: its length is asked once.
        const size_t size = lonip::NvFetch(channel, target, static_cast<uint16_t>(nvIndex)).size();
        known = selectors_.emplace(key, InputNv{config.selector, size}).first;
      }
      if (known->second.size != value.size()) {
        throw lonip::LonIpError(lonip::LonIpError::Kind::Refused,
                                "the device's NV holds " + std::to_string(known->second.size) + " bytes, the value " +
                                    std::to_string(value.size()) + " (the network database's type differs from the device's)");
      }
      lonip::UpdateNv(channel, target, known->second.selector, value);
    } catch (const lonip::LonIpError&) {
      selectors_.erase(key);  // asked again next time: the device may have been replaced
      throw;
    }
  });
}

lonip::DeviceCpFiles LonIpLink::CpFilesOf(int64_t deviceId, lonip::LonChannel& channel, const lonip::LonTarget& target,
                                          uint16_t directoryNv) {
  constexpr auto kKept = std::chrono::seconds(30);
  const auto now = std::chrono::steady_clock::now();
  const auto known = cpFiles_.find(deviceId);
  if (known != cpFiles_.end() && now < known->second.until) return known->second.files;
  cpFiles_.erase(deviceId);
  auto files = lonip::ReadDeviceCpFiles(channel, target, directoryNv);
  cpFiles_[deviceId] = {files, now + kKept};
  return files;
}

uint16_t LonIpLink::DirectoryNvOf(int64_t deviceId, const std::string& device) const {
  auto rows = db_.Prepare("SELECT position, name FROM nv WHERE device_id = ?1 AND type_index = 114 ORDER BY position")
                  .Bind(1, deviceId);
  std::optional<int64_t> position;
  while (rows.Step()) {
    if (!position || rows.Text(1) == "nvoFileDirectory") position = rows.Int(0);
  }
  if (!position) {
    throw base::Error(lns::err::kDeviceRefused, "LNS",
                      device + ": the network gives the device no file directory NV (SNVT_address, nvoFileDirectory), "
                               "so its CP value files cannot be reached");
  }
  return static_cast<uint16_t>(*position - 1);
}

std::function<std::vector<uint8_t>()> LonIpLink::FileRead(int64_t deviceId, FileSpot spot, const std::string& what) {
  const DeviceAddress device = AddressOf(deviceId);
  const uint16_t directory = DirectoryNvOf(deviceId, device.Text());
  return [self = shared_from_this(), deviceId, device, directory, spot, what] {
    std::vector<uint8_t> bytes;
    self->WithDevice(device, what, [&](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
      const auto known = self->CpFilesOf(deviceId, channel, target, directory);
      const bool readOnly = spot.file == kReadOnlyFile;
      const auto& file = readOnly ? known.files.readOnly : known.files.writable;
      if (!file) {
        throw lonip::LonIpError(lonip::LonIpError::Kind::Refused,
                                std::string("the device has no ") + (readOnly ? "read-only" : "writable") + " value file");
      }
      lonip::RecordAt(known, readOnly, spot.offset, spot.count, device.Text());
      bytes = lonip::ReadFileBytes(channel, target, *file, spot.offset, spot.count);
    }, deviceId);
    return bytes;
  };
}

// Written only where the device's own template has a writable CP of that size; its flags
// (offline while changed, a reset after) are the device's.
std::function<void()> LonIpLink::FileWrite(int64_t deviceId, FileSpot spot, std::vector<uint8_t> bytes, const std::string& what) {
  const DeviceAddress device = AddressOf(deviceId);
  if (spot.file != kWritableFile) {
    throw base::Error(lns::err::kBadValue, "LNS",
                      device.Text() + ", " + what + ": only the writable value file is written (on " + InterfaceName() + ")");
  }
  const uint16_t directory = DirectoryNvOf(deviceId, device.Text());
  return [self = shared_from_this(), deviceId, device, directory, spot, bytes = std::move(bytes), what] {
    self->WithDevice(device, what, [&](lonip::LonIpChannel& channel, const lonip::LonTarget& target) {
      const auto known = self->CpFilesOf(deviceId, channel, target, directory);
      if (!known.files.writable) throw lonip::LonIpError(lonip::LonIpError::Kind::Refused, "the device has no writable value file");
      const auto& record = lonip::RecordAt(known, false, spot.offset, static_cast<uint32_t>(bytes.size()), device.Text()).record;
      if (record.Constant() || record.ManufacturingOnly()) {
        throw lonip::LonIpError(lonip::LonIpError::Kind::Refused,
                                "the device's template marks it " + std::string(record.Constant() ? "a constant" : "the maker's"));
      }
      lonip::WriteFileBytes(channel, target, *known.files.writable, spot.offset, bytes, record.flags);
    }, deviceId);
  };
}

}  // namespace platform::lns_embedded
