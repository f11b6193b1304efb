#include "support/host_run.h"

#include "host/m_lca_plugin.h"
#include "host/m_plugin.h"
#include "host/run_state.h"
#include "platform/automation/class_registry.h"
#include "platform/lns_embedded/network_description.h"

namespace testing_support {

HostRun::HostRun(const HostSetup& setup) : factory(records, dir_ / "home" / "registry.reg") {
  const std::string data = PORTAB_DATA_DIR;
  std::filesystem::create_directories(ProgramFolder());
  std::filesystem::create_directories(Home());
  if (!setup.iniText.empty()) {
    WriteFile(ProgramFolder() / "PortaB.ini", setup.iniText);
  } else if (setup.shippedIniFile) {
    for (const char* file : {"PortaB.ini", "PortaB.xif"}) std::filesystem::copy_file(data + "/" + file, ProgramFolder() / file);
  }
  if (setup.demoNetwork) {
    platform::lns_embedded::CreateNetwork(Home() / "lns", ReadFile(data + "/demo/network.json"), false);
  }
  if (setup.knowledgeBase) {
    std::filesystem::copy(data + "/Config", ProgramFolder() / "Config", std::filesystem::copy_options::recursive);
    auto registry = Registry();
    platform::automation::RegisterClass(
        registry, {"veltaPortaB.Application", "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}", ProgramFolder() / "portab", {}});
  }
  ResetRun();
}

void HostRun::ResetRun() {
  records = Records{};
  std::error_code ignored;
  std::filesystem::remove(ProgramFolder() / "portab.LOG", ignored);
  host::ResetRunState();
  auto& s = host::RunState();
  s.Program.executable = ProgramFolder() / "portab";
  s.Program.programFolder = ProgramFolder();
  s.Program.home = Home();
  s.Factory = &factory;
}

HostRun::~HostRun() { host::ResetRunState(); }

void HostRun::Main(const std::string& commandLine) {
  host::M_PlugIn::Main(commandLine, false);
  host::M_LcaPlugIn::EndApp();
}

}  // namespace testing_support
