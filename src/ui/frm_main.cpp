#include "ui/frm_main.h"

#include "base/procedure.h"
#include "base/text.h"
#include "services/dialogs.h"
#include "services/registry.h"
#include "ui/res_strings.h"

namespace ui {
namespace {

using services::registry::Hive;
constexpr const char* kModule = "frmMain";

window::TabStrip Page(const std::string& name, std::vector<window::Tab> tabs) {
  window::TabStrip page;
  page.name = name;
  page.typeName = "TabStrip";
  page.tabs = std::move(tabs);
  for (const auto& tab : page.tabs) {
    window::Control frame;
    frame.name = "fraSubPage";
    frame.typeName = "Frame";
    frame.index = window::SubPageOf(tab.key);
    frame.visible = false;
    page.frames.push_back(frame);
  }
  return page;
}

// Caption and tool tip of a control from its tag.
void ApplyTag(window::Control& control, bool toolTipsEnabled) {
  const ControlTexts texts = TextsForTag(control.tag, toolTipsEnabled);
  if (texts.caption) control.caption = *texts.caption;
  control.toolTip = texts.toolTip;
}

}  // namespace

frmMain::frmMain() {
  menu.AddBand("MainMenu", {{"File", "1370", ""}, {"Help", "1370", ""}});
  menu.AddBand("File", {{"OpenFile", "1371", ""},
                        {"SaveFile", "1371", ""},
                        {"FileSeperator", "", ""},
                        {"ReadParameters", "1371", ""},
                        {"WriteParameters", "1371", ""},
                        {"SpreadParameters", "1371", ""},
                        {"ParameterSeperator", "", ""},
                        {"Language", "1371", ""},
                        {"Quit", "1371", ""}});
  menu.AddBand("Language", {{"English", "1373", "0"}, {"German", "1373", "1000"}});
  menu.AddBand("Help", {{"Manual", "1372", ""}, {"AppDoc", "1372", ""}, {"DeviceInfo", "1372", ""}, {"About", "1372", ""}});
  menu.AddBand("Tools", {{"Logger", "1380", ""}});
  const char* tags[] = {"1001", "1005", "1002", "1003", "1004"};
  for (int i = 0; i < 5; ++i) {
    pageBar.Buttons().push_back({std::to_string(i + 1), tags[i], "", static_cast<int16_t>(200 + i)});
  }
  pages.push_back(Page("tabConfiguration", {{"KEY:1", "1010/", "", ""}, {"KEY:2", "1035/", "", ""},
                                             {"KEY:7", "1380/1381", "", ""}}));
  pages.push_back(Page("tabObjectConfiguration", {{"KEY:3", "1005/", "", ""}}));
  pages.push_back(Page("tabMonitoring", {{"KEY:4", "1160/1165", "", ""}}));
  pages.push_back(Page("tabControlling", {{"KEY:5", "1020/", "", ""}}));
  pages.push_back(Page("tabCalibration", {{"KEY:6", "1004/", "", ""}}));
  labels.push_back({"lblTitle", "Label", "1001/1002", "", "", 0, 0, 0, 0, 0, true, true});
  labels.push_back({"lblInfo", "Label", "1180/", "", "", 30, 0, 0, 0, 0, true, false});
}

void frmMain::Form_Load(const services::registry::Registry& registry, const std::string& plugInKey,
                        bool toolTipsEnabled) {
  base::LogEntry(kModule, base::Visibility::Private, "Form_Load");
  const double storedTop = base::Val(services::registry::ReadSetting(registry, Hive::LocalMachine, plugInKey, "Settings", "Top", "-1"));
  const double storedLeft = base::Val(services::registry::ReadSetting(registry, Hive::LocalMachine, plugInKey, "Settings", "Left", "-1"));
  if (storedTop != -1) top = storedTop;
  if (storedLeft != -1) left = storedLeft;
  LoadResStrings(toolTipsEnabled);
  LoadResStringsToMenu();
  buttons.ok = ResString(1374, 1);
  buttons.cancel = ResString(1374, 2);
  buttons.apply = ResString(1374, 3);
}

void frmMain::LoadResStrings(bool toolTipsEnabled) {
  base::LogEntry(kModule, base::Visibility::Private, "LoadResStrings");
  const double captionId = base::Val(tag);
  if (captionId > 0) caption = ResString(base::CInt(captionId));
  for (auto& label : labels) ApplyTag(label, toolTipsEnabled);
  for (auto& page : pages) {
    for (auto& tab : page.tabs) {
      const ControlTexts texts = TextsForTag(tab.tag, toolTipsEnabled);
      if (texts.caption) tab.caption = *texts.caption;
      tab.toolTip = texts.toolTip;
    }
  }
  for (auto& button : pageBar.Buttons()) button.caption = ResString(base::CInt(base::Val(button.tag)));
}

void frmMain::LoadResStringsToMenu() {
  base::LogEntry(kModule, base::Visibility::Private, "LoadResStringsToMenu");
  struct Entry {
    const char* band;
    const char* tool;
    int16_t id;
    int16_t item;
  };
  const Entry entries[] = {
      {"MainMenu", "File", 1370, 1},         {"MainMenu", "Help", 1370, 2},       {"File", "OpenFile", 1371, 1},
      {"File", "SaveFile", 1371, 2},         {"File", "ReadParameters", 1371, 3}, {"File", "WriteParameters", 1371, 4},
      {"File", "SpreadParameters", 1371, 5}, {"File", "Language", 1371, 6},       {"File", "Quit", 1371, 7},
      {"Language", "German", 1373, 1},       {"Language", "English", 1373, 2},    {"Help", "Manual", 1372, 1},
      {"Help", "AppDoc", 1372, 2},           {"Help", "DeviceInfo", 1372, 3},     {"Help", "About", 1372, 4},
  };
  for (const auto& e : entries) {
    if (auto* tool = menu.Tool(e.band, e.tool)) tool->caption = ResString(e.id, e.item);
  }
}

void frmMain::SetupMenu(int32_t currentCommand) {
  if (currentCommand != 2 && currentCommand != 3 && currentCommand != 4) return;
  for (const char* name : {"OpenFile", "SaveFile", "FileSeperator", "ReadParameters", "WriteParameters",
                           "SpreadParameters", "ParameterSeperator"}) {
    if (auto* tool = menu.Tool("File", name)) tool->visible = false;
  }
}

int32_t frmMain::PageMask(int32_t currentCommand, bool deviceAccessible) {
  switch (currentCommand) {
    case 1: return deviceAccessible ? 0 : 28;
    case 2: return 15;
    case 3: return 27;
    case 4: return 23;
    case 100: return 28;
    default: return 0;
  }
}

void frmMain::SetupPages(int32_t currentCommand, bool deviceAccessible) {
  const std::vector<window::PageButton> table = pageBar.Buttons();  // read before removing
  const int32_t mask = PageMask(currentCommand, deviceAccessible);
  for (const auto& [bit, captionId] : kPageBits) {
    if ((mask & bit) == 0) continue;
    for (const auto& entry : table) {
      if (base::Val(entry.tag) == captionId) pageBar.Remove(entry.key);
    }
  }
}

bool frmMain::QueryUnload(bool parametersChanged, services::dialogs::Dialogs& dialogs) const {
  if (!parametersChanged) return false;
  const auto answer = dialogs.Show({ResString(1428, 3), caption, services::dialogs::Icon::Question,
                                    services::dialogs::Buttons::YesNo, 2});
  return answer == services::dialogs::Answer::No;
}

void frmMain::Form_Unload(services::registry::Registry& registry, const std::string& plugInKey) {
  base::LogEntry(kModule, base::Visibility::Private, "Form_Unload", "Cancel As Integer");
  if (windowState == 0 && !plugInKey.empty()) {
    services::registry::WriteSetting(registry, Hive::LocalMachine, plugInKey, "Settings", "Top",
                                     std::to_string(static_cast<int64_t>(top)));
    services::registry::WriteSetting(registry, Hive::LocalMachine, plugInKey, "Settings", "Left",
                                     std::to_string(static_cast<int64_t>(left)));
  }
  statusLine = ResString(1507);
}

}  // namespace ui
