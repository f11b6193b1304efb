#pragma once
// Opens and closes the object server and a network, and finds a subsystem by its path.
// The references of a run travel as one block, so that closing can release all of them.

#include <memory>
#include <string>

#include "lns/lns_objects.h"

namespace lns {

// The eleven LNS references of a run, from the object server to the LonMark object.
struct RunObjects {
  std::shared_ptr<ObjectServer> objectServer;
  // The object returned by the server open (the server's network collection) and the four
  // returned by the network open: the network, its systems, the system, its subsystems.
  std::shared_ptr<NetworkCollection> networks;
  std::shared_ptr<Network> network;
  std::shared_ptr<SystemCollection> systems;
  std::shared_ptr<System> system;
  std::shared_ptr<SubsystemCollection> subsystems;
  // Returned by the subsystem search.
  std::shared_ptr<Subsystem> subsystem;
  std::shared_ptr<AppDeviceCollection> appDevices;
  std::shared_ptr<AppDevice> device;
  std::shared_ptr<LonMarkObjectCollection> lonMarkObjects;
  std::shared_ptr<LonMarkObject> lonMarkObject;
  // Why the last server or network open failed (the server's words), for the log.
  std::string openServerError;
  std::string openNetworkError;
};

// The open and close steps of a run: a numbered error of the server makes a step answer false
// (or, for CloseAll, is ignored) instead of reaching the caller.
class LnsConnector {
 public:
  // Opens the server for the access mode; false when it cannot be opened.
  bool OpenServer(RunObjects& run, int16_t accessMode) const;
  // Opens the network by name; fills the four network objects; false on failure.
  bool OpenNetwork(RunObjects& run, const std::string& networkName, bool remote) const;
  // Finds the subsystem below the system by its "."-separated path; false when missing.
  bool FindSubsystem(RunObjects& run, const std::string& subsystemPath) const;
  // Registers one plug-in command in the open network; false when that fails.
  bool RegisterCommand(RunObjects& run, const PlugInRegistration& registration) const;
  // Releases every reference (those already released are fine) and closes the server.
  void CloseAll(RunObjects& run) const;
};

}  // namespace lns
