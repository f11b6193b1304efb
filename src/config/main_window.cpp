#include "config/main_window.h"

#include "config/live_monitoring.h"

#include "base/procedure.h"
#include "base/text.h"
#include "services/dialogs.h"
#include "services/registry.h"
#include "ui/res_strings.h"
#include "ui/tabs.h"

namespace config {
namespace {

using services::dialogs::Answer;
using services::dialogs::Buttons;
using services::dialogs::Icon;
using ControlEvent = params::cParams::ControlEvent;

constexpr const char* kModule = "frmMain";
constexpr int16_t kF1 = 112;
constexpr double kShownLeft = 1320;
constexpr double kHiddenLeft = -200000;
constexpr uint8_t kEventsPerRepaint = 10;  // the eleventh event repaints
constexpr int32_t kMonitoringPage = 3;

// Enables the window again when a procedure ends, also when its error handler leaves it (a
// window left disabled could not be used or closed any more).
struct EnableOnExit {
  ui::frmMain& form;
  ~EnableOnExit() { form.enabled = true; }
};

}  // namespace

MainWindow::MainWindow(ui::frmMain& form, MainWindowServices services)
    : form_(form),
      services_(std::move(services)),
      parametersChanged_(services_.parametersChanged != nullptr ? services_.parametersChanged : &ownChanged_) {
  if (services_.monitorPoints != nullptr) {
    live_ = std::make_unique<LiveMonitoring>(*services_.monitorPoints, form_.monitorTable);
  }
}

MainWindow::~MainWindow() {
  if (configuration_ != nullptr) configuration_->SetWindow(nullptr);
}

Answer MainWindow::Show(const std::string& text, Icon icon, Buttons buttons, int defaultButton) const {
  if (services_.dialogs == nullptr) return services::dialogs::AnswersOf(buttons)[static_cast<size_t>(defaultButton - 1)];
  return services_.dialogs->Show({text, form_.caption, icon, buttons, defaultButton});
}

// ---- the parameter controls' events ----

void MainWindow::SetConfiguration(cConfiguration* configuration) {
  configuration_ = configuration;
  if (configuration_ == nullptr) return;
  configuration_->SetWindow(this);
  configuration_->Parameters().SetControlEventHooks(
      {[this](ControlEvent event) { return Forward(event); },
       [this](ControlEvent event) {
         if (event == ControlEvent::TextBoxChange || event == ControlEvent::ComboBoxClick ||
             event == ControlEvent::CheckBoxClick || event == ControlEvent::OptionButtonClick) {
           MarkChanged();
         }
       }});
}

bool MainWindow::Forward(ControlEvent event) const {
  switch (event) {
    case ControlEvent::ComboBoxClick: return currentCommand_ == 1;  // only while configuring
    case ControlEvent::CheckBoxClick: return !form_.loading;        // not while filling from LNS
    default: return true;
  }
}

void MainWindow::MarkChanged() {
  *parametersChanged_ = true;
  form_.buttons.applyEnabled = true;
}

// ---- menu ----

void MainWindow::MenuToolClick(std::string_view toolName) {
  const std::string name(toolName);
  if (name == "OpenFile") {
    LoadParameters();
  } else if (name == "SaveFile") {
    SaveParameters();
  } else if (name == "ReadParameters") {
    if (configuration_ != nullptr) configuration_->ReadParameters();
  } else if (name == "WriteParameters") {
    if (configuration_ != nullptr) configuration_->WriteParameters();
  } else if (name == "SpreadParameters") {
    if (configuration_ != nullptr) configuration_->WriteParametersEx();
  } else if (name == "English" || name == "German") {
    if (const auto* tool = form_.menu.Tool("Language", name)) LanguageSwitch(*tool);
  } else if (name == "Manual") {
    Offer("Manual", services_.showHelp ? std::function<void()>([this] { services_.showHelp(-1); }) : nullptr);
  } else if (name == "AppDoc") {
    Offer("AppDoc", services_.showAppDoc);
  } else if (name == "DeviceInfo") {
    Offer("DeviceInfo", services_.showDeviceInfo);
  } else if (name == "About") {
    Offer("About", services_.showAbout);
  } else if (name == "Quit") {
    form_.mousePointer = kHourglass;
    Close();
  } else if (name == "Logger") {
    form_.logBox.visible = true;
  }
}

void MainWindow::LanguageSwitch(const ui::window::MenuTool& tool) {
  if (services_.registry == nullptr) return;
  using services::registry::Hive;
  const std::string stored = services::registry::ReadSetting(*services_.registry, Hive::LocalMachine,
                                                             std::string(ui::kSharedLanguageKey), "Options", "Language", "0");
  // The tool's own language against the stored one, not against the language running now.
  if (base::Val(tool.tag) == base::Val(stored)) return;
  services::registry::WriteSetting(*services_.registry, Hive::LocalMachine, std::string(ui::kSharedLanguageKey),
                                   "Options", "Language", tool.tag);
  Show(base::FormatPlaceholders(ui::ResString(1490), {tool.caption}), Icon::Information);
}

// ---- buttons ----

void MainWindow::OkClick() {
  if (*parametersChanged_ && currentCommand_ == 1 && configuration_ != nullptr) {
    if (!configuration_->WriteParameters()) form_.buttons.applyEnabled = false;
  }
  Close();
}

void MainWindow::CancelClick() { Close(); }

void MainWindow::ApplyClick() {
  if (currentCommand_ == 1 && configuration_ != nullptr) configuration_->WriteParameters();
  form_.buttons.applyEnabled = false;
}

// ---- pages ----

void MainWindow::PageButtonClick(const std::string& key) {
  const auto page = static_cast<int32_t>(base::Val(key));
  if (services_.setMonitoring) {
    services_.setMonitoring(page == 1 && services_.deviceIsAccessible && services_.deviceIsAccessible());
  }
  if (live_) live_->Show(page == kMonitoringPage && page <= static_cast<int32_t>(form_.pages.size()));
  // Page buttons are keyed from 1; the pages are kept in that order.
  for (size_t i = 0; i < form_.pages.size(); ++i) {
    auto& strip = form_.pages[i];
    const bool current = static_cast<int32_t>(i) == page - 1;
    strip.left = current ? kShownLeft : kHiddenLeft;
    strip.enabled = current;
    strip.visible = current;
  }
  if (page < 1 || page > static_cast<int32_t>(form_.pages.size())) return;
  form_.currentPage = page - 1;
  const auto& strip = form_.pages[static_cast<size_t>(form_.currentPage)];
  const std::string selected =
      strip.selected >= 0 && strip.selected < static_cast<int32_t>(strip.tabs.size()) ? strip.tabs[static_cast<size_t>(strip.selected)].key : "";
  ShowSubPage(static_cast<int16_t>(ui::window::SubPageOf(selected)));
}

void MainWindow::PageBarMouseMove(int16_t button) {
  form_.pageBar.mousePointer = button == 1 || button == 2 ? kCustomPointer : 0;
}

void MainWindow::TabClick(const std::string& tabKey) {
  if (form_.currentPage >= 0) {
    auto& strip = form_.pages[static_cast<size_t>(form_.currentPage)];
    for (size_t i = 0; i < strip.tabs.size(); ++i) {
      if (strip.tabs[i].key == tabKey) strip.selected = static_cast<int32_t>(i);
    }
  }
  ShowSubPage(static_cast<int16_t>(ui::window::SubPageOf(tabKey)));
}

void MainWindow::RelayoutTabStrip(const ui::window::TabStrip& strip) {
  if (form_.currentPage < 0 || &form_.pages[static_cast<size_t>(form_.currentPage)] != &strip) return;
  if (strip.selected < 0 || strip.selected >= static_cast<int32_t>(strip.tabs.size())) return;
  ShowSubPage(ui::KeyNumber(strip.tabs[static_cast<size_t>(strip.selected)].key));
}

void MainWindow::ShowSubPage(int16_t subPage) {
  if (form_.currentPage < 0) return;
  auto& strip = form_.pages[static_cast<size_t>(form_.currentPage)];
  for (auto& frame : strip.frames) {
    if (frame.index == subPage) {
      frame.top = strip.clientTop - 15;
      frame.left = strip.clientLeft - 45;
    } else {
      frame.left = kHiddenLeft;
      frame.enabled = false;
      frame.visible = false;
    }
    frame.height = strip.clientHeight + 30;
    frame.width = strip.clientWidth + 60;
  }
  for (auto& frame : strip.frames) {
    if (frame.index != subPage) continue;
    frame.enabled = true;
    frame.visible = true;
    ++form_.repaints;
  }
  form_.currentSubPage = subPage;
}

void MainWindow::ShowLogger() {
  PageButtonClick("1");
  TabClick("KEY:7");
}

void MainWindow::HideLabel(int index) {
  for (auto& label : form_.labels) {
    if (label.index == index) label.visible = false;
  }
}

// ---- keys and events ----

void MainWindow::KeyDown(int16_t keyCode) {
  if (keyCode != kF1) return;
  const int32_t topic = 1000 + form_.currentSubPage;
  Offer("Help", services_.showHelp ? std::function<void()>([this, topic] { services_.showHelp(topic); }) : nullptr);
}

void MainWindow::Offer(const std::string& what, const std::function<void()>& service) const {
  base::RunProcedure(kModule, base::Visibility::Private, what, [&](base::ErrorScope&) {
    if (!service) throw base::NotAvailable("frmMain." + what, what + " of this plug-in");
    service();
  });
}

void MainWindow::ObjectServerEvent() {
  if (++form_.objectServerEvents <= kEventsPerRepaint) return;
  form_.objectServerEvents = 0;
  ++form_.repaints;
  form_.mousePointer = form_.mousePointer;  // set again to its current shape
}

// ---- reading state ----

void MainWindow::SetHourglass(bool on) {
  form_.mousePointer = on ? kHourglass : 0;
  form_.StateChanged.Emit();
}

void MainWindow::SetEnabled(bool enabled) {
  form_.enabled = enabled;
  form_.StateChanged.Emit();
}

void MainWindow::SetLastTransfer(const std::string& text) {
  form_.lastTransfer = text;
  form_.StateChanged.Emit();
}

void MainWindow::SetStatusLine(const std::string& text) {
  form_.statusLine = text;
  form_.StateChanged.Emit();
}

void MainWindow::SetControls() {
  form_.buttons.applyEnabled = false;
  *parametersChanged_ = false;
}

// ---- closing ----

bool MainWindow::Close() {
  if (form_.unloaded) return true;
  if (services_.dialogs != nullptr && form_.QueryUnload(*parametersChanged_, *services_.dialogs)) {
    form_.mousePointer = 0;
    return false;
  }
  Unload();
  return true;
}

void MainWindow::Unload() {
  if (live_) live_->Show(false);
  if (services_.registry != nullptr) {
    form_.Form_Unload(*services_.registry, services_.plugInKey);
  } else {
    form_.statusLine = ui::ResString(1507);
  }
  form_.unloaded = true;
  form_.visible = false;
  if (services_.endApp) services_.endApp();
}

// ---- parameter files ----

void MainWindow::LoadParameters() {
  base::RunProcedure(kModule, base::Visibility::Private, "LoadParameters", [&](base::ErrorScope& scope) {
    if (configuration_ == nullptr || services_.dialogs == nullptr) return;
    if (*parametersChanged_ && Show(ui::ResString(1428, 2), Icon::Question, Buttons::YesNo) != Answer::Yes) return;
    const auto file = services_.dialogs->ChooseFile({services::dialogs::FileDialog::Kind::Open, ui::ResString(1600, 1),
                                                     ui::ResString(1601), services_.programFolder});
    if (!file || file->empty()) return;
    form_.enabled = false;
    const EnableOnExit enable{form_};
    scope.Step([&] {
      const lns::IniFile* plugInIni = services_.plugInIniFile;
      if (plugInIni == nullptr) throw base::NotAvailable("frmMain.LoadParameters", "Loading without the plug-in INI file");
      const int32_t result = configuration_->Parameters().LoadFromFile(*file, *plugInIni, kPlugInName,
                                                                       services_.programId, kDataFileVersion);
      switch (result) {
        case params::cParamEnums::LE_NO_ERROR: *parametersChanged_ = true; break;
        case params::cParamEnums::LE_WRONG_PLUGIN: Show(ui::ResString(1520, 1), Icon::Exclamation); break;
        case params::cParamEnums::LE_WRONG_PLUGIN_VERSION:
        case params::cParamEnums::LE_WRONG_DATAFILE_VERSION: Show(ui::ResString(1521), Icon::Exclamation); break;
        case params::cParamEnums::LE_WRONG_DEVICE: Show(ui::ResString(1520, 2), Icon::Exclamation); break;
        default: break;
      }
    });
    scope.Step([&] { SetControls(); });
    scope.Step([&] { MarkChanged(); });
    scope.Step([&] { form_.enabled = true; });
    scope.Step([&] { form_.statusLine = ui::ResString(1517); });
  });
}

void MainWindow::SaveParameters() {
  base::RunProcedure(kModule, base::Visibility::Private, "SaveParameters", [&](base::ErrorScope& scope) {
    if (configuration_ == nullptr || services_.dialogs == nullptr) return;
    if (!configuration_->checkValues()) return;
    const auto file = services_.dialogs->ChooseFile({services::dialogs::FileDialog::Kind::Save, ui::ResString(1600, 2),
                                                     ui::ResString(1601), services_.programFolder});
    if (!file || file->empty()) return;
    form_.enabled = false;
    const EnableOnExit enable{form_};
    scope.Step([&] {
      if (!configuration_->Parameters().WriteToFile(*file, kPlugInName, services_.programId, kDataFileVersion)) {
        Show(ui::ResString(1523), Icon::Critical);
      }
    });
  });
}

}  // namespace config
