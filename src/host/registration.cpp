#include "host/registration.h"

#include "base/error.h"
#include "base/procedure.h"
#include "host/run_state.h"

namespace host::M_PlugIn {

using base::Visibility;

void Register() {
  base::RunProcedure("M_PlugIn", Visibility::Public, "Register", [](base::ErrorScope&) {
    throw base::NotAvailable("M_PlugIn.Register", "Automation class registration");
  });
}

void Unregister() {
  base::RunProcedure("M_PlugIn", Visibility::Public, "Unregister", [](base::ErrorScope&) {
    throw base::NotAvailable("M_PlugIn.Unregister", "Automation class registration");
  });
}

void DeleteOwnRegistryKey() {
  base::RunProcedure("M_PlugIn", Visibility::Public, "DeleteOwnRegistryKey", [](base::ErrorScope&) {
    auto& s = RunState();
    s.RegistryAccess->DeleteKeyTree(platform::registry::Hive::LocalMachine, s.PlugInKey);
  });
}

void RegisterInNetworks(const std::string& objectName, int16_t accessMode) {
  base::RunProcedure("M_PlugIn", Visibility::Public, "RegisterInNetworks", [&](base::ErrorScope&) {
    (void)objectName;
    (void)accessMode;
    throw base::NotAvailable("M_PlugIn.RegisterInNetworks", "Registration in the LNS networks");
  });
}

}  // namespace host::M_PlugIn
