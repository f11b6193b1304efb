#include "ui/help.h"

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/temp_dir.h"

namespace {

TEST(HelpTest, HelpMessagesForMissingOpenerAndMissingFile) {
  testing_support::TempDir dir;
  testing_support::Records records;
  testing_support::RecordingDialogs dialogs(records);
  testing_support::RecordingShell shell(records);
  const std::string missing = (dir / "Porta B#.html").string();

  ui::ShowHelp(dialogs, shell, missing, -1);  // no opener on this desktop
  ASSERT_EQ(records.messages.size(), 1u);
  EXPECT_EQ(records.messages[0].text.rfind("At least one of the required components", 0), 0u);
  EXPECT_EQ(records.messages[0].icon, services::dialogs::Icon::Critical);

  records.opener = "/usr/bin/xdg-open";
  ui::ShowHelp(dialogs, shell, missing, 1003);
  ASSERT_EQ(records.messages.size(), 2u);
  EXPECT_EQ(records.messages[1].text, "The help file \"" + missing + "\" was not found !");
  EXPECT_TRUE(records.started.empty());

  testing_support::WriteFile(missing, "<html></html>");
  ui::ShowHelp(dialogs, shell, missing, -1);
  ui::ShowHelp(dialogs, shell, missing, 1004);  // the topic's anchor
  EXPECT_EQ(records.messages.size(), 2u);
  ASSERT_EQ(records.started.size(), 2u);
  EXPECT_EQ(records.started[0], (std::vector<std::string>{"/usr/bin/xdg-open", missing}));
  EXPECT_EQ(records.started[1], (std::vector<std::string>{"/usr/bin/xdg-open",
                                                          "file://" + dir.Path().string() + "/Porta%20B%23.html#topic-1004"}));
}

}  // namespace
