#include "ui/frm_main.h"

#include <gtest/gtest.h>

#include "platform/registry/file_registry.h"
#include "support/temp_dir.h"
#include "ui/res_strings.h"

namespace {

std::vector<std::string> PageKeys(const ui::frmMain& window) {
  std::vector<std::string> keys;
  for (const auto& button : window.pageBar.Buttons()) keys.push_back(button.key);
  return keys;
}

TEST(FrmMainTest, PageMasksPerCommand) {
  struct Row { int32_t command; bool accessible; std::vector<std::string> pagesLeft; };
  const Row rows[] = {
      {1, true, {"1", "2", "3", "4", "5"}}, {1, false, {"1", "2"}}, {2, true, {"5"}},
      {3, true, {"3"}},                     {4, true, {"4"}},       {100, true, {"1", "2"}},
  };
  for (const auto& row : rows) {
    ui::frmMain window;
    window.LoadResStrings(true);
    window.SetupPages(row.command, row.accessible);
    EXPECT_EQ(PageKeys(window), row.pagesLeft) << row.command << " " << row.accessible;
    if (row.command == 4) {
      EXPECT_EQ(window.pageBar.Buttons()[0].caption, "Controlling");
    }
  }
}

TEST(FrmMainTest, MenuSetUpHidesTheFileToolsForCommands2To4) {
  const char* hidden[] = {"OpenFile", "SaveFile", "FileSeperator", "ReadParameters", "WriteParameters",
                          "SpreadParameters", "ParameterSeperator"};
  for (int32_t command : {1, 2, 3, 4, 100}) {
    ui::frmMain window;
    window.SetupMenu(command);
    const bool hides = command >= 2 && command <= 4;
    for (const char* tool : hidden) EXPECT_EQ(window.menu.Tool("File", tool)->visible, !hides) << command << tool;
    EXPECT_TRUE(window.menu.Tool("File", "Quit")->visible);
  }
}

TEST(FrmMainTest, LoadPlacesTheWindowAndLoadsTextsUnloadStoresThePosition) {
  testing_support::TempDir dir;
  platform::registry::FileRegistry registry(dir / "registry.reg");
  const std::string key = "SOFTWARE\\velta\\veltaPortaB";
  registry.WriteValue(services::registry::Hive::LocalMachine, key + "\\Settings", "Top", "120");
  ui::frmMain window;
  window.Form_Load(registry, key, true);
  // Left is "-1" when missing: not placed.
  EXPECT_EQ(std::tuple(window.top, window.left, window.caption, window.menu.Tool("File", "Quit")->caption,
                       window.labels[0].caption, window.labels[0].toolTip, ui::window::SubPageOf(window.pages[0].tabs[2].key)),
            std::tuple(120, 0, "velta tessel Omnal-Objekt", "E&xit", "Configuration", "Monitoring", 7));

  window.left = 33;
  window.windowState = 2;  // maximised: the position is not stored
  window.Form_Unload(registry, key);
  EXPECT_EQ(registry.ReadValue(services::registry::Hive::LocalMachine, key + "\\Settings", "Left"), std::nullopt);
  EXPECT_EQ(window.statusLine, "Disconnecting from LNS server ...");
  window.windowState = 0;
  window.Form_Unload(registry, key);
  EXPECT_EQ(registry.ReadValue(services::registry::Hive::LocalMachine, key + "\\Settings", "Left"), "33");
}

}  // namespace
