#include "platform/lns_embedded/device_worker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <future>

#include "base/procedure.h"
#include "base/waiting.h"

namespace platform::lns_embedded {

DeviceWorker::DeviceWorker() : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

DeviceWorker::~DeviceWorker() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wanted_.notify_all();
  if (thread_.joinable()) thread_.join();
  if (wake_ >= 0) ::close(wake_);
}

void DeviceWorker::Run(std::function<void()> job) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  }
  wanted_.notify_one();
}

void DeviceWorker::Call(const std::function<void()>& request) {
  if (!base::HasWaitTurn()) {
    request();
    return;
  }
  auto finished = std::make_shared<std::promise<void>>();
  std::future<void> result = finished->get_future();
  // Ahead of the background reads queued: the caller waits for this one.
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_front([finished, &request] {
      try {
        request();
        finished->set_value();
      } catch (...) {
        finished->set_exception(std::current_exception());
      }
    });
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  }
  wanted_.notify_one();
  // The request holds the caller's references: it is waited for to its end, whatever a turn raises.
  std::exception_ptr turnFailed;
  while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    if (turnFailed) continue;
    try {
      base::TurnWhileWaiting();
    } catch (...) {
      turnFailed = std::current_exception();
    }
  }
  if (turnFailed) std::rethrow_exception(turnFailed);
  result.get();
}

void DeviceWorker::Loop() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wanted_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    // The log belongs to the owner's thread: a failure is told there.
    try {
      job();
    } catch (const std::exception& e) {
      Deliver([text = std::string(e.what())] { base::LogSwallowedError("A device request failed: " + text); });
    } catch (...) {
      Deliver([] { base::LogSwallowedError("A device request failed"); });
    }
  }
}

void DeviceWorker::Deliver(std::function<void()> done) {
  {
    const std::lock_guard lock(mutex_);
    delivered_.push_back(std::move(done));
  }
  if (wake_ >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
  }
}

int DeviceWorker::RunDelivered() {
  if (wake_ >= 0) {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wake_, &count, sizeof count);
  }
  std::deque<std::function<void()>> ready;
  {
    const std::lock_guard lock(mutex_);
    ready.swap(delivered_);
  }
  for (auto& done : ready) {
    try {
      done();
    } catch (const std::exception& e) {
      base::LogSwallowedError(std::string("A device's answer could not be taken: ") + e.what());
    }
  }
  return static_cast<int>(ready.size());
}

}  // namespace platform::lns_embedded
