#pragma once
// How the values of a network reach its devices. A network without a link keeps today's
// simulated devices: the database is the device. A network with one (an interface attached)
// asks the device for its state and NV values and writes input NVs and the CPs the device holds
// as configuration NVs or in its CP value files to it. Every failure is a base::Error naming the device and the interface:
// kDeviceNotAccessible when it does not answer, kDeviceRefused when it refuses, kInterfaceBusy
// when another program of the machine kept the interface for longer than a timeout.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/error.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {

// Where a device keeps a CP (the cp table's device_file): in no value file, in its writable or
// in its read-only value file.
inline constexpr int64_t kNoFile = 0;
inline constexpr int64_t kWritableFile = 1;
inline constexpr int64_t kReadOnlyFile = 2;

// Where a CP's bytes are in one of the device's value files.
struct FileSpot {
  int64_t file = kNoFile;
  uint32_t offset = 0;  // of the CP's first byte in the file
  uint32_t count = 0;   // bytes
  uint8_t flags = 0;    // of its template record
};

class DeviceLink {
 public:
  virtual ~DeviceLink() = default;
  // "lonip1 (lonip:127.1.1.127)"
  virtual std::string InterfaceName() const = 0;

  // Requests that may run on another thread: what the database says of the device is read now,
  // on the caller's thread; the device is asked when the request runs. `what` names the NV or
  // CP for the error ("" the device only).
  // Asks the device for its status; raises when it does not answer.
  virtual std::function<void()> StatusCheck(int64_t deviceId) = 0;
  // The value of NV `nvIndex` (its index on the device) as the device holds it.
  virtual std::function<std::vector<uint8_t>()> NvFetch(int64_t deviceId, int32_t nvIndex, const std::string& what) = 0;
  // Writes an input NV of the device.
  virtual std::function<void()> NvUpdate(int64_t deviceId, int32_t nvIndex, std::vector<uint8_t> value,
                                         const std::string& what) = 0;

  // The bytes of a CP in a value file as the device holds them.
  virtual std::function<std::vector<uint8_t>()> FileRead(int64_t /*deviceId*/, FileSpot /*spot*/, const std::string& what) {
    return [what]() -> std::vector<uint8_t> { NoFiles(what); };
  }
  // Writes them, in the writable value file only, honouring the CP's flags.
  virtual std::function<void()> FileWrite(int64_t /*deviceId*/, FileSpot /*spot*/, std::vector<uint8_t> /*bytes*/,
                                          const std::string& what) {
    return [what] { NoFiles(what); };
  }

  // The same requests, run at once on the calling thread.
  void CheckAccessible(int64_t deviceId) { StatusCheck(deviceId)(); }
  std::vector<uint8_t> FetchNv(int64_t deviceId, int32_t nvIndex, const std::string& what = "") {
    return NvFetch(deviceId, nvIndex, what)();
  }
  void UpdateNv(int64_t deviceId, int32_t nvIndex, const std::vector<uint8_t>& value, const std::string& what) {
    NvUpdate(deviceId, nvIndex, value, what)();
  }

 private:
  [[noreturn]] static void NoFiles(const std::string& what) {
    throw base::Error(lns::err::kDeviceRefused, "LNS", what + ": this link does not reach CP value files");
  }
};

}  // namespace platform::lns_embedded
