#include "platform/lonip/simulated_device.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace platform::lonip {

namespace {

constexpr auto kSubnetNodeTimer = std::chrono::milliseconds(2048);
constexpr auto kNeuronIdTimer = std::chrono::milliseconds(8192);

[[noreturn]] void Wrong(const std::string& what) { throw std::runtime_error("device description: " + what); }

template <typename T>
T Field(const nlohmann::json& json, const char* name, T fallback) {
  if (!json.contains(name)) return fallback;
  try {
    return json.at(name).get<T>();
  } catch (const nlohmann::json::exception&) {
    Wrong(std::string("\"") + name + "\" has the wrong type");
  }
}

std::vector<uint8_t> HexField(const nlohmann::json& json, const char* name, size_t length) {
  const auto text = Field<std::string>(json, name, "");
  const auto bytes = ParseHex(text, length == 0 ? text.size() / 2 : length);
  if (!bytes || (length == 0 && text.size() % 2 != 0)) {
    Wrong(std::string("\"") + name + "\" is not " + (length ? std::to_string(length) + " bytes in hex" : "hex bytes"));
  }
  return *bytes;
}

// "\xNN" written in a description's text as the raw byte a device holds.
std::string RawBytes(const std::string& text) {
  std::string raw;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
      if (const auto byte = ParseHex(std::string_view(text).substr(i + 2, 2), 1)) {
        raw += static_cast<char>((*byte)[0]);
        i += 3;
        continue;
      }
    }
    raw += text[i];
  }
  return raw;
}

DeviceNv ReadNv(const nlohmann::json& json, size_t index) {
  if (!json.is_object()) Wrong("NV " + std::to_string(index) + " is not an object");
  DeviceNv nv;
  nv.name = Field<std::string>(json, "name", "nv" + std::to_string(index));
  const auto direction = Field<std::string>(json, "direction", "input");
  if (direction != "input" && direction != "output") Wrong("NV " + nv.name + ": direction is input or output");
  nv.output = direction == "output";
  nv.config = Field<bool>(json, "config", false);
  const unsigned type = Field<unsigned>(json, "type", 0);
  if (type > 255) Wrong("NV " + nv.name + ": a type index of 0 to 255");
  nv.type = static_cast<uint8_t>(type);
  nv.value = HexField(json, "value", 0);
  if (nv.value.empty() || nv.value.size() > 31) Wrong("NV " + nv.name + ": a value of 1 to 31 bytes");
  nv.selfDoc = RawBytes(Field<std::string>(json, "selfDoc", ""));
  // Unbound NVs take selectors counted down from 0x3FFF in the order they are registered.
  nv.selector = static_cast<uint16_t>(0x3FFF - index);
  return nv;
}

DeviceCp ReadCp(const nlohmann::json& json, size_t index) {
  const std::string at = "CP " + std::to_string(index);
  if (!json.is_object()) Wrong(at + " is not an object");
  static const std::map<std::string, int> headers{{"device", 0}, {"block", 1}, {"nv", 2}};
  const auto appliesTo = headers.find(Field<std::string>(json, "appliesTo", "device"));
  if (appliesTo == headers.end()) Wrong(at + ": \"appliesTo\" is device, block or nv");
  const auto select = Field<std::string>(json, "select", "");
  const unsigned scope = Field<unsigned>(json, "scope", 0);
  const auto flags = ParseHex(Field<std::string>(json, "flags", "80"), 1);
  if (!flags || scope > 9) Wrong(at + ": \"flags\" is one byte in hex and \"scope\" a digit");
  const unsigned size = Field<unsigned>(json, "size", 1);
  const unsigned dimension = Field<unsigned>(json, "dimension", 1);
  DeviceCp cp;
  cp.record = std::to_string(appliesTo->second) + "," + select + "," + std::to_string(scope) + static_cast<char>((*flags)[0]) +
              "," + std::to_string(Field<unsigned>(json, "type", 0)) + "," + std::to_string(size);
  if (json.contains("dimension") || json.contains("range")) cp.record += "," + std::to_string(dimension);
  if (json.contains("range")) cp.record += "," + Field<std::string>(json, "range", "");
  cp.constant = ((*flags)[0] & 0x04) != 0;
  cp.value = json.contains("value") ? HexField(json, "value", size * dimension) : std::vector<uint8_t>(size * dimension, 0);
  return cp;
}

// The NV index of NV Fetch and Query NV Config: one byte, or FF and two.
std::optional<uint16_t> IndexOf(const std::vector<uint8_t>& apdu) {
  if (apdu.size() == 2 && apdu[1] != 0xFF) return apdu[1];
  if (apdu.size() == 4 && apdu[1] == 0xFF) return static_cast<uint16_t>(apdu[2] << 8 | apdu[3]);
  return std::nullopt;
}

}  // namespace

DeviceDescription ReadDeviceDescription(const std::string& jsonText) {
  nlohmann::json json;
  try {
    json = nlohmann::json::parse(jsonText);
  } catch (const nlohmann::json::parse_error& e) {
    Wrong(std::string("not JSON: ") + e.what());
  }
  if (!json.is_object()) Wrong("not a JSON object");
  DeviceDescription d;
  const auto ip = Ipv4::Parse(Field<std::string>(json, "ip", ""));
  if (!ip) Wrong("\"ip\" is not an IPv4 address");
  d.ip = *ip;
  const auto nid = HexField(json, "neuronId", 6);
  std::copy(nid.begin(), nid.end(), d.neuronId.begin());
  const auto pid = HexField(json, "programId", 8);
  std::copy(pid.begin(), pid.end(), d.programId.begin());
  const auto state = Field<std::string>(json, "state", "unconfigured");
  if (state == "configured" || state == "offline") {
    d.state = node_state::kConfiguredOnline;
    d.offline = state == "offline";
    if (!json.contains("domain")) Wrong("a configured device needs its \"domain\"");
    const auto domainText = Field<std::string>(json, "domain", "");
    const auto domain = ParseHex(domainText, domainText.size() / 2);
    if (!domain || domainText.size() % 2 != 0 || !IsDomainLength(domain->size())) Wrong("\"domain\" is 0, 1, 3 or 6 bytes in hex");
    d.domains[0].id = *domain;
    const unsigned subnet = Field<unsigned>(json, "subnet", 1);
    const unsigned node = Field<unsigned>(json, "node", 1);
    if (subnet < 1 || subnet > 255 || node < 1 || node > 127) Wrong("\"subnet\" is 1 to 255 and \"node\" 1 to 127");
    d.domains[0].subnet = static_cast<uint8_t>(subnet);
    d.domains[0].node = static_cast<uint8_t>(node);
  } else if (state != "unconfigured") {
    Wrong("\"state\" is unconfigured, configured or offline");
  }
  d.domains[0].invalid = d.state == node_state::kUnconfigured;
  d.domains[1].invalid = true;
  const auto nvs = json.contains("nvs") ? json.at("nvs") : nlohmann::json::array();
  if (!nvs.is_array()) Wrong("\"nvs\" is not an array");
  for (size_t i = 0; i < nvs.size(); ++i) d.nvs.push_back(ReadNv(nvs[i], i));
  d.selfDoc = RawBytes(Field<std::string>(json, "selfDoc", ""));
  const auto cps = json.contains("cps") ? json.at("cps") : nlohmann::json::array();
  if (!cps.is_array()) Wrong("\"cps\" is not an array");
  for (size_t i = 0; i < cps.size(); ++i) d.cps.push_back(ReadCp(cps[i], i));
  if (json.contains("window")) {
    const auto window = HexField(json, "window", 2);
    d.window = static_cast<uint16_t>(window[0] << 8 | window[1]);
  }
  const unsigned maxWrite = Field<unsigned>(json, "maxMemoryWrite", 11);
  if (maxWrite < 1 || maxWrite > 255) Wrong("\"maxMemoryWrite\" is 1 to 255 bytes");
  d.maxMemoryWrite = static_cast<uint8_t>(maxWrite);
  d.silentAfterReset = std::chrono::milliseconds(Field<unsigned>(json, "silentAfterResetMs", 0));
  d.silentAfterMemoryWrites = static_cast<int>(Field<unsigned>(json, "silentAfterMemoryWrites", 0));
  if (json.contains("templateText")) d.templateText = RawBytes(Field<std::string>(json, "templateText", ""));
  d.dropFirst = Field<int>(json, "dropFirst", 0);
  if (d.dropFirst < 0) Wrong("\"dropFirst\" is a count, 0 or more");
  d.servicePinAtStart = Field<bool>(json, "servicePinAtStart", false);
  return d;
}

SimulatedDevice::SimulatedDevice(DeviceDescription description) : d_(std::move(description)) { BuildWindow(); }

// The window holds, from its start: the file directory (version 2.0: size, type and address of
// each file, two bytes each), the template file, the writable and the read-only value file.
void SimulatedDevice::BuildWindow() {
  if (d_.cps.empty()) return;
  std::string templ = "1.1;";
  for (const auto& cp : d_.cps) templ += cp.record + ";";
  if (d_.templateText) templ = *d_.templateText;
  std::vector<uint8_t> writable, readOnly;
  for (const auto& cp : d_.cps) (cp.constant ? readOnly : writable).insert((cp.constant ? readOnly : writable).end(), cp.value.begin(), cp.value.end());
  std::vector<std::vector<uint8_t>> files{{templ.begin(), templ.end()}, writable};
  if (!readOnly.empty()) files.push_back(readOnly);
  const size_t directory = 2 + 6 * files.size();
  window_ = {0x20, static_cast<uint8_t>(files.size())};
  size_t address = d_.window + directory;
  for (size_t i = 0; i < files.size(); ++i) {
    fileStarts_.push_back(address);
    const uint16_t type = i == 0 ? 2 : 1;
    window_.insert(window_.end(), {static_cast<uint8_t>(files[i].size() >> 8), static_cast<uint8_t>(files[i].size() & 0xFF), 0,
                                   static_cast<uint8_t>(type), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF)});
    address += files[i].size();
  }
  for (const auto& file : files) window_.insert(window_.end(), file.begin(), file.end());
  if (d_.window + window_.size() > 0x10000) Wrong("the CP files do not fit between \"window\" and the end of memory");
}

std::string SimulatedDevice::FileAt(size_t address) const {
  static const char* names[] = {"template file", "writable value file", "read-only value file"};
  std::string name = "file directory";
  for (size_t i = 0; i < fileStarts_.size(); ++i) {
    if (address >= fileStarts_[i]) name = names[i];
  }
  return name;
}

// Like a device's own code, the window takes a write wherever it falls, files a tool must not
// write included; the log says which file it went to.
std::optional<std::vector<uint8_t>> SimulatedDevice::WriteWindow(const std::vector<uint8_t>& apdu) {
  const size_t address = static_cast<size_t>(apdu[2] << 8 | apdu[3]);
  const size_t count = apdu[4];
  if (count > d_.maxMemoryWrite || !InWindow(address, count)) return std::nullopt;
  std::copy(apdu.begin() + 6, apdu.end(), window_.begin() + static_cast<std::ptrdiff_t>(address - d_.window));
  char line[96];
  std::snprintf(line, sizeof line, "memory write at 0x%04zX, %zu bytes, %s", address, count, FileAt(address).c_str());
  log_.push_back(line);
  if (++memoryWrites_ == d_.silentAfterMemoryWrites) {
    log_.push_back("silent from now on");
    silentUntil_ = Clock::time_point::max();
  }
  return std::vector<uint8_t>{SuccessCode(code::kWriteMemory)};
}

bool SimulatedDevice::InWindow(size_t address, size_t count) const {
  return !window_.empty() && address >= d_.window && address + count <= d_.window + window_.size();
}

LonAddress SimulatedDevice::Address() const {
  if (!Configured()) return {{}, 0, 0};
  return {d_.domains[0].id, d_.domains[0].subnet, d_.domains[0].node};
}

bool SimulatedDevice::Accepts(const Datagram& d, const Ipv4& from) const {
  if (d.format == AddressFormat::NeuronId) return d.neuronId == d_.neuronId;
  const DomainId senderDomain = d.source && d.source->domain ? *d.source->domain : LonAddressOfIp(from).domain;
  const bool inDomain = !Configured() || senderDomain == d_.domains[0].id;
  switch (d.format) {
    case AddressFormat::DomainBroadcast: return inDomain;
    case AddressFormat::SubnetBroadcast: return inDomain && (!Configured() || d.subnet == d_.domains[0].subnet);
    // An unconfigured device takes only broadcast and Neuron-ID addressed messages.
    case AddressFormat::SubnetNode: return Configured();
    case AddressFormat::ExplicitSubnetNode:
      return Configured() && inDomain && d.subnet == d_.domains[0].subnet && d.node == d_.domains[0].node;
    default: return false;
  }
}

std::vector<uint8_t> SimulatedDevice::Reply(const Datagram& request, PduFormat pdu, uint8_t type,
                                            std::vector<uint8_t> apdu) const {
  Datagram reply;
  reply.version = request.version;
  reply.priority = request.priority;
  reply.format = AddressFormat::SubnetNode;
  reply.pdu = pdu;
  reply.pduType = type;
  reply.transaction = request.transaction;
  reply.apdu = std::move(apdu);
  // A device whose address is not the one its IP stands for says it in every answer.
  const LonAddress own = Address();
  const LonAddress ofIp = LonAddressOfIp(d_.ip);
  if (own != ofIp) {
    ExplicitSource source{own.subnet, own.node, std::nullopt};
    if (Configured() && own.domain != ofIp.domain) source.domain = own.domain;
    reply.source = source;
  }
  return EncodeDatagram(reply);
}

std::vector<std::vector<uint8_t>> SimulatedDevice::Receive(const std::vector<uint8_t>& bytes, const Ipv4& from,
                                                           Clock::time_point now) {
  Datagram d;
  try {
    d = DecodeDatagram(bytes);
  } catch (const std::exception&) {
    ++missed_;
    return {};
  }
  if (!Accepts(d, from) || now < silentUntil_) return {};
  const bool request = d.pdu == PduFormat::Spdu && d.pduType == static_cast<uint8_t>(PduType::Request);
  const bool acknowledged = d.pdu == PduFormat::Tpdu && d.pduType == static_cast<uint8_t>(PduType::Acknowledged);
  const bool repeated = d.pdu == PduFormat::Tpdu && d.pduType == static_cast<uint8_t>(PduType::UnackedRepeat);
  if (!request && !acknowledged && !repeated && d.pdu != PduFormat::Apdu) return {};
  if ((request || acknowledged) && d_.dropFirst > 0) {
    --d_.dropFirst;
    return {};
  }
  if (d.pdu == PduFormat::Apdu) {
    Execute(d.apdu, false);
    return {};
  }
  // A repeat of the last transaction from the same sender inside the receive timer is a retry:
  // it gets the answer kept from the first time, and is not carried out again.
  auto& record = records_[{from, d.priority}];
  if (record.transaction == d.transaction && now - record.at < record.timer) {
    if (record.reply.empty()) return {};
    return {record.reply};
  }
  record = {d.transaction, now, d.format == AddressFormat::NeuronId ? kNeuronIdTimer : kSubnetNodeTimer, {}};
  const auto answer = Execute(d.apdu, request);
  if (acknowledged) {
    record.reply = Reply(d, PduFormat::Tpdu, static_cast<uint8_t>(PduType::Ack), {});
  } else if (request && answer) {
    record.reply = Reply(d, PduFormat::Spdu, static_cast<uint8_t>(PduType::Response), *answer);
  }
  if (record.reply.empty()) return {};
  return {record.reply};
}

std::optional<std::vector<uint8_t>> SimulatedDevice::Execute(const std::vector<uint8_t>& apdu, bool request) {
  if (apdu.empty()) return std::nullopt;
  if ((apdu[0] & 0x80) != 0) {
    UpdateNv(apdu);
    return std::nullopt;
  }
  return NetworkManagement(apdu, request);
}

void SimulatedDevice::UpdateNv(const std::vector<uint8_t>& apdu) {
  // NV updates reach only a configured device; one marked for an output NV is refused.
  if (!Configured() || apdu.size() < 2 || (apdu[0] & 0x40) != 0) return;
  const uint16_t selector = static_cast<uint16_t>((apdu[0] & 0x3F) << 8 | apdu[1]);
  for (auto& nv : d_.nvs) {
    if (nv.selector == selector && !nv.output && nv.value.size() == apdu.size() - 2) {
      nv.value.assign(apdu.begin() + 2, apdu.end());
      return;
    }
  }
}

std::vector<uint8_t> SimulatedDevice::ReadOnlyData() const {
  std::vector<uint8_t> data(d_.neuronId.begin(), d_.neuronId.end());
  data.insert(data.end(), {0x80, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF});
  data.insert(data.end(), d_.programId.begin(), d_.programId.end());
  data.resize(32, 0);
  return data;
}

std::vector<uint8_t> SimulatedDevice::SiData() const {
  // Version 1: length (2), NV count (low byte), version, NV count (high byte), message tags;
  // flags and standard type per NV; the node's string; an extension record (name and
  // self-documentation) for each NV that has them; the alias field.
  const auto count = d_.nvs.size();
  std::vector<uint8_t> data{0, 0, static_cast<uint8_t>(count & 0xFF), 1, static_cast<uint8_t>(count >> 8), 0};
  for (const auto& nv : d_.nvs) {
    data.push_back(static_cast<uint8_t>(0x80 | (nv.config ? 0x01 : 0)));
    data.push_back(nv.type);
  }
  data.insert(data.end(), d_.selfDoc.begin(), d_.selfDoc.end());
  data.push_back(0);
  for (const auto& nv : d_.nvs) {
    data.push_back(static_cast<uint8_t>(0x20 | (nv.selfDoc.empty() ? 0 : 0x10)));
    data.insert(data.end(), nv.name.begin(), nv.name.end());
    data.push_back(0);
    if (!nv.selfDoc.empty()) {
      data.insert(data.end(), nv.selfDoc.begin(), nv.selfDoc.end());
      data.push_back(0);
    }
  }
  data.push_back(0);
  data[0] = static_cast<uint8_t>(data.size() >> 8);
  data[1] = static_cast<uint8_t>(data.size() & 0xFF);
  return data;
}

std::optional<std::vector<uint8_t>> SimulatedDevice::NetworkManagement(const std::vector<uint8_t>& apdu, bool request) {
  const uint8_t requestCode = apdu[0];
  const bool diagnostic = (requestCode & 0xF0) == 0x50;
  const auto success = [&](std::vector<uint8_t> data = {}) {
    data.insert(data.begin(), SuccessCode(requestCode));
    return std::optional<std::vector<uint8_t>>(std::move(data));
  };
  const auto failure = [&] { return std::optional<std::vector<uint8_t>>(std::vector<uint8_t>{FailureCode(requestCode)}); };
  const auto range = [&](size_t offset, size_t count, size_t size) { return offset + count <= size; };
  switch (requestCode) {
    case code::kQueryStatus: {
      if (apdu.size() != 1) return failure();
      std::vector<uint8_t> data(10, 0);
      data[8] = static_cast<uint8_t>(missed_ >> 8);
      data[9] = static_cast<uint8_t>(missed_ & 0xFF);
      const uint8_t state = d_.offline && Configured() ? node_state::kSoftOffline : d_.state;
      data.insert(data.end(), {0x01, state, 0x01, 0x00, 0x80});
      return success(data);
    }
    case code::kQueryId: {
      if (apdu.size() < 2 || apdu[1] > 2) return failure();
      const bool unconfigured = !Configured();
      const bool match = apdu[1] == 0 ? unconfigured : apdu[1] == 1 ? selected_ : selected_ && unconfigured;
      if (!match) return std::nullopt;
      std::vector<uint8_t> data(d_.neuronId.begin(), d_.neuronId.end());
      data.insert(data.end(), d_.programId.begin(), d_.programId.end());
      return success(data);
    }
    case code::kRespondToQuery:
      if (apdu.size() != 2 || apdu[1] > 1) return failure();
      selected_ = apdu[1] == 1;
      return success();
    case code::kQueryDomain:
      if (apdu.size() != 2 || apdu[1] > 1) return failure();
      return success(EncodeDomainEntry(d_.domains[apdu[1]]));
    case code::kUpdateDomain:
      if (apdu.size() != 17 || apdu[1] > 1) return failure();
      try {
        d_.domains[apdu[1]] = DecodeDomainEntry(apdu, 2);
      } catch (const std::exception&) {
        return failure();
      }
      return success();
    case code::kSetNodeMode:
      if (apdu.size() < 2) return failure();
      switch (apdu[1]) {
        case 0: d_.offline = true; log_.push_back("offline"); break;
        case 1: d_.offline = false; log_.push_back("online"); break;
        case 2:
          d_.offline = false;
          log_.push_back("reset");
          silentUntil_ = Clock::now() + d_.silentAfterReset;
          return std::nullopt;
        case 3:
          if (apdu.size() != 3) return failure();
          d_.state = apdu[2];
          d_.domains[0].invalid = !Configured();
          break;
        default: return failure();
      }
      return request ? success() : std::nullopt;
    case code::kQueryAddress:
      if (apdu.size() != 2 || apdu[1] >= addresses_.size()) return failure();
      return success({addresses_[apdu[1]].begin(), addresses_[apdu[1]].end()});
    case code::kUpdateAddress:
      if (apdu.size() != 7 || apdu[1] >= addresses_.size()) return failure();
      std::copy(apdu.begin() + 2, apdu.end(), addresses_[apdu[1]].begin());
      return success();
    case code::kQueryNvConfig: {
      const auto index = IndexOf(apdu);
      if (!index || *index >= d_.nvs.size()) return failure();
      const auto& nv = d_.nvs[*index];
      return success(EncodeNvConfig({false, nv.output, nv.selector, false, 0, false, 0x0F}));
    }
    case code::kReadMemory: {
      if (apdu.size() != 5) return failure();
      const size_t offset = static_cast<size_t>(apdu[2] << 8 | apdu[3]);
      const size_t count = apdu[4];
      std::vector<uint8_t> memory;
      // Absolute addresses reach the CP files' window only.
      if (apdu[1] == 0) {
        if (!InWindow(offset, count)) return failure();
        const auto begin = window_.begin() + static_cast<std::ptrdiff_t>(offset - d_.window);
        return success({begin, begin + static_cast<std::ptrdiff_t>(count)});
      }
      if (apdu[1] == 1) memory = ReadOnlyData();
      else if (apdu[1] == 2) memory = configData_;
      else if (apdu[1] == 3) memory = std::vector<uint8_t>(10, 0);
      if (memory.empty() || !range(offset, count, memory.size())) return failure();
      return success({memory.begin() + static_cast<std::ptrdiff_t>(offset),
                      memory.begin() + static_cast<std::ptrdiff_t>(offset + count)});
    }
    case code::kWriteMemory: {
      if (apdu.size() >= 6 && apdu.size() == 6u + apdu[4] && apdu[1] == 0) {
        auto written = WriteWindow(apdu);
        return written ? written : failure();
      }
      if (apdu.size() < 6 || apdu.size() != 6u + apdu[4] || apdu[1] != 2) return failure();
      const size_t offset = static_cast<size_t>(apdu[2] << 8 | apdu[3]);
      if (!range(offset, apdu[4], configData_.size())) return failure();
      std::copy(apdu.begin() + 6, apdu.end(), configData_.begin() + static_cast<std::ptrdiff_t>(offset));
      return success();
    }
    case code::kWink:
      // A plain wink is a message, not a request: asked for an answer, the device refuses.
      if (request) return failure();
      ++winks_;
      return std::nullopt;
    case code::kQuerySiData: {
      if (apdu.size() != 4) return failure();
      const auto si = SiData();
      const size_t offset = static_cast<size_t>(apdu[1] << 8 | apdu[2]);
      if (!range(offset, apdu[3], si.size())) return failure();
      return success({si.begin() + static_cast<std::ptrdiff_t>(offset),
                      si.begin() + static_cast<std::ptrdiff_t>(offset + apdu[3])});
    }
    case code::kNvFetch: {
      const auto index = IndexOf(apdu);
      if (!index || *index >= d_.nvs.size()) return failure();
      auto data = NvIndexBytes(*index);
      data.insert(data.end(), d_.nvs[*index].value.begin(), d_.nvs[*index].value.end());
      return success(data);
    }
    case code::kServicePin: return std::nullopt;
    default:
      if ((requestCode & 0xE0) == 0x60 || diagnostic) return request ? failure() : std::nullopt;
      return std::nullopt;
  }
}

std::vector<uint8_t> SimulatedDevice::ServicePinDatagram() const {
  Datagram d;
  d.format = AddressFormat::DomainBroadcast;
  d.pdu = PduFormat::Apdu;
  const LonAddress own = Address();
  // Sent in the zero-length domain, whatever the device's own.
  d.source = ExplicitSource{own.subnet, own.node, DomainId{}};
  d.apdu = {code::kServicePin};
  d.apdu.insert(d.apdu.end(), d_.neuronId.begin(), d_.neuronId.end());
  d.apdu.insert(d.apdu.end(), d_.programId.begin(), d_.programId.end());
  return EncodeDatagram(d);
}

}  // namespace platform::lonip
