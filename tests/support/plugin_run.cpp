#include "support/plugin_run.h"

namespace testing_support {

PlugInRun::PlugInRun()
    : ini(std::string(PORTAB_DATA_DIR) + "/PortaB.ini"), registry(demo.Dir() / "registry.reg") {
  std::filesystem::create_directories(ServerFolder());
  std::filesystem::copy(std::string(PORTAB_DATA_DIR) + "/Config", ServerFolder() / "Config",
                        std::filesystem::copy_options::recursive);
  RegisterServer((ServerFolder() / "portab").string());
  context.iniFile = &ini;
  context.objectServer = demo.Server();
  context.network = demo.Server()->Networks()->ItemByName("Demo");
  context.system = demo.System();
  context.device = demo.Device();
  context.lonMarkObject = demo.Object();
  context.deviceTemplate = demo.Device()->Template();
  context.nvTypeChanger = &typeChanger;
  context.startFailed = &startFailed;
  context.dialogs = &dialogs;
  context.registry = &registry;
  context.newIniFile = [] { return std::make_unique<platform::ini::ProfileIniFile>(); };
  context.executable = demo.Dir() / "bin" / "portab";
  context.windowCaption = "Switch 1 / Omnal 1";
}

void PlugInRun::RegisterServer(const std::string& serverPath) {
  using services::registry::Hive;
  registry.WriteValue(Hive::ClassesRoot, "veltaPortaB.Application\\Clsid", "", "{6A1D5C2E-0000-4000-8000-000000000001}");
  registry.WriteValue(Hive::ClassesRoot, "Clsid\\{6A1D5C2E-0000-4000-8000-000000000001}\\LocalServer32", "", serverPath);
}

}  // namespace testing_support
