// One window script, two front ends: the console front end (no display) and the Qt window on
// Qt's offscreen platform carry out the same actions and print the same window states, and
// leave the device with the same values.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/program_run.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kCommand = "/CLASSID:28/COMMANDID:13/OBJECTNAME:Demo\\System.Floor 1\\Switch 1\\Omnal 1";

// A fresh home with the demo network and both plug-ins registered, the script run once.
struct ScriptRun {
  testing_support::ProgramResult dispatch;
  std::string holdTime;  // the CP as portab-lns reads it afterwards
};

ScriptRun RunScript(const fs::path& script, bool withDisplay) {
  const testing_support::TempDir dir;
  const testing_support::Environment home{{"PORTAB_HOME", (dir / "home").string()}};
  EXPECT_EQ(testing_support::RunProgram(PORTAB_LNS_EXE, {"create", std::string(PORTAB_DATA_DIR) + "/demo/network.json"}, home).status, 0);
  EXPECT_EQ(testing_support::RunProgram(PORTAB_EXE, {"/regserver"}, home).status, 0);
  EXPECT_EQ(testing_support::RunProgram(PORTAB_DEMO_PROFILE_EXE, {"/regserver"}, home).status, 0);
  testing_support::Environment env = home;
  env.push_back({"PORTAB_WINDOW_SCRIPT", script.string()});
  env.push_back({"PORTAB_ANSWERS", ""});
  env.push_back({"DISPLAY", ""});
  env.push_back({"WAYLAND_DISPLAY", ""});
  env.push_back({"QT_QPA_PLATFORM", withDisplay ? "offscreen" : ""});
  ScriptRun run{testing_support::RunProgram(PORTAB_EXE, {kCommand}, env), {}};
  run.holdTime = testing_support::RunProgram(PORTAB_LNS_EXE, {"cp", "get", "Demo/System.Floor 1/Switch 1/Omnal 1", "HoldTime"}, home).out;
  return run;
}

// What the window printed: the script's lines, the messages and the window states, without
// what Qt itself says on standard error.
std::string WindowLines(const std::string& err) {
  std::string kept;
  size_t at = 0;
  while (at < err.size()) {
    const size_t end = err.find('\n', at);
    const std::string line = err.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
    at = end == std::string::npos ? err.size() : end + 1;
    if (line.rfind("QStandardPaths:", 0) == 0 || line.find("propagateSizeHints") != std::string::npos) continue;
    kept += line;
  }
  return kept;
}

TEST(FrontEndsE2eTest, TheSameScriptGivesTheSameWindowOnTheConsoleAndInQt) {
  const testing_support::TempDir dir;
  const fs::path script = dir / "window.script";
  testing_support::WriteFile(script, "print\npick StartDelay 2 s\nclick SecondStage\nclick MaxSendTime 30 s\npage 2\n"
                                     "type HoldTime 700\nanswer OK\nprint\napply\ntab 3\nprint\nok\n");
  const ScriptRun console = RunScript(script, false);
  const ScriptRun qt = RunScript(script, true);
  EXPECT_EQ(console.dispatch.status, 0) << console.dispatch.err;
  EXPECT_EQ(qt.dispatch.status, 0) << qt.dispatch.err;
  EXPECT_THAT(console.dispatch.err, ::testing::HasSubstr("The value 700 s is too high."));
  EXPECT_THAT(console.dispatch.err, ::testing::HasSubstr("0 lines not carried out"));
  EXPECT_EQ(WindowLines(qt.dispatch.err), WindowLines(console.dispatch.err));
  EXPECT_EQ(console.holdTime, "23 112\n");  // 600.0 s, the limit, as 6000 tenths
  EXPECT_EQ(qt.holdTime, console.holdTime);
}

}  // namespace
