// The knowledge-base checker: each row plants lines atop a section of a copy; exactly its findings follow.

#include "knowledge/kb_checker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "base/text.h"
#include "platform/ini/profile_ini_file.h"
#include "support/kb_copy.h"

namespace {

namespace fs = std::filesystem;
using knowledge::KbFinding;
using testing::HasSubstr;
using testing_support::KbCopy;
using testing_support::SplitLines;
using Edit = testing_support::KbEdit;

// A finding at the first line of the section holding `marker` (the header when it is empty).
struct Expected {
  std::string file, section, marker, message;
};

std::vector<KbFinding> Check(const KbCopy& copy, std::optional<uint8_t> version = std::nullopt) {
  return knowledge::CheckKnowledgeBase(copy.Folder().string(), version,
                                       [] { return std::make_unique<platform::ini::ProfileIniFile>(); })
      .findings;
}

// What the rows build on, with valid values of each kind, which raise nothing.
const std::vector<Edit> kSupport{
    {"Enums", "Enum_KBT",
     "MT_KBT_A=201\nMT_KBT_B=202\nMT_KBT_C=203\nMODP_KBT=204\nDCHP_KBT=205 ; comment\nKBT_TEXTBOX=0\nKBT_COMBOBOX=1\n"
     "KBT_FUNCTION=2\nKBT_SEPARATOR=3\nKBT_PICTURE=5\nKBT_CHECK=6\nKBT_KIND9=9"},
    {"Resources", "String Resources", "KBT_TEXT=Text~Text"},
    {"PortaB.ini", "velta Porta CPs 1.0", "KBT_Cp=1"},
    {"Modules", "MT_KBT_A",
     "ModuleName=KBT_TEXT\nParType=MODP_KBT\nChannelTypes=KBT_CT/KBT_CT,KBT_CT\nChannelCount=2,1\nRev=3\n"
     "ChannelNameBase=KBT_TEXT,KBT_TEXT\nDriverNo=DRV_BASE"},
    {"Modules", "MODP_KBT", "Par=1,1\nOther=2,1"},
    {"Modules", "MT_KBT_AExceptions#", "Reference=MT_KBT_B"},
    {"Modules", "MT_KBT_BExceptions#", "MODP_KBT.Par~ControlTitle=KBT_TEXT\nMODP_KBT.Other=const,1"},
    {"Channels", "Channel Types", "KBT_CT=KBT_TEXT,3,"},
    {"Channels", "DCHP_KBT", "Par=1,1\nOther=2,1\nText=3,1\nCombo=4,1\nCheck=5,1"},
    {"Channels", "ChannelPar-to-ObjectCp-Dependencies", "DCHP_KBT.Par~x=KBT_Cp~1,2,255"},
    {"Channels", "MT_KBT_AExceptions#",
     "KBT_CT~TypeName=KBT_TEXT\nDCHP_KBT.Par=5\nDCHP_KBT.Other=DONTSHOW\nDCHP_KBT.Text~RangeMin=-4"},
    {"Controls", "DCHP_KBT.Text",
     "ControlType=KBT_TEXTBOX\nControlPos=1\nControlTitle=KBT_TEXT\nRangeMin=-5\nRangeMax=5\nFactor=10\n"
     "Resolution=0.5\nUnit=KBT_TEXT"},
    {"Controls", "DCHP_KBT.Combo", "ControlType=kbt_combobox\nControlPos=2\nListItems=KBT_TEXT~1,KBT_TEXT~2,"},
    {"Controls", "DCHP_KBT.Check", "ControlType=KBT_CHECK\nControlPos=2\nListItems=KBT_TEXT~0,KBT_TEXT~1"},
    {"Controls", "MODP_KBT.Par", "ControlType=KBT_SEPARATOR\nControlPos=1"},
    {"Controls", "MODP_KBT#VIEW", "Order=Par"},
    {"Controls", "KBT_CT#VIEW",
     "Order=Text,Combo\nException#Combo~ListItems=KBT_TEXT~3\nException#Text=CONST\nException#Text~RangeMax=4\n"
     "Exception#Check=DONTSHOW"},
    {"Objects", "Default Settings", "CP_KBT=0,255"},
    {"Objects", "KBT_CT#1", "CP_KBT=1"},
    {"CommandTable", "Entries", "Entry_255=1,KBT_TEXT,0,1,2,3,255"},
    {"CommandTable", "Timeout Values", "Value_255=1,2"},
};

struct Row {
  const char* name;
  std::vector<Edit> edits;
  std::vector<Expected> expected;  // in the order printed: by file, then line
};

// One edit of a section and the one finding it raises there.
Row One(const char* name, const std::string& file, const std::string& section, const std::string& lines,
        const std::string& marker, const std::string& message) {
  return {name, {{file, section, lines}}, {{file, section, marker, message}}};
}

const std::vector<Row> kRows{
    // Resource keys without text.
    {"language variants",
     {{"Resources", "String Resources",
       "KBT_R1=Start delay\nKBT_R2=Hold time~\nKBT_R3=~Haltezeit\nKBT_R4=a~b~c\nKBT_R5= ~ "}},
     {{"Resources", "String Resources", "KBT_R1", "\"KBT_R1\" has no German text"},
      {"Resources", "String Resources", "KBT_R2", "\"KBT_R2\" has no German text"},
      {"Resources", "String Resources", "KBT_R3", "\"KBT_R3\" has no English text"},
      {"Resources", "String Resources", "KBT_R4", "has 3 \"~\"-variants"},
      {"Resources", "String Resources", "KBT_R5", "neither an English nor a German text"}}},
    One("overridden list item", "Controls", "KBT_CT#VIEW", "Exception#Combo~ListItems=KBT_TEXT~1,KBT_NONE~2",
        "Exception#", "item 2 names resource \"KBT_NONE\""),
    One("type name override", "Channels", "MT_KBT_AExceptions#", "KBT_CT~TypeName=KBT_NONE",
        "TypeName", "\"KBT_NONE\""),
    One("value list entry", "Objects", "250", "TimeoutValues~SNVT_95=KBT_TEXT/1,KBT_NONE/2",
        "Timeout", "entry 2 names resource \"KBT_NONE\""),
    One("command name", "CommandTable", "Entries", "Entry_254=1,KBT_NONE,1,2,3,4,5",
        "Entry_254", "field 2 names resource \"KBT_NONE\""),
    // Enumeration strings.
    One("parameter type", "Modules", "MT_KBT_A", "ParType=MODP_KBT_MISSING",
        "ParType=", "ParType names \"MODP_KBT_MISSING\", which is not in the Enums file"),
    One("control section prefix", "Controls", "DCHP_KBT_MISSING.X", "ControlType=KBT_SEPARATOR\nControlPos=1",
        "", "names \"DCHP_KBT_MISSING\""),
    One("compatible module", "Modules", "Module Compatibility for copying Module Config",
        "CompatibleModules_1=MT_KBT_A,MT_KBT_MISSING", "Compatible", "\"MT_KBT_MISSING\""),
    One("exception module", "Channels", "MT_KBT_MISSINGExceptions#", "KBT_CT~TypeName=KBT_TEXT",
        "", "names \"MT_KBT_MISSING\""),
    // Channel types, FPT indexes and drivers.
    One("unknown FPT", "Channels", "Channel Types", "KBT_CT2=KBT_TEXT,99999", "KBT_CT2", "FPT index \"99999\""),
    One("no FPT", "Channels", "Channel Types", "KBT_CT2=KBT_TEXT,,x", "KBT_CT2", "field 2 (the FPT indexes) is empty"),
    One("module channel type, named twice: one finding", "Modules", "MT_KBT_A",
        "ChannelTypes=KBT_CT/KBT_NONE/KBT_NONE,KBT_CT", "ChannelTypes", "channel type \"KBT_NONE\""),
    One("channel counts", "Modules", "MT_KBT_A", "ChannelCount=2",
        "ChannelCount", "ChannelCount has 1 field and ChannelTypes 2"),
    One("driver", "Modules", "MT_KBT_A", "DriverNo=DRV_NONE", "DriverNo", "\"DRV_NONE\", which is not a key of [MTDs]"),
    One("object section", "Objects", "KBT_NONE#1", "CP_KBT=1", "", "channel type \"KBT_NONE\""),
    One("object order", "Objects", "Omnal Object", "FptOrder=3,4,5,6,7",
        "FptOrder", "FptOrder lists \"7\", which has no name FPT_7"),
    One("group order", "GroupObjects", "Group Object", "FptOrder=3,6,3", "FptOrder", "FptOrder lists \"3\" twice"),
    // Byte lists.
    One("command byte", "CommandTable", "Entries", "Entry_253=1,KBT_TEXT,1,2,300,4,5",
        "Entry_253", "field 5 \"300\" is outside 0..255"),
    One("fractional command byte", "CommandTable", "Entries", "Entry_253=1,KBT_TEXT,1,2,3,4,2.5",
        "Entry_253", "field 7 \"2.5\" is not a whole number"),
    One("short command", "CommandTable", "Entries", "Entry_253=1,KBT_TEXT,1,2,3",
        "Entry_253", "has 3 of the five value bytes"),
    One("timeout value", "CommandTable", "Timeout Values", "Value_254=1,x",
        "Value_254", "field 2 \"x\" is not a number"),
    One("negative default", "Objects", "Default Settings", "CP_KBT2=1,-1",
        "CP_KBT2", "field 2 \"-1\" is outside 0..255"),
    One("cut default", "Objects", "Default Settings", "CP_KBT2=1,,2", "CP_KBT2", "field 2 is empty"),
    One("unplaced CP", "Channels", "ChannelPar-to-ObjectCp-Dependencies", "DCHP_KBT.Par~1=KBT_NoCp~1",
        "KBT_NoCp", "object CP \"KBT_NoCp\""),
    // Parameters named where their type does not list them, or not described.
    One("dependency parameter", "Channels", "ChannelPar-to-ObjectCp-Dependencies", "DCHP_KBT.Gone~x=KBT_Cp~1",
        "Gone", "\"Gone\", which [DCHP_KBT] of this file does not list"),
    One("module exception parameter", "Modules", "MT_KBT_BExceptions#", "MODP_KBT.Gone=CONST",
        "Gone", "\"Gone\", which [MODP_KBT] of this file does not list"),
    One("module order", "Controls", "MODP_KBT#VIEW", "Order=Par,Other",
        "Order", "\"Other\", which has no control description [MODP_KBT.Other]"),
    One("channel order", "Controls", "KBT_CT#VIEW", "Order=Text,Combo,Nowhere",
        "Order", "\"Nowhere\", which no channel parameter type of"),
    One("channel order description", "Controls", "KBT_CT#VIEW", "Order=Text,Combo,Other",
        "Order", "\"Other\", which has no control description [DCHP_KBT.Other]"),
    One("view exception", "Controls", "KBT_CT#VIEW", "Exception#Gone~ControlTitle=KBT_TEXT",
        "Gone", "names parameter \"Gone\", which is neither in Order nor described"),
    One("misspelt ControlType", "Controls", "DCHP_KBT.Other", "ControlTyp=KBT_SEPARATOR\nControlPos=1",
        "", "has no ControlType"),
    // Control descriptions.
    One("control kind", "Controls", "DCHP_KBT.Text", "ControlType=KBT_KIND9",
        "ControlType", "is 9, not a control kind"),
    One("no position", "Controls", "DCHP_KBT.NoPos", "ControlType=KBT_COMBOBOX\nListItems=KBT_TEXT~1",
        "", "has no ControlPos"),
    One("range order", "Controls", "DCHP_KBT.Text", "RangeMin=10", "RangeMin", "RangeMin (10) is above RangeMax (5)"),
    One("factor", "Controls", "DCHP_KBT.Text", "Factor=0.4", "Factor", "rounds to 0"),
    One("resolution", "Controls", "DCHP_KBT.Text", "Resolution=0", "Resolution", "not above 0"),
    One("range text", "Controls", "DCHP_KBT.Text", "RangeMax=ten", "RangeMax", "\"ten\" is not a number"),
    One("missing range", "Controls", "DCHP_KBT.NoMax",
        "ControlType=KBT_TEXTBOX\nControlPos=1\nRangeMin=0\nFactor=1\nResolution=1", "", "has no RangeMax"),
    {"channel type overrides",
     {{"Controls", "KBT_CT#VIEW", "Exception#Text~RangeMin=4.5\nException#Text~Factor=none"}},
     {{"Controls", "KBT_CT#VIEW", "~RangeMin", "Exception#Text~RangeMin (4.5) is above Exception#Text~RangeMax (4)"},
      {"Controls", "KBT_CT#VIEW", "~Factor", "Exception#Text~Factor \"none\" is not a number"}}},
    One("module override", "Channels", "MT_KBT_AExceptions#", "DCHP_KBT.Text~Resolution=-1",
        "Resolution", "DCHP_KBT.Text~Resolution is not above 0"),
    One("empty item", "Controls", "DCHP_KBT.Combo", "ListItems=KBT_TEXT~1,,KBT_TEXT~3", "ListItems", "item 2 is empty"),
    One("item without value", "Controls", "DCHP_KBT.Combo", "ListItems=KBT_TEXT~1,KBT_TEXT 2",
        "ListItems", "item 2 \"KBT_TEXT 2\" has no \"~<value>\""),
    One("check box value", "Controls", "DCHP_KBT.Check", "ListItems=KBT_TEXT~0,KBT_TEXT~",
        "ListItems", "item 2 \"KBT_TEXT~\" has no value after \"~\""),
    One("check box items", "Controls", "DCHP_KBT.Check", "ListItems=KBT_TEXT~0",
        "ListItems", "has 1 ListItems: it needs two"),
    One("picture", "Controls", "DCHP_KBT.Pic", "ControlType=KBT_PICTURE\nControlPos=1\nPath=kbt_missing.bmp",
        "Path", "does not exist next to the Controls file"),
    One("function", "Controls", "DCHP_KBT.Func", "ControlType=KBT_FUNCTION\nControlPos=1\nValue=KBT_NONE,1/2",
        "Value", "Value field 1 names \"KBT_NONE\""),
    // Parameter exceptions that are no mark (nor, for a channel parameter's default, a number).
    One("module mark", "Modules", "MT_KBT_BExceptions#", "MODP_KBT.Other=DONTSHWO",
        "Other", "is \"DONTSHWO\", which is neither DONTSHOW nor CONST:"),
    One("channel default", "Channels", "MT_KBT_AExceptions#", "DCHP_KBT.Par=five",
        "Par=", "neither DONTSHOW nor CONST nor a number"),
    // References.
    One("own reference", "Modules", "MT_KBT_AExceptions#", "Reference=MT_KBT_A", "Reference", "its own module"),
    One("dangling reference", "Channels", "MT_KBT_BExceptions#", "Reference=MT_KBT_D",
        "Reference", "no section [MT_KBT_DExceptions#]"),
    {"loop",
     {{"Modules", "MT_KBT_BExceptions#", "Reference=MT_KBT_A"}},
     {{"Modules", "MT_KBT_AExceptions#", "Reference", "form a loop"},
      {"Modules", "MT_KBT_BExceptions#", "Reference", "form a loop"}}},
    {"chain",
     {{"Modules", "MT_KBT_BExceptions#", "Reference=MT_KBT_C"},
      {"Modules", "MT_KBT_CExceptions#", "MODP_KBT.Par~ControlTitle=KBT_TEXT"}},
     {{"Modules", "MT_KBT_AExceptions#", "Reference", "own Reference (to \"MT_KBT_C\") is not followed"}}},
    // What the parse of a file found odd, and the order of findings across files.
    {"parse notes",
     {{"Modules", "MT_KBT_A", "KBT junk line\nRev=3\nRev=4"}},
     {{"Modules", "MT_KBT_A", "KBT junk", "no \"=\" in this line"},
      {"Modules", "MT_KBT_A", "Rev=4", "key \"Rev\" again in [MT_KBT_A]"}}},
    // A module name and an enumeration number, sorted by file.
    {"sorted by file",
     {{"Enums", "Enum_KBT", "KBT_HALF=1.5"}, {"Modules", "MT_KBT_A", "ModuleName=KBT_NONE"}},
     {{"Modules", "MT_KBT_A", "ModuleName=", "names resource \"KBT_NONE\", which is not in [String Resources]"},
      {"Enums", "Enum_KBT", "KBT_HALF", "not a whole number"}}},
};

std::string Listed(const std::vector<KbFinding>& findings) {
  std::string text;
  for (const auto& finding : findings) text += finding.ToString() + "\n";
  return text;
}

// The shipped knowledge base, and with it the valid values of every kind, raise nothing.
TEST(KbCheckerTest, ShippedKnowledgeBaseAndValidValuesOfEveryKindAreClean) {
  EXPECT_EQ(Listed(Check(KbCopy())), "");
  const KbCopy copy;
  for (const auto& edit : kSupport) copy.Plant(edit);
  EXPECT_EQ(Listed(Check(copy)), "");
}

TEST(KbCheckerTest, EachPlantedFaultIsReportedAtItsLineAndAlone) {
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    const KbCopy copy;
    for (const auto& edit : kSupport) copy.Plant(edit);
    for (const auto& edit : row.edits) copy.Plant(edit);
    const auto found = Check(copy);
    ASSERT_EQ(found.size(), row.expected.size()) << Listed(found);
    for (size_t i = 0; i < found.size(); ++i) {
      const Expected& want = row.expected[i];
      EXPECT_EQ(found[i].file, copy.FileName(want.file));
      EXPECT_EQ(found[i].line, copy.LineOf(want.file, want.section, want.marker)) << found[i].ToString();
      EXPECT_THAT(found[i].message, HasSubstr(want.message));
    }
  }
}

// A fault of a whole file is one finding, whatever would fail because of it.
TEST(KbCheckerTest, FileLevelFaultsAreOneFinding) {
  // file: as Expected::file; line: the start of the line's text, "" for no line.
  struct FileRow { const char* name; std::function<void(const KbCopy&)> plant; std::optional<uint8_t> version;
                   std::string file, line, message; };
  // Rewrites a file (as Edit::file): `from` replaced by `to`, the whole text when `from` is "".
  const auto rewritten = [](std::string file, std::string from, std::string to) {
    return [=](const KbCopy& copy) {
      const fs::path path = copy.Folder() / copy.FileName(file);
      const std::string text = testing_support::ReadFile(path);
      testing_support::WriteFile(path, from.empty() ? to : base::ReplaceAll(text, from, to));
    };
  };
  const auto writeJunk = [](const KbCopy& copy) {
    const fs::path objects = copy.Folder() / copy.FileName("Objects");
    testing_support::WriteFile(objects, testing_support::ReadFile(objects) + "\n[Plug-in]\nKBT_JUNK=a\x01\x02z\n");
  };
  const auto removeConfig = [](const KbCopy& copy) { fs::remove(copy.Folder() / copy.FileName("Config")); };
  const auto plant = [](Edit edit) { return [=](const KbCopy& copy) { copy.Plant(edit); }; };
  const std::vector<FileRow> rows{
      {"no Config file", removeConfig, {}, "Config", "", "the Config file does not exist"},
      {"no version section", [](const KbCopy&) {}, 77, "Config", "", "no section [Version_77]"},
      {"no default version", plant({"Config", "General", "DefaultVersion=0"}), {}, "Config", "DefaultVersion=0",
       "no DefaultVersion 1..255"},
      {"missing file", [](const KbCopy& copy) { copy.Plant({"Config", copy.VersionSection(), "Channels=KBT_missing.ini"}); },
       {}, "Config", "Channels=KBT_missing.ini", "\"KBT_missing.ini\" does not exist"},
      {"binary junk", writeJunk, {}, "Objects", "KBT_JUNK", "holds binary data"},
      {"Config without sections", rewritten("Config", "", "; a comment\n"), {}, "Config", "", "holds no sections"},
      {"text without sections", rewritten("Controls", "", "a\nb\n"), {}, "Controls", "", "holds no sections"},
      {"no enumeration section", rewritten("Enums", "[Enum_", "[List_"), {}, "Enums", "", "no section [Enum_"},
      {"no resource section", rewritten("Resources", "[String ", "[Text "), {}, "Resources", "", "[String Resources]"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const KbCopy copy;
    const std::string file = copy.FileName(row.file);
    row.plant(copy);
    const auto findings = Check(copy, row.version);
    ASSERT_EQ(findings.size(), 1u) << Listed(findings);
    EXPECT_EQ(findings[0].file, file);
    const auto lines = SplitLines(testing_support::ReadFile(copy.Folder() / file));
    const auto at = std::find_if(lines.begin(), lines.end(),
                                 [&](const auto& l) { return !row.line.empty() && l.find(row.line) == 0; });
    EXPECT_EQ(findings[0].line, at == lines.end() ? 0 : static_cast<int>(at - lines.begin() + 1));
    EXPECT_THAT(findings[0].message, HasSubstr(row.message));
  }
}

}  // namespace
