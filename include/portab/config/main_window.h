#pragma once
// The main window's logic on its model (ui::frmMain): the menu commands, the OK, Cancel and
// Apply buttons, the page buttons and tabs, the parameter controls' events on their way to
// the parameter set, F1, the language switch, the object server's events, loading and
// saving parameter files, and closing with its question. Whatever the window needs of the
// run comes in MainWindowServices, so the plug-in host and a profile plug-in both use it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "portab/config/configuration.h"
#include "portab/config/configuration_window.h"
#include "portab/ui/frm_main.h"

namespace services::registry {
class Registry;
}
namespace monitoring {
class cMonitorPoints;
}

namespace config {

// Every member may stay empty: a missing dialog service makes questions take their default
// answer and files neither load nor save, a missing command is reported as not available.
struct MainWindowServices {
  services::dialogs::Dialogs* dialogs = nullptr;     // questions, messages, file dialogs
  services::registry::Registry* registry = nullptr;  // window position, language setting
  std::string plugInKey;                       // the plug-in's own key: window position
  bool* parametersChanged = nullptr;           // the run's flag (a window of its own without one)
  std::function<bool()> deviceIsAccessible;    // monitoring on the first page only when it is
  std::function<void(bool on)> setMonitoring;  // monitoring on or off, at each page change
  std::function<void(int32_t topicId)> showHelp;  // -1: the help file's start page
  // The menu's About, DeviceInfo and AppDoc commands.
  std::function<void()> showAbout;
  std::function<void()> showDeviceInfo;
  std::function<void()> showAppDoc;
  std::function<void()> endApp;                // the unload ends the run
  const lns::IniFile* plugInIniFile = nullptr; // the program ids a device accepts, for loading
  std::string programId;                       // the device's program id
  std::string programFolder;                   // where the file dialogs start
  // The monitor points the Monitoring page shows with live values (none: no table there).
  monitoring::cMonitorPoints* monitorPoints = nullptr;
};

class LiveMonitoring;

class MainWindow final : public ConfigurationWindow {
 public:
  static constexpr int16_t kHourglass = 11;      // the window's mouse pointer while busy
  static constexpr int16_t kCustomPointer = 99;  // the page bar's pointer over buttons 1 and 2
  // The plug-in name and data file version written into parameter files, and required of a
  // file that is loaded.
  static constexpr const char* kPlugInName = "veltaPortaB";
  static constexpr const char* kDataFileVersion = "1";

  // Works on `form`, which must outlive the window; without services.parametersChanged the
  // window keeps a flag of its own.
  MainWindow(ui::frmMain& form, MainWindowServices services);
  // Detaches from the configuration, which then works without a window.
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  ui::frmMain& Form() { return form_; }  // the window model it works on
  // The Monitoring page's live values: on while page 3 is shown and not paused, off when the
  // window closes. nullptr without services.monitorPoints.
  LiveMonitoring* Monitoring() { return live_.get(); }
  // The configuration whose parameters the window edits; its controls' events pass the
  // window's rules from now on.
  void SetConfiguration(cConfiguration* configuration);
  // The command the plug-in runs for (1, the default: configure). Only under command 1 do OK
  // and Apply write and do combo box clicks reach the parameter set (read/write).
  void SetCurrentCommand(int32_t command) { currentCommand_ = command; }
  int32_t CurrentCommand() const { return currentCommand_; }

  // A click on a menu tool, by the tool's name (an unknown name does nothing).
  void MenuToolClick(std::string_view toolName);
  // OK writes when parameters changed (a failed write disables Apply) and closes; Cancel
  // closes; Apply writes and disables itself. Closing may ask first (see Close).
  void OkClick();
  void CancelClick();
  void ApplyClick();
  // A page button (key "1" to "5") and a tab of the current page ("KEY:n"): the page or tab is
  // selected and the sub-page of its tab shown. Monitoring is on only on page 1 of an
  // accessible device.
  void PageButtonClick(const std::string& key);
  // The pointer moved over the page bar, above the button of that number (0: none): over
  // button 1 or 2 the bar shows the custom pointer (99), elsewhere the default.
  void PageBarMouseMove(int16_t button);
  void TabClick(const std::string& tabKey);
  // Shows the frame of that sub-page on the current page and hides the others (nothing
  // without a current page).
  void ShowSubPage(int16_t subPage);
  // The relayout check of a tab strip model whose tabs took more room: when `strip` is the
  // current page's strip, the sub-page of its selected tab is shown again (placed anew).
  void RelayoutTabStrip(const ui::window::TabStrip& strip);
  // A key pressed in the window: F1 (112) opens the help of the current sub-page.
  void KeyDown(int16_t keyCode);
  // One event of the object server (every eleventh repaints the window).
  void ObjectServerEvent();
  // Asks the unload question when parameters changed; false when the user keeps the window.
  bool Close();
  // The menu's OpenFile and SaveFile: a parameter file chosen in a file dialog is loaded into
  // the parameter set (asking first when parameters changed; a file of another plug-in,
  // version or device is refused with a message) or written from it (only when every value
  // is valid). Without a configuration or dialogs they do nothing; errors go to the error
  // operation.
  void LoadParameters();
  void SaveParameters();

  // ---- ConfigurationWindow ----
  // Set the window model's state; hourglass, enabled and status line also emit its
  // StateChanged. ShowLogger shows the log tab ("KEY:7") of page 1.
  void SetHourglass(bool on) override;
  void SetEnabled(bool enabled) override;
  void SetStatusLine(const std::string& text) override;
  void SetLastTransfer(const std::string& text) override;
  void SetLoading(bool loading) override { form_.loading = loading; }
  void SetControls() override;
  void ShowLogger() override;
  void HideLabel(int index) override;
  bool ParametersChanged() const override { return *parametersChanged_; }
  void SetParametersChanged(bool changed) override { *parametersChanged_ = changed; }

 private:
  void LanguageSwitch(const ui::window::MenuTool& tool);
  // Runs a service of the run; one the run does not offer is reported as not available.
  void Offer(const std::string& what, const std::function<void()>& service) const;
  void Unload();
  // An edit reached the parameter set: parameters changed, Apply enabled.
  void MarkChanged();
  bool Forward(params::cParams::ControlEvent event) const;
  services::dialogs::Answer Show(const std::string& text, services::dialogs::Icon icon,
                                 services::dialogs::Buttons buttons = services::dialogs::Buttons::Ok,
                                 int defaultButton = 1) const;

  ui::frmMain& form_;
  MainWindowServices services_;
  bool ownChanged_ = false;
  bool* parametersChanged_;
  cConfiguration* configuration_ = nullptr;
  int32_t currentCommand_ = 1;
  std::unique_ptr<LiveMonitoring> live_;
};

}  // namespace config
