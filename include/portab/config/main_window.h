#pragma once
// The main window's logic on its model (ui::frmMain): the menu commands, the OK, Cancel and
// Apply buttons, the page buttons and tabs, the parameter controls' events on their way to
// the parameter set, F1, the language switch, the object server's events, loading and
// saving parameter files, and closing with its question. Whatever the window needs of the
// run comes in MainWindowServices, so the plug-in host and a profile plug-in both use it.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "config/configuration.h"
#include "config/configuration_window.h"
#include "ui/frm_main.h"

namespace services::registry {
class Registry;
}

namespace config {

struct MainWindowServices {
  services::dialogs::Dialogs* dialogs = nullptr;
  services::registry::Registry* registry = nullptr;
  std::string plugInKey;                       // the plug-in's own key: window position
  bool* parametersChanged = nullptr;           // the run's flag (a window of its own without one)
  std::function<bool()> deviceIsAccessible;    // monitoring on the first page only when it is
  std::function<void(bool on)> setMonitoring;
  std::function<void(int32_t topicId)> showHelp;  // -1: the help file's start page
  std::function<void()> showAbout;
  std::function<void()> showDeviceInfo;
  std::function<void()> showAppDoc;
  std::function<void()> endApp;                // the unload ends the run
  const lns::IniFile* plugInIniFile = nullptr; // the program ids a device accepts, for loading
  std::string programId;                       // the device's program id
  std::string programFolder;                   // where the file dialogs start
};

class MainWindow final : public ConfigurationWindow {
 public:
  static constexpr int16_t kHourglass = 11;
  static constexpr int16_t kCustomPointer = 99;
  static constexpr const char* kPlugInName = "veltaPortaB";
  static constexpr const char* kDataFileVersion = "1";

  MainWindow(ui::frmMain& form, MainWindowServices services);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  ui::frmMain& Form() { return form_; }
  // The configuration whose parameters the window edits; its controls' events pass the
  // window's rules from now on.
  void SetConfiguration(cConfiguration* configuration);
  void SetCurrentCommand(int32_t command) { currentCommand_ = command; }
  int32_t CurrentCommand() const { return currentCommand_; }

  // A click on a menu tool, by the tool's name (an unknown name does nothing).
  void MenuToolClick(std::string_view toolName);
  void OkClick();
  void CancelClick();
  void ApplyClick();
  // A page button (key "1" to "5") and a tab of the current page ("KEY:n").
  void PageButtonClick(const std::string& key);
  // The pointer moved over the page bar, above the button of that number (0: none): over
  // button 1 or 2 the bar shows the custom pointer (99), elsewhere the default.
  void PageBarMouseMove(int16_t button);
  void TabClick(const std::string& tabKey);
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
  void LoadParameters();
  void SaveParameters();

  // ---- ConfigurationWindow ----
  void SetHourglass(bool on) override;
  void SetEnabled(bool enabled) override;
  void SetStatusLine(const std::string& text) override;
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
};

}  // namespace config
