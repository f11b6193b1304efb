#include "platform/lns_embedded/device_reader.h"

#include "base/error.h"
#include "lns/lns_errors.h"

namespace platform::lns_embedded {

DeviceReader::DeviceReader(std::shared_ptr<DeviceWorker> worker, Done done,
                           std::shared_ptr<std::atomic<int64_t>> requests)
    : worker_(std::move(worker)), done_(std::make_shared<Done>(std::move(done))), requests_(std::move(requests)) {}

DeviceReader::~DeviceReader() {
  const std::lock_guard lock(shared_->mutex);
  shared_->alive = false;
  shared_->queued.clear();
}

bool DeviceReader::Asking(int64_t nvId) const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->asked.contains(nvId);
}

void DeviceReader::Ask(int64_t deviceId, int64_t nvId, Fetch fetch) {
  {
    const std::lock_guard lock(shared_->mutex);
    if (!shared_->asked.insert(nvId).second) return;
    shared_->queued[deviceId].push_back({nvId, std::move(fetch)});
    // A job that runs for the device takes this read as well.
    if (!shared_->running.insert(deviceId).second) return;
  }
  worker_->Run([shared = shared_, worker = worker_.get(), deviceId, done = done_, requests = requests_] {
    RunDevice(shared, *worker, deviceId, done, requests);
  });
}

void DeviceReader::Fail(int64_t deviceId, int64_t nvId, int32_t error, const std::string& failure) {
  {
    const std::lock_guard lock(shared_->mutex);
    if (!shared_->asked.insert(nvId).second) return;
  }
  Answer(shared_, *worker_, done_, {deviceId, nvId, {}, error, failure, requests_->load()});
}

void DeviceReader::Answer(const std::shared_ptr<Shared>& shared, DeviceWorker& worker, const std::shared_ptr<Done>& done,
                          DeviceAnswer answer) {
  // Taken on the owner's thread: the read is no longer asked for from then on, so that an ask
  // after the answer was taken asks the device again.
  worker.Deliver([shared, done, answer = std::move(answer)] {
    {
      const std::lock_guard lock(shared->mutex);
      shared->asked.erase(answer.nvId);
      if (!shared->alive) return;
    }
    (*done)(answer);
  });
}

// On the worker: the device's reads until none is queued; after it did not answer, the rest
// fail with that failure, unasked.
void DeviceReader::RunDevice(const std::shared_ptr<Shared>& shared, DeviceWorker& worker, int64_t deviceId,
                             const std::shared_ptr<Done>& done, const std::shared_ptr<std::atomic<int64_t>>& requests) {
  DeviceAnswer silent;
  for (;;) {
    Read read;
    {
      const std::lock_guard lock(shared->mutex);
      auto& queue = shared->queued[deviceId];
      if (queue.empty() || !shared->alive) {
        shared->queued.erase(deviceId);
        shared->running.erase(deviceId);
        return;
      }
      read = std::move(queue.front());
      queue.erase(queue.begin());
    }
    DeviceAnswer answer = silent;
    answer.deviceId = deviceId;
    answer.nvId = read.nvId;
    if (silent.error == 0) {
      answer.started = ++*requests;
      try {
        answer.value = read.fetch();
      } catch (const base::Error& e) {
        answer.error = e.Number();
        answer.failure = e.Description();
      } catch (const std::exception& e) {
        answer.error = lns::err::kDeviceNotAccessible;
        answer.failure = e.what();
      }
      if (answer.error == lns::err::kDeviceNotAccessible) silent = answer;
    }
    Answer(shared, worker, done, std::move(answer));
  }
}

}  // namespace platform::lns_embedded
