// portab-demo-profile: the profile plug-in of the demo network's function profile. It is
// registered like any plug-in (/regserver) and started through automation by portab; on
// SendCommand it connects to the object it was given, reads the object's CPs, binds its
// window's parameters to them, reads them from LNS and reports what it received, what the
// object holds and what each parameter's control shows: on standard error and in
// $PORTAB_HOME/demo-profile-report.txt.

#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include "base/dispatch.h"
#include "base/paths.h"
#include "base/procedure.h"
#include "base/product.h"
#include "base/standard_options.h"
#include "config/configuration.h"
#include "config/main_window.h"
#include "config/window_script.h"
#include "base/error.h"
#include "base/text.h"
#include "demo_profile/demo_window.h"
#include "lns/object_names.h"
#include "platform/automation/class_registry.h"
#include "platform/automation/object_client.h"
#include "platform/dialogs/console_dialogs.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/process/shell.h"
#include "platform/registry/file_registry.h"
#include "ui/help.h"
#include "ui/logger.h"
#include "ui/res_strings.h"

#include "platform/qt/display.h"
#ifdef PORTAB_WITH_QT
#include <QApplication>

#include "platform/qt/qt_dialogs.h"
#include "platform/qt/window_view.h"
#endif

namespace {

constexpr const char* kProgId = "veltaDemoProfile.Application";
constexpr const char* kClassId = "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D20}";
constexpr const char* kPlugInKey = "SOFTWARE\\velta\\veltaDemoProfile";

constexpr const char* kUsage =
    "usage: portab-demo-profile /regserver | /unregserver | -Embedding\n"
    "       portab-demo-profile --help | -h | --version\n";
constexpr const char* kSwitches =
    "  /regserver    register the automation class veltaDemoProfile.Application\n"
    "  /unregserver  remove that registration\n"
    "  -Embedding    serve the plug-in object on standard input and output (portab starts it so)\n"
    "  --help, -h    print this text\n"
    "  --version     print the program's version\n";

void WriteReport(const std::string& report) {
  const auto home = platform::registry::PortabHome();
  std::filesystem::create_directories(home);
  const auto file = home / "demo-profile-report.txt";
  const auto temp = home / ("demo-profile-report.txt.tmp." + std::to_string(::getpid()));
  {
    std::ofstream out(temp, std::ios::trunc);
    out << report;
  }
  std::filesystem::rename(temp, file);
  std::cerr << report << std::flush;
}

// The system that holds a device (its collection, subsystems and systems lie above it).
std::shared_ptr<lns::System> SystemOf(const std::shared_ptr<lns::AppDevice>& device) {
  for (lns::ObjectPtr node = device->Parent(); node; node = node->Parent()) {
    if (auto system = std::dynamic_pointer_cast<lns::System>(node)) return system;
  }
  return nullptr;
}

// The object's CPs as bytes.
void ListCps(const std::shared_ptr<lns::LonMarkObject>& lonMarkObject, std::ostringstream& report) {
  report << "  object \"" << lonMarkObject->Name() << "\" (class " << lonMarkObject->ClassId() << ", profile "
         << lonMarkObject->ProfileType() << ")\n";
  auto cps = lonMarkObject->ConfigProperties();
  for (int32_t i = 1; i <= cps->Count(); ++i) {
    auto cp = cps->Item(i);
    cp->SetValueFormat("RAW");
    report << "    CP " << i << " \"" << cp->Name() << "\": " << base::ReplaceAll(cp->Value(), "\t", " ") << "\n";
  }
}

// Opens the configuration window on the object: its parameters bound to the object's and its
// device's CPs and read from the device; then the actions of the window script that
// PORTAB_WINDOW_SCRIPT names, if any (write, save, load, ...). Messages and the window's state
// go to standard error.
void ConfigureObject(const std::string& objectName, int32_t commandId, std::ostringstream& report) {
  const auto home = platform::registry::PortabHome();
  auto server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(home / "lns");
  auto lonMarkObject = std::dynamic_pointer_cast<lns::LonMarkObject>(lns::ResolveObjectName(*server, objectName));
  if (!lonMarkObject) {
    report << "  the object \"" << objectName << "\" was not found\n";
    return;
  }
  ListCps(lonMarkObject, report);
  // The LonMark object lies in its device's collection of objects, in the device's interface.
  auto device = std::dynamic_pointer_cast<lns::AppDevice>(lonMarkObject->Parent()->Parent()->Parent());
  if (!device) {
    report << "  the object's device was not found\n";
    return;
  }
  const auto programFolder = platform::process::CurrentExecutable().parent_path();
  ui::Logger logger(&std::cerr);
  logger.Init({"portab-demo-profile.LOG", programFolder, base::kVersionMajor, base::kVersionMinor,
               base::kVersionRevision, 1000, true, kProgId, true, "", home});
  base::SetProcedureLog(&logger);
  // The logging component and its log box are the window's while it is open, also when an
  // error ends it early.
  struct LogReset {
    ui::Logger& logger;
    ~LogReset() {
      logger.SetLogBox(nullptr);
      base::SetProcedureLog(nullptr);
    }
  } logReset{logger};
  platform::ini::ProfileIniFile plugInIni((programFolder / "PortaB.ini").string());
  platform::dialogs::ConsoleDialogs consoleDialogs(std::cerr);
  const char* scriptFile = std::getenv("PORTAB_WINDOW_SCRIPT");
  const bool scripted = scriptFile != nullptr && *scriptFile != '\0';
#ifdef PORTAB_WITH_QT
  // A window on the display; message boxes and file dialogs too, unless a script or
  // PORTAB_ANSWERS gives the answers.
  int qtArgc = 1;
  char qtName[] = "portab-demo-profile";
  char* qtArgv[] = {qtName, nullptr};
  QApplication application(qtArgc, qtArgv);
  platform::qt::QtDialogs qtDialogs;
  const char* answers = std::getenv("PORTAB_ANSWERS");
  const bool answered = scripted || (answers != nullptr && *answers != '\0');
  services::dialogs::Dialogs& dialogs = answered ? static_cast<services::dialogs::Dialogs&>(consoleDialogs) : qtDialogs;
#else
  services::dialogs::Dialogs& dialogs = consoleDialogs;
#endif
  platform::registry::FileRegistry registry(platform::registry::DefaultRegistryFile());
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
  context.executable = platform::process::CurrentExecutable();
  context.windowCaption = device->Name() + " / " + lonMarkObject->Name();
  context.newIniFile = [] { return std::make_unique<platform::ini::ProfileIniFile>(); };
  config::cConfiguration configuration(context);

  ui::frmMain form;
  form.Form_Load(registry, kPlugInKey, false);
  form.caption = context.windowCaption;
  const int32_t currentCommand = commandId == 13 ? 1 : 4;  // configure, or control the switch
  form.SetupMenu(currentCommand);
  form.SetupPages(currentCommand, true);
  config::MainWindowServices services;
  services.dialogs = &dialogs;
  services.registry = &registry;
  services.plugInKey = kPlugInKey;
  services.plugInIniFile = &plugInIni;
  services.programId = device->Template()->ProgramId();
  services.programFolder = programFolder.string();
  platform::process::PosixShell shell;
  const std::string helpFile = base::WithTrailingSeparator(programFolder.string()) +
                               base::NativePath(plugInIni.ReadString("HelpFilePath", "velta Porta Help 1.0"));
  services.showHelp = [&](int32_t topic) { ui::ShowHelp(dialogs, shell, helpFile, topic); };
  services.showAbout = [&] { ui::ShowAbout(dialogs, server->Text()); };
  config::MainWindow window(form, services);
  window.SetCurrentCommand(currentCommand);
  window.SetConfiguration(&configuration);
  logger.SetLogBox(&form.logBox);

  // The knowledge base: fetching the CPs loads it for the device's "ParamVersion".
  configuration.FetchCPs();
  demo_profile::DemoControls controls;
  controls.Bind(device, lonMarkObject, configuration.Parameters(), &configuration.MC16());
  controls.Place(form);
  window.SetLoading(true);
  configuration.ReadSettings();
  window.SetLoading(false);
  window.SetControls();
  form.visible = true;
  if (!form.pageBar.Buttons().empty()) window.PageButtonClick(form.pageBar.Buttons().front().key);  // the command's first page
  report << "  parameters after reading:\n" << demo_profile::ParametersReport(configuration.Parameters());

#ifdef PORTAB_WITH_QT
  platform::qt::WindowView view(window);
  qtDialogs.SetParent(&view);
  view.show();
  const char* screenshots = std::getenv("PORTAB_SCREENSHOTS");  // a folder for pictures of the window
  platform::qt::WidgetActions widgetActions(view, screenshots != nullptr ? screenshots : "");
  config::UserActions* userActions = &widgetActions;
#else
  config::UserActions* userActions = nullptr;  // the console front end acts on the model
#endif
  if (scripted) {
    std::ifstream in(scriptFile);
    if (!in) {
      report << "  the window script \"" << scriptFile << "\" cannot be read\n";
    } else {
      config::WindowScript actions(
          window, std::cerr, [&](std::string answer) { consoleDialogs.AnswerNext(std::move(answer)); }, userActions);
      const int failed = actions.Run(in);
      report << "  window script \"" << scriptFile << "\": " << failed << " lines not carried out\n"
             << "  parameters after the window script:\n"
             << demo_profile::ParametersReport(configuration.Parameters());
    }
  }
#ifdef PORTAB_WITH_QT
  else {
    application.exec();  // until the window closes (OK, Cancel, Quit or the window's close box)
    report << "  parameters after the window:\n" << demo_profile::ParametersReport(configuration.Parameters());
  }
#endif
}

class DemoProfile final : public base::DispatchTable {
 public:
  DemoProfile() : base::DispatchTable(kProgId) {
    AddProperty("Name", [] { return base::Variant("portab demo profile plug-in"); });
    AddProperty("Remote", [this] { return base::Variant(remote_); }, [this](const base::Variant& v) { remote_ = v.ToBool(); });
    AddProperty(
        "NetworkInterfaceName", [this] { return base::Variant(interface_); },
        [this](const base::Variant& v) { interface_ = v.ToString(); });
    AddProperty("NetworkName", [this] { return base::Variant(network_); }, [this](const base::Variant& v) { network_ = v.ToString(); });
    AddProperty("Visible", [this] { return base::Variant(visible_); }, [this](const base::Variant& v) { visible_ = v.ToBool(); });
    AddMethod("SendCommand", [this](std::vector<base::Variant>& args) {
      if (args.size() != 3) throw base::Error(base::err::kInvalidCallOrKey, kProgId, "SendCommand takes 3 arguments");
      std::ostringstream report;
      report << "demo profile plug-in: SendCommand received\n"
             << "  command id " << args[0].ToInt32() << ", class id " << args[1].ToInt16() << "\n"
             << "  object name \"" << args[2].ToString() << "\"\n"
             << "  network name \"" << network_ << "\", remote " << (remote_ ? "yes" : "no")
             << ", network interface \"" << interface_ << "\"\n";
      ConfigureObject(args[2].ToString(), args[0].ToInt32(), report);
      WriteReport(report.str());
      return base::Variant();
    });
  }

 private:
  bool remote_ = false;
  bool visible_ = false;
  std::string interface_;
  std::string network_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string argument = argc == 2 ? argv[1] : "";
  switch (base::StandardOptionOf(argument)) {
    case base::StandardOption::Help: std::cout << kUsage << "\n" << kSwitches; return 0;
    case base::StandardOption::Version: std::cout << base::VersionLine("portab-demo-profile"); return 0;
    case base::StandardOption::None: break;
  }
  try {
    platform::registry::FileRegistry registry(platform::registry::DefaultRegistryFile());
    ui::SetLanguageOffset(ui::ReadSharedLanguageSetting(registry));  // the language all plug-ins share
    if (base::EqualsNoCase(argument, "/regserver")) {
      platform::automation::RegisterClass(registry, {kProgId, kClassId, platform::process::CurrentExecutable(), {}});
      return 0;
    }
    if (base::EqualsNoCase(argument, "/unregserver")) {
      platform::automation::UnregisterClass(registry, kProgId, kClassId);
      return 0;
    }
    if (base::EqualsNoCase(argument, "-Embedding") || base::EqualsNoCase(argument, "/Embedding")) {
#ifndef PORTAB_WITH_QT
      // With a display, the build with the Qt window serves instead (same channel, same
      // object); this build stays free of the window system's libraries for a fast start.
      platform::qt::BecomeQtBuildOnADisplay("portab-demo-profile-qt", argv);
#endif
      platform::automation::ServeObject(std::make_shared<DemoProfile>(), [] { return true; }, nullptr);
      return 0;
    }
  } catch (const base::Error& e) {
    std::cerr << "portab-demo-profile: error " << base::ErrorNumberText(e.Number()) << ": " << e.Description() << "\n";
    return 1;
  }
  std::cerr << kUsage;
  return 2;
}
