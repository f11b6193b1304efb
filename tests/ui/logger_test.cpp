#include "ui/logger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "support/temp_dir.h"

using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

struct BoxLine {
  std::string text;
  uint32_t colour;
  bool operator==(const BoxLine&) const = default;
};

class RecordingLogBox : public ui::LogBox {
 public:
  void AddLine(const std::string& text, uint32_t colour, bool) override {
    if (broken) throw std::runtime_error("log box gone");
    lines.push_back({text, colour});
  }
  std::vector<BoxLine> lines;
  bool broken = false;
};

ui::LoggerSetup SetupIn(const std::filesystem::path& folder, const std::filesystem::path& fallback) {
  ui::LoggerSetup setup;
  setup.fileName = "portab.LOG";
  setup.folder = folder;
  setup.fallbackFolder = fallback;
  setup.productName = "veltaPortaB";
  return setup;
}

TEST(LoggerTest, ColoursTimeOfDayBlankLinesAndErrorLogged) {
  ui::Logger logger;
  RecordingLogBox box;
  logger.SetLogBox(&box);
  logger.LogLine("green", ui::colour::kGreen, true, true, 0);
  logger.LogLine("blue", ui::colour::kBlue, true, false, 2);
  logger.LogLine("other", 0x123456, true, false, 0);
  EXPECT_FALSE(logger.ErrorLogged());
  logger.LogLine("red", ui::colour::kRed, true, false, 0);
  EXPECT_TRUE(logger.ErrorLogged());
  ASSERT_EQ(box.lines.size(), 6u);
  EXPECT_THAT(box.lines[0].text, MatchesRegex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9] - green"));
  EXPECT_EQ(box.lines[0].colour, ui::colour::kDarkGreen);
  EXPECT_EQ(std::vector<BoxLine>(box.lines.begin() + 1, box.lines.end()),
            (std::vector<BoxLine>{{"blue", ui::colour::kDarkBlue}, {"", ui::colour::kDarkBlue},
                                  {"", ui::colour::kDarkBlue}, {"other", 0x123456u}, {"red", ui::colour::kRed}}));
  // A failing log box does not keep a red line from counting.
  ui::Logger second;
  box.broken = true;
  second.SetLogBox(&box);
  second.LogLine("red", ui::colour::kRed, true, false, 0);  // must not throw
  EXPECT_TRUE(second.ErrorLogged());
}

TEST(LoggerTest, WritesTheLogFileAndAnswersErrors) {
  testing_support::TempDir dir;
  std::ostringstream console;
  {
    ui::Logger logger(&console);
    logger.Init(SetupIn(dir.Path(), dir / "home"));
    logger.EntryLine("[M_PlugIn] Public Sub Main()");
    const base::Error error(base::err::kOverflow, "M_PlugIn.Main");
    EXPECT_EQ(logger.HandleError(error, "", "M_PlugIn", "Main"), 2);  // default: leave
    logger.SetErrorPolicy([](const base::Error&) { return 1; });
    EXPECT_EQ(logger.HandleError(error, "", "M_PlugIn", "Main"), 1);
    EXPECT_TRUE(logger.ErrorLogged());
  }
  const std::string log = testing_support::ReadFile(dir / "portab.LOG");
  EXPECT_THAT(log, HasSubstr("veltaPortaB 0.0.0 log opened"));
  EXPECT_THAT(log, HasSubstr(" I [M_PlugIn] Public Sub Main()\n"));
  EXPECT_THAT(log, HasSubstr(" E "));
  EXPECT_THAT(log, HasSubstr("Error 6 in M_PlugIn.Main: Overflow [M_PlugIn.Main]"));
  EXPECT_THAT(console.str(), HasSubstr("portab: Error 6 in M_PlugIn.Main"));
  EXPECT_EQ(ui::ErrorLineText(base::Error(base::err::kReadOnlyProperty, ""), "M", "P"),
            "Error 0x80044E22 in M.P: Write not supported. This property is read-only.");
}

TEST(LoggerTest, FallsBackToTheHomeFolderWhenTheProgramFolderCannotHoldTheFile) {
  testing_support::TempDir dir;
  // A plain file where the program folder should be: no log file can be created inside it.
  testing_support::WriteFile(dir / "program", "");
  {
    ui::Logger logger;
    logger.Init(SetupIn(dir / "program", dir / "home"));
    EXPECT_EQ(logger.LogFile(), dir / "home" / "portab.LOG");
    logger.EntryLine("[M_Test] Public Sub X()");
  }
  const std::string log = testing_support::ReadFile(dir / "home" / "portab.LOG");
  EXPECT_THAT(log, HasSubstr("is not writable; the log is written to"));
  EXPECT_THAT(log, HasSubstr("[M_Test] Public Sub X()"));
}

}  // namespace
