#pragma once
// The LON/IP commands of portab-lns:
//   interface add <name> lonip:<IPv4> [--timeout <ms>] [--retries <n>] [--enhanced yes|no]
//   interface list | interface remove <name>
//   attach <network> <interface> | attach <network> none
//   discover <interface or network> [--seconds <n>]
//   commission <device path> <Neuron ID> [--accept-interface]
//   template check <network> <program ID> <device path>
//   status <device path>
//   wink <device path>
//   device interface <device path> [--json]
// and, for `device add <subsystem path> <name> --from-device <Neuron ID>`, the device's entry.

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/lns_embedded/embedded_server.h"
#include "platform/registry/file_registry.h"
#include "platform/lonip/device_requests.h"
#include "platform/lonip/lonip_channel.h"

namespace platform::lns_embedded {

// A command line the tool cannot run: printed with the usage text, exit status 2.
struct ToolUsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A device named by a path, with the network database it lives in.
struct ResolvedDevice {
  std::shared_ptr<NetworkDb> db;
  int64_t deviceId = 0;
};
using DeviceResolver = std::function<ResolvedDevice(const std::string& path)>;

class LonIpCommands {
 public:
  // `progress`: standard error is a terminal, where long work shows how far it is.
  LonIpCommands(EmbeddedObjectServer& server, std::ostream& out, std::ostream& err, bool progress)
      : server_(server), out_(out), err_(err), progress_(progress), store_(server.RegistryFile()), interfaces_(store_) {}

  // Whether `command` is one of these.
  static bool Handles(const std::string& command);
  // Runs it; returns the exit status. Errors are base::Errors naming the device and interface.
  int Run(const std::string& command, const std::vector<std::string>& args, const DeviceResolver& resolve);
  // Prints the interface the device of `device` tells of itself, as an engineer reads it or
  // (json) as a device entry of a network description. Returns 1 when its CP files could not be
  // read (said on standard error), 0 otherwise.
  int PrintInterface(const ResolvedDevice& device, bool json);
  // cp upload / cp download <device path>: the CPs the device holds taken into the database, or
  // the database's written to the device; each lists the CPs that differed.
  int UploadCps(const ResolvedDevice& device);
  int DownloadCps(const ResolvedDevice& device);
  bool HoldsCps(const ResolvedDevice& device);
  // Holds the interface the device of `device` tells of itself against the network's template
  // of `programId`, listing every difference. Returns 1 when they differ, 0 when they agree.
  int CheckTemplate(const ResolvedDevice& device, const std::string& programId);
  // The CPs that differ between the device and the database, said without changing either.
  void SayDifferingCps(const ResolvedDevice& device, const std::string& path);
  // The entry of a new device `name` in `network`, read from the device of that Neuron ID: with
  // the names of the template (a device of the network that runs the same program) when it has
  // the template's shape; kBadValue listing the differences when not, or naming what the device's
  // interface cannot give (unreadable CP files among them).
  std::string EntryFromDevice(const std::shared_ptr<NetworkDb>& network, const std::string& name,
                              const std::string& neuronIdText);

 private:
  int Interface(const std::vector<std::string>& args);
  int Attach(const std::vector<std::string>& args);
  int Discover(const std::vector<std::string>& args);
  int Commission(const ResolvedDevice& device, const std::string& neuronIdText, bool acceptInterface);
  // Before commissioning: a device whose interface differs from the network's template of its
  // program in NVs or CPs is refused (kBadValue naming the first differences) unless accepted.
  void CheckAgainstTemplate(lonip::LonIpChannel& channel, const lonip::LonTarget& byId, SqlDb& db, int64_t deviceId,
                            bool acceptInterface);
  int Status(const ResolvedDevice& device);
  int Wink(const ResolvedDevice& device);
  std::string FoundLine(lonip::LonChannel& channel, const lonip::FoundDevice& device,
                        std::chrono::steady_clock::time_point deadline);
  // The network's name as the server spells it, found without regard to case.
  std::optional<std::string> NetworkNamed(const std::string& name) const;
  // The interface named, or the one attached to the network named.
  lonip::InterfaceSettings InterfaceNamed(const std::string& name);

  EmbeddedObjectServer& server_;
  std::ostream& out_;
  std::ostream& err_;
  bool progress_;
  registry::FileRegistry store_;  // where the interfaces are kept
  lonip::InterfaceStore interfaces_;
};

}  // namespace platform::lns_embedded
