#pragma once
// LON/IP tests run in a network namespace of their own, with only the loopback interface up,
// so that no datagram (multicast included) leaves it; the devices are portab-lon-device
// processes on addresses 127.x.y.z, which inherit the namespace.

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace testing_support {

// Moves this process into a new network namespace with the loopback interface up (multicast
// on). Call before any thread starts. Returns why it could not, or nullopt once inside.
std::optional<std::string> EnterPrivateNetwork();
// The reason of the first EnterPrivateNetwork call that failed; nullopt when inside one.
const std::optional<std::string>& PrivateNetworkUnavailable();

// A portab-lon-device process for the length of a test.
class DeviceProcess {
 public:
  // Writes `description` (JSON) and starts the device; returns once it answers.
  DeviceProcess(const std::filesystem::path& program, const std::string& description);
  ~DeviceProcess();
  DeviceProcess(const DeviceProcess&) = delete;
  DeviceProcess& operator=(const DeviceProcess&) = delete;
  // What the device printed so far: its start line, its memory writes and changes of mode.
  std::string Output() const;
  // Presses the service pin.
  void ServicePin() const;
  // Ends the device at once, as a pulled cable would.
  void Kill();

 private:
  TempDir dir_;
  pid_t pid_ = -1;
};

}  // namespace testing_support

// Skips the test when the namespace could not be made, saying why.
#define PORTAB_PRIVATE_NETWORK_OR_SKIP()                                                  \
  do {                                                                                     \
    if (const auto& reason = ::testing_support::PrivateNetworkUnavailable(); reason) {     \
      GTEST_SKIP() << "no private network namespace for LON/IP traffic: " << *reason;      \
    }                                                                                      \
  } while (false)
