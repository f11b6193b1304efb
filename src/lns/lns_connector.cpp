#include "lns/lns_connector.h"

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"

namespace lns {

bool LnsConnector::OpenServer(RunObjects& run, int16_t accessMode) const {
  if (!run.objectServer) return false;
  try {
    run.objectServer->Open(accessMode);
    run.networks = run.objectServer->Networks();
    return true;
  } catch (const base::Error& e) {
    run.openServerError = e.Description();
    return false;
  }
}

bool LnsConnector::OpenNetwork(RunObjects& run, const std::string& networkName, bool remote) const {
  (void)remote;  // the embedded server opens local and remote networks alike
  if (!run.networks) return false;
  try {
    run.network = run.networks->ItemByName(networkName);
    run.systems = run.network->Systems();
    run.system = run.systems->Item(1);
    run.subsystems = run.system->Subsystems();
    return true;
  } catch (const base::Error& e) {
    run.openNetworkError = e.Description();
    return false;
  }
}

bool LnsConnector::FindSubsystem(RunObjects& run, const std::string& subsystemPath) const {
  if (!run.subsystems) return false;
  try {
    std::shared_ptr<SubsystemCollection> level = run.subsystems;
    std::shared_ptr<Subsystem> found;
    for (const auto& name : base::Split(subsystemPath, ".")) {
      found = level->ItemByName(name);
      level = found->Subsystems();
    }
    if (!found) return false;
    run.subsystem = found;
    run.appDevices = found->AppDevices();
    return true;
  } catch (const base::Error&) {
    return false;
  }
}

bool LnsConnector::RegisterCommand(RunObjects& run, const PlugInRegistration& registration) const {
  if (!run.network) return false;
  try {
    run.network->RegisterPlugIn(registration);
    return true;
  } catch (const base::Error&) {
    return false;
  }
}

void LnsConnector::CloseAll(RunObjects& run) const {
  base::LogEntry("LnsConnector", base::Visibility::Public, "CloseAll");
  auto server = std::move(run.objectServer);
  run = RunObjects{};
  if (server) {
    try {
      server->Close();
    } catch (const base::Error&) {
      // Closing never fails the caller.
    }
  }
}

}  // namespace lns
