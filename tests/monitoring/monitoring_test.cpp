#include "monitoring/monitoring.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <tuple>

#include "lns/lns_errors.h"
#include "platform/lns_embedded/embedded_objects.h"
#include "support/matchers.h"
#include "support/plugin_run.h"
#include "support/recording_log.h"

using testing_support::ThrowsError;

namespace {

std::shared_ptr<lns::NetworkVariable> Nv(testing_support::PlugInRun& run, const std::string& name) {
  return run.demo.Device()->Interface()->NetworkVariables()->ItemByName(name);
}

void SetNvType(testing_support::PlugInRun& run, const std::string& name, int16_t type) {
  auto nv = Nv(run, name);
  if (nv->NvType() != type) run.typeChanger.ChangeType(nv, type, "0000000000000000", 0);
}

// Refuses the NVs named in `refusals` with that error number, changes the others; records what it was asked.
class RefusingTypeChanger final : public lns::NvTypeChanger {
 public:
  void ChangeType(std::shared_ptr<lns::NetworkVariable>& nv, int16_t typeId, std::string_view programId,
                  uint8_t scope) override {
    asked.push_back(nv->Name());
    if (const auto it = refusals.find(nv->Name()); it != refusals.end()) throw base::Error(it->second, "LNS", "refused");
    platform::lns_embedded::EmbeddedNvTypeChanger().ChangeType(nv, typeId, programId, scope);
  }
  std::map<std::string, int32_t> refusals;
  std::vector<std::string> asked;
};

TEST(MonitoringTest, PointsWithAndWithoutNv) {
  testing_support::PlugInRun run;
  monitoring::cMonitorPoints points(run.context);
  auto missing = points.AddMonitorPoint("Missing", nullptr);
  missing->ActivateMonitoring();
  EXPECT_EQ(std::make_tuple(missing->Available(), missing->NvType(), missing->Value(), missing->MonitoringIsActive(),
                            missing->SetNewNvType()),
            std::make_tuple(false, -1, std::string(), false, false));

  auto first = points.AddMonitorPoint("Prime", Nv(run, "nviPrimeValue"), 1);
  points.AddMonitorPoint("Out", Nv(run, "nvoValue"), 0);
  EXPECT_THAT([&] { points.AddMonitorPoint("PRIME", Nv(run, "nviSecValue")); }, ThrowsError(457));
  EXPECT_EQ(points.Count(), 3);
  EXPECT_EQ(first->Value(), "0.0 0");
  first->SetValue("100.0 1");
  EXPECT_EQ(Nv(run, "nviPrimeValue")->Value(), "100.0 1");
  std::string element;
  EXPECT_TRUE(first->GetElementValue("state", element) && element == "1");
  EXPECT_FALSE(first->GetElementValue("nothing", element));
  EXPECT_TRUE(points.MonitorPointExists("out") && !points.MonitorPointExists("none"));
}

TEST(MonitoringTest, MonitoringTypeSwitchesTheOptionAndEveryEditBracketCloses) {
  testing_support::PlugInRun run;
  monitoring::cMonitorPoints points(run.context);
  auto nv = Nv(run, "nviPrimeValue");
  auto point = points.AddMonitorPoint("Prime", nv);
  struct Case { int32_t type; bool before, after; };  // the NV's monitoring option
  const Case cases[] = {{1, false, true}, {0, true, false}, {2, true, false}, {3, true, true}, {-1, true, true}};
  for (const auto& c : cases) {
    nv->SetEditingSettings(true);
    nv->SetMonitoringOption(c.before);
    nv->SetEditingSettings(false);
    point->SetMonitoringType(c.type);
    EXPECT_EQ(point->MonitoringType(), c.type);
    EXPECT_EQ(nv->MonitoringOption(), c.after) << c.type;
    EXPECT_FALSE(nv->EditingSettings()) << c.type;
  }
  // A setting the NV refuses reaches the caller, and the bracket is closed all the same.
  EXPECT_THAT([&] { point->SetFormat("no such format"); }, ThrowsError(lns::err::kUnknownFormat));
  EXPECT_FALSE(nv->EditingSettings());
}

TEST(MonitoringTest, TagsActivationAndUpdatesFromAnotherProcess) {
  testing_support::PlugInRun run;
  monitoring::cMonitorPoints empty(run.context);
  EXPECT_FALSE(empty.ActivateMonitoring());

  monitoring::cMonitorPoints points(run.context);
  points.SetObjectServer(run.demo.Server());
  std::vector<std::pair<std::string, std::string>> updates;
  points.NvUpdate.Connect([&](const std::string& name, const std::string& value) { updates.emplace_back(name, value); });
  auto prime = points.AddMonitorPoint("Prime", Nv(run, "nviPrimeValue"), 2);
  points.AddMonitorPoint("None", nullptr);
  auto quiet = points.AddMonitorPoint("Quiet", Nv(run, "nvoValue"), 0);  // type 0 is never activated
  ASSERT_TRUE(points.ActivateMonitoring());
  EXPECT_EQ(std::make_tuple(Nv(run, "nviPrimeValue")->MonitorTag(), Nv(run, "nvoValue")->MonitorTag()), std::make_tuple(5000, 0));
  EXPECT_TRUE(prime->MonitoringIsActive() && !quiet->MonitoringIsActive());

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto nvs = testing_support::DemoNetwork::Reopen(run.demo)->Device()->Interface()->NetworkVariables();
    nvs->ItemByName("nviPrimeValue")->SetValue("50.0 1");
    nvs->ItemByName("nvoValue")->SetValue("1.0 1");  // not monitored: no event
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(run.demo.Server()->PumpEvents(), 1);
  EXPECT_EQ(updates, (std::vector<std::pair<std::string, std::string>>{{"Prime", "50.0 1"}}));
  EXPECT_EQ(prime->BufferedValue(), "50.0 1");
  Nv(run, "nviPrimeValue")->SetValue("50.0 1");  // unchanged: no update
  EXPECT_EQ(run.demo.Server()->PumpEvents(), 0);  // and the one above was delivered once
  points.ForceNvUpdate("Quiet");
  EXPECT_EQ(updates.back(), (std::pair<std::string, std::string>{"Quiet", "1.0 1"}));

  points.DeactivateMonitoring();
  EXPECT_EQ(std::make_tuple(Nv(run, "nviPrimeValue")->MonitorTag(), Nv(run, "nviPrimeValue")->MonitoringOption()), std::make_tuple(0, false));
  Nv(run, "nviPrimeValue")->SetValue("10.0 1");
  EXPECT_EQ(prime->BufferedValue(), "10.0 1");  // read anew after deactivation
  points.RemoveMonitorPointByName("Prime");
  EXPECT_THAT([&] { points.RemoveMonitorPointByName("Prime"); }, ThrowsError(5));
}

TEST(MonitoringTest, CommunicationFailureOnAnUnreachableDevice) {
  testing_support::PlugInRun run;
  monitoring::cMonitorPoints points(run.context);
  std::vector<std::string> failed;
  points.CommunicationFailed.Connect([&](monitoring::cMonitorPoint& point) { failed.push_back(point.Name()); });
  auto prime = points.AddMonitorPoint("Prime", Nv(run, "nviPrimeValue"));
  EXPECT_EQ(prime->Value(), "0.0 0");
  run.demo.Server()->Database("Demo")->SetDeviceReachable(platform::lns_embedded::RowIdOf(*run.demo.Device()), false);
  prime->SetValue("100.0 1");
  EXPECT_EQ(prime->BufferedValue(), "0.0 0");  // unchanged by the failed write
  EXPECT_FALSE(prime->SetElementValue("state", "1"));
  EXPECT_FALSE(prime->SetElementValue("nothing", "1"));  // no such element: no event
  EXPECT_EQ(failed, (std::vector<std::string>{"Prime", "Prime"}));
}

TEST(MonitoringTest, FetchNvsAddsTheWatchedPointsOnce) {
  testing_support::PlugInRun run;
  testing_support::RecordingLog log;
  monitoring::cMonitoring monitoring(run.context);
  monitoring.FetchNVs();
  monitoring.FetchNVs();
  auto& points = monitoring.MonitorPoints();
  ASSERT_EQ(points.Count(), 5);
  const char* names[] = {"nviPrimeValue", "nviSecValue", "nvoValue", "OutputValue", "InputValue"};
  for (int16_t i = 1; i <= 5; ++i) {
    EXPECT_EQ(points.GetMonitorPoint(i)->Name(), names[i - 1]);
    EXPECT_TRUE(points.GetMonitorPoint(i)->Available());
  }
  EXPECT_TRUE(log.Contains("[M_PlugInSpecific] Public Sub FetchNVs()"));
  monitoring.SetMonitoring(true);
  EXPECT_EQ(Nv(run, "nviPrimeValue")->MonitorTag(), 0);  // switching is the window's business
}

TEST(MonitoringTest, InputValueNeedsMoreThanOneNvOnTheObject) {
  testing_support::PlugInRun run;
  testing_support::RecordingLog log;  // "Lux Sensor" of "Sensor 2" holds a single NV
  run.context.lonMarkObject =
      run.demo.System()->Subsystems()->Item(1)->AppDevices()->ItemByName("Sensor 2")->Interface()->LonMarkObjects()->Item(1);
  monitoring::cMonitoring monitoring(run.context);
  monitoring.FetchNVs();
  auto input = monitoring.MonitorPoints().GetMonitorPointByName("InputValue");
  EXPECT_FALSE(input->Available());
  EXPECT_EQ(monitoring.MonitorPoints().Count(), 5);
  EXPECT_EQ(log.errors.size(), 3u);  // NVs 2, 3 and 4 of a one-NV object
}

TEST(MonitoringTest, NvTypeMaintenanceFollowsThePlugInIniFile) {
  testing_support::PlugInRun run;
  testing_support::RecordingLog log;
  monitoring::cMonitorPoints points(run.context);
  auto secValue = Nv(run, "nviSecValue");
  run.typeChanger.ChangeType(secValue, 117, "0000000000000000", 0);  // now SNVT_setting; the INI file wants 95
  points.AddMonitorPoint("nviSecValue", Nv(run, "nviSecValue"));
  points.AddMonitorPoint("Unlisted", Nv(run, "nvoValue"));
  points.CheckNvTypeCpConsistencyLmo();
  ASSERT_EQ(log.redLines.size(), 2u);
  EXPECT_EQ(log.redLines[0], "The nv type of \"nviSecValue\" does not match the expected type.\r\n  current nv type: 117\r\n"
                             "  expected nv type: 95");
  EXPECT_EQ(log.redLines[1], "Nv not found in Ini file");
  EXPECT_TRUE(points.WriteNvsTypeLmo2(run.demo.Object()));
  EXPECT_EQ(Nv(run, "nviSecValue")->NvType(), 95);
  EXPECT_EQ(Nv(run, "InputValue")->NvType(), 79);  // a static NV that has the wanted type already
}

// Each type writer goes on after a refusal; only the two "nothing to change" refusals count as success.
TEST(MonitoringTest, TypeWritersGoOnOverEveryNvAndTolerateOnlyTwoRefusals) {
  testing_support::PlugInRun run;
  testing_support::RecordingLog log;
  RefusingTypeChanger changer;
  run.context.nvTypeChanger = &changer;
  monitoring::cMonitorPoints points(run.context);
  points.AddMonitorPoint("nviPrimeValue", Nv(run, "nviPrimeValue"));
  points.AddMonitorPoint("nviSecValue", Nv(run, "nviSecValue"));
  const std::pair<const char*, std::function<bool()>> writers[] = {
      {"WriteNvsTypeLmo2", [&] { return points.WriteNvsTypeLmo2(run.demo.Object()); }},
      {"WriteNvsTypeLmo", [&] { return points.WriteNvsTypeLmo(); }}, {"WriteNvsTypeDev", [&] { return points.WriteNvsTypeDev(run.demo.Device()); }}};
  const std::pair<int32_t, bool> refusals[] = {
      {lns::err::kNvTypeUnchanged, true}, {lns::err::kNvTypeNotChangeable, true}, {lns::err::kDeviceNotAccessible, false}};
  for (const auto& [name, write] : writers) {
    for (const auto& [number, ok] : refusals) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(number));
      SetNvType(run, "nviPrimeValue", 117);
      SetNvType(run, "nviSecValue", 117);
      changer.refusals = {{"nviPrimeValue", number}};
      changer.asked.clear();
      log.redLines.clear();
      EXPECT_EQ(write(), ok);
      EXPECT_EQ(changer.asked, (std::vector<std::string>{"nviPrimeValue", "nviSecValue"}));
      EXPECT_EQ(Nv(run, "nviSecValue")->NvType(), 95);
      EXPECT_EQ(log.redLines, ok ? std::vector<std::string>{}
                                 : std::vector<std::string>{"An error occured while changing the type of network "
                                                            "variable \"nviPrimeValue\". refused"});
    }
  }
}

}  // namespace
