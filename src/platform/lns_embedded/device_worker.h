#pragma once
// Device I/O away from the owner's thread (the window's): jobs run one after another on a
// thread of the worker's own, started with the first job; what they hand back runs on the
// owner's thread in RunDelivered, which the owner calls when Descriptor() becomes readable. So
// the code above the object server keeps its single thread: only the jobs, which touch no
// database and no LNS object, run elsewhere.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform::lns_embedded {

class DeviceWorker {
 public:
  // Never raises; when no event descriptor can be made, Descriptor() is -1 and the owner must
  // call RunDelivered from time to time.
  DeviceWorker();
  // Waits for the job that runs to end; jobs not started are dropped.
  ~DeviceWorker();
  DeviceWorker(const DeviceWorker&) = delete;
  DeviceWorker& operator=(const DeviceWorker&) = delete;

  // Runs `job` on the worker's thread after the jobs before it. A job that raises is ended
  // there (the exception is dropped): jobs report through Deliver.
  void Run(std::function<void()> job);
  // Runs `request` on the worker's thread, before the jobs queued (after the one that runs),
  // and waits for it: the calling thread turns its event loop meanwhile
  // (base::TurnWhileWaiting). Without a turn to run, the request runs on the calling thread.
  // Raises what the request raised.
  void Call(const std::function<void()>& request);
  // From a job: `done` runs on the owner's thread at the next RunDelivered.
  void Deliver(std::function<void()> done);
  // Readable while delivered closures wait; -1 when it could not be made.
  int Descriptor() const { return wake_; }
  // Runs the closures delivered so far, in their order, and reads the descriptor empty; returns
  // how many ran.
  int RunDelivered();

 private:
  void Loop();

  int wake_ = -1;  // an eventfd
  std::mutex mutex_;
  std::condition_variable wanted_;
  std::deque<std::function<void()>> jobs_;
  std::deque<std::function<void()>> delivered_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace platform::lns_embedded
