#include "platform/lns_embedded/lonip_link.h"

#include "base/error.h"
#include "lns/lns_errors.h"
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
  const bool refused = lonIp != nullptr && (lonIp->ErrorKind() == lonip::LonIpError::Kind::Refused ||
                                            lonIp->ErrorKind() == lonip::LonIpError::Kind::Malformed);
  const std::string text = error.what();
  // The channel's messages name the device by its address; the name is said once more in front.
  throw base::Error(refused ? lns::err::kDeviceRefused : lns::err::kDeviceNotAccessible, "LNS",
                    text.find(device) == std::string::npos ? device + ": " + text : text);
}

lonip::LonTarget LonIpLink::TargetOf(const DeviceAddress& device) const {
  if (!device.Commissioned()) {
    throw base::Error(lns::err::kDeviceNotAccessible, "LNS",
                      device.Text() + " is not commissioned on " + InterfaceName() +
                          " (portab-lns commission gives it an address)");
  }
  return lonip::LonTarget::Node(device.address);
}

void LonIpLink::WithChannel(const std::string& device, const std::function<void(lonip::LonIpChannel&)>& use,
                            bool hearBroadcasts) {
  try {
    auto settings = lonip::ChannelSettingsOf(settings_, stateFolder_);
    settings.hearBroadcasts = hearBroadcasts;
    lonip::LonIpChannel channel(settings);
    use(channel);
  } catch (const lonip::LonIpError& error) {
    RaiseDeviceError(error, device);
  }
}

void LonIpLink::CheckAccessible(int64_t deviceId) {
  const DeviceAddress device = DeviceAddressOf(db_, deviceId, Domain());
  const lonip::LonTarget target = TargetOf(device);
  WithChannel(device.Text(), [&](lonip::LonIpChannel& channel) {
    if (device.ip) channel.Remember(device.address, *device.ip);
    lonip::QueryStatus(channel, target);
  });
}

std::vector<uint8_t> LonIpLink::FetchNv(int64_t deviceId, int32_t nvIndex) {
  const DeviceAddress device = DeviceAddressOf(db_, deviceId, Domain());
  const lonip::LonTarget target = TargetOf(device);
  std::vector<uint8_t> value;
  WithChannel(device.Text(), [&](lonip::LonIpChannel& channel) {
    if (device.ip) channel.Remember(device.address, *device.ip);
    value = lonip::NvFetch(channel, target, static_cast<uint16_t>(nvIndex));
  });
  return value;
}

void LonIpLink::UpdateNv(int64_t deviceId, int32_t nvIndex, const std::vector<uint8_t>& value, const std::string& what) {
  const DeviceAddress device = DeviceAddressOf(db_, deviceId, Domain());
  const lonip::LonTarget target = TargetOf(device);
  WithChannel(device.Text() + ", " + what, [&](lonip::LonIpChannel& channel) {
    if (device.ip) channel.Remember(device.address, *device.ip);
    auto selector = selectors_.find({deviceId, nvIndex});
    if (selector == selectors_.end()) {
      const auto config = lonip::QueryNvConfig(channel, target, static_cast<uint16_t>(nvIndex));
      if (config.output) {
        throw lonip::LonIpError(lonip::LonIpError::Kind::Refused,
                                "it is an output NV of the device on " + InterfaceName() + "; only input NVs are written");
      }
      selector = selectors_.emplace(std::pair{deviceId, nvIndex}, config.selector).first;
    }
    lonip::UpdateNv(channel, target, selector->second, value);
  });
}

}  // namespace platform::lns_embedded
