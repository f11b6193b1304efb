#include "host/m_lca_plugin.h"

#include <filesystem>

#include "base/error.h"
#include "base/paths.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/text.h"
#include "host/registration.h"
#include "host/run_state.h"
#include "ui/res_strings.h"

namespace host::M_LcaPlugIn {
namespace {

using base::Visibility;
using platform::dialogs::Icon;
constexpr const char* kModule = "M_LcaPlugIn";
constexpr const char* kIniFileName = "PortaB.ini";

// The outside components. The name parser, the connector, the path and form utilities and
// the text utility are plain parts of the program; the registry store comes before the COM
// registration that writes into it.
void CreateComponents(PlugInRunState& s) {
  s.StatusWindow = s.Factory->CreateStatusWindow();
  s.Logger = std::make_unique<ui::Logger>(s.Program.console);
  s.RegistryAccess = s.Factory->CreateRegistryAccess();
  s.ComRegistration = s.Factory->CreateComRegistration(*s.RegistryAccess);
  s.IniFile = s.Factory->CreateIniFile();
  s.Dialogs = s.Factory->CreateDialogs();
  s.Shell = s.Factory->CreateShell();
  s.NvTypeChanger = s.Factory->CreateNvTypeChanger();
}

// The window's object server control: the run's object server, when it answers.
void ConnectObjectServer(PlugInRunState& s) {
  s.Lns.objectServer = s.Factory->CreateObjectServer();
  try {
    s.Lns.objectServer->Text();
  } catch (const std::exception&) {
    s.Lns.objectServer = nullptr;
  }
  s.ObjectFactory = s.Factory->CreateObjectFactory(*s.RegistryAccess, s.Lns.objectServer);
}

void InitLogger(PlugInRunState& s) {
  s.Logger->Init(LoggerSetupFor(s.Program));
  base::SetProcedureLog(s.Logger.get());
}

constexpr const char* kHelpSection = "velta Porta Help 1.0";

// Loads the main window hidden; its object server control becomes the run's object server.
void LoadMainWindow() {
  base::LogEntry("frmMain", Visibility::Private, "Form_Load");
  throw base::NotAvailable("frmMain.Form_Load", "The main window (its texts, menu and position)");
}

}  // namespace

ui::LoggerSetup LoggerSetupFor(const platform::ProgramInfo& program) {
  ui::LoggerSetup setup;
  setup.fileName = program.ExeName() + ".LOG";
  setup.folder = program.programFolder;
  setup.major = base::kVersionMajor;
  setup.minor = base::kVersionMinor;
  setup.revision = base::kVersionRevision;
  setup.languageValue = ui::LanguageOffset() + 1000;
  setup.productName = base::kProductName;
  setup.title = ui::ResString(1700);  // the table has no such entry: the title is empty
  setup.fallbackFolder = program.home;
  return setup;
}

void InitApp() {
  auto& s = RunState();
  s.StartFailed = false;
  s.Ended = false;
  CreateComponents(s);
  s.Initialized = true;
  InitLogger(s);
  base::LogEntry(kModule, Visibility::Public, "InitApp");
  base::ErrorScope scope(kModule, "InitApp");
  scope.Run([&] {
    scope.Step([&] {
      s.ManufacturerName = ui::ResString(1802);
      s.Version = std::to_string(base::kVersionMajor) + "." + std::to_string(base::kVersionMinor);
    });
    scope.Step([&] { s.PlugInKey = std::string(kPlugInKeyPrefix) + base::kProductName; });
    scope.Step([&] { ui::SetLanguageOffset(ui::ReadSharedLanguageSetting(*s.RegistryAccess)); });
    scope.Step([&] { InitCommandTable(s.CommandTable); });
    scope.Step([&] {
      s.IniFileName = (s.Program.programFolder / kIniFileName).string();
      s.IniFile->SetFile(s.IniFileName);
    });
    if (!base::FileExists(s.IniFileName)) {
      ShowMessage(ui::ResString(1526) + "\r\n\r\n" + s.IniFileName, Icon::Critical, base::kProductName);
      s.StartFailed = true;
      EndApp();
      return;
    }
    scope.Step([&] {
      s.HelpFilePath = base::WithTrailingSeparator(s.Program.programFolder.string()) +
                       base::NativePath(s.IniFile->ReadString("HelpFilePath", kHelpSection));
    });
    s.ToolTipsEnabled = true;
  });
  if (s.Ended) return;
  // From here on errors are ignored.
  try {
    LoadMainWindow();
  } catch (const base::Error& e) {
    s.Logger->LogLine(e.Description(), ui::colour::kBlack, true, false, 0);
  }
  ConnectObjectServer(s);
  s.StatusWindow->SetFont("Tahoma");
}

void EndApp() {
  auto& s = RunState();
  if (!s.Initialized || s.Ended) return;
  base::LogEntry(kModule, Visibility::Public, "EndApp");
  base::ErrorScope scope(kModule, "EndApp");
  try {
    scope.Run([&] {
      if (!s.Unregistering) scope.Step([] { M_PlugIn::Register(); });
      // Monitoring and the main window are not created by any run yet: nothing to switch
      // off or unload.
      if (!s.ToolObjectGiven) scope.Step([&] { s.LnsConnector.CloseAll(s.Lns); });
      s.Lns.objectServer = nullptr;
    });
  } catch (const base::EndProgram&) {
    // Already ending.
  }
  s.Ended = true;
  base::SetProcedureLog(nullptr);
  s.RegResult = nullptr;
  s.StatusWindow.reset();
  s.Logger.reset();
  s.ObjectFactory.reset();
  s.ComRegistration.reset();
  s.RegistryAccess.reset();
  s.IniFile.reset();
  s.Dialogs.reset();
  s.Shell.reset();
  s.NvTypeChanger.reset();
}

void OpenLnsAndFindObject(const std::string& objectName, int16_t accessMode) {
  base::RunProcedure(kModule, Visibility::Public, "OpenLnsAndFindObject", [&](base::ErrorScope&) {
    (void)objectName;
    (void)accessMode;
    throw base::NotAvailable("M_LcaPlugIn.OpenLnsAndFindObject", "Connecting to the LNS object server");
  });
}

void StartWithToolObject() {
  base::RunProcedure(kModule, Visibility::Public, "StartWithToolObject", [](base::ErrorScope&) {
    throw base::NotAvailable("M_LcaPlugIn.StartWithToolObject", "Starting with the tool's LonMark object");
  });
}

}  // namespace host::M_LcaPlugIn

namespace host::frmMain {

void Display() {
  base::RunProcedure("frmMain", base::Visibility::Public, "Display", [](base::ErrorScope&) {
    throw base::NotAvailable("frmMain.Display", "The main window");
  });
}

}  // namespace host::frmMain
