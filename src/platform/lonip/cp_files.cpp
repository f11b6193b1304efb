#include "platform/lonip/cp_files.h"

#include <algorithm>
#include <thread>

#include "base/procedure.h"
#include "platform/device_interface/interface_error.h"
#include "platform/lonip/device_requests.h"
#include "platform/lonip/interface_reader.h"
#include "platform/lonip/lonip_error.h"

namespace platform::lonip {
namespace {

namespace di = device_interface;

// How long a device that was reset may take to answer again.
constexpr auto kBackFromReset = std::chrono::seconds(6);

std::string Who(const LonChannel& channel, const LonTarget& device) { return device.Text() + " on " + channel.Name(); }

void CheckInside(const LonChannel& channel, const LonTarget& device, const di::FileEntry& file, uint32_t offset, uint32_t count) {
  if (offset + count > file.size) {
    throw LonIpError(LonIpError::Kind::Usage, Who(channel, device) + ": " + std::to_string(count) + " bytes at " +
                                                  std::to_string(offset) + " lie past the end of its value file (" +
                                                  std::to_string(file.size) + " bytes)");
  }
}

// After a reset the device answers again once it has started; its answer to the reset itself
// may never come.
void AwaitRestart(LonChannel& channel, const LonTarget& device) {
  const auto deadline = std::chrono::steady_clock::now() + kBackFromReset;
  for (;;) {
    try {
      QueryStatus(channel, device);
      return;
    } catch (const LonIpError& error) {
      if (error.ErrorKind() != LonIpError::Kind::NoAnswer || std::chrono::steady_clock::now() >= deadline) throw;
    }
  }
}

}  // namespace

std::vector<uint8_t> ReadMemoryBytes(LonChannel& channel, const LonTarget& device, uint32_t address, uint32_t count) {
  if (address + count > 0x10000) {
    throw LonIpError(LonIpError::Kind::Usage, Who(channel, device) + ": " + std::to_string(count) + " bytes at " +
                                                  std::to_string(address) + " run past the end of memory");
  }
  std::vector<uint8_t> bytes;
  while (bytes.size() < count) {
    const auto piece = static_cast<uint8_t>(std::min<size_t>(kMemoryPiece, count - bytes.size()));
    const auto more = ReadMemory(channel, device, MemoryMode::Absolute, static_cast<uint16_t>(address + bytes.size()), piece);
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  return bytes;
}

di::FileDirectory ReadFileDirectory(LonChannel& channel, const LonTarget& device, const std::vector<uint8_t>& address,
                                    uint16_t* at) {
  if (address.size() != 2) throw di::InterfaceError("the file directory NV holds " + std::to_string(address.size()) + " bytes, not an address");
  *at = static_cast<uint16_t>(address[0] << 8 | address[1]);
  try {
    const auto head = ReadMemoryBytes(channel, device, *at, 2);
    const auto entries = ReadMemoryBytes(channel, device, uint32_t{*at} + 2, static_cast<uint32_t>(di::DirectoryEntrySize(head[0]) * head[1]));
    return di::ParseFileDirectory(head[0], head[1], entries);
  } catch (const LonIpError& error) {
    if (error.ErrorKind() == LonIpError::Kind::NoAnswer) throw;
    throw di::InterfaceError("the file directory at " + std::to_string(*at) + ": " + error.what());
  }
}

di::CpFiles FindCpFiles(LonChannel& channel, const LonTarget& device, uint16_t directoryNv) {
  const auto address = NvFetch(channel, device, directoryNv);
  try {
    uint16_t at = 0;
    const auto directory = ReadFileDirectory(channel, device, address, &at);
    return di::CpFilesOf(directory, at);
  } catch (const di::InterfaceError& error) {
    throw LonIpError(LonIpError::Kind::Malformed, Who(channel, device) + ": " + error.what());
  }
}

DeviceCpFiles ReadDeviceCpFiles(LonChannel& channel, const LonTarget& device, uint16_t directoryNv) {
  DeviceCpFiles found{FindCpFiles(channel, device, directoryNv), {}};
  const auto& templ = found.files.templateFile;
  const auto text = ReadMemoryBytes(channel, device, templ.address, templ.size);
  try {
    found.cps = di::TemplateCps(di::ParseTemplateFile(std::string(text.begin(), text.end())), found.files.readOnly.has_value());
  } catch (const di::InterfaceError& error) {
    throw LonIpError(LonIpError::Kind::Malformed, Who(channel, device) + ": " + error.what());
  }
  return found;
}

const di::InterfaceCp& RecordAt(const DeviceCpFiles& files, bool readOnly, uint32_t offset, uint32_t count, const std::string& device) {
  const auto kind = readOnly ? di::CpPlace::Kind::ReadOnlyFile : di::CpPlace::Kind::WritableFile;
  // Exactly one item's part of a record: the whole record, or its share of an array that a
  // record for several blocks or NVs splits among them.
  for (const auto& cp : files.cps) {
    if (cp.place.kind != kind) continue;
    for (const auto& share : di::SharesOf(cp.record)) {
      if (offset == cp.place.offset + share.offset && count == uint32_t{share.dimension} * cp.record.size) return cp;
    }
  }
  throw LonIpError(LonIpError::Kind::Refused,
                   device + ": its template has no CP of " + std::to_string(count) + " bytes at offset " + std::to_string(offset) +
                       " of its " + (readOnly ? "read-only" : "writable") +
                       " value file: the device keeps its CPs otherwise than the network says (portab-lns device interface "
                       "shows how)");
}

std::vector<uint8_t> ReadFileBytes(LonChannel& channel, const LonTarget& device, const di::FileEntry& file, uint32_t offset,
                                   uint32_t count) {
  CheckInside(channel, device, file, offset, count);
  return ReadMemoryBytes(channel, device, uint32_t{file.address} + offset, count);
}

void WriteFileBytes(LonChannel& channel, const LonTarget& device, const di::FileEntry& file, uint32_t offset,
                    const std::vector<uint8_t>& bytes, uint8_t flags) {
  CheckInside(channel, device, file, offset, static_cast<uint32_t>(bytes.size()));
  // Taken offline, and back online after, only when it is online now: a device the engineer
  // took offline stays so.
  const bool offline = (flags & (di::cp_flag::kOffline | di::cp_flag::kDisableBlock)) != 0 &&
                       QueryStatus(channel, device).state == node_state::kConfiguredOnline;
  if (offline) SetNodeMode(channel, device, NodeMode::Offline);
  try {
    for (size_t done = 0; done < bytes.size(); done += kMemoryPiece) {
      const size_t count = std::min<size_t>(kMemoryPiece, bytes.size() - done);
      WriteMemory(channel, device, MemoryMode::Absolute, static_cast<uint16_t>(file.address + offset + done),
                  {bytes.begin() + static_cast<std::ptrdiff_t>(done), bytes.begin() + static_cast<std::ptrdiff_t>(done + count)});
    }
  } catch (const LonIpError&) {
    // Back online when it still answers; the write's failure is what is told.
    if (offline) {
      try {
        SetNodeMode(channel, device, NodeMode::Online);
      } catch (const LonIpError& online) {
        base::LogSwallowedError(std::string("The device was left offline after a failed CP write: ") + online.what());
      }
    }
    throw;
  }
  if (offline) SetNodeMode(channel, device, NodeMode::Online);
  if ((flags & di::cp_flag::kReset) != 0) {
    SetNodeMode(channel, device, NodeMode::Reset);
    AwaitRestart(channel, device);
  }
}

}  // namespace platform::lonip
