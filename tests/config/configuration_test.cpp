#include "config/configuration.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/plugin_run.h"
#include "support/recording_log.h"

namespace {

TEST(ConfigurationTest, FetchCPsOnTheDemoObject) {
  testing_support::PlugInRun run;
  testing_support::RecordingLog log;
  config::cConfiguration configuration(run.context);
  EXPECT_EQ(configuration.Parameters().System(), run.context.system);
  configuration.FetchCPs();
  auto& parameters = configuration.Parameters();
  EXPECT_EQ(std::tuple(parameters.Parameter1ByteByName("ParamVersion")->Value(),
                       parameters.ConfigPropByName("ParamVersion")->WriteToLnsIfRequiredOnly(),
                       parameters.Parameter2ByteByName("FptIndex")->Value(), configuration.MC16().ConfigFileName(),
                       configuration.MC16().Version()),
            std::tuple(1, true, 3, "PortaB.cfg", 1));
  EXPECT_EQ(std::tuple(run.startFailed, run.records.messages.size(), log.Contains("[M_PlugIn] Public Sub FetchCPs()"),
                       log.errors.size()),
            std::tuple(false, 0u, true, 0u));

  // The device changes its function profile; ReadSettings brings the set up to date.
  run.demo.ObjectCp(1)->RawWrite(0, 1, {0, 7}, 0);
  configuration.ReadSettings();
  EXPECT_EQ(parameters.Parameter2ByteByName("FptIndex")->Value(), 7);
  EXPECT_TRUE(configuration.checkValues());
}

// Without FptIndex the start fails; without ParamVersion the knowledge base is not opened, the start goes on.
TEST(ConfigurationTest, AMissingFptIndexFailsTheStartAMissingParamVersionDoesNot) {
  struct Row { std::string keys; bool startFailed; int32_t oneByteCount, version; };
  const Row rows[] = {{"ParamVersion=1\nFptIndex=9\n", true, 1, 1}, {"FptIndex=1\n", false, 0, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys);
    testing_support::PlugInRun run;
    testing_support::TempDir dir;
    testing_support::WriteFile(dir / "PortaB.ini", "[velta Porta CPs 1.0 ]\nConfig=PortaB.cfg\n" + row.keys);
    run.ini.SetFile((dir / "PortaB.ini").string());
    testing_support::RecordingLog log;
    config::cConfiguration configuration(run.context);
    configuration.FetchCPs();
    EXPECT_EQ(std::tuple(run.startFailed, configuration.Parameters().Parameter1ByteCount(), configuration.MC16().Version(),
                         run.records.messages.size()),
              std::tuple(row.startFailed, row.oneByteCount, row.version, 0u));
    if (row.startFailed) {
      EXPECT_FALSE(configuration.Parameters().Parameter2ByteByName("FptIndex")->Available());
    }
  }
}

// A window that records what the controller does with it.
class RecordingWindow final : public config::ConfigurationWindow {
 public:
  void SetHourglass(bool on) override { calls.push_back(on ? "hourglass" : "pointer"); }
  void SetEnabled(bool enabled) override { calls.push_back(enabled ? "enabled" : "disabled"); }
  void SetStatusLine(const std::string& text) override { calls.push_back("status " + text); }
  void SetLoading(bool loading) override { calls.push_back(loading ? "loading" : "loaded"); }
  void SetControls() override { calls.push_back("controls"); changed = false; }
  void ShowLogger() override { calls.push_back("logger"); }
  void HideLabel(int index) override { calls.push_back("hide " + std::to_string(index)); }
  bool ParametersChanged() const override { return changed; }
  void SetParametersChanged(bool value) override { changed = value; }
  std::vector<std::string> calls;
  bool changed = false;
};

// The controller on the demo object with a recording window, after FetchCPs.
class ConfigurationCommandsTest : public ::testing::Test {
 protected:
  ConfigurationCommandsTest() {
    configuration.SetWindow(&window);
    configuration.FetchCPs();
  }
  testing_support::PlugInRun run;
  testing_support::RecordingLog log;
  config::cConfiguration configuration{run.context};
  RecordingWindow window;
};

TEST_F(ConfigurationCommandsTest, ReadParametersAsksFirstWhenParametersChanged) {
  window.changed = true;
  run.records.answers = {services::dialogs::Answer::No};
  configuration.ReadParameters();
  ASSERT_EQ(run.records.messages.size(), 1u);
  EXPECT_THAT(run.records.messages[0].text, ::testing::HasSubstr("Do you want to read parameters from \"Omnal 1\" ?"));
  EXPECT_TRUE(window.calls.empty());  // No: nothing happens
  run.records.answers = {services::dialogs::Answer::Yes};
  log.SetErrorLogged(true);  // an error line before: the logger is shown, the flag cleared
  configuration.ReadParameters();
  // The window comes back only after the status line says "Ready.".
  EXPECT_THAT(window.calls,
              ::testing::ElementsAre("hourglass", "disabled", "status Reading parameters ...", "loading", "loaded",
                                     "logger", "controls", "pointer", "status Ready.", "enabled"));
  EXPECT_FALSE(log.ErrorLogged());
  EXPECT_FALSE(window.changed);
}

// A window written against the older SetBusy alone is busy from the start of a read to its end,
// and back only once the status line says "Ready.".
TEST_F(ConfigurationCommandsTest, AWindowWithOnlyTheOlderSetBusyIsStillBusyDuringARead) {
  class BusyOnlyWindow final : public config::ConfigurationWindow {
   public:
    void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "not busy"); }
    void SetStatusLine(const std::string& text) override { calls.push_back("status " + text); }
    void SetLoading(bool) override {}
    void SetControls() override {}
    void ShowLogger() override {}
    void HideLabel(int) override {}
    bool ParametersChanged() const override { return false; }
    void SetParametersChanged(bool) override {}
    std::vector<std::string> calls;
  } busyOnly;
  configuration.SetWindow(&busyOnly);
  configuration.ReadParameters();
  EXPECT_THAT(busyOnly.calls,
              ::testing::ElementsAre("busy", "status Reading parameters ...", "status Ready.", "not busy"));
}

TEST_F(ConfigurationCommandsTest, WriteParametersOnlyWithValidValuesAndReportsLoggedErrors) {
  auto combo = configuration.Parameters().AddComboBoxParameter(
      "Mode", std::make_shared<ui::window::ComboBox>("c"), run.demo.DeviceCp(2), "DeviceOptions");
  combo->AddComboBoxItem("Ten", 10);
  combo->ConsiderPartOfCpOnly(1, 2);
  combo->SetValue(11);  // no entry: invalid
  window.changed = true;
  EXPECT_FALSE(configuration.WriteParameters());
  ASSERT_EQ(run.records.messages.size(), 1u);
  EXPECT_EQ(std::tuple(run.records.messages[0].icon, window.changed, window.calls.size()),
            std::tuple(services::dialogs::Icon::Critical, true, 0u));
  combo->SetValue(10);
  EXPECT_TRUE(configuration.WriteParameters());
  EXPECT_THAT(window.calls, ::testing::ElementsAre("hourglass", "disabled", "status Writing parameters...", "hide 30",
                                                   "pointer", "status Ready.", "enabled"));
  EXPECT_FALSE(window.changed);
  // An unreachable device: red lines only, true, no logger; an error the logger flags itself does show it.
  window.calls.clear();
  run.demo.Server()->Database("Demo")->SetDeviceReachable(run.demo.Device()->Index() + 1, false);
  combo->SetValue(10);
  combo->SetWriteToLnsIfRequiredOnly(false);
  EXPECT_TRUE(configuration.WriteParameters());
  EXPECT_FALSE(log.redLines.empty());
  EXPECT_THAT(window.calls, ::testing::Not(::testing::Contains("logger")));
  log.SetErrorLogged(true);
  EXPECT_FALSE(configuration.WriteParameters());
  EXPECT_THAT(window.calls, ::testing::Contains("logger"));
}

}  // namespace
