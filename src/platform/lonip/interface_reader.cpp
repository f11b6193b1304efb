#include "platform/lonip/interface_reader.h"

#include <algorithm>

#include "platform/device_interface/interface_error.h"
#include "platform/device_interface/si_data.h"
#include "platform/lonip/device_requests.h"
#include "platform/lonip/lonip_error.h"

namespace platform::lonip {
namespace {

namespace di = device_interface;

constexpr uint16_t kSiByQuery = 0xFFFF;  // the read-only data's "ask with Query SI Data"
constexpr uint8_t kSnvtAddress = 114;
constexpr uint8_t kSnvtFileReq = 73;
constexpr uint8_t kSnvtFileStatus = 74;

std::string Who(const LonChannel& channel, const LonTarget& device) { return device.Text() + " on " + channel.Name(); }

// The self-identification data, from memory at the read-only data's address or by Query SI
// Data (when the address says so, or the device refuses to be read there, as devices that
// answer absolute reads only inside their file window do): the length first, then the rest.
std::vector<uint8_t> ReadSiBytes(LonChannel& channel, const LonTarget& device, uint16_t address) {
  bool byQuery = address == kSiByQuery;
  const auto piece = [&](uint32_t offset, uint8_t count) {
    if (byQuery) return QuerySiData(channel, device, static_cast<uint16_t>(offset), count);
    return ReadMemoryBytes(channel, device, address + offset, count);
  };
  if (!byQuery) {
    try {
      piece(0, 2);
    } catch (const LonIpError& error) {
      if (error.ErrorKind() == LonIpError::Kind::NoAnswer) throw;
      byQuery = true;
    }
  }
  std::vector<uint8_t> bytes = piece(0, 2);
  const uint32_t length = static_cast<uint32_t>(bytes[0] << 8 | bytes[1]);
  if (length < 5) {
    throw LonIpError(LonIpError::Kind::Malformed,
                     Who(channel, device) + ": the self-identification data declare a length of " + std::to_string(length) + " bytes");
  }
  while (bytes.size() < length) {
    const auto count = static_cast<uint8_t>(std::min<size_t>(kMemoryPiece, length - bytes.size()));
    const auto more = piece(static_cast<uint32_t>(bytes.size()), count);
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  return bytes;
}

di::NodeSelfDoc NodeDocOf(const std::string& text) {
  // A string that is not a LonMark one ("&<major>.<minor>@...") names no blocks.
  if (text.empty() || text[0] != '&') return {0, 0, {}, text};
  return di::ParseNodeSelfDoc(text, "the node self-documentation string");
}

// The SI entries as NVs, an array's entry standing for one NV per element.
std::vector<di::InterfaceNv> NvsOf(const di::SiData& si) {
  std::vector<di::InterfaceNv> nvs;
  for (const auto& entry : si.nvs) {
    const uint16_t count = entry.arrayCount > 0 ? entry.arrayCount : 1;
    for (uint16_t i = 0; i < count; ++i) {
      di::InterfaceNv nv;
      nv.index = static_cast<uint16_t>(entry.index + i);
      nv.name = entry.arrayCount > 0 && !entry.name.empty() ? entry.name + "[" + std::to_string(i) + "]" : entry.name;
      nv.typeIndex = entry.typeIndex;
      nv.siFlags = entry.flags;
      nv.selfDoc = entry.selfDoc;
      nvs.push_back(std::move(nv));
    }
  }
  return nvs;
}

// Direction and service from Query NV Config, value and length from NV Fetch (a device may
// refuse to fetch an NV: its length stays unknown), meaning from its self-documentation.
void AskEachNv(LonChannel& channel, const LonTarget& device, di::InterfaceNv& nv) {
  const auto config = QueryNvConfig(channel, device, nv.index);
  nv.output = config.output;
  nv.service = config.service;
  try {
    nv.value = NvFetch(channel, device, nv.index);
    nv.length = static_cast<uint16_t>(nv.value.size());
  } catch (const LonIpError& error) {
    if (error.ErrorKind() != LonIpError::Kind::Refused) throw;
  }
  const std::string what = "the self-documentation of NV " + std::to_string(nv.index) + " \"" + nv.name + "\"";
  if ((nv.siFlags & di::si_flag::kConfigClass) != 0 && !nv.selfDoc.empty() && nv.selfDoc[0] == '&') {
    nv.cp = di::ParseConfigNvSelfDoc(nv.selfDoc, what);
    nv.cp->size = static_cast<uint16_t>(nv.length / std::max<uint16_t>(nv.cp->dimension, 1));  // 0: not fetched
  } else {
    nv.member = di::ParseNvSelfDoc(nv.selfDoc, what);
  }
}

// The NV that says how the CP files are reached: among the Node Object's NVs (all NVs on a
// device whose NVs name no block), an SNVT_address one points at the file directory, an
// SNVT_file_req with an SNVT_file_status one means file transfer.
di::FileAccess FileAccessOf(const di::DeviceInterface& device, const di::InterfaceNv** directoryNv) {
  std::vector<uint16_t> nodeObjects;
  for (const auto& block : device.node.blocks) {
    if (block.profileKey == 0) nodeObjects.push_back(block.index);
  }
  const auto member = [&](const di::InterfaceNv& nv) {
    return nv.member && std::any_of(nodeObjects.begin(), nodeObjects.end(), [&](uint16_t block) {
             return nv.member->block <= block && block <= nv.member->lastBlock;
           });
  };
  // NVs without self-documentation strings say no block: then every NV is looked at.
  const bool anyMember = std::any_of(device.nvs.begin(), device.nvs.end(), member);
  const auto ofNodeObject = [&](const di::InterfaceNv& nv) {
    return !anyMember || member(nv) || nv.name == "nvoFileDirectory";
  };
  bool request = false;
  bool status = false;
  for (const auto& nv : device.nvs) {
    if (!ofNodeObject(nv)) continue;
    if (nv.typeIndex == kSnvtAddress && nv.output && (*directoryNv == nullptr || nv.name == "nvoFileDirectory")) {
      *directoryNv = &nv;
    }
    request = request || nv.typeIndex == kSnvtFileReq;
    status = status || nv.typeIndex == kSnvtFileStatus;
  }
  if (*directoryNv != nullptr) return di::FileAccess::DirectMemory;
  return request && status ? di::FileAccess::FileTransfer : di::FileAccess::None;
}

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// A file of the directory, read whole; a failure names the file.
std::vector<uint8_t> ReadFile(LonChannel& channel, const LonTarget& device, const di::FileEntry& file, const char* name) {
  try {
    return ReadMemoryBytes(channel, device, file.address, file.size);
  } catch (const LonIpError& error) {
    if (error.ErrorKind() == LonIpError::Kind::NoAnswer) throw;
    throw di::InterfaceError(std::string("the ") + name + ": " + error.what());
  }
}

// The directory, the template and the value files, through the memory window.
void ReadCpFiles(LonChannel& channel, const LonTarget& device, const di::InterfaceNv& directoryNv,
                 di::DeviceInterface& into) {
  const auto directory = ReadFileDirectory(channel, device, directoryNv.value, &into.directoryAddress);
  into.files = directory.files;
  const auto files = di::CpFilesOf(directory, into.directoryAddress);
  const auto records = di::ParseTemplateFile(Text(ReadFile(channel, device, files.templateFile, "template file")));
  const auto read = [&](const std::optional<di::FileEntry>& file, const char* name) {
    return file ? ReadFile(channel, device, *file, name) : std::vector<uint8_t>();
  };
  auto cps = di::TemplateCps(records, files.readOnly.has_value());
  di::TakeValues(cps, read(files.writable, "writable value file"), read(files.readOnly, "read-only value file"));
  into.cps = std::move(cps);
}

}  // namespace

di::DeviceInterface ReadDeviceInterface(LonChannel& channel, const LonTarget& device) {
  di::DeviceInterface result;
  const auto readOnly = ReadMemory(channel, device, MemoryMode::ReadOnly, 0, 21);
  ProgramId programId{};
  std::copy(readOnly.begin() + 13, readOnly.begin() + 21, programId.begin());
  result.programId = HexText(programId);
  try {
    const auto si = di::ParseSiData(ReadSiBytes(channel, device, static_cast<uint16_t>(readOnly[11] << 8 | readOnly[12])));
    result.siVersion = si.version;
    result.node = NodeDocOf(si.nodeSelfDoc);
    result.nvs = NvsOf(si);
    for (auto& nv : result.nvs) AskEachNv(channel, device, nv);
  } catch (const di::InterfaceError& error) {
    throw LonIpError(LonIpError::Kind::Malformed, Who(channel, device) + ": " + error.what());
  }
  const di::InterfaceNv* directoryNv = nullptr;
  result.fileAccess = FileAccessOf(result, &directoryNv);
  if (result.fileAccess == di::FileAccess::FileTransfer) result.cpProblem = kFileTransferOnly;
  if (directoryNv != nullptr) {
    try {
      ReadCpFiles(channel, device, *directoryNv, result);
    } catch (const di::InterfaceError& error) {
      result.cpProblem = error.what();
    } catch (const LonIpError& error) {
      // A device that refuses its own window still answers for its NVs; one gone does not.
      if (error.ErrorKind() == LonIpError::Kind::NoAnswer) throw;
      result.cpProblem = error.what();
    }
  }
  // A record of a block or NV the device does not have is a damaged template.
  for (const auto& cp : result.cps) {
    for (const uint16_t index : cp.record.select) {
      const bool block = cp.record.appliesTo == di::AppliesTo::Blocks;
      const bool there = block ? std::any_of(result.node.blocks.begin(), result.node.blocks.end(), [&](const auto& b) { return b.index == index; })
                               : std::any_of(result.nvs.begin(), result.nvs.end(), [&](const auto& nv) { return nv.index == index; });
      if (!there && result.cpProblem.empty()) {
        result.cpProblem = "template file, record " + std::to_string(cp.recordNumber) + ": it applies to " +
                           (block ? "block " : "NV ") + std::to_string(index) + ", which the device does not have";
      }
    }
  }
  if (!result.cpProblem.empty()) result.cps.clear();
  for (const auto& nv : result.nvs) {
    if (nv.cp) result.cps.push_back({*nv.cp, 0, {di::CpPlace::Kind::ConfigNv, 0, nv.index}, nv.value});
  }
  return result;
}

}  // namespace platform::lonip
