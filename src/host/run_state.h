#pragma once
// The process-wide state of one plug-in run, alive from InitApp to EndApp.

#include <cstdint>
#include <memory>
#include <string>

#include "base/dispatch.h"
#include "host/command_table.h"
#include "lns/lns_connector.h"
#include "lns/object_name_parser.h"
#include "services/components.h"
#include "config/configuration.h"
#include "lns/plugin_context.h"
#include "monitoring/monitoring.h"
#include "ui/frm_main.h"
#include "ui/logger.h"
#include "ui/tabs.h"

namespace host {

inline constexpr std::string_view kPlugInKeyPrefix = "SOFTWARE\\velta\\";

struct PlugInRunState {
  // Where the program lives and how its components are made (set before a run starts).
  services::ProgramInfo Program;
  services::ComponentFactory* Factory = nullptr;

  // Service components, created by InitApp in this order and released by EndApp.
  std::unique_ptr<services::dialogs::StatusWindow> StatusWindow;
  std::unique_ptr<ui::Logger> Logger;
  std::unique_ptr<services::registry::Registry> RegistryAccess;
  std::unique_ptr<services::dialogs::Dialogs> Dialogs;  // message boxes and the About box
  // The dialogs the plug-in context hands out: Dialogs, ending the server's hold on reads first.
  std::unique_ptr<services::dialogs::Dialogs> ContextDialogs;
  std::unique_ptr<services::process::Shell> Shell;
  std::unique_ptr<lns::IniFile> IniFile;  // the plug-in INI file
  lns::ObjectNameParser ObjectNameParser;
  lns::LnsConnector LnsConnector;
  std::unique_ptr<services::automation::ComRegistration> ComRegistration;
  std::unique_ptr<services::automation::ObjectFactory> ObjectFactory;
  std::unique_ptr<lns::NvTypeChanger> NvTypeChanger;

  // LNS objects of the run, from the object server to the LonMark object.
  lns::RunObjects Lns;
  std::shared_ptr<lns::DeviceTemplate> DeviceTemplate;
  base::DispatchPtr RegResult;  // the tool's result object for command 50

  lns::ObjectPtr DeviceSubObject;  // the device's interface object

  // The main window, loaded hidden by InitApp.
  std::unique_ptr<ui::frmMain> MainWindow;
  // What the configuration and monitoring objects are handed (filled by Display).
  lns::PlugInContext Context;
  std::unique_ptr<config::cConfiguration> Configuration;
  std::unique_ptr<monitoring::cMonitoring> Monitoring;
  // The tab strip models of the window: no flow of this plug-in fills the slot; a plug-in
  // that models its tabs keeps them here, and the end of the run releases them.
  std::unique_ptr<ui::cTabStrips> TabStrips;

  // The device check's cache (seconds since midnight of the last real check).
  float LastDeviceCheck = -1;
  bool LastDeviceAccessible = false;
  bool DeviceFailure = false;

  // Texts.
  std::string DeviceName;
  std::string ObjectNameOnly;
  std::string Version;
  std::string ManufacturerName;
  std::string HelpFilePath;
  std::string PlugInKey;
  std::string IniFileName;  // the plug-in INI file, PortaB.ini in the program folder

  // The command.
  CommandTableType CommandTable;
  int32_t CommandId = 0;
  int16_t ClassId = 0;
  std::string ObjectName;
  int32_t CurrentCommand = 0;
  bool Remote = false;
  std::string NetworkInterfaceName;
  std::string ProgramIdsToRegister;

  // Flags.
  bool StartFailed = false;
  bool Unregistering = false;
  bool ToolObjectGiven = false;
  bool ParametersChanged = false;
  bool ToolTipsEnabled = false;
  bool Initialized = false;  // InitApp has created the components
  bool Ending = false;       // EndApp is running
  bool Ended = false;        // EndApp has released them

  // A red log line was written (kept by the logger while it exists).
  bool ErrorLogged() const { return Logger && Logger->ErrorLogged(); }
};

PlugInRunState& RunState();
// Forgets the whole run state (a new process, as far as the host is concerned).
void ResetRunState();

// The caption of most message boxes once the object is known: device + " / " + object.
std::string DeviceObjectCaption();

// Shows a message box through the run's dialogs; answers OK when there are none.
services::dialogs::Answer ShowMessage(const std::string& text, services::dialogs::Icon icon, const std::string& title,
                                      services::dialogs::Buttons buttons = services::dialogs::Buttons::Ok,
                                      int defaultButton = 1);

// LanguageOffset of the run (kept with the string table, which every lookup reads).
int16_t LanguageOffset();

}  // namespace host
