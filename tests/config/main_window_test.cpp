// The main window's logic on the demo object: events, buttons, pages and tabs, help, language, files.

#include "config/main_window.h"

#include <gmock/gmock.h>
#include <sstream>
#include <gtest/gtest.h>

#include "config/live_monitoring.h"
#include "config/window_script.h"
#include "demo_profile/demo_window.h"
#include "services/registry.h"
#include "support/main_window_run.h"
#include "support/plugin_run.h"
#include "support/recording_log.h"
#include "ui/res_strings.h"
#include "ui/tabs.h"

using ::testing::ElementsAre;
using services::dialogs::Answer;

namespace {

class MainWindowTest : public ::testing::Test, protected testing_support::MainWindowRun {};

TEST_F(MainWindowTest, CheckBoxClicksAreIgnoredWhileLoadingAndComboClicksUnlessConfiguring) {
  auto stage = configuration->Parameters().CheckBoxParameterByName("SecondStage");
  window->SetLoading(true);
  controls.chkSecondStage->UserClick();
  window->SetLoading(false);
  EXPECT_EQ(std::tuple(stage->Value(), changed), std::tuple(20, false));  // the click did not reach the parameter
  auto delay = configuration->Parameters().ComboBoxParameterByName("StartDelay");
  window->SetCurrentCommand(4);
  controls.cboStartDelay->UserSelect(3);
  EXPECT_EQ(std::tuple(delay->Value(), changed), std::tuple(10, false));
  window->SetCurrentCommand(1);
  controls.cboStartDelay->UserSelect(2);
  EXPECT_EQ(std::tuple(delay->Value(), changed), std::tuple(20, true));
}

TEST_F(MainWindowTest, ApplyAndOkWriteWhenConfiguring) {
  controls.cboStartDelay->UserSelect(3);
  run.context.system = run.demo.System();
  // What a tool that watches the window sees: when the window comes back, "Ready." is there.
  std::vector<std::string> seen;
  form.StateChanged.Connect([&] { seen.push_back((form.enabled ? "enabled " : "disabled ") + form.statusLine); });
  window->ApplyClick();
  const auto busy = std::find_if(seen.begin(), seen.end(), [](const std::string& s) { return s.rfind("disabled", 0) == 0; });
  const auto back = std::find_if(busy, seen.end(), [](const std::string& s) { return s.rfind("enabled", 0) == 0; });
  ASSERT_NE(back, seen.end());
  EXPECT_EQ(*back, "enabled Ready.");
  auto cp = run.demo.DeviceCp(2);
  cp->SetValueFormat("RAW");
  EXPECT_EQ(std::tuple(form.buttons.applyEnabled, changed, cp->Value(), log.Contains("    - DeviceOptions"), form.statusLine),
            std::tuple(false, false, "0\t50\t0\t20", true, "Ready."));
  // A write the device does not take marks the controls and the time of the write, until
  // the next write goes through.
  auto db = run.demo.Server()->Database("Demo");
  for (const bool reachable : {false, true}) {
    db->SetDeviceReachable(run.demo.Device()->Index() + 1, reachable);
    window->ApplyClick();
    EXPECT_EQ(controls.chkSecondStage->Problem().find("Parameter \"SecondStage\": the value 20 was not written into CP \"DeviceOptions\""),
              reachable ? std::string::npos : 0u);
    EXPECT_EQ(form.lastTransfer.rfind("Last written to the device, with errors: ", 0), reachable ? std::string::npos : 0u);
  }
  controls.cboStartDelay->UserSelect(1);
  window->OkClick();  // written, so closing asks nothing
  EXPECT_EQ(std::tuple(cp->Value(), run.records.messages.size(), ended), std::tuple("0\t10\t0\t20", 0u, 1));
}

TEST_F(MainWindowTest, ClosingAsksWhenParametersChanged) {
  controls.chkSecondStage->UserClick();
  run.records.answers = {Answer::No};
  window->CancelClick();
  EXPECT_FALSE(form.unloaded);
  ASSERT_EQ(run.records.messages.size(), 1u);
  EXPECT_EQ(std::tuple(run.records.messages[0].text, run.records.messages[0].defaultButton),
            std::tuple(ui::ResString(1428, 3), 2));
  run.records.answers = {Answer::Yes};
  window->MenuToolClick("Quit");
  EXPECT_EQ(std::tuple(form.unloaded, ended), std::tuple(true, 1));
  EXPECT_EQ(services::registry::ReadSetting(run.registry, services::registry::Hive::LocalMachine,
                                            "SOFTWARE\\velta\\veltaPortaB", "Settings", "Top", "-1"),
            "0");
}

TEST_F(MainWindowTest, PagesTabsHelpAndTheLogger) {
  window->PageButtonClick("2");
  EXPECT_EQ(std::tuple(form.currentPage, form.pages[1].visible, form.pages[1].left, form.pages[0].visible,
                       form.pages[0].left, form.currentSubPage),
            std::tuple(1, true, 1320, false, -200000, 3));
  window->KeyDown(112);
  window->ShowLogger();
  EXPECT_EQ(std::tuple(form.currentPage, form.currentSubPage), std::tuple(0, 7));
  EXPECT_EQ(form.pages[0].tabs[static_cast<size_t>(form.pages[0].selected)].key, "KEY:7");
  for (const auto& frame : form.pages[0].frames) EXPECT_EQ(frame.visible, frame.index == 7);
  window->TabClick("KEY:2");
  window->KeyDown(112);
  window->MenuToolClick("Manual");
  EXPECT_THAT(topics, ElementsAre(1003, 1002, -1));
  window->MenuToolClick("Logger");
  EXPECT_TRUE(form.logBox.visible);
  window->MenuToolClick("NoSuchTool");
  EXPECT_TRUE(log.errors.empty());
  window->MenuToolClick("DeviceInfo");  // a service the run does not offer: "not available"
  EXPECT_EQ(log.errors.size(), 1u);
  // The page bar's pointer: the custom shape over buttons 1 and 2 only.
  for (const auto& [button, pointer] : std::vector<std::pair<int16_t, int16_t>>{{1, 99}, {3, 0}, {2, 99}, {0, 0}}) {
    window->PageBarMouseMove(button);
    EXPECT_EQ(form.pageBar.mousePointer, pointer) << button;
  }
  // A tab coming back shows the selected sub-page again in the current page's strip, not in another.
  ui::cTabStrips strips;
  strips.SetRelayoutHandler([&](ui::window::TabStrip& strip) { window->RelayoutTabStrip(strip); });
  auto& current = strips.Add(form.pages[0]);
  auto& other = strips.Add(form.pages[1]);
  for (auto* strip : {&other, &current}) {
    strip->Tabs().HideTabByKeyNo(strip == &current ? 1 : 3);
    form.currentSubPage = 0;
    strip->Tabs().ShowTabByKeyNo(strip == &current ? 1 : 3);
    EXPECT_EQ(form.currentSubPage, strip == &current ? 2 : 0);  // tab "KEY:2" is selected
  }
}

TEST_F(MainWindowTest, TheLanguageSwitchComparesWithTheStoredSharedValue) {
  using services::registry::Hive;
  auto stored = [&] {
    return services::registry::ReadSetting(run.registry, Hive::LocalMachine, std::string(ui::kSharedLanguageKey),
                                           "Options", "Language", "none");
  };
  window->MenuToolClick("English");  // nothing stored means English: no change, no message
  EXPECT_TRUE(run.records.messages.empty());
  EXPECT_EQ(stored(), "none");
  window->MenuToolClick("German");
  EXPECT_EQ(stored(), "1000");
  ASSERT_EQ(run.records.messages.size(), 1u);
  EXPECT_THAT(run.records.messages[0].text, ::testing::HasSubstr("to German."));
  EXPECT_EQ(ui::LanguageOffset(), ui::kEnglishOffset);  // the running window keeps its language
  window->MenuToolClick("German");
  EXPECT_EQ(run.records.messages.size(), 1u);
}

TEST_F(MainWindowTest, EveryEleventhObjectServerEventRepaints) {
  const int32_t before = form.repaints;
  for (int i = 0; i < 10; ++i) window->ObjectServerEvent();
  EXPECT_EQ(std::tuple(form.repaints, form.objectServerEvents), std::tuple(before, 10));
  window->ObjectServerEvent();
  EXPECT_EQ(std::tuple(form.repaints, form.objectServerEvents), std::tuple(before + 1, 0));
}

TEST_F(MainWindowTest, SaveAndLoadThroughTheFileDialogs) {
  const std::string file = (run.demo.Dir() / "set.dat").string();
  run.records.files = {file};
  window->MenuToolClick("SaveFile");
  ASSERT_EQ(run.records.fileDialogs.size(), 1u);
  EXPECT_EQ(std::tuple(run.records.fileDialogs[0].title, run.records.fileDialogs[0].filter),
            std::tuple(ui::ResString(1600, 2), "Data (*.dat)|*.dat|All (*.*)|*.*"));
  EXPECT_FALSE(changed);  // saving changes nothing
  controls.cboStartDelay->UserSelect(0);
  run.records.answers = {Answer::No};
  window->MenuToolClick("OpenFile");  // changed: the question, answered No
  EXPECT_EQ(configuration->Parameters().ComboBoxParameterByName("StartDelay")->Value(), 0);
  run.records.answers = {Answer::Yes};
  run.records.files = {file};
  window->MenuToolClick("OpenFile");
  EXPECT_EQ(std::tuple(configuration->Parameters().ComboBoxParameterByName("StartDelay")->Value(), changed,
                       form.buttons.applyEnabled, form.enabled),
            std::tuple(10, true, true, true));
  testing_support::WriteFile(run.demo.Dir() / "other.dat", "[General]\nPlugInName = other\n");
  run.records.messages.clear();
  run.records.answers = {Answer::Yes};
  run.records.files = {(run.demo.Dir() / "other.dat").string()};
  window->MenuToolClick("OpenFile");
  ASSERT_EQ(run.records.messages.size(), 2u);  // marked changed whatever the result
  EXPECT_EQ(std::tuple(run.records.messages[1].text, changed, form.statusLine),
            std::tuple(ui::ResString(1520, 1), true, ui::ResString(1517)));
  window->MenuToolClick("SaveFile");  // cancelled dialog: nothing
  EXPECT_EQ(run.records.messages.size(), 2u);
  // Each refusal of the file has its message; a file that cannot be written gets 1523.
  const std::pair<std::string, std::string> refusals[] = {
      {"ProgramId = 00:11\nDataFileVersion = 1\n", ui::ResString(1520, 2)},
      {"ProgramId = 9F:FF:FF:08:1C:0A:04:01\nDataFileVersion = 9\n", ui::ResString(1521)},
  };
  for (const auto& [header, message] : refusals) {
    testing_support::WriteFile(run.demo.Dir() / "other.dat", "[General]\nPlugInName = veltaPortaB\n" + header);
    run.records.messages.clear();
    run.records.answers = {Answer::Yes};
    run.records.files = {(run.demo.Dir() / "other.dat").string()};
    window->MenuToolClick("OpenFile");
    EXPECT_EQ(run.records.messages.back().text, message);
  }
  run.records.files = {(run.demo.Dir() / "no folder" / "set.dat").string()};
  window->MenuToolClick("SaveFile");
  EXPECT_EQ(std::tuple(run.records.messages.back().text, run.records.messages.back().icon),
            std::tuple(ui::ResString(1523), services::dialogs::Icon::Critical));
}

// The Monitoring page follows the NVs while it is shown and not paused, without monitoring
// them itself: no NV gets a monitor tag, no point another monitoring type.
TEST_F(MainWindowTest, TheMonitoringPageFollowsTheNvsWhileShownAndNotPaused) {
  const auto prime = monitoring->MonitorPoints().GetMonitorPointByName("nviPrimeValue");
  const auto outside = testing_support::DemoNetwork::Reopen(run.demo);  // another program's write
  const auto write = [&](const std::string& value) {
    outside->Object()->NetworkVariables()->ItemByName("nviPrimeValue")->SetValue(value);
  };
  const auto& table = form.monitorTable;
  config::LiveMonitoring& live = *window->Monitoring();
  const auto shown = [&] { return std::tuple(table.live, table.rows[0].value, table.state); };
  const std::string kLive = "Live: the values follow the device.";
  const std::string kPaused = "Paused: the values stay as they are.";

  window->PageButtonClick("3");
  ASSERT_EQ(table.rows.size(), 5u);
  EXPECT_EQ(std::tuple(table.rows[0].name, table.rows[4].name), std::tuple("nviPrimeValue", "InputValue"));
  EXPECT_EQ(shown(), std::tuple(true, "0.0 0", kLive));
  write("50.0 1");
  EXPECT_EQ(live.Pump(), 1);
  EXPECT_EQ(live.Pump(), 0);  // nothing new
  EXPECT_EQ(shown(), std::tuple(true, "50.0 1", kLive));
  EXPECT_EQ(std::tuple(prime->NetworkVariable()->MonitorTag(), prime->MonitoringType()), std::tuple(0, 0));

  live.Pause(true);
  write("60.0 1");
  EXPECT_EQ(live.Pump(), 0);
  window->PageButtonClick("1");
  window->PageButtonClick("3");  // still paused
  EXPECT_EQ(shown(), std::tuple(false, "50.0 1", kPaused));
  live.Pause(false);  // read anew
  EXPECT_EQ(shown(), std::tuple(true, "60.0 1", kLive));
  window->PageButtonClick("2");
  write("70.0 1");
  EXPECT_EQ(std::tuple(live.Pump(), table.live), std::tuple(0, false));  // another page shown
  EXPECT_TRUE(log.errors.empty());
}

TEST_F(MainWindowTest, AWindowScriptDrivesTheWindowAndRefusesWhatAUserCouldNotDo) {
  controls.Place(form);
  window->PageButtonClick("1");
  std::ostringstream out;
  std::vector<std::string> answers;
  config::WindowScript script(*window, out, [&](std::string answer) {
    answers.push_back(answer);
    run.records.answers.push_back(answer == "Yes" ? Answer::Yes : Answer::No);
  });
  std::istringstream lines(
      // A BOM, tabs and CR LF; refused: a disabled control, a separator, page 9, a tab not shown, apply when closed.
      "\xEF\xBB\xBFpick\tStartDelay\t2 s\r\n# a comment\n\ntype Brightness 50\nmenu FileSeperator\npage 9\ntab 3\n"
      "answer Yes\nprint\npage 3\nmonitor pause\nprint\ncancel\napply\n");
  EXPECT_EQ(script.Run(lines), 5);
  EXPECT_EQ(configuration->Parameters().ComboBoxParameterByName("StartDelay")->Value(), 20);
  EXPECT_THAT(answers, ElementsAre("Yes"));  // the answer to the unload question
  const std::string printed = out.str();
  EXPECT_THAT(printed, ::testing::HasSubstr("Start delay (StartDelay): combo box \"2 s\""));
  EXPECT_THAT(printed, ::testing::HasSubstr("line 4 not carried out: \"Brightness\" is disabled"));
  EXPECT_THAT(printed, ::testing::HasSubstr("monitor points (Paused: the values stay as they are.):\n"
                                            "    nviPrimeValue: \"0.0 0\"\n"));
  EXPECT_THAT(printed, ::testing::HasSubstr("line 14 not carried out: the window is closed"));
  EXPECT_TRUE(form.unloaded);
}

}  // namespace
