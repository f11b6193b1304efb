#include "params/params.h"

#include <gtest/gtest.h>

#include "params/param_enums.h"
#include "platform/ini/profile_ini_file.h"
#include "support/demo_network.h"
#include "support/fake_cp.h"
#include "support/matchers.h"
#include "support/temp_dir.h"

using testing_support::NamedCp;
using testing_support::ThrowsError;
using testing_support::ThrowsErrorFrom;

namespace {

TEST(ParamsTest, LookupsAndCollectionErrors) {
  params::cParams set;
  set.Add1ByteParameter("Alpha", NamedCp("A"), "A");
  EXPECT_THAT([&] { set.Add1ByteParameter("ALPHA", NamedCp("A"), "A"); }, ThrowsError(457));
  EXPECT_EQ(set.AllParameters().Count(), 1);  // the duplicate is in neither collection
  set.Add2ByteParameter("alpha", NamedCp("A"), "A");  // the same name in another kind is fine
  EXPECT_THAT([&] { set.Parameter1ByteByName("Beta"); }, ThrowsError(5));
  EXPECT_THAT([&] { set.Parameter2Byte(2); }, ThrowsError(9));
  EXPECT_THAT([&] { set.ConfigPropByName("x"); }, ThrowsError(5));

  for (const char* name : {"Fpt_A", "fpt_B", "Other"}) set.AddConfigProp(name, NamedCp(name), name);
  EXPECT_THAT([&] { set.AddConfigProp("OTHER", NamedCp("B"), "B"); }, ThrowsError(457));
  EXPECT_EQ(set.ConfigPropsByNamePrefix("").Count(), 3);
  const auto fpt = set.ConfigPropsByNamePrefix("FPT_");
  ASSERT_EQ(fpt.Count(), 2);
  EXPECT_EQ(fpt.Item(2)->Name(), "fpt_B");
  std::shared_ptr<params::cConfigProp> found;
  EXPECT_TRUE(set.ConfigPropExists("other", &found));
  EXPECT_EQ(found->Name(), "Other");
  found.reset();
  EXPECT_FALSE(set.ConfigPropExists("none", &found));
  EXPECT_EQ(found, nullptr);
  auto unnamed = std::make_shared<params::cConfigProp>();
  EXPECT_FALSE(set.AddConfigPropEx(unnamed));  // a buffer without a name
  auto added = set.AddConfigProp("Extra", nullptr, "");
  EXPECT_FALSE(set.AddConfigPropEx(added));  // its name is taken
  EXPECT_EQ(set.ConfigPropsCount(), 4);
  EXPECT_EQ(set.ConfigProps(4), added);
}

TEST(ParamsTest, ParameterAllByNameSearchesTheKindsInOrder) {
  params::cParams set;
  auto two = set.Add2ByteParameter("Shared", NamedCp("C"), "C");
  auto one = set.Add1ByteParameter("Shared", NamedCp("C"), "C");
  set.AddAsciiParameter("TextOnly", NamedCp("C"), "C");
  EXPECT_EQ(set.ParameterAllByName("shared"), one);
  EXPECT_EQ(set.ParameterAllByName("shared", params::cParamEnums::PA_CLASSID_2BYTE_PARAMETER), two);
  EXPECT_EQ(set.ParameterAllByName("shared", params::cParamEnums::PA_CLASSID_TEXTBOX_PARAMETER), nullptr);
  params::ParameterPtr found;
  EXPECT_FALSE(set.ParameterAllExists("TextOnly", &found));  // ASCII parameters are not searched
  EXPECT_EQ(found, nullptr);
  EXPECT_TRUE(set.ParameterAllExists("SHARED", &found));
  EXPECT_EQ(found, one);
}

TEST(ParamsTest, ReadFromLnsRunsThreePasses) {
  params::cParams set;
  auto cp = NamedCp("C", {5, 6});
  auto read = set.Add1ByteParameter("Read", cp, "C");
  auto dontRead = set.Add1ByteParameter("DontRead", cp, "C");
  dontRead->SetDontReadFromLns(true);
  auto noCp = set.Add1ByteParameter("NoCp", nullptr, "C");
  for (auto& p : {read, dontRead, noCp}) p->SetValue(99);
  auto bufferCp = NamedCp("B", {7, 8});
  auto onBuffer = set.Add1ByteParameterExtCp("OnBuffer", set.AddConfigProp("Buf", bufferCp, "B"));
  onBuffer->ConsiderPartOfCpOnly(2);
  auto onLost = set.Add1ByteParameterExtCp("OnLost", set.AddConfigProp("Lost", nullptr, "L"));
  onLost->SetValue(99);

  set.ReadFromLns();  // OnLost: its buffer has no LNS CP
  EXPECT_EQ(std::tuple(read->Value(), dontRead->Value(), noCp->Value(), onBuffer->Value(), onLost->Value()),
            std::tuple(5, 99, 99, 8, 99));
  // The buffer is read in pass 2 and once more at its first byte get in pass 3.
  EXPECT_EQ(bufferCp->rawReads, 2);
}

TEST(ParamsTest, FetchesThroughThePlugInIniFile) {
  testing_support::DemoNetwork demo;
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "PortaB.ini",
                             "[CPs ]\nOwn=2\nOnObject=3,1\nOnNv=1,0,3\nOnObjectNv=1,1,3\nNoObject=1,9\nNoNv=1,0,9\n"
                             "NoCp=7\nZero=0\nObjCp=2\nNvCp=1,3\n");
  platform::ini::ProfileIniFile ini((dir / "PortaB.ini").string());
  std::shared_ptr<lns::DeviceTemplate> deviceTemplate;
  params::cParams set;
  std::shared_ptr<lns::ConfigProperty> cp;
  bool ok = false;
  const std::pair<const char*, const char*> found[] = {
      {"Own", "DeviceOptions"}, {"OnObject", "Label"}, {"OnNv", "MaxSendTime"}, {"OnObjectNv", "MaxSendTime"}};
  for (const auto& [key, name] : found) {
    set.FetchDevCp(key, "CPs ", ini, deviceTemplate, demo.Device(), cp, &ok);
    EXPECT_TRUE(ok) << key;
    EXPECT_EQ(cp->Name(), name) << key;
  }
  const std::pair<const char*, const char*> failing[] = {
      {"NoObject", "INI-File Error (CP, Object-Fetch): NoObject / Object-Index=9"},
      {"NoNv", "INI-File Error (CP, NV-Fetch): NoNv / NV-Index=9"},
      {"NoCp", "INI-File Error (CP, CP-Fetch): NoCp / CP-Index=7"},
      {"Zero", "INI - File Error : Zero"},
  };
  for (const auto& row : failing) {
    cp.reset();
    set.FetchDevCp(row.first, "CPs ", ini, deviceTemplate, demo.Device(), cp, &ok);
    EXPECT_EQ(std::tuple(ok, cp), std::tuple(false, nullptr)) << row.first;
    EXPECT_THAT([&] { set.FetchDevCp(row.first, "CPs ", ini, deviceTemplate, demo.Device(), cp); },
                ThrowsErrorFrom(10000, "veltaPortaB", row.second));
  }
  set.FetchLmoCp("ObjCp", "CPs ", ini, deviceTemplate, demo.Object(), cp, &ok);
  EXPECT_EQ(cp->Name(), "HoldTime");
  set.FetchLmoCp("NvCp", "CPs ", ini, deviceTemplate, demo.Object(), cp, &ok);
  EXPECT_EQ(cp->Name(), "MaxSendTime");  // CP 1 of the object's NV 3
  set.FetchLmoCp("Zero", "CPs ", ini, deviceTemplate, demo.Object(), cp, &ok);
  EXPECT_FALSE(ok);
  EXPECT_THAT([&] { set.FetchLmoCp("Zero", "CPs ", ini, deviceTemplate, demo.Object(), cp); }, ThrowsError(10000));
}

}  // namespace
