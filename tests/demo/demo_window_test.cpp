// The demo profile's window on the demo network: read, edited through the controls, written back.

#include "demo_profile/demo_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "plugin/cp_lookup.h"
#include "support/demo_network.h"
#include "support/matchers.h"
#include "support/plugin_run.h"
#include "support/recording_log.h"
#include "ui/res_strings.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::string RawValue(const std::shared_ptr<lns::ConfigProperty>& cp) {
  cp->SetValueFormat("RAW");
  return cp->Value();
}

// The CP lookup of plug-ins: by name without regard to case; a missing CP or NV is nothing, or,
// when the plug-in needs it, error 5 naming what is missing where.
TEST(DemoWindowTest, CpLookupNamesWhatIsMissing) {
  using plugin::Need;
  using testing_support::ThrowsErrorFrom;
  testing_support::DemoNetwork demo;
  EXPECT_EQ(plugin::ObjectCp(demo.Object(), "holdtime", Need::Required)->Name(), "HoldTime");
  EXPECT_EQ(plugin::NvCp(demo.Device(), "NVOVALUE", "MaxSendTime", Need::Required)->Name(), "MaxSendTime");
  EXPECT_EQ(plugin::DeviceCp(demo.Device(), "Brightness"), nullptr);
  EXPECT_EQ(plugin::NvCp(demo.Device(), "nvoNone", "MaxSendTime"), nullptr);
  const std::pair<std::function<void()>, const char*> missing[] = {
      {[&] { plugin::DeviceCp(demo.Device(), "Brightness", Need::Required); },
       "The device \"Switch 1\" has no CP \"Brightness\"."},
      {[&] { plugin::ObjectCp(demo.Object(), "Brightness", Need::Required); },
       "The LonMark object \"Omnal 1\" has no CP \"Brightness\"."},
      {[&] { plugin::NvCp(demo.Device(), "nvoNone", "MaxSendTime", Need::Required); },
       "The device \"Switch 1\" has no NV \"nvoNone\"."},
      {[&] { plugin::NvCp(demo.Device(), "nvoValue", "HoldTime", Need::Required); },
       "The NV \"nvoValue\" of the device \"Switch 1\" has no CP \"HoldTime\"."},
      {[&] { plugin::DeviceNv(nullptr, "nvoValue", Need::Required); }, "The device has no NV \"nvoValue\"."},
  };
  for (const auto& [lookup, message] : missing) EXPECT_THAT(lookup, ThrowsErrorFrom(5, "plugin.CpLookup", message));
}

// The report of each control kind, and what a write takes before and after the user edits each kind.
TEST(DemoWindowTest, ReportAndWhatAWriteTakesBeforeAndAfterEdits) {
  testing_support::DemoNetwork demo;
  demo_profile::DemoWindow window;
  window.Bind(demo.Device(), demo.Object());
  window.Parameters().ReadFromLns();

  const std::string report = window.Report();
  EXPECT_THAT(report, HasSubstr("text box \"HoldTime\": \"50.0\" s, lock mode 0, fore 0x80000008, back 0x80000005, enabled"));
  EXPECT_THAT(report, HasSubstr("text box \"Brightness\": \"\" %, lock mode 5, fore 0x80000008, back 0x8000000F, disabled"));
  EXPECT_THAT(report, HasSubstr("combo box \"StartDelay\": \"1 s\", lock mode 0"));
  EXPECT_THAT(report, HasSubstr("check box \"SecondStage\": checked, lock mode 0"));
  EXPECT_THAT(report, HasSubstr("option buttons \"MaxSendTime\": \"5 s\", lock mode 0"));
  // Unchanged text and combo boxes need no write; check boxes and option buttons always do.
  EXPECT_THAT(window.ParametersToWrite(), ElementsAre("SecondStage", "MaxSendTime"));
  EXPECT_FALSE(window.Parameters().AnyParameterValueIsInvalid());

  // The user types a hold time with a comma, picks a delay, unchecks, picks a send time.
  window.txtHoldTime->UserFocus();
  window.txtHoldTime->UserSelectAll();
  window.txtHoldTime->UserType("12,34");
  EXPECT_TRUE(window.txtHoldTime->UserLeave());
  window.cboStartDelay->UserSelect(3);
  window.chkSecondStage->UserClick();
  window.optMaxSendTime[2]->UserClick();
  EXPECT_THAT(window.ParametersToWrite(), ElementsAre("SecondStage", "StartDelay", "MaxSendTime", "HoldTime"));
}

// Bound with the shipped knowledge base in German, or with MaxSendTime's control description gone.
TEST(DemoWindowTest, TitlesPlacesAndItemsComeFromTheKnowledgeBase) {
  for (const bool damaged : {false, true}) {
    testing_support::PlugInRun run;
    testing_support::RecordingLog log;
    if (damaged) {
      const auto controls = run.ServerFolder() / "Config" / "Controls_V1.ini";
      std::string text = testing_support::ReadFile(controls);
      text.replace(text.find("[MODP_PORTA.MaxSendTime]"), 1, "[Gone");
      testing_support::WriteFile(controls, text);
    }
    knowledge::cMC16 kb(run.context);
    kb.SetConfigFileName("PortaB.cfg");
    ASSERT_TRUE(kb.Init1());
    kb.SetVersion(1);
    ASSERT_TRUE(kb.Init2());
    ui::SetLanguageOffset(ui::kGermanOffset);
    demo_profile::DemoWindow window;
    window.Bind(run.demo.Device(), run.demo.Object(), &kb);
    ui::SetLanguageOffset(ui::kEnglishOffset);

    EXPECT_EQ(std::tuple(window.chkSecondStage->Caption(), window.startDelay.items.front().first, window.holdTime.title,
                         window.holdTime.page, window.holdTime.subPage, window.brightness.rangeMax, window.maxSendTime.title),
              std::tuple("Zweite Stufe", "Aus", "Haltezeit", 1, 3, 100.0f, damaged ? "Maximum send time" : "Maximale Sendezeit"));
    ASSERT_EQ(std::tuple(window.optMaxSendTime.size(), log.redLines.size()), std::tuple(3u, damaged ? 1u : 0u));
    if (damaged) {
      EXPECT_THAT(log.redLines[0], HasSubstr("no control description of MODP_PORTA.MaxSendTime"));
    }

    // The items' values reach the device: the third send time is the CP's bytes 1 44.
    window.Parameters().ReadFromLns();
    window.optMaxSendTime[2]->UserClick();
    for (const auto& parameter : window.Parameters().GetAllParamsShouldBeWrittenToLns()) parameter->WriteToLns();
    auto nv = run.demo.Device()->Interface()->NetworkVariables()->ItemByName("nvoValue");
    EXPECT_EQ(RawValue(nv->ConfigProperties()->Item(1)), "1\t44");
  }
}

}  // namespace
