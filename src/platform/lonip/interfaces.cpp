#include "platform/lonip/interfaces.h"

#include <algorithm>
#include <charconv>

#include "base/encoding.h"
#include "base/text.h"
#include "platform/lonip/lonip_error.h"

namespace platform::lonip {

namespace {

using services::registry::Hive;

constexpr std::string_view kInterfaces = "SOFTWARE\\velta\\veltaPortaB\\LonIp\\Interfaces";
constexpr std::string_view kNetworks = "SOFTWARE\\velta\\veltaPortaB\\LonIp\\Networks";

std::string KeyOf(std::string_view folder, std::string_view name) { return std::string(folder) + "\\" + std::string(name); }

void CheckName(std::string_view what, std::string_view name) {
  const bool control = std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (name.empty() || name.size() > 64 || name.find('\\') != std::string_view::npos || control ||
      !base::IsValidUtf8(name) || base::TrimBlanks(name) != name) {
    throw LonIpError(LonIpError::Kind::Usage,
                     std::string(what) + " cannot be kept: 1 to 64 bytes of UTF-8, no backslash or control character, "
                                         "no blanks around it");
  }
}

// A setting of an entry: its default when missing, its number when it is one within
// [low, high]; anything else makes the entry damaged.
std::optional<int64_t> Setting(const std::optional<std::string>& text, int64_t fallback, int64_t low, int64_t high) {
  if (!text) return fallback;
  int64_t value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc() || end != text->data() + text->size() || value < low || value > high) return std::nullopt;
  return value;
}

// The name as the store spells it, found without regard to case.
std::optional<std::string> StoredName(const services::registry::Registry& registry, std::string_view folder,
                                      std::string_view name) {
  for (const auto& stored : registry.SubKeyNames(Hive::LocalMachine, folder)) {
    if (base::EqualsNoCase(stored, name)) return stored;
  }
  return std::nullopt;
}

}  // namespace

std::optional<Ipv4> ParseInterfaceAddress(std::string_view text) {
  constexpr std::string_view kScheme = "lonip:";
  if (text.size() <= kScheme.size() || !base::EqualsNoCase(text.substr(0, kScheme.size()), kScheme)) return std::nullopt;
  const auto ip = Ipv4::Parse(text.substr(kScheme.size()));
  if (!ip) return std::nullopt;
  const auto& b = ip->bytes;
  if (b[0] == 0 || b[0] >= 224 || b[2] == 0 || b[3] == 0 || b[3] > 127) return std::nullopt;
  return ip;
}

std::vector<InterfaceSettings> InterfaceStore::List(std::vector<std::string>* damaged) const {
  std::vector<InterfaceSettings> list;
  for (const auto& name : registry_.SubKeyNames(Hive::LocalMachine, kInterfaces)) {
    std::string problem;
    if (auto settings = Find(name, &problem)) {
      list.push_back(std::move(*settings));
    } else if (damaged != nullptr) {
      damaged->push_back(name + ": " + problem);
    }
  }
  return list;
}

std::optional<InterfaceSettings> InterfaceStore::Find(std::string_view name, std::string* problem) const {
  const auto stored = StoredName(registry_, kInterfaces, name);
  const auto fail = [&](const std::string& why) {
    if (problem != nullptr) *problem = why;
    return std::nullopt;
  };
  if (!stored) return fail("there is no interface \"" + std::string(name) + "\"");
  const std::string key = KeyOf(kInterfaces, *stored);
  // An entry that a registry editor damaged is no interface rather than a wrong one.
  const auto text = registry_.ReadValue(Hive::LocalMachine, key, "Address").value_or("");
  const auto address = ParseInterfaceAddress(text);
  if (!address) return fail("the Address \"" + text + "\" is no interface address (lonip:<IPv4>)");
  InterfaceSettings settings{*stored, *address};
  const auto timeout = Setting(registry_.ReadValue(Hive::LocalMachine, key, "Timeout"), 600, 1, 60000);
  const auto retries = Setting(registry_.ReadValue(Hive::LocalMachine, key, "Retries"), 3, 0, 20);
  const auto version = Setting(registry_.ReadValue(Hive::LocalMachine, key, "Version"), 0, 0, 1);
  if (!timeout) return fail("the Timeout is not 1 to 60000 (milliseconds)");
  if (!retries) return fail("the Retries are not 0 to 20");
  if (!version) return fail("the Version is not 0 or 1");
  settings.timeout = std::chrono::milliseconds(*timeout);
  settings.retries = static_cast<int>(*retries);
  settings.enhanced = *version == 1;
  return settings;
}

void InterfaceStore::Put(const InterfaceSettings& settings) {
  CheckName("The interface name", settings.name);
  for (const auto& other : List()) {
    if (other.address == settings.address && !base::EqualsNoCase(other.name, settings.name)) {
      throw LonIpError(LonIpError::Kind::Usage, "The interface \"" + other.name + "\" has the address " +
                                                    settings.AddressText() + " already");
    }
  }
  if (settings.timeout.count() < 1 || settings.timeout.count() > 60000 || settings.retries < 0 || settings.retries > 20) {
    throw LonIpError(LonIpError::Kind::Usage, "An interface's timeout is 1 to 60000 ms and its retries 0 to 20");
  }
  const std::string key = KeyOf(kInterfaces, StoredName(registry_, kInterfaces, settings.name).value_or(settings.name));
  registry_.WriteValue(Hive::LocalMachine, key, "Address", settings.AddressText());
  registry_.WriteValue(Hive::LocalMachine, key, "Timeout", std::to_string(settings.timeout.count()));
  registry_.WriteValue(Hive::LocalMachine, key, "Retries", std::to_string(settings.retries));
  registry_.WriteValue(Hive::LocalMachine, key, "Version", settings.enhanced ? "1" : "0");
}

bool InterfaceStore::Remove(std::string_view name) {
  const auto stored = StoredName(registry_, kInterfaces, name);
  if (!stored) return false;
  for (const auto& network : NetworksAttachedTo(*stored)) Attach(network, "");
  registry_.DeleteKeyTree(Hive::LocalMachine, KeyOf(kInterfaces, *stored));
  return true;
}

std::optional<InterfaceSettings> InterfaceStore::AttachedTo(std::string_view network) const {
  const auto stored = StoredName(registry_, kNetworks, network);
  if (!stored) return std::nullopt;
  const auto name = registry_.ReadValue(Hive::LocalMachine, KeyOf(kNetworks, *stored), "Interface");
  if (!name) return std::nullopt;
  std::string problem;
  auto settings = Find(*name, &problem);
  if (!settings) {
    throw LonIpError(LonIpError::Kind::Usage, "The network \"" + std::string(network) + "\" is attached to the interface \"" +
                                                  *name + "\", which cannot be used: " + problem +
                                                  " (portab-lns interface add, or attach <network> none)");
  }
  return settings;
}

void InterfaceStore::Attach(std::string_view network, std::string_view name) {
  CheckName("The network name", network);
  const std::string key = KeyOf(kNetworks, StoredName(registry_, kNetworks, network).value_or(std::string(network)));
  if (name.empty()) {
    registry_.DeleteKeyTree(Hive::LocalMachine, key);
    return;
  }
  const auto settings = Find(name);
  if (!settings) throw LonIpError(LonIpError::Kind::Usage, "There is no interface \"" + std::string(name) + "\"");
  registry_.WriteValue(Hive::LocalMachine, key, "Interface", settings->name);
}

std::vector<std::string> InterfaceStore::NetworksAttachedTo(std::string_view name) const {
  std::vector<std::string> networks;
  for (const auto& network : registry_.SubKeyNames(Hive::LocalMachine, kNetworks)) {
    const auto attached = registry_.ReadValue(Hive::LocalMachine, KeyOf(kNetworks, network), "Interface");
    if (attached && base::EqualsNoCase(*attached, name)) networks.push_back(network);
  }
  return networks;
}

ChannelSettings ChannelSettingsOf(const InterfaceSettings& settings, const std::filesystem::path& stateFolder) {
  ChannelSettings channel;
  channel.ownIp = settings.address;
  channel.timeout = settings.timeout;
  channel.retries = settings.retries;
  channel.version = settings.enhanced ? kEnhancedVersion : kLegacyVersion;
  channel.name = settings.name + " (" + settings.AddressText() + ")";
  if (!stateFolder.empty()) channel.stateFile = (stateFolder / ("lonip-" + settings.address.Text() + ".ids")).string();
  return channel;
}

}  // namespace platform::lonip
