#include "host/m_lca_plugin.h"

#include <ctime>

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
using services::dialogs::Icon;
constexpr const char* kModule = "M_LcaPlugIn";
constexpr const char* kIniFileName = "PortaB.ini";
constexpr const char* kHelpSection = "velta Porta Help 1.0";

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

void InitLogger(PlugInRunState& s) {
  s.Logger->Init(LoggerSetupFor(s.Program));
  base::SetProcedureLog(s.Logger.get());
}

// Loads the main window hidden; its object server control becomes the run's object server
// when it answers.
void LoadMainWindow(PlugInRunState& s) {
  s.MainWindow = std::make_unique<ui::frmMain>();
  s.MainWindow->Form_Load(*s.RegistryAccess, s.PlugInKey, s.ToolTipsEnabled);
  s.Logger->SetLogBox(&s.MainWindow->logBox);
  s.Lns.objectServer = s.Factory->CreateObjectServer();
  try {
    s.Lns.objectServer->Text();
  } catch (const std::exception&) {
    s.Lns.objectServer = nullptr;
  }
  s.ObjectFactory = s.Factory->CreateObjectFactory(*s.RegistryAccess, s.Lns.objectServer);
}

// Shows a failure of the connection, ends the run.
void FailStart(int16_t message, Icon icon, const std::vector<std::string>& values = {}) {
  auto& s = RunState();
  ShowMessage(base::FormatPlaceholders(ui::ResString(message), values), icon, DeviceObjectCaption());
  s.StatusWindow->Close();
  s.StartFailed = true;
  EndApp();
}

// The box that follows speaks of busy LNS applications; the log and standard error get what
// the server said, which names the network and the database it looked for.
void ReportOpenNetworkFailure(PlugInRunState& s, const lns::ParsedObjectName& name, const std::string& objectName) {
  if (s.Lns.openNetworkError.empty() && name.ok) return;
  const std::string line =
      name.ok ? "The network could not be opened: " + s.Lns.openNetworkError
              : "The object name \"" + objectName +
                    "\" does not name a network: the form is <network>/<system>.<subsystem>/<device>/<object>";
  base::LogLine(line, base::kRedLine);
  if (s.Program.console != nullptr) *s.Program.console << "portab: " << line << "\n" << std::flush;
}

// The box that follows says only that the server cannot be opened; the log and standard
// error get the server's words (which name the database server and what failed).
void ReportOpenServerFailure(PlugInRunState& s) {
  if (s.Lns.openServerError.empty()) return;
  const std::string line = "The LNS server could not be opened: " + s.Lns.openServerError;
  base::LogLine(line, base::kRedLine);
  if (s.Program.console != nullptr) *s.Program.console << "portab: " << line << "\n" << std::flush;
}

float SecondsSinceMidnight() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
}

}  // namespace

ui::LoggerSetup LoggerSetupFor(const services::ProgramInfo& program) {
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
  s.Ending = false;
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
    // A missing file, or one that exists but is no INI file (named with what is wrong with
    // it), ends the run before any LNS access.
    const std::string damage = s.IniFile->Damage();
    if (!damage.empty() || !base::FileExists(s.IniFileName)) {
      const std::string heading = ui::ResString(damage.empty() ? 1526 : 1529);
      const std::string problem = damage.empty() ? "" : "\r\n" + damage;
      base::LogLine(heading + " " + s.IniFileName + (damage.empty() ? "" : ": " + damage), base::kRedLine);
      ShowMessage(heading + "\r\n\r\n" + s.IniFileName + problem, Icon::Critical, base::kProductName);
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
    LoadMainWindow(s);
  } catch (const std::exception& e) {
    s.Logger->LogLine(std::string("The main window could not be loaded: ") + e.what(), ui::colour::kBlack, true, false,
                      0);
  }
  s.StatusWindow->SetFont("Tahoma");
}

void OpenLnsAndFindObject(const std::string& objectName, int16_t accessMode) {
  base::RunProcedure(kModule, Visibility::Public, "OpenLnsAndFindObject", [&](base::ErrorScope&) {
    auto& s = RunState();
    s.StatusWindow->Reset();
    s.StatusWindow->SetStatusText(ui::ResString(1503));
    const lns::ParsedObjectName name = s.ObjectNameParser.Parse(objectName);
    s.DeviceName = name.deviceName;
    s.ObjectNameOnly = name.objectName;
    // The interface the run's devices are reached through, when the tool named one.
    if (s.Lns.objectServer) s.Lns.objectServer->SetNetworkInterfaceName(s.NetworkInterfaceName);
    if (!s.LnsConnector.OpenServer(s.Lns, accessMode)) {
      ReportOpenServerFailure(s);
      return FailStart(1508, Icon::Exclamation, {base::kProductName});
    }
    // The start reads the object, its CPs and NVs many times over, and writes nothing: one
    // moment's view serves them (until the plug-in is handed the command, or a message waits).
    const lns::HeldReads heldReads(s.Lns.objectServer);
    s.StatusWindow->SetStatusText(base::FormatPlaceholders(ui::ResString(1505), {name.networkName}));
    if (!s.LnsConnector.OpenNetwork(s.Lns, name.networkName, s.Remote)) {
      ReportOpenNetworkFailure(s, name, objectName);
      return FailStart(1436, Icon::Critical);
    }
    s.StatusWindow->SetStatusText(base::FormatPlaceholders(ui::ResString(1506), {name.deviceName}));
    s.LnsConnector.FindSubsystem(s.Lns, name.subsystemPath);
    const lns::FoundDeviceAndObject found =
        s.IniFile->FindDeviceAndObject(s.Lns.appDevices, name.deviceName, name.objectName);
    if (!found.found) {
      s.StatusWindow->SetStatusText(ui::ResString(1507));
      s.LnsConnector.CloseAll(s.Lns);
      return FailStart(1437, Icon::Critical);
    }
    s.Lns.device = found.device;
    s.Lns.lonMarkObjects = found.lonMarkObjects;
    s.Lns.lonMarkObject = found.lonMarkObject;
    s.DeviceSubObject = found.device->Interface();
    s.StatusWindow->SetStatusText(ui::ResString(1501, 3));
    const bool accessible = DeviceIsAccessible(nullptr, true);
    if (s.CurrentCommand != 1 && !accessible) return FailStart(1491, Icon::Exclamation);
    s.MainWindow->SetupMenu(s.CurrentCommand);
    s.MainWindow->SetupPages(s.CurrentCommand, DeviceIsAccessible(nullptr, false));
    frmMain::Display();
  });
}

void StartWithToolObject() {
  base::RunProcedure(kModule, Visibility::Public, "StartWithToolObject", [](base::ErrorScope&) {
    auto& s = RunState();
    auto& lns = s.Lns;
    lns.lonMarkObjects = std::dynamic_pointer_cast<lns::LonMarkObjectCollection>(lns.lonMarkObject->Parent());
    lns.device = std::dynamic_pointer_cast<lns::AppDevice>(FindParentByClassId(lns.lonMarkObject, lns::class_id::kAppDevice));
    if (lns.device) s.DeviceSubObject = lns.device->Interface();
    lns.network = std::dynamic_pointer_cast<lns::Network>(FindParentByClassId(lns.device, lns::class_id::kNetwork));
    if (lns.network) {
      lns.systems = lns.network->Systems();
      lns.system = lns.systems->Item(1);
      lns.subsystems = lns.system->Subsystems();
      lns.subsystem = lns.subsystems->Item(1);
      lns.appDevices = lns.subsystem->AppDevices();
    }
    s.DeviceName = lns.device ? lns.device->Name() : "";
    s.ObjectNameOnly = lns.lonMarkObject->Name();
    frmMain::Display();
  });
}

lns::ObjectPtr FindParentByClassId(const lns::ObjectPtr& start, int16_t classId) {
  lns::ObjectPtr object = start;
  while (object) {
    try {
      object = object->Parent();
      if (!object) return nullptr;
      if (object->ClassId() == classId) return object;
    } catch (const base::Error&) {
      return nullptr;
    }
  }
  return nullptr;
}

bool DeviceIsAccessible(const std::shared_ptr<lns::AppDevice>& device, bool force) {
  auto& s = RunState();
  const float now = SecondsSinceMidnight();
  if (!force && s.LastDeviceCheck >= 0 && now - s.LastDeviceCheck <= 10.0f && now >= s.LastDeviceCheck) {
    return s.LastDeviceAccessible;
  }
  s.LastDeviceCheck = now;
  const std::shared_ptr<lns::AppDevice> target = device ? device : s.Lns.device;
  bool accessible = false;
  try {
    if (target) {
      target->Status();
      accessible = true;
    }
  } catch (const base::Error&) {
    accessible = false;
  }
  if (!device && accessible) s.DeviceFailure = false;
  s.LastDeviceAccessible = accessible;
  return accessible;
}

void EndApp() {
  auto& s = RunState();
  if (!s.Initialized || s.Ended || s.Ending) return;
  s.Ending = true;
  base::LogEntry(kModule, Visibility::Public, "EndApp");
  base::ErrorScope scope(kModule, "EndApp");
  try {
    scope.Run([&] {
      if (!s.Unregistering) scope.Step([] { M_PlugIn::Register(); });
      if (s.Monitoring) scope.Step([&] { s.Monitoring->SetMonitoring(false); });
      if (!s.ToolObjectGiven) scope.Step([&] { s.LnsConnector.CloseAll(s.Lns); });
      s.Lns.objectServer = nullptr;
    });
  } catch (const base::EndProgram&) {
    // Already ending.
  }
  // From here on errors are ignored.
  try {
    if (s.MainWindow) frmMain::Unload();
  } catch (const std::exception&) {
  }
  s.Ended = true;
  base::SetProcedureLog(nullptr);
  s.RegResult = nullptr;
  s.TabStrips.reset();
  s.Configuration.reset();
  s.Monitoring.reset();
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

}  // namespace host::M_LcaPlugIn
