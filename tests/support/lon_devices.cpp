#include "support/lon_devices.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "support/program_run.h"

namespace testing_support {

namespace {

std::optional<std::string>& Unavailable() {
  static std::optional<std::string> reason = std::string("the test did not enter one");
  return reason;
}

std::optional<std::string> BringLoopbackUp() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::string("socket: ") + std::strerror(errno);
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  std::optional<std::string> failure;
  if (::ioctl(fd, SIOCGIFFLAGS, &request) != 0) {
    failure = std::string("reading the flags of lo: ") + std::strerror(errno);
  } else {
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_MULTICAST);
    if (::ioctl(fd, SIOCSIFFLAGS, &request) != 0) failure = std::string("bringing lo up: ") + std::strerror(errno);
  }
  ::close(fd);
  return failure;
}

}  // namespace

std::optional<std::string> EnterPrivateNetwork() {
  if (::unshare(CLONE_NEWNET) != 0) {
    Unavailable() = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno) + " (needs root or CAP_SYS_ADMIN)";
    return Unavailable();
  }
  Unavailable() = BringLoopbackUp();
  return Unavailable();
}

const std::optional<std::string>& PrivateNetworkUnavailable() { return Unavailable(); }

DeviceProcess::DeviceProcess(const std::filesystem::path& program, const std::string& description) {
  const auto json = dir_ / "device.json";
  const auto out = dir_ / "out.txt";
  WriteFile(json, description);
  pid_ = ::fork();
  if (pid_ == 0) {
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDOUT_FILENO);
    Exec(program, {json.string()});
  }
  if (pid_ < 0) throw std::runtime_error("cannot start " + program.string());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (ReadFile(out).find("portab-lon-device:") == std::string::npos) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("portab-lon-device ended at start: " + ReadFile(out));
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Kill();
      throw std::runtime_error("portab-lon-device did not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

DeviceProcess::~DeviceProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  ::waitpid(pid_, nullptr, 0);
}

std::string DeviceProcess::Output() const { return ReadFile(dir_ / "out.txt"); }

void DeviceProcess::ServicePin() const { ::kill(pid_, SIGUSR1); }

void DeviceProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace testing_support
