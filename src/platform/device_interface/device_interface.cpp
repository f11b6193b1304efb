#include "platform/device_interface/device_interface.h"

#include <cstdio>
#include <map>

#include "platform/device_interface/interface_error.h"
#include "platform/device_interface/si_data.h"

namespace platform::device_interface {
namespace {

std::string Hex(std::span<const uint8_t> bytes) {
  std::string text;
  char digits[4];
  for (const uint8_t b : bytes) {
    std::snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", b);
    text += digits;
  }
  return text;
}

std::string Address(uint16_t address) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", address);
  return text;
}

std::string Bytes(uint32_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

std::string FileName(const CpPlace& place) {
  switch (place.kind) {
    case CpPlace::Kind::WritableFile: return "writable value file";
    case CpPlace::Kind::ReadOnlyFile: return "read-only value file";
    case CpPlace::Kind::ConfigNv: break;
  }
  return "configuration NV";
}

std::string FlagsText(uint8_t flags) {
  std::string text;
  const auto add = [&](uint8_t bit, const char* name) {
    if ((flags & bit) != 0) text += std::string(text.empty() ? "" : ", ") + name;
  };
  add(cp_flag::kConstant, "constant");
  add(cp_flag::kManufacturing, "manufacturing only");
  add(cp_flag::kDeviceSpecific, "device-specific");
  add(cp_flag::kOffline, "device offline while changed");
  add(cp_flag::kDisableBlock, "block disabled while changed");
  add(cp_flag::kReset, "reset after a change");
  return text;
}

std::string BlockName(const DeviceInterface& device, uint16_t index) {
  for (const auto& block : device.node.blocks) {
    if (block.index == index) return "block " + std::to_string(index) + (block.name.empty() ? "" : " (" + block.name + ")");
  }
  return "block " + std::to_string(index) + " (not in the node's list)";
}

std::string NvName(const DeviceInterface& device, uint16_t index) {
  for (const auto& nv : device.nvs) {
    if (nv.index == index) return "NV " + std::to_string(index) + (nv.name.empty() ? "" : " (" + nv.name + ")");
  }
  return "NV " + std::to_string(index) + " (not on the device)";
}

std::string AppliesText(const CpRecord& record, const DeviceInterface& device) {
  if (record.appliesTo == AppliesTo::Device) return "the device";
  std::string text;
  for (const uint16_t index : record.select) {
    text += (text.empty() ? "" : ", ") + (record.appliesTo == AppliesTo::Blocks ? BlockName(device, index) : NvName(device, index));
  }
  return text;
}

std::string NvLine(const InterfaceNv& nv) {
  std::string line = "NV " + std::to_string(nv.index) + " " + (nv.name.empty() ? "(no name)" : nv.name) +
                     (nv.output ? " output" : " input") + ", type " + std::to_string(nv.typeIndex) + ", " +
                     (nv.length == 0 ? "length unknown" : Bytes(nv.length));
  static const char* services[] = {"acknowledged", "repeated", "unacknowledged", "request"};
  line += std::string(", ") + services[nv.service & 3];
  if ((nv.siFlags & si_flag::kPolled) != 0) line += ", polled";
  if ((nv.siFlags & si_flag::kSync) != 0) line += ", synchronous";
  if (nv.member) {
    line += std::string(", member ") + (nv.member->standardMember ? "|" : "#") + std::to_string(nv.member->member);
    if (nv.member->changeableType) line += ", changeable type";
  }
  if (nv.cp) line += ", configuration NV";
  if (!nv.value.empty()) line += ": " + Hex(nv.value);
  return line;
}

}  // namespace

size_t DirectoryEntrySize(uint8_t version) { return version >= 0x20 ? 6 : 5; }

FileDirectory ParseFileDirectory(uint8_t version, uint8_t count, std::span<const uint8_t> bytes) {
  FileDirectory directory{version, {}};
  const size_t size = DirectoryEntrySize(version);
  if (bytes.size() < size * count) {
    throw InterfaceError("file directory: " + std::to_string(count) + " entries of " + std::to_string(size) +
                         " bytes announced, " + std::to_string(bytes.size()) + " bytes there");
  }
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = bytes.data() + i * size;
    FileEntry file;
    file.size = static_cast<uint16_t>(entry[0] << 8 | entry[1]);
    file.type = size == 6 ? static_cast<uint16_t>(entry[2] << 8 | entry[3]) : entry[2];
    file.address = static_cast<uint16_t>(entry[size - 2] << 8 | entry[size - 1]);
    directory.files.push_back(file);
  }
  return directory;
}

namespace {

void CheckPlaces(const CpFiles& files, const FileDirectory& directory, uint16_t directoryAddress) {
  struct Span {
    const char* name;
    uint32_t begin, end;
  };
  std::vector<Span> spans{{"the file directory", directoryAddress,
                           directoryAddress + 2 + uint32_t(DirectoryEntrySize(directory.version) * directory.files.size())},
                          {"the template file", files.templateFile.address, uint32_t{files.templateFile.address} + files.templateFile.size}};
  if (files.writable) spans.push_back({"the writable value file", files.writable->address, uint32_t{files.writable->address} + files.writable->size});
  if (files.readOnly) spans.push_back({"the read-only value file", files.readOnly->address, uint32_t{files.readOnly->address} + files.readOnly->size});
  for (size_t i = 0; i < spans.size(); ++i) {
    if (spans[i].end > 0x10000) {
      throw InterfaceError(std::string("file directory: ") + spans[i].name + " at " + Address(static_cast<uint16_t>(spans[i].begin)) +
                           " runs past the end of memory");
    }
    for (size_t j = 0; j < i; ++j) {
      if (spans[i].begin < spans[j].end && spans[j].begin < spans[i].end && spans[i].end > spans[i].begin) {
        throw InterfaceError(std::string("file directory: ") + spans[i].name + " at " + Address(static_cast<uint16_t>(spans[i].begin)) +
                             " overlaps " + spans[j].name + " at " + Address(static_cast<uint16_t>(spans[j].begin)));
      }
    }
  }
}

}  // namespace

CpFiles CpFilesOf(const FileDirectory& directory, uint16_t directoryAddress) {
  if (directory.files.empty() || directory.files[0].type != file_type::kTemplate) {
    throw InterfaceError("file directory: its first file is " +
                         (directory.files.empty() ? std::string("missing") : "of type " + std::to_string(directory.files[0].type)) +
                         ", not the CP template file (type 2)");
  }
  CpFiles files{directory.files[0], std::nullopt, std::nullopt};
  for (size_t i = 1; i < directory.files.size() && i <= 2; ++i) {
    if (directory.files[i].type != file_type::kValue) {
      // Files past the value files (a data log, ...) are not CP files.
      if (i == 2) break;
      throw InterfaceError("file directory: file 1 is of type " + std::to_string(directory.files[i].type) +
                           ", not a value file (type 1)");
    }
    (i == 1 ? files.writable : files.readOnly) = directory.files[i];
  }
  CheckPlaces(files, directory, directoryAddress);
  return files;
}

std::vector<InterfaceCp> TemplateCps(const std::vector<CpRecord>& records, bool readOnlyFile) {
  const auto places = ValueFileLayout(records, readOnlyFile);
  std::vector<InterfaceCp> cps;
  for (size_t i = 0; i < records.size(); ++i) cps.push_back({records[i], static_cast<uint16_t>(i + 1), places[i], {}});
  return cps;
}

void TakeValues(std::vector<InterfaceCp>& cps, std::span<const uint8_t> writable, std::span<const uint8_t> readOnly) {
  for (InterfaceCp& cp : cps) {
    if (cp.place.kind == CpPlace::Kind::ConfigNv) continue;
    const bool inReadOnly = cp.place.kind == CpPlace::Kind::ReadOnlyFile;
    const auto file = inReadOnly ? readOnly : writable;
    if (cp.place.offset + cp.record.Bytes() > file.size()) {
      throw InterfaceError("template file, record " + std::to_string(cp.recordNumber) + ": its " + Bytes(cp.record.Bytes()) +
                           " at " + std::to_string(cp.place.offset) + " lie past the end of the " + FileName(cp.place) +
                           " (" + Bytes(static_cast<uint32_t>(file.size())) + ")");
    }
    const auto begin = file.begin() + cp.place.offset;
    cp.value.assign(begin, begin + cp.record.Bytes());
  }
}

std::vector<CpShare> SharesOf(const CpRecord& record) {
  if (record.appliesTo == AppliesTo::Device) return {{AppliesTo::Device, 0, 0, record.dimension, false}};
  const size_t items = record.select.size();
  const bool split = items > 1 && record.dimension % items == 0;
  const auto each = static_cast<uint16_t>(split ? record.dimension / items : record.dimension);
  std::vector<CpShare> shares;
  for (size_t i = 0; i < items; ++i) {
    shares.push_back({record.appliesTo, record.select[i], split ? static_cast<uint32_t>(i * each * record.size) : 0, each,
                      items > 1 && !split});
  }
  return shares;
}

std::string CpTypeText(const CpRecord& record) {
  if (record.scope != 0) return "UCPT " + std::to_string(record.typeIndex) + " (scope " + std::to_string(record.scope) + ")";
  static const std::map<uint16_t, std::string> known{
      {17, "SCPTlocation"}, {49, "SCPTmaxSendTime"}, {165, "SCPTdevMajVer"}, {166, "SCPTdevMinVer"}};
  const auto name = known.find(record.typeIndex);
  return name == known.end() ? "SCPT " + std::to_string(record.typeIndex) : name->second + " (" + std::to_string(record.typeIndex) + ")";
}

std::string CpPlaceText(const InterfaceCp& cp, const DeviceInterface& device) {
  if (cp.place.kind == CpPlace::Kind::ConfigNv) return "configuration " + NvName(device, cp.place.nvIndex);
  return FileName(cp.place) + " at " + std::to_string(cp.place.offset);
}

std::string InterfaceText(const DeviceInterface& device) {
  std::string text = "program ID " + device.programId + ", self-identification data version " +
                     std::to_string(device.siVersion) + ", self-documentation " + std::to_string(device.node.major) +
                     "." + std::to_string(device.node.minor) + (device.node.text.empty() ? "" : " \"" + device.node.text + "\"") + "\n";
  std::vector<bool> listed(device.nvs.size(), false);
  for (const auto& block : device.node.blocks) {
    text += BlockName(device, block.index) + ", profile " + std::to_string(block.profileKey) + "\n";
    for (size_t i = 0; i < device.nvs.size(); ++i) {
      const auto& member = device.nvs[i].member;
      if (member && member->block <= block.index && block.index <= member->lastBlock) {
        text += "  " + NvLine(device.nvs[i]) + "\n";
        listed[i] = true;
      }
    }
  }
  bool heading = false;
  for (size_t i = 0; i < device.nvs.size(); ++i) {
    if (listed[i]) continue;
    if (!heading) text += "NVs of no block\n";
    heading = true;
    text += "  " + NvLine(device.nvs[i]) + "\n";
  }
  switch (device.fileAccess) {
    case FileAccess::None: text += "CP files: none\n"; break;
    case FileAccess::FileTransfer: text += "CP files: by file transfer\n"; break;
    case FileAccess::DirectMemory: {
      text += "CP files: by direct memory, directory at " + Address(device.directoryAddress) + "\n";
      static const char* names[] = {"template file", "writable value file", "read-only value file"};
      for (size_t i = 0; i < device.files.size(); ++i) {
        const auto& file = device.files[i];
        const uint16_t expected = i == 0 ? file_type::kTemplate : file_type::kValue;
        text += "  file " + std::to_string(i) + " " + (i < 3 && file.type == expected ? names[i] : "type " + std::to_string(file.type)) + ", " +
                Bytes(file.size) + " at " + Address(file.address) + "\n";
      }
      break;
    }
  }
  if (!device.cps.empty()) text += "CPs\n";
  for (const auto& cp : device.cps) {
    text += "  " + (cp.recordNumber == 0 ? std::string("configuration NV") : "record " + std::to_string(cp.recordNumber)) +
            ": " + CpTypeText(cp.record) + " of " + AppliesText(cp.record, device) + ", " + Bytes(cp.record.size) +
            (cp.record.dimension > 1 ? " x " + std::to_string(cp.record.dimension) : "");
    const std::string flags = FlagsText(cp.record.flags);
    if (!flags.empty()) text += ", " + flags;
    if (!cp.record.range.empty()) text += ", range " + cp.record.range;
    text += "; " + CpPlaceText(cp, device);
    if (!cp.value.empty()) text += ": " + Hex(cp.value);
    text += "\n";
  }
  if (!device.cpProblem.empty()) text += "CPs in files not read: " + device.cpProblem + "\n";
  return text;
}

}  // namespace platform::device_interface
