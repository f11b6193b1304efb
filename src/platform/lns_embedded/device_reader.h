#pragma once
// Reads of devices' NVs on the device worker, for the owner's thread (the window's) that must
// not wait for them. The reads of one device run one after another, in the order asked; a
// device that does not answer one of them fails the reads queued behind it without being asked
// again, so a silent device costs one round of timeouts, however many of its NVs were asked
// for. Each answer comes back on the owner's thread (DeviceWorker::RunDelivered).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/lns_embedded/device_worker.h"

namespace platform::lns_embedded {

// A value read away from the window is asked for again this long after the last ask at the
// soonest; a device that did not answer, after the longer time.
inline constexpr auto kAskAgainAfter = std::chrono::seconds(1);
inline constexpr auto kSilentAskedAgainAfter = std::chrono::seconds(10);

// What a read of an NV brought: its value, or the error (its number and text) it failed with.
struct DeviceAnswer {
  int64_t deviceId = 0;
  int64_t nvId = 0;
  std::vector<uint8_t> value;
  int32_t error = 0;  // 0: the device answered
  std::string failure;
  int64_t started = 0;  // the reader's count of requests when the device was asked
};

class DeviceReader {
 public:
  using Fetch = std::function<std::vector<uint8_t>()>;  // runs on the worker; raises base::Error
  using Done = std::function<void(const DeviceAnswer&)>;
  // Answers go to `done` on the owner's thread, as long as this reader lives. `requests` counts
  // the requests to the devices (the reader's reads when they start, the owner's writes): an
  // answer's `started` tells whether it was read before or after a write.
  DeviceReader(std::shared_ptr<DeviceWorker> worker, Done done, std::shared_ptr<std::atomic<int64_t>> requests);
  ~DeviceReader();
  DeviceReader(const DeviceReader&) = delete;
  DeviceReader& operator=(const DeviceReader&) = delete;

  // Queues a read of the NV `nvId` of the device unless one is queued or running already. A
  // failure of `fetch` with kDeviceNotAccessible fails the reads of the device queued behind
  // it; other failures (a refusal, a busy interface) are that read's alone.
  void Ask(int64_t deviceId, int64_t nvId, Fetch fetch);
  // Whether a read of that NV is queued or running.
  bool Asking(int64_t nvId) const;
  // A read that could not be asked: its failure is answered as the device's would be, later.
  void Fail(int64_t deviceId, int64_t nvId, int32_t error, const std::string& failure);

 private:
  struct Read {
    int64_t nvId;
    Fetch fetch;
  };
  // What the owner's thread and the worker share; the worker's jobs keep it alive.
  struct Shared {
    std::mutex mutex;
    std::map<int64_t, std::vector<Read>> queued;  // by device, in the order asked
    std::set<int64_t> running;                    // devices whose job runs
    std::set<int64_t> asked;                      // NVs queued or running
    bool alive = true;                            // false once the reader is gone
  };
  static void RunDevice(const std::shared_ptr<Shared>& shared, DeviceWorker& worker, int64_t deviceId,
                        const std::shared_ptr<Done>& done, const std::shared_ptr<std::atomic<int64_t>>& requests);
  // Hands the answer to `done` on the owner's thread, unless the reader is gone by then.
  static void Answer(const std::shared_ptr<Shared>& shared, DeviceWorker& worker, const std::shared_ptr<Done>& done,
                     DeviceAnswer answer);

  std::shared_ptr<DeviceWorker> worker_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::shared_ptr<Done> done_;
  std::shared_ptr<std::atomic<int64_t>> requests_;
};

}  // namespace platform::lns_embedded
