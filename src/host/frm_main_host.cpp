#include "base/error.h"
#include "base/procedure.h"
#include "host/m_lca_plugin.h"
#include "host/run_state.h"
#include "lns/reads_releasing_dialogs.h"
#include "ui/res_strings.h"

namespace host::frmMain {
namespace {

using base::Visibility;

// What the configuration, knowledge base and monitoring of this run are handed.
void FillContext(PlugInRunState& s) {
  lns::PlugInContext& c = s.Context;
  c.iniFile = s.IniFile.get();
  c.objectServer = s.Lns.objectServer;
  c.network = s.Lns.network;
  c.system = s.Lns.system;
  c.device = s.Lns.device;
  c.lonMarkObject = s.Lns.lonMarkObject;
  c.deviceTemplate = s.Lns.device ? s.Lns.device->Template() : nullptr;
  c.nvTypeChanger = s.NvTypeChanger.get();
  c.startFailed = &s.StartFailed;
  if (!s.ContextDialogs) {
    s.ContextDialogs = std::make_unique<lns::ReadsReleasingDialogs>([&s] { return s.Dialogs.get(); }, [&s] {
      if (s.Lns.objectServer) s.Lns.objectServer->HoldReads(false);
    });
  }
  c.dialogs = s.Dialogs ? s.ContextDialogs.get() : nullptr;
  c.registry = s.RegistryAccess.get();
  c.newIniFile = [factory = s.Factory] { return factory->CreateIniFile(); };
  c.executable = s.Program.executable;
  c.windowCaption = s.MainWindow ? s.MainWindow->caption : std::string();
  c.objectFactory = s.ObjectFactory.get();
  c.commandId = s.CommandId;
  c.classId = s.ClassId;
  c.objectName = s.ObjectName;
}

void CreateControllers(PlugInRunState& s) {
  s.Configuration = std::make_unique<config::cConfiguration>(s.Context);
  s.Monitoring = std::make_unique<monitoring::cMonitoring>(s.Context);
}

// FetchCPs and ReadSettings with the window's loading flag set.
void LoadConfiguration(PlugInRunState& s) {
  if (s.MainWindow) s.MainWindow->loading = true;
  s.Configuration->FetchCPs();
  s.Configuration->ReadSettings();
  if (s.MainWindow) s.MainWindow->loading = false;
}

}  // namespace

void Display() {
  base::RunProcedure("frmMain", Visibility::Public, "Display", [](base::ErrorScope& scope) {
    auto& s = RunState();
    base::LogLine(ui::ResString(1530), ui::colour::kGreen, true);
    FillContext(s);
    if (s.CurrentCommand == 1) {
      scope.Step([&] {
        CreateControllers(s);
        base::LogLine(ui::ResString(1550, 1), ui::colour::kBlue, true);
        LoadConfiguration(s);
        s.Monitoring->FetchNVs();
        base::LogLine(ui::ResString(1550, 2), ui::colour::kBlue, true, 1);
      });
    } else if (s.CurrentCommand == 4) {
      scope.Step([&] {
        CreateControllers(s);
        LoadConfiguration(s);
        s.Monitoring->SetMonitoring(false);
      });
    }
    if (s.Configuration) {
      scope.Step([&] {
        const int32_t fpt = s.Configuration->Parameters().Parameter2ByteByName("FptIndex")->Value();
        if (s.Lns.objectServer) s.Lns.objectServer->HoldReads(false);  // the plug-in's run may take all day
        s.StartFailed = !s.Configuration->MC16().StartPlugIn(fpt);
        if (s.StartFailed) {
          const std::string object = s.Lns.lonMarkObject ? s.Lns.lonMarkObject->Name() : s.ObjectNameOnly;
          ShowMessage("Die Konfiguration von \"" + object + "\" ist ung\xC3\xBCltig.", services::dialogs::Icon::Exclamation,
                      DeviceObjectCaption());
        }
      });
    }
    M_LcaPlugIn::EndApp();
  });
}

bool Close() {
  auto& s = RunState();
  if (s.MainWindow && s.Dialogs && s.MainWindow->QueryUnload(s.ParametersChanged, *s.Dialogs)) return false;
  Unload();
  return true;
}

void Unload() {
  auto& s = RunState();
  if (!s.MainWindow) return;
  // While unregistering, the plug-in's own key is gone for good: the position is not stored.
  s.MainWindow->Form_Unload(*s.RegistryAccess, s.Unregistering ? std::string() : s.PlugInKey);
  if (s.StatusWindow) s.StatusWindow->SetStatusText(s.MainWindow->statusLine);
  M_LcaPlugIn::EndApp();  // when the run is ending already, this does nothing
  if (s.Logger) s.Logger->SetLogBox(nullptr);
  s.MainWindow.reset();
}

}  // namespace host::frmMain
