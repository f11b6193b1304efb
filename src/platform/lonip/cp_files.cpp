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

di::CpFiles FindCpFiles(LonChannel& channel, const LonTarget& device, uint16_t directoryNv) {
  const auto address = NvFetch(channel, device, directoryNv);
  try {
    if (address.size() != 2) throw di::InterfaceError("its file directory NV holds " + std::to_string(address.size()) + " bytes, not an address");
    const auto at = static_cast<uint16_t>(address[0] << 8 | address[1]);
    const auto head = ReadMemoryBytes(channel, device, at, 2);
    const auto entries = ReadMemoryBytes(channel, device, static_cast<uint16_t>(at + 2),
                                         static_cast<uint32_t>(di::DirectoryEntrySize(head[0]) * head[1]));
    return di::CpFilesOf(di::ParseFileDirectory(head[0], head[1], entries));
  } catch (const di::InterfaceError& error) {
    throw LonIpError(LonIpError::Kind::Malformed, Who(channel, device) + ": " + error.what());
  }
}

std::vector<uint8_t> ReadFileBytes(LonChannel& channel, const LonTarget& device, const di::FileEntry& file, uint32_t offset,
                                   uint32_t count) {
  CheckInside(channel, device, file, offset, count);
  return ReadMemoryBytes(channel, device, static_cast<uint16_t>(file.address + offset), count);
}

void WriteFileBytes(LonChannel& channel, const LonTarget& device, const di::FileEntry& file, uint32_t offset,
                    const std::vector<uint8_t>& bytes, uint8_t flags) {
  CheckInside(channel, device, file, offset, static_cast<uint32_t>(bytes.size()));
  const bool offline = (flags & (di::cp_flag::kOffline | di::cp_flag::kDisableBlock)) != 0;
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
