#include "platform/dialogs/console_dialogs.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace platform::dialogs;

namespace {

TEST(ConsoleDialogsTest, MessageBoxBlockOnStandardError) {
  std::ostringstream out;
  ConsoleDialogs dialogs(out, "");
  const auto answer = dialogs.Show({"The transmitted CommandId (14) is not\r\nsupported for  ClassId 28 !",
                                    "veltaPortaB", Icon::Exclamation, Buttons::Ok, 1});
  EXPECT_EQ(answer, Answer::Ok);
  EXPECT_EQ(out.str(),
            "--- Exclamation: veltaPortaB\nThe transmitted CommandId (14) is not\nsupported for  ClassId 28 !\n"
            "--- answer: OK\n");
}

TEST(ConsoleDialogsTest, QuestionsTakeAnswersInTurnThenTheDefaultButton) {
  std::ostringstream out;
  ConsoleDialogs dialogs(out, " yes ,Cancel,No");
  const MessageBox question{"Quit?", "t", Icon::Question, Buttons::YesNo, 2};
  EXPECT_EQ(dialogs.Show(question), Answer::Yes);
  EXPECT_EQ(dialogs.Show(question), Answer::No);  // "Cancel" is not offered: the default button
  EXPECT_EQ(dialogs.Show(question), Answer::No);
  EXPECT_EQ(dialogs.Show(question), Answer::No);  // answers used up: the default button
  // A box with only OK consumes no answer.
  ConsoleDialogs more(out, "Yes");
  more.Show({"x", "t", Icon::Information, Buttons::Ok, 1});
  EXPECT_EQ(more.Show({"q", "t", Icon::Question, Buttons::YesNo, 2}), Answer::Yes);
}

TEST(ConsoleDialogsTest, FileDialogsTakeAFileNameOrCancel) {
  std::ostringstream out;
  ConsoleDialogs dialogs(out, "/tmp/set.dat,Cancel");
  EXPECT_EQ(dialogs.ChooseFile({FileDialog::Kind::Open, "Load", "", ""}), "/tmp/set.dat");
  EXPECT_EQ(dialogs.ChooseFile({FileDialog::Kind::Save, "Save", "", ""}), std::nullopt);
  EXPECT_EQ(dialogs.ChooseFile({FileDialog::Kind::Save, "Save", "", ""}), std::nullopt);
  EXPECT_NE(out.str().find("--- Open: Load\n--- answer: /tmp/set.dat\n"), std::string::npos);
}

TEST(ConsoleDialogsTest, StatusWindowWritesOnlyWhileShown) {
  std::ostringstream out;
  ConsoleStatusWindow status(out);
  status.SetStatusText("hidden");
  EXPECT_EQ(out.str(), "");
  status.Show();
  status.SetStatusText("Registering plug-in ...");
  status.Close();
  status.SetStatusText("after");
  EXPECT_EQ(out.str(), "--- status: hidden\n--- status: Registering plug-in ...\n");
  EXPECT_EQ(status.StatusText(), "after");
}

}  // namespace
