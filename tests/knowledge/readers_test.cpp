// The knowledge-base readers over small purpose-made files.

#include <gtest/gtest.h>

#include "knowledge/mc16.h"
#include "knowledge/profile_plugins.h"
#include "support/fakes.h"
#include "support/matchers.h"
#include "support/plugin_run.h"
#include "ui/res_strings.h"

using testing_support::ThrowsError;

namespace {

std::vector<std::string> Items(const knowledge::Strings& strings) { return {strings.begin(), strings.end()}; }

constexpr const char* kEnums =
    "[Enum_MT]\nMT_DIO=12 ; digital\nMT_AIO=13\nMT_TWIN=12\nMT_BAD=x\nMT_OLD;retired=14\nMT_ROUND=15\n"
    "[Enum_MODP]\nMODP_DIO=1\n[Enum_DCHP]\nDCHP_SWITCH=2\nDCHP_DIM=3\n"
    "[Enum_CT]\nCPCT_TextBox=0\nCPCT_ComboBox=1\nCPCT_Function=2\n[Other]\nmt_aio=99\nFUNC_STEP=7\n";

class ReadersTest : public testing::Test {
 protected:
  // Writes the eight files of version 1 (Enums given above unless `enums` is set) and loads them.
  void Load(std::map<std::string, std::string> files) {
    if (files.count("Enums") == 0) files["Enums"] = kEnums;
    std::string cfg = "[Version_1]\n";
    for (const char* kind : {"Modules", "Channels", "Objects", "GroupObjects", "Controls", "Enums", "Resources",
                             "CommandTable"}) {
      cfg += std::string(kind) + "=T_" + kind + ".ini\n";
      testing_support::WriteFile(run_.ServerFolder() / "Config" / ("T_" + std::string(kind) + ".ini"), files[kind]);
    }
    testing_support::WriteFile(run_.ServerFolder() / "Config" / "T.cfg", cfg);
    mc16_.SetConfigFileName("T.cfg");
    ASSERT_TRUE(mc16_.Init1());
    mc16_.SetVersion(1);
    ASSERT_TRUE(mc16_.Init2());
  }
  void TearDown() override { ui::SetLanguageOffset(ui::kEnglishOffset); }

  testing_support::PlugInRun run_;
  knowledge::cMC16 mc16_{run_.context};
};

TEST_F(ReadersTest, EnumerationsResourcesAndCommandTable) {
  Load({{"Resources",
         "[String Resources]\nYes=Yes~Ja\nEnglishOnly=Only\nPadded=  a b  ~  c d  \nLines=one\xC2\xB6two~eins\xC2\xB6zwei\n"
         "Cut=Hello; world\n=Nameless\n"},
        {"CommandTable", "[Entries]\nEntry_1=1,Yes,1,2.5,3.5,255,0\nEntry_2=0,Missing\nEntry_3=2,Yes,256\n"}});
  // 12: the first of two lines; 14: the comment is cut first, so "MT_OLD" has no value.
  EXPECT_EQ(std::tuple(mc16_.GetEnumStringByValue(12, "MT"), mc16_.GetEnumStringByValue(14, "MT"),
                       mc16_.GetEnumStringByValue(13, "MT"), mc16_.GetEnumStringByValue(1, "MT")),
            std::tuple("MT_DIO", "", "MT_AIO", ""));
  // Case is ignored, the first section in file order wins, any section counts, fields are not trimmed.
  EXPECT_EQ(std::tuple(mc16_.GetValueByEnumString("mt_aio"), mc16_.GetValueByEnumString("FUNC_STEP"),
                       mc16_.GetValueByEnumString(" MT_AIO"), mc16_.GetValueByEnumString("MT_NONE")),
            std::tuple(13, 7, 0, 0));

  struct Row { const char* key; bool languageDependent; int16_t offset; const char* expected; };
  const Row rows[] = {
      {"Yes", false, ui::kGermanOffset, "Yes"}, {"Yes", true, ui::kGermanOffset, "Ja"},  // not language-dependent: first
      {"EnglishOnly", true, ui::kGermanOffset, "EnglishOnly"},  // no German variant: the key
      {"Padded", true, ui::kEnglishOffset, "a b"}, {"Padded", true, ui::kGermanOffset, "c d"},
      {"Lines", true, ui::kGermanOffset, "eins\r\nzwei"}, {"Missing\xC2\xB6Key", true, ui::kEnglishOffset, "Missing\r\nKey"},
      {"", true, ui::kEnglishOffset, ""}, {"", false, ui::kEnglishOffset, ""},  // even with a line "=Nameless"
      {"Cut", false, ui::kEnglishOffset, "Hello"},  // ";" starts the comment in every value
  };
  for (const auto& row : rows) {
    ui::SetLanguageOffset(row.offset);
    EXPECT_EQ(mc16_.GetIniResourceString(row.key, row.languageDependent), row.expected) << row.key;
  }
  ui::SetLanguageOffset(ui::kGermanOffset);
  EXPECT_EQ(std::tuple(mc16_.GetCommandTableEntryName(1), mc16_.GetCommandTableEntryName(2),
                       mc16_.GetCommandTableEntryState(1), mc16_.GetCommandTableEntryState(2),
                       mc16_.GetCommandTableEntryState(9)),
            std::tuple("Ja", "Missing", true, false, false));
  EXPECT_EQ(mc16_.GetCommandTableEntryValue(1), (std::array<uint8_t, 5>{1, 2, 4, 255, 0}));  // ties to even
  EXPECT_EQ(mc16_.GetCommandTableEntryValue(2), (std::array<uint8_t, 5>{0, 0, 0, 0, 0}));
  EXPECT_THAT([&] { mc16_.GetCommandTableEntryValue(3); }, ThrowsError(6));
}

TEST_F(ReadersTest, ModulesChannelsAndExceptions) {
  Load({{"Modules",
         "[Module Type List Order]\nOrder=MT_DIO,MT_AIO,,MT_TWIN\n"
         "[MT_DIO]\nModuleName=DioName\nChannelCount=4,2,0,5\nChannelNameBase=In,Out\nRev=2.5\nDriverNo=D1\n"
         "ParType=MODP_DIO\nChannelTypes=SW/DIM,SW\nPlug-in=velta.DioPlugIn ; the module's own\n"
         "[MT_AIO]\nChannelCount=300\n[MT_ROUND]\nChannelCount=1.5,1.5,0.4,9\n"
         "[MTDs]\nD1=17\n[MODP_DIO]\nDelay=1\nMode=2\n"
         "[Physical Channel Usage]\nDIM~MT_DIO=1,2,2\nSW~MT_DIO=2,3,1\n"
         "[Module Compatibility for copying Module Config]\nCompatibleModules_1=MT_DIO,MT_TWIN\n"
         "[Module Compatibility for copying Channel Config]\nCompatibleModules_1=\nCompatibleModules_2=MT_DIO,MT_AIO\n"
         "[MT_DIOExceptions#]\nMODP_DIO.Delay=dontshow\n"
         "[MT_AIOExceptions#]\nReference=MT_DIO\nMODP_DIO.Mode=CONST\n"},
        {"Channels",
         "[Channel Types]\nSW=SwitchName,5/50,on-off\nDIM=DimName,50,Dimming ; comment\n"
         "[DCHP_SWITCH]\nHold=1\n"
         "[MT_DIOExceptions#]\nReference=MT_TWIN\nSW~TypeName=Own\n"
         "[MT_TWINExceptions#]\nReference=MT_AIO\nSW~TypeName=TwinName\nDCHP_SWITCH.Hold=7.5\nDCHP_SWITCH.Shown=CONST\n"
         "[MT_AIOExceptions#]\nDIM~TypeName=AioName\n"},
        {"Resources", "[String Resources]\nDioName=Digital~Digital DE\nIn=Input~Eingang\nTwinName=Twin\n"}});
  EXPECT_EQ(Items(mc16_.ModuleTypeOrder()), (std::vector<std::string>{"MT_DIO", "MT_AIO"}));
  EXPECT_EQ(std::tuple(mc16_.ModuleNameByModuleType(12), mc16_.ModuleChannelCountTypeSpecByModuleType(12, 2),
                       mc16_.ModuleChannelCountTypeSpecByModuleType(12, 9), mc16_.ModuleChannelTypeCountByModuleType(12)),
            std::tuple("Digital", 2, 0, 2));
  // The total runs up to the first 0, each field rounded (2 + 2 for MT_ROUND); an unknown type reads nothing.
  EXPECT_EQ(std::tuple(mc16_.ModuleChannelCountTotalByModuleType(12), mc16_.ModuleChannelCountTotalByModuleType(15),
                       mc16_.ModuleChannelCountTotalByModuleType(99)),
            std::tuple(6, 4, 0));
  EXPECT_THAT([&] { mc16_.ModuleChannelCountTypeSpecByModuleType(13, 1); }, ThrowsError(6));
  EXPECT_EQ(std::tuple(mc16_.ModuleChannelNameBaseByModuleType(12, 1), mc16_.ModuleRevByModuleType(12),
                       mc16_.ModuleTypeDriverByModuleType(12), mc16_.ModuleTypeDriverByModuleType(13),
                       mc16_.ModulePlugInRegServerByModuleType(12), mc16_.ModuleParTypeByModuleType(12)),
            std::tuple("Input", 2, 17, 0, "velta.DioPlugIn", 1));
  EXPECT_EQ(Items(mc16_.ModuleParsByModuleType(12)), (std::vector<std::string>{"Delay=1", "Mode=2"}));
  EXPECT_EQ(Items(mc16_.SupportedChannelTypesByModuleType(12, 1)), (std::vector<std::string>{"SW", "DIM"}));

  // Channel fit: DIM uses 2 channels in steps of 2 on the 4 channels of type 1; SW is for type 2 only.
  const std::pair<int, bool> dimFits[] = {{1, true}, {2, false}, {3, true}, {4, false}};
  for (const auto& [channel, fits] : dimFits) {
    EXPECT_EQ(mc16_.PhysChannelSupportsChannelType(12, static_cast<uint8_t>(channel), 1, "DIM"), fits) << channel;
  }
  uint8_t step = 0;
  EXPECT_EQ(mc16_.UsedPhysChannelCountByModuleTypeAndChannelType(12, 1, "SW", step), 1);  // other channel type
  EXPECT_EQ(step, 1);
  EXPECT_TRUE(mc16_.PhysChannelSupportsChannelType(12, 4, 1, "NONE"));
  EXPECT_FALSE(mc16_.PhysChannelSupportsChannelType(12, 1, 2, "SW"));  // 3 used, only 2 channels

  // For channel configs an empty first group ends the search.
  EXPECT_EQ(std::tuple(mc16_.AreModulesCompatibleForCopyingModuleConfig(12, 12),
                       mc16_.AreModulesCompatibleForCopyingModuleConfig(12, 13),
                       mc16_.AreModulesCompatibleForCopyingChannelConfig(12, 13)),
            std::tuple(true, false, false));
  // "5" is not "50"; the comment is cut from the condition, which is found ignoring case.
  EXPECT_EQ(std::tuple(mc16_.ChannelTypeNameByChannelType("SW"), mc16_.IsChannelTypeSupportedByFPT("SW", 50),
                       mc16_.IsChannelTypeSupportedByFPT("DIM", 5), mc16_.ConditionByChannelType("DIM"),
                       mc16_.ChannelTypeByCondition("dimming"), mc16_.ChannelTypeByCondition("none")),
            std::tuple("SwitchName", true, false, "Dimming", "DIM", ""));

  std::string name;
  EXPECT_TRUE(mc16_.ChannelTypeNameExceptionByModuleType("SW", 12, name));  // via Reference to MT_TWIN
  EXPECT_EQ(name, "Twin");
  EXPECT_FALSE(mc16_.ChannelTypeNameExceptionByModuleType("DIM", 12, name));  // one step only, not on to MT_AIO
  int32_t value = 0;
  EXPECT_TRUE(mc16_.ChannelParDefaultValueExceptionByModuleType(2, "Hold", 12, value));
  EXPECT_EQ(value, 8);
  EXPECT_FALSE(mc16_.ChannelParDefaultValueExceptionByModuleType(2, "Shown", 12, value));  // a mark, no default
  bool dontShow = false, constValue = false;
  EXPECT_TRUE(mc16_.ParameterControlExceptionByModuleType(0, 1, "Delay", 12, dontShow, constValue));
  EXPECT_EQ(std::tuple(dontShow, constValue), std::tuple(true, false));
  EXPECT_FALSE(mc16_.ParameterControlExceptionByModuleType(0, 1, "Mode", 13, dontShow, constValue));  // redirected
  EXPECT_FALSE(mc16_.ParameterControlExceptionByModuleType(2, 1, "Delay", 12, dontShow, constValue));
}

TEST_F(ReadersTest, ControlDescriptionsAndOverrides) {
  Load({{"Controls",
         "[DCHP_SWITCH.Hold]\nControlType=CPCT_TextBox\nControlTitle=HoldTitle\nControlPos=1,2\nRangeMin=0\n"
         "RangeMax=6553.5\nFactor=10.5\nResolution=0.1\nUnit=Sec\n"
         "[DCHP_SWITCH.NoFactor]\nControlType=CPCT_TextBox\nControlPos=1\nRangeMin=1\nRangeMax=2\n"
         "[DCHP_SWITCH.Mode]\nControlType=CPCT_ComboBox\nControlPos=2\nListItems=On~1,,Off~0\n"
         "[DCHP_SWITCH.Curve]\nControlType=CPCT_Function\nControlPos=3\nRangeMin=-1.5\nRangeMax=1e3\n"
         "Value=FUNC_STEP,a/b/c\nPath=curve.png\nOptionButton1Caption=Sec\nOptionButton2Controls=X,Y\n"
         "[DCHP_SWITCH.Untyped]\nControlTitle=HoldTitle\nControlPos=1\n"
         "[SW#VIEW]\nOrder=Hold,Mode\nException#Hold~ControlTitle=ChannelTitle\nException#Mode=Const\n"
         "[MODP_DIO#VIEW]\nOrder=Delay\n"},
        {"Channels",
         "[MT_DIOExceptions#]\nDCHP_SWITCH.Hold~ControlTitle=ModuleTitle\nDCHP_SWITCH.Hold~RangeMax=100\n"
         "[ChannelPar-to-ObjectCp-Dependencies]\nDCHP_DIM.Level~x=CpDim~1,2\nDCHP_SWITCH.Hold~5=CpHold~0,5\n"
         "DCHP_SWITCH.Hold~x=CpHold~0,0\nDCHP_SWITCH.Mode~1=CpMode~\n"},
        {"Resources", "[String Resources]\nHoldTitle=Hold time\nModuleTitle=Module\nChannelTitle=Channel\n"
                      "Sec=s~Sek.\nOn=On~Ein\n"}});
  int32_t type = -1;
  std::string title, pos;
  // Title overrides: none, the module's, the channel type's, both (the channel type wins), 255 and -1 = no module.
  const std::tuple<int32_t, const char*, const char*> titles[] = {
      {-1, "", "Hold time"}, {12, "", "Module"}, {-1, "SW", "Channel"}, {12, "SW", "Channel"}, {255, "", "Hold time"}};
  for (const auto& [module, channelType, expected] : titles) {
    ASSERT_TRUE(mc16_.ParameterControlSettings(1, 2, "Hold", type, title, pos, module, channelType));
    EXPECT_EQ(title, expected) << module << channelType;
  }
  EXPECT_EQ(type, 0);
  EXPECT_EQ(pos, "1,2");

  float min = 0, max = 0, resolution = 0;
  int32_t factor = 0;
  std::string unit;
  ASSERT_TRUE(mc16_.ParameterTextboxSettings(1, 2, "Hold", min, max, factor, resolution, unit));
  EXPECT_EQ(std::tuple(max, factor, resolution, unit), std::tuple(6553.5f, 10, 0.1f, "s"));  // the factor ties to even
  ASSERT_TRUE(mc16_.ParameterTextboxSettings(1, 2, "Hold", min, max, factor, resolution, unit, 12));
  EXPECT_EQ(max, 100.0f);
  factor = 77;
  EXPECT_FALSE(mc16_.ParameterTextboxSettings(1, 2, "NoFactor", min, max, factor, resolution, unit));
  EXPECT_EQ(std::tuple(max, factor), std::tuple(2.0f, 77));  // read before the missing key; the factor kept

  knowledge::Strings items;
  ui::SetLanguageOffset(ui::kGermanOffset);
  ASSERT_TRUE(mc16_.ParameterComboBoxSettings(1, 2, "Mode", items));
  EXPECT_EQ(Items(items), std::vector<std::string>{"Ein~1"});  // the list ends at the empty item
  double dmin = 0, dmax = 0;
  int32_t function = 0;
  knowledge::Strings values;
  ASSERT_TRUE(mc16_.ParameterFunctionSettings(1, 2, "Curve", dmin, dmax, function, values));
  EXPECT_EQ(std::tuple(dmin, dmax, function, Items(values)),
            std::tuple(-1.5, 1000.0, 7, std::vector<std::string>{"a", "b", "c"}));
  std::string path;
  ASSERT_TRUE(mc16_.ParameterPictureSettings(1, 2, "Curve", path));
  EXPECT_EQ(path, mc16_.KnowledgeFolder() + "curve.png");
  std::string captions[4];
  knowledge::Strings names;
  ASSERT_TRUE(mc16_.ParameterWizardSettings(1, 2, "Curve", captions[0], captions[1], captions[2], captions[3], names));
  EXPECT_EQ(std::tuple(captions[0], captions[1], Items(names)), std::tuple("Sek.", "", std::vector<std::string>{"X", "Y"}));

  // Without "ControlType" a parameter has no settings at all; other config types have none either.
  EXPECT_FALSE(mc16_.ParameterControlSettings(1, 2, "Untyped", type, title, pos));
  EXPECT_FALSE(mc16_.ParameterComboBoxSettings(1, 2, "Untyped", items));
  EXPECT_FALSE(mc16_.ParameterWizardSettings(1, 2, "Untyped", captions[0], captions[1], captions[2], captions[3], names));
  EXPECT_FALSE(mc16_.ParameterControlType(2, 2, "Hold", type));

  EXPECT_EQ(Items(mc16_.ChannelParameterControlOrder("SW")), (std::vector<std::string>{"Hold", "Mode"}));
  EXPECT_EQ(Items(mc16_.ModuleParameterControlOrder(1)), std::vector<std::string>{"Delay"});
  bool dontShow = true, constValue = false;
  EXPECT_TRUE(mc16_.ParameterControlExceptionByChannelType("Mode", "SW", dontShow, constValue));
  EXPECT_EQ(std::tuple(dontShow, constValue), std::tuple(false, true));
  EXPECT_FALSE(mc16_.ParameterControlExceptionByChannelType("Mode", "", dontShow, constValue));

  std::string parName, cpName, raw;
  ASSERT_TRUE(mc16_.ChannelToObjectDependencyDefined(2, parName, cpName));
  EXPECT_EQ(std::tuple(parName, cpName), std::tuple("Hold", "CpHold"));  // the first line of the type, in file order
  for (const auto& [value, key, bytes] : {std::tuple("5", "5", "0,5"), std::tuple("9", "x", "0,0")}) {  // 9: the "x" line
    std::string current = value;
    ASSERT_TRUE(mc16_.ChannelToObjectDependencyInfos(2, "Hold", current, cpName, raw));
    EXPECT_EQ(std::tuple(current, raw), std::tuple(key, bytes));
  }
  EXPECT_FALSE(mc16_.ChannelToObjectDependencyCpValueByChnParValue(2, "Mode", "1", cpName, raw));  // no bytes
}

TEST_F(ReadersTest, ObjectsGroupObjectsAndDefaults) {
  Load({{"Objects",
         "[Omnal Object]\nFptOrder=3,50,5\nFPT_3=Lamp\n"
         "[Plug-in]\n3=velta.Lamp\n"
         "[Default Settings]\nCP_Delay=1,2\nCP_Curve~83=9,9\ncp_Curve~84=8\nNV_Level=5\nNV_Dim~0=-3\n"
         "[SW#50]\nCP_Only50=1\n[SW#5]\nCP_Delay=7,7\nCP_Extra=3\nNV_Level=300\n"
         "[3]\nTimeoutValues~SNVT_95=Short/1,Long/2\nnvoValue_Priorities=1,3\nOutput_Sources=0,2\n"
         "nvoValue_NvTypes=95,83\nnvoValue_NvTypes_2=22\n"
         "[Copying CPs]\nGeneral=A,B\nFPT_3=B,C\n"},
        {"GroupObjects",
         "[Group Object]\nFptOrder=7\nFPT_7=GroupLamp\n[Default Settings]\nCP_Delay=4\n[Group#7]\nCP_Delay=5,6\n"
         "[7]\nTimeoutValues~SNVT_95=Short/3\n"},
        {"CommandTable",
         "[Timeout Values]\nValue_1=10,20\nValue_2=300\n[Priorities]\nPriority_3=High\n[Output Sources]\n"
         "OutputSource_2=Bus\n"},
        {"Resources", "[String Resources]\nLamp=Lamp~Leuchte\nShort=Short~Kurz\nHigh=High~Hoch\n"}});
  EXPECT_EQ(Items(mc16_.SupportedFPTs()), (std::vector<std::string>{"3", "50", "5"}));
  EXPECT_EQ(mc16_.FPTNameByFPTIndex(3), "Lamp");
  EXPECT_EQ(Items(mc16_.ObjectDefaultCpSettings()), (std::vector<std::string>{"Delay", "Curve"}));
  EXPECT_EQ(Items(mc16_.ObjectDefaultNvSettings()), (std::vector<std::string>{"Level", "Dim"}));
  EXPECT_EQ(Items(mc16_.ObjectDefaultCpSettingsByChannelTypeAndFPTIndex("SW", 5)),
            (std::vector<std::string>{"Delay", "Curve", "Extra"}));
  std::string channelType;
  EXPECT_EQ(Items(mc16_.ObjectDefaultCpSettingsByFirstFoundChannelTypeAndFPTIndex(5, &channelType)),
            (std::vector<std::string>{"Delay", "Curve", "Only50"}));  // "#5" is found in "SW#50" first
  EXPECT_EQ(channelType, "SW");

  // SNVT fall-back: the plain key first, then "~<SNVT id>"; the channel-type section first, then the defaults.
  EXPECT_EQ(std::tuple(mc16_.ObjectDefaultCpSettingValueTabStringByName("Curve", 83),
                       mc16_.ObjectDefaultCpSettingValueTabStringByName("Curve", 95),
                       mc16_.ObjectDefaultCpSettingValueTabStringByChannelTypeAndFPTIndex("Delay", "SW", 5),
                       mc16_.ObjectDefaultCpSettingValueTabStringByChannelTypeAndFPTIndex("Delay", "DIM", 5)),
            std::tuple("9\t9", "", "7\t7", "1\t2"));
  EXPECT_EQ(mc16_.ObjectDefaultCpSettingValueByteArrayByChannelTypeAndFPTIndex("Curve", "SW", 5, 84),
            (knowledge::Bytes{8}));
  EXPECT_EQ(std::tuple(mc16_.ObjectDefaultNvSettingValueByName("Dim"),
                       mc16_.ObjectDefaultNvSettingValueByChannelTypeAndFPTIndex("Level", "SW", 5),
                       mc16_.ObjectDefaultNvSettingValueByChannelTypeAndFPTIndex("Level", "DIM", 5)),
            std::tuple("-3", 300, 5));

  ui::SetLanguageOffset(ui::kGermanOffset);
  EXPECT_EQ(Items(mc16_.GetTimeoutValueEntriesByFPTIndexAndNvTypeObject(3, 95)),
            (std::vector<std::string>{"1:Kurz", "2:Long"}));
  EXPECT_EQ(mc16_.GetTimeoutValueByIndex(1), (knowledge::Bytes{10, 20}));
  EXPECT_THAT([&] { mc16_.GetTimeoutValueByIndex(2); }, ThrowsError(6));
  EXPECT_EQ(Items(mc16_.SupportedPrioritiesByFPTIndexObject(3, "nvoValue")), (std::vector<std::string>{"1", "3"}));
  EXPECT_EQ(std::tuple(mc16_.GetPriorityName(3), mc16_.GetOutputSourceName(2)), std::tuple("Hoch", "Bus"));
  EXPECT_EQ(Items(mc16_.SupportedOutputSourcesByFPTIndexObject(3)), (std::vector<std::string>{"0", "2"}));
  EXPECT_EQ(Items(mc16_.SupportedNvTypesByFPTIndexObject(3, "nvoValue")), (std::vector<std::string>{"95", "83"}));
  EXPECT_EQ(Items(mc16_.SupportedNvTypesByFPTIndexObject(3, "nvoValue", 2)), std::vector<std::string>{"22"});
  EXPECT_TRUE(mc16_.SupportedNvTypesByFPTIndexObject(3, "nvoValue", 1).Count() == 0);  // no fall-back
  EXPECT_EQ(Items(mc16_.GetCopyRelevantCPsByFPTIndexObject(3)), (std::vector<std::string>{"A", "B", "C"}));

  EXPECT_EQ(std::tuple(mc16_.IsFPTSupportedGroup(7), mc16_.IsFPTSupportedGroup(3),
                       mc16_.GroupObjectDefaultCpSettingValueTabStringByFPTIndex("Delay", 7),
                       mc16_.GroupObjectDefaultCpSettingValueTabStringByName("Delay")),
            std::tuple(true, false, "5\t6", "4"));
  EXPECT_EQ(Items(mc16_.GetTimeoutValueEntriesByFPTIndexAndNvTypeGroup(7, 95)), std::vector<std::string>{"3:Kurz"});
  EXPECT_EQ(mc16_.StartPlugIn(9), false);  // no "Plug-in" entry: nothing is created
}

// A function profile that the "Plug-in" section leaves out goes to the plug-in registered for
// it; the section wins where it names one (the registration's checks: PlugInEntryTest).
TEST_F(ReadersTest, PlugInsRegisteredForTheirFunctionProfilesStandInForMissingEntries) {
  Load({{"Objects", "[Plug-in]\n3=Kb.Application\n"}});
  auto factory = testing_support::TestFactory(run_.records, run_.ServerFolder() / "registry.reg")
                     .CreateObjectFactory(run_.registry, nullptr);
  run_.context.objectFactory = factory.get();
  knowledge::RegisterProfilePlugIn(run_.registry, "Reg.Application", {3, 6});
  knowledge::RegisterProfilePlugIn(run_.registry, "reg.application", {6});  // the same plug-in again
  mc16_.StartPlugIn(3);
  mc16_.StartPlugIn(6);
  EXPECT_FALSE(mc16_.StartPlugIn(7));
  EXPECT_EQ(run_.records.createdObjects, (std::vector<std::string>{"Kb.Application", "reg.application"}));
}

}  // namespace
