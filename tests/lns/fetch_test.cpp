#include "lns/fetch.h"

#include <gtest/gtest.h>

#include "platform/ini/profile_ini_file.h"
#include "support/demo_network.h"
#include "support/matchers.h"
#include "support/recording_log.h"

using testing_support::ThrowsError;

namespace {

class FetchTest : public testing::Test {
 protected:
  FetchTest() {
    testing_support::WriteFile(dir_ / "p.ini",
                               "[CPs ]\nOwn=2\nOnObject=3,1\nPast=9\nZero=0\nObjCp=2\nNvCp=1,3\nBadNv=1,9\n"
                               "[NVs ]\nObjNv=3\nDevNv=2\nDevObjNv=1,1\nPastNv=99\n");
    ini_.SetFile((dir_ / "p.ini").string());
  }
  testing_support::DemoNetwork demo_;
  testing_support::TempDir dir_;
  platform::ini::ProfileIniFile ini_;
  std::shared_ptr<lns::DeviceTemplate> template_;
};

TEST_F(FetchTest, EveryPositionForm) {
  using namespace lns::M_PlugIn;
  std::shared_ptr<lns::ConfigProperty> cp;
  bool ok = false;
  FetchDevCp("Own", "CPs ", ini_, template_, demo_.Device(), cp, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(cp->Name(), "DeviceOptions");
  FetchDevCp("OnObject", "CPs ", ini_, template_, demo_.Device(), cp, &ok);
  EXPECT_EQ(cp->Name(), "Label");  // CP 3 of LonMark object 1
  FetchLmoCp("ObjCp", "CPs ", ini_, template_, demo_.Object(), cp, &ok);
  EXPECT_EQ(cp->Name(), "HoldTime");
  FetchLmoCp2("NvCp", "CPs ", ini_, template_, demo_.Object(), cp, &ok);
  EXPECT_EQ(cp->Name(), "MaxSendTime");  // CP 1 of the object's NV 3
  std::shared_ptr<lns::NetworkVariable> nv;
  FetchNv("ObjNv", "NVs ", ini_, template_, demo_.Object(), nv, &ok);
  EXPECT_EQ(nv->Name(), "nvoValue");
  FetchDevNv("DevNv", "NVs ", ini_, template_, demo_.Device(), nv, &ok);
  EXPECT_EQ(nv->Name(), "nviSecValue");
  FetchDevNv("DevObjNv", "NVs ", ini_, template_, demo_.Device(), nv, &ok);
  EXPECT_EQ(nv->Name(), "nviPrimeValue");  // NV 1 of LonMark object 1
}

TEST_F(FetchTest, MissingKeysGiveFalseOrError10000AndLeaveTheResult) {
  using namespace lns::M_PlugIn;
  std::shared_ptr<lns::ConfigProperty> cp;
  bool ok = true;
  FetchDevCp("Zero", "CPs ", ini_, template_, demo_.Device(), cp, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(cp, nullptr);
  try {
    FetchDevCp("Missing", "CPs ", ini_, template_, demo_.Device(), cp);
    ADD_FAILURE();
  } catch (const base::Error& e) {
    EXPECT_EQ(e.Number(), 10000);
    EXPECT_EQ(e.Description(), "INI - File Error : Missing");
  }
  EXPECT_THAT([&] { FetchLmoCp2("Zero", "CPs ", ini_, template_, demo_.Object(), cp); }, ThrowsError(10000));
  EXPECT_THAT([&] { FetchLmoCp("Missing", "CPs ", ini_, template_, demo_.Object(), cp); }, ThrowsError(10000));
  std::shared_ptr<lns::NetworkVariable> nv;
  EXPECT_THAT([&] { FetchNv("Missing", "NVs ", ini_, template_, demo_.Object(), nv); }, ThrowsError(10000));
  FetchDevNv("Missing", "NVs ", ini_, template_, demo_.Device(), nv, &ok);
  EXPECT_FALSE(ok);
}

TEST_F(FetchTest, PositionsPastTheEndGoToTheErrorOperation) {
  using namespace lns::M_PlugIn;
  testing_support::RecordingLog log(2);
  std::shared_ptr<lns::ConfigProperty> cp;
  bool ok = false;
  FetchDevCp("Past", "CPs ", ini_, template_, demo_.Device(), cp, &ok);
  FetchLmoCp2("BadNv", "CPs ", ini_, template_, demo_.Object(), cp, &ok);
  std::shared_ptr<lns::NetworkVariable> nv;
  FetchNv("PastNv", "NVs ", ini_, template_, demo_.Object(), nv, &ok);
  EXPECT_EQ(cp, nullptr);
  EXPECT_EQ(nv, nullptr);
  const std::string range = std::to_string(static_cast<int32_t>(0x80040000u + 4002));
  EXPECT_EQ(log.errors, (std::vector<std::string>{range + "@M_PlugIn.FetchDevCp", range + "@M_LNS_Utilities.FetchLmoCp2",
                                                  range + "@M_PlugIn.FetchNv"}));
  EXPECT_TRUE(log.Contains("[M_PlugIn] Public Sub FetchDevCp()"));
  EXPECT_TRUE(log.Contains("[M_PlugIn] Public Sub FetchCp()"));
  EXPECT_TRUE(log.Contains("[M_PlugIn] Public Sub FetchNv()"));
}

}  // namespace
