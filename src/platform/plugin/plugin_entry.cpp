#include "plugin/plugin_entry.h"

#include <cctype>
#include <chrono>
#include <fstream>
#include <iostream>

#include "base/dispatch.h"
#include "base/error.h"
#include "base/paths.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/standard_options.h"
#include "base/text.h"
#include "knowledge/profile_plugins.h"
#include "lns/object_names.h"
#include "platform/automation/class_registry.h"
#include "platform/automation/object_client.h"
#include "lns/reads_releasing_dialogs.h"
#include "platform/dialogs/console_dialogs.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/process/shell.h"
#include "platform/qt/display.h"
#include "platform/registry/file_registry.h"
#include "ui/help.h"
#include "ui/logger.h"
#include "ui/res_strings.h"

namespace plugin {

namespace automation = platform::automation;
namespace dialogs = platform::dialogs;
namespace ini = platform::ini;
namespace lns_embedded = platform::lns_embedded;
namespace process = platform::process;
namespace qt = platform::qt;
namespace registry = platform::registry;

namespace {

// The system that holds a device (its collection, subsystems and systems lie above it).
std::shared_ptr<lns::System> SystemOf(const std::shared_ptr<lns::AppDevice>& device) {
  for (lns::ObjectPtr node = device->Parent(); node; node = node->Parent()) {
    if (auto system = std::dynamic_pointer_cast<lns::System>(node)) return system;
  }
  return nullptr;
}

// The logging component writes the program's log while a command runs; its log box is the
// window's. Both are let go when the command ends, also through an error.
class CommandLog {
 public:
  CommandLog(const PlugInIdentity& identity, const std::filesystem::path& programFolder,
             const std::filesystem::path& home)
      : logger_(&std::cerr) {
    logger_.Init({identity.programName + ".LOG", programFolder, base::kVersionMajor, base::kVersionMinor,
                  base::kVersionRevision, 1000, true, identity.progId, true, "", home});
    base::SetProcedureLog(&logger_);
  }
  ~CommandLog() {
    logger_.SetLogBox(nullptr);
    base::SetProcedureLog(nullptr);
  }
  CommandLog(const CommandLog&) = delete;
  CommandLog& operator=(const CommandLog&) = delete;
  ui::Logger& Logger() { return logger_; }

 private:
  ui::Logger logger_;
};

// The window's header line: the object's path, its function profile and the knowledge-base
// version, as far as the parameter set holds them.
std::string HeaderLine(const Command& command, const params::cParams& parameters) {
  std::string line = base::ReplaceAll(base::ReplaceAll(command.objectName, "\\", "/"), "/", " / ");
  if (parameters.List(params::Kind::TwoByte).Exists("FptIndex")) {
    line += "   " + base::FormatPlaceholders(ui::ResString(1872),
                                             {std::to_string(parameters.Parameter2ByteByName("FptIndex")->Value())});
  }
  if (parameters.List(params::Kind::OneByte).Exists("ParamVersion")) {
    line += "   " + base::FormatPlaceholders(ui::ResString(1873),
                                             {std::to_string(parameters.Parameter1ByteByName("ParamVersion")->Value())});
  }
  return line;
}

// The plug-in INI file: the one beside the program, else the one beside the registered portab
// (a plug-in installed apart from portab shares its INI file and knowledge base).
std::filesystem::path PlugInIniFile(const services::registry::Registry& registry,
                                    const std::filesystem::path& programFolder) {
  const auto own = programFolder / "PortaB.ini";
  if (base::FileExists(own)) return own;
  const auto server = automation::RegisteredServer(registry, "veltaPortaB.Application");
  return server ? server->parent_path() / "PortaB.ini" : own;
}

// Whether `text` is a class id: 32 hex digits in braces, grouped 8-4-4-4-12.
bool IsClassId(const std::string& text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? text[i] != '-' : std::isxdigit(static_cast<unsigned char>(text[i])) == 0) return false;
  }
  return true;
}

// The checks of /regserver, before anything is written: the identity is complete and its class
// id is not another plug-in's (which would hand that plug-in's commands to this program).
void CheckIdentity(const PlugInIdentity& identity, const services::registry::Registry& registry) {
  const auto refuse = [&](int32_t number, const std::string& what) {
    throw base::Error(number, identity.programName, what);
  };
  if (identity.progId.empty()) refuse(base::err::kInvalidCallOrKey, "The plug-in's identity has no programmatic id.");
  if (!IsClassId(identity.classId)) {
    refuse(base::err::kInvalidCallOrKey, "The plug-in's class id \"" + identity.classId +
                                             "\" is not a class id ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}).");
  }
  const auto owner = registry.ReadValue(services::registry::Hive::ClassesRoot, "Clsid\\" + identity.classId + "\\ProgID", "");
  if (owner && !owner->empty() && !base::EqualsNoCase(*owner, identity.progId)) {
    refuse(base::err::kDuplicateKey, "The class id " + identity.classId + " is registered for " + *owner +
                                         "; give " + identity.progId + " a class id of its own.");
  }
}

// Registers the automation class and the function profiles, all or nothing.
void Register(const PlugInIdentity& identity, services::registry::Registry& registry) {
  CheckIdentity(identity, registry);
  knowledge::RegisterProfilePlugIn(registry, identity.progId, identity.functionProfiles);
  try {
    automation::RegisterClass(registry, {identity.progId, identity.classId, process::CurrentExecutable(), {}});
  } catch (...) {
    knowledge::UnregisterProfilePlugIn(registry, identity.progId);
    throw;
  }
}

// The services of the window model: dialogs, the window's place, loading and saving, help.
config::MainWindowServices WindowServices(const PlugInIdentity& identity, services::dialogs::Dialogs& dialogs,
                                          services::registry::Registry& registry, const lns::IniFile& plugInIni,
                                          lns::AppDevice& device, const std::filesystem::path& programFolder) {
  config::MainWindowServices services;
  services.dialogs = &dialogs;
  services.registry = &registry;
  services.plugInKey = identity.registryKey;
  services.plugInIniFile = &plugInIni;
  services.programId = device.Template()->ProgramId();
  services.programFolder = programFolder.string();
  return services;
}

// Runs one command on the object it names: opens it, builds the window through the plug-in,
// reads the parameters and runs the window.
void RunCommand(const PlugInIdentity& identity, ProfilePlugIn& plugIn, WindowFrontEnd* frontEnd,
                const Command& command) {
  const auto home = StateFolder();
  auto server = std::make_shared<lns_embedded::EmbeddedObjectServer>(home / "lns", lns_embedded::ServerFromEnvironment());
  server->SetNetworkInterfaceName(command.interfaceName);
  // Up to the window, the run reads the object, its CPs and NVs many times over: one moment's
  // view serves them. Released before anything waits for the user.
  lns::HeldReads heldReads(server);
  auto lonMarkObject =
      std::dynamic_pointer_cast<lns::LonMarkObject>(lns::ResolveObjectName(*server, command.objectName));
  // The LonMark object lies in its device's collection of objects, in the device's interface.
  auto device = lonMarkObject ? std::dynamic_pointer_cast<lns::AppDevice>(lonMarkObject->Parent()->Parent()->Parent())
                              : nullptr;
  if (!device) {
    heldReads.Release();
    return plugIn.ObjectNotFound(command, lonMarkObject ? "the object's device" : "the object");
  }

  const auto programFolder = process::CurrentExecutable().parent_path();
  CommandLog log(identity, programFolder, home);
  registry::FileRegistry registry(registry::DefaultRegistryFile());
  ini::ProfileIniFile plugInIni(PlugInIniFile(registry, programFolder).string());
  dialogs::ConsoleDialogs consoleDialogs(std::cerr);
  const char* scriptFile = std::getenv("PORTAB_WINDOW_SCRIPT");
  const bool scripted = scriptFile != nullptr && *scriptFile != '\0';
  const char* answers = std::getenv("PORTAB_ANSWERS");
  const bool answered = scripted || (answers != nullptr && *answers != '\0');
  services::dialogs::Dialogs& shown = frontEnd != nullptr ? frontEnd->Dialogs(consoleDialogs, answered)
                                                           : static_cast<services::dialogs::Dialogs&>(consoleDialogs);
  lns::ReadsReleasingDialogs dialogs([&shown] { return &shown; }, [&heldReads] { heldReads.Release(); });
  ui::SetLanguageOffset(ui::ReadSharedLanguageSetting(registry));  // the language all plug-ins share

  lns::PlugInContext context;
  context.iniFile = &plugInIni;
  context.objectServer = server;
  context.system = SystemOf(device);
  context.device = device;
  context.lonMarkObject = lonMarkObject;
  context.deviceTemplate = device->Template();
  context.dialogs = &dialogs;
  context.registry = &registry;
  context.executable = process::CurrentExecutable();
  context.windowCaption = device->Name() + " / " + lonMarkObject->Name();
  context.newIniFile = [] { return std::make_unique<ini::ProfileIniFile>(); };
  config::cConfiguration configuration(context);
  monitoring::cMonitoring monitoring(context);
  // Monitoring off when the command ends, however it ends.
  struct MonitoringOff {
    monitoring::cMonitoring& monitoring;
    ~MonitoringOff() { monitoring.SetMonitoring(false); }
  } monitoringOff{monitoring};

  ui::frmMain form;
  form.Form_Load(registry, identity.registryKey, false);
  form.caption = context.windowCaption;
  const int32_t currentCommand = plugIn.WindowCommand(command);
  form.SetupMenu(currentCommand);
  form.SetupPages(currentCommand, true);
  config::MainWindowServices services =
      WindowServices(identity, dialogs, registry, plugInIni, *device, programFolder);
  process::PosixShell shell;
  const std::string helpFile = base::WithTrailingSeparator(programFolder.string()) +
                               base::NativePath(plugInIni.ReadString("HelpFilePath", "velta Porta Help 1.0"));
  services.showHelp = [&](int32_t topic) { ui::ShowHelp(dialogs, shell, helpFile, topic); };
  // The pictures lie beside the plug-in INI file, in the folder portab shares with its plug-ins.
  services.showAbout = [&] {
    ui::ShowAbout(dialogs, server->Text(), std::filesystem::path(plugInIni.GetFile()).parent_path().string());
  };
  services.monitorPoints = &monitoring.MonitorPoints();
  services.setMonitoring = [&](bool on) { monitoring.SetMonitoring(on); };
  // The device answers when its status can be read; asked again after ten seconds at most.
  services.deviceIsAccessible = [device, checked = std::chrono::steady_clock::time_point{}, accessible = false]() mutable {
    const auto now = std::chrono::steady_clock::now();
    if (checked != std::chrono::steady_clock::time_point{} && now - checked <= std::chrono::seconds(10)) return accessible;
    checked = now;
    try {
      device->Status();
      accessible = true;
    } catch (const base::Error&) {
      accessible = false;
    }
    return accessible;
  };
  config::MainWindow window(form, services);
  window.SetCurrentCommand(currentCommand);
  window.SetConfiguration(&configuration);
  log.Logger().SetLogBox(&form.logBox);

  // The knowledge base: fetching the CPs loads it for the device's "ParamVersion".
  configuration.FetchCPs();
  monitoring.FetchNVs();
  Session session{command, device, lonMarkObject, configuration, form, window, context, monitoring};
  plugIn.BuildWindow(session);
  window.SetLoading(true);
  configuration.ReadSettings();
  window.SetLoading(false);
  window.SetControls();
  window.SetStatusLine(ui::ResString(1517));  // "Ready."
  form.headerLine = HeaderLine(command, configuration.Parameters());
  const std::string network = base::Field(base::ReplaceAll(command.objectName, "/", "\\"), 1, "\\");
  form.windowTitle = form.caption + " \u2014 " + network;
  form.visible = true;
  if (!form.pageBar.Buttons().empty()) window.PageButtonClick(form.pageBar.Buttons().front().key);  // the command's first page
  heldReads.Release();
  plugIn.WindowAt(session, WindowMoment::AfterRead, 0);

  // The window system's view of the window goes before the window model it shows.
  struct ReleaseView {
    WindowFrontEnd* frontEnd;
    ~ReleaseView() {
      if (frontEnd != nullptr) frontEnd->Release();
    }
  } releaseView{frontEnd};
  config::UserActions* userActions = frontEnd != nullptr ? frontEnd->Show(window) : nullptr;
  if (scripted) {
    std::ifstream in(scriptFile);
    std::error_code notAFile;
    if (!in || !std::filesystem::is_regular_file(scriptFile, notAFile)) {  // a folder opens, but reads nothing
      return plugIn.WindowAt(session, WindowMoment::ScriptUnreadable, 0);
    }
    config::WindowScript actions(
        window, std::cerr, [&](std::string answer) { consoleDialogs.AnswerNext(std::move(answer)); }, userActions);
    const int failed = actions.Run(in);
    plugIn.WindowAt(session, WindowMoment::AfterScript, failed);
  } else if (frontEnd != nullptr) {
    frontEnd->Run();  // until the window closes (OK, Cancel, Quit or the window's close box)
    plugIn.WindowAt(session, WindowMoment::AfterClose, 0);
  }
}

// The automation object: the network settings a tool puts, and SendCommand.
class PlugInObject final : public base::DispatchTable {
 public:
  PlugInObject(const PlugInIdentity& identity, ProfilePlugIn& plugIn, WindowFrontEnd* frontEnd)
      : base::DispatchTable(identity.progId) {
    AddProperty("Name", [name = identity.displayName] { return base::Variant(name); });
    AddProperty("Remote", [this] { return base::Variant(remote_); }, [this](const base::Variant& v) { remote_ = v.ToBool(); });
    AddProperty(
        "NetworkInterfaceName", [this] { return base::Variant(interface_); },
        [this](const base::Variant& v) { interface_ = v.ToString(); });
    AddProperty("NetworkName", [this] { return base::Variant(network_); }, [this](const base::Variant& v) { network_ = v.ToString(); });
    AddProperty("Visible", [this] { return base::Variant(visible_); }, [this](const base::Variant& v) { visible_ = v.ToBool(); });
    AddMethod("SendCommand", [&identity, &plugIn, frontEnd, this](std::vector<base::Variant>& args) {
      if (args.size() != 3) throw base::Error(base::err::kInvalidCallOrKey, identity.progId, "SendCommand takes 3 arguments");
      const Command command{args[0].ToInt32(), args[1].ToInt16(), args[2].ToString(), network_, interface_, remote_};
      plugIn.CommandReceived(command);
      // The plug-in hears of the end also when the command fails on the way.
      struct Ended {
        ProfilePlugIn& plugIn;
        const Command& command;
        ~Ended() { plugIn.CommandEnded(command); }
      } ended{plugIn, command};
      try {
        RunCommand(identity, plugIn, frontEnd, command);
      } catch (const std::exception& e) {
        // The tool gets the error; the plug-in's standard error shows it too, since a tool may
        // swallow it.
        std::cerr << identity.programName << ": command " << command.commandId << " for \"" << command.objectName
                  << "\" failed: " << e.what() << "\n";
        throw;
      }
      return base::Variant();
    });
  }

 private:
  bool remote_ = false;
  bool visible_ = false;
  std::string interface_;
  std::string network_;
};

std::string Usage(const PlugInIdentity& identity) {
  return "usage: " + identity.programName + " /regserver | /unregserver | -Embedding\n       " +
         identity.programName + " --help | -h | --version\n";
}

std::string Switches(const PlugInIdentity& identity) {
  std::string profiles;
  for (const int32_t index : identity.functionProfiles) profiles += (profiles.empty() ? "" : ", ") + std::to_string(index);
  return "  /regserver    register the automation class " + identity.progId + " for function profile " + profiles +
         "\n"
         "  /unregserver  remove that registration\n"
         "  -Embedding    serve the plug-in object on standard input and output (portab starts it so)\n"
         "  --help, -h    print this text\n"
         "  --version     print the program's version\n";
}

}  // namespace

std::filesystem::path StateFolder() { return registry::PortabHome(); }

int RunPlugIn(int argc, char** argv, const PlugInIdentity& identity, ProfilePlugIn& plugIn,
              WindowFrontEnd* frontEnd, const std::string& qtBuild) {
  const std::string argument = argc == 2 ? argv[1] : "";
  // A Qt build started without a display (for a network on a server) serves on the console.
  if (frontEnd != nullptr && !qt::DisplayAvailable()) frontEnd = nullptr;
  switch (base::StandardOptionOf(argument)) {
    case base::StandardOption::Help: std::cout << Usage(identity) << "\n" << Switches(identity); return 0;
    case base::StandardOption::Version: std::cout << base::VersionLine(identity.programName); return 0;
    case base::StandardOption::None: break;
  }
  try {
    registry::FileRegistry registry(registry::DefaultRegistryFile());
    ui::SetLanguageOffset(ui::ReadSharedLanguageSetting(registry));  // the language all plug-ins share
    if (base::EqualsNoCase(argument, "/regserver")) {
      Register(identity, registry);
      return 0;
    }
    if (base::EqualsNoCase(argument, "/unregserver")) {
      knowledge::UnregisterProfilePlugIn(registry, identity.progId);
      automation::UnregisterClass(registry, identity.progId, identity.classId);
      return 0;
    }
    if (base::EqualsNoCase(argument, "-Embedding") || base::EqualsNoCase(argument, "/Embedding")) {
      // With a display, the build with the window serves instead (same channel, same object);
      // the plain build stays free of the window system's libraries for a fast start.
      if (frontEnd == nullptr && !qtBuild.empty()) qt::BecomeQtBuildWhenNeeded(qtBuild.c_str(), argv);
      automation::ServeObject(std::make_shared<PlugInObject>(identity, plugIn, frontEnd), [] { return true; }, nullptr);
      return 0;
    }
  } catch (const base::Error& e) {
    std::cerr << identity.programName << ": error " << base::ErrorNumberText(e.Number()) << ": " << e.Description()
              << "\n";
    return 1;
  } catch (const std::exception& e) {  // a file the registry store cannot reach, memory, ...
    std::cerr << identity.programName << ": error: " << e.what() << "\n";
    return 1;
  }
  std::cerr << identity.programName << ": "
            << (argc < 2 ? std::string("no switch given") : argc > 2 ? std::string("one switch expected")
                                                                     : "unknown switch \"" + argument + "\"")
            << "\n"
            << Usage(identity);
  return 2;
}

}  // namespace plugin
