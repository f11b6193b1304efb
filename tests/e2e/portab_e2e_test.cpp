// Runs the built portab program in a program folder of its own with a fresh PORTAB_HOME.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/program_run.h"
#include "support/temp_dir.h"

using testing::HasSubstr;
using testing::Not;

namespace {

using Result = testing_support::ProgramResult;

class PortabProgram {
 public:
  explicit PortabProgram(bool withIniFile = true) {
    std::filesystem::create_directories(dir_ / "program");
    std::filesystem::copy_file(PORTAB_EXE, Exe());
    if (withIniFile) std::filesystem::copy_file(std::string(PORTAB_DATA_DIR) + "/PortaB.ini", dir_ / "program" / "PortaB.ini");
    std::filesystem::copy_file(std::string(PORTAB_DATA_DIR) + "/PortaB.xif", dir_ / "program" / "PortaB.xif");
  }

  std::filesystem::path Exe() const { return dir_ / "program" / "portab"; }
  std::filesystem::path Home() const { return dir_ / "home"; }
  std::string Log() const { return testing_support::ReadFile(dir_ / "program" / "portab.LOG"); }
  std::string Registry() const { return testing_support::ReadFile(Home() / "registry.reg"); }

  Result Run(const std::vector<std::string>& args) const {
    return testing_support::RunProgram(Exe(), args, {{"PORTAB_HOME", Home().string()}, {"PORTAB_ANSWERS", ""}});
  }

 private:
  testing_support::TempDir dir_;
};

TEST(PortabE2eTest, LanguageKeywordWritesTheRegistryStore) {
  PortabProgram portab;
  const auto out = portab.Run({"/REG:1000"});
  EXPECT_EQ(out.status, 0);
  EXPECT_THAT(portab.Registry(), HasSubstr("[HKEY_LOCAL_MACHINE\\SOFTWARE\\velta\\veltaPortaB\\Options]\r\n"
                                           "\"Language\"=\"1000\"\r\n"));
  EXPECT_THAT(portab.Log(), HasSubstr("[M_ResStrings] Public Sub SaveLanguageSetting()"));
  // The next run of the same plug-in keeps the shared setting: English texts.
  const auto next = portab.Run({"/CLASSID:28/COMMANDID:14/OBJECTNAME:x"});
  EXPECT_THAT(next.err, HasSubstr("supported for  ClassId 28 !"));
}

TEST(PortabE2eTest, DamagedRegistryIsReportedAndLeftAsItWas) {
  PortabProgram portab;
  std::filesystem::create_directories(portab.Home());
  const std::string damaged = "Windows Registry Editor Version 5.00\r\n\r\n\"orphan\"=\"1\"\r\n";
  testing_support::WriteFile(portab.Home() / "registry.reg", damaged);
  const auto out = portab.Run({"/REG:1000"});
  EXPECT_THAT(out.err, HasSubstr((portab.Home() / "registry.reg").string() + ", line 3: value outside of a key"));
  EXPECT_EQ(portab.Registry(), damaged);
  EXPECT_EQ(out.status, 1);  // the setting was not saved
  EXPECT_EQ(portab.Run({"/REG:99999"}).status, 1);  // no such language number
}

TEST(PortabE2eTest, WithoutObjectNameTheAboutBoxShowsAndSelfRegistrationRunsOnce) {
  PortabProgram portab;
  const auto out = portab.Run({});
  EXPECT_EQ(out.status, 0);
  EXPECT_THAT(out.err, HasSubstr("--- About: About velta t.essel omnal object plug-in\nvelta Porta (1.0.0)\n"));
  // The started "/regserver" registers the class and never starts Main again.
  EXPECT_THAT(portab.Registry(), HasSubstr("[HKEY_CLASSES_ROOT\\veltaPortaB.Application\\Clsid]"));
  const std::string log = portab.Log();
  size_t mains = 0;
  for (size_t at = log.find("Public Sub Main()"); at != std::string::npos; at = log.find("Public Sub Main()", at + 1)) {
    ++mains;
  }
  EXPECT_EQ(mains, 1u);
}

TEST(PortabE2eTest, RegserverAndUnregserverRoundTrip) {
  PortabProgram portab;
  ASSERT_EQ(portab.Run({"/regserver"}).status, 0);
  const std::string registered = portab.Registry();
  EXPECT_THAT(registered, HasSubstr("[HKEY_CLASSES_ROOT\\veltaPortaB.Application\\Clsid]\r\n"
                                    "@=\"{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}\""));
  EXPECT_THAT(registered, HasSubstr("\\LocalServer32]\r\n@=\"" + portab.Exe().string() + "\""));
  EXPECT_THAT(registered, HasSubstr("\\ProgID]\r\n@=\"veltaPortaB.Application\""));
  ASSERT_EQ(portab.Run({"/UNREGSERVER"}).status, 0);
  EXPECT_THAT(portab.Registry(), Not(HasSubstr("veltaPortaB.Application")));
  EXPECT_THAT(portab.Log(), Not(HasSubstr("Public Sub InitApp()")));  // Main never ran
  // A tool that goes away at once: the server starts the run, sees the end of its input and ends.
  EXPECT_EQ(portab.Run({"-Embedding"}).status, 0);
  EXPECT_THAT(portab.Log(), HasSubstr("[M_LcaPlugIn] Public Sub EndApp()"));
}

}  // namespace

namespace {

// portab-lns against a fresh PORTAB_HOME.
class PortabLnsTool {
 public:
  PortabLnsTool() : home_(dir_.Path()) {}
  explicit PortabLnsTool(std::filesystem::path home) : home_(std::move(home)) {}
  // Runs portab-lns; its standard output is kept for Out().
  Result Run(const std::vector<std::string>& args) {
    Result run = testing_support::RunProgram(PORTAB_LNS_EXE, args, {{"PORTAB_HOME", home_.string()}});
    out_ = run.out;
    return run;
  }
  const std::string& Out() const { return out_; }
  std::filesystem::path Home() const { return home_; }

 private:
  testing_support::TempDir dir_;
  std::filesystem::path home_;
  std::string out_;
};

TEST(PortabLnsE2eTest, BuildsTheDemoNetworkAndWorksOnIt) {
  PortabLnsTool tool;
  const std::string demo = std::string(PORTAB_DATA_DIR) + "/demo/network.json";
  ASSERT_EQ(tool.Run({"create", demo}).status, 0);
  EXPECT_EQ(tool.Run({"tree", "Demo"}).status, 0);
  const std::string tree = tool.Out();
  EXPECT_THAT(tree, HasSubstr("AppDevice 1 \"Switch 1\" (class 7)"));
  EXPECT_THAT(tree, HasSubstr("LonMarkObject 1 \"Omnal 1\" (class 28)"));
  EXPECT_THAT(tree, HasSubstr("CP 1 \"FptIndex\" (class 24) 2x1 bytes: 0 3"));
  for (const char* nv : {"nviPrimeValue", "nviSecValue", "nvoValue", "OutputValue", "InputValue"}) {
    EXPECT_THAT(tree, HasSubstr(std::string("\"") + nv + "\""));
  }
  const std::string object = "Demo/System.Floor 1/Switch 1/Omnal 1";
  EXPECT_EQ(tool.Run({"cp", "set", object, "HoldTime", "2 88"}).status, 0);
  EXPECT_EQ(tool.Run({"cp", "get", object, "#2"}).status, 0);
  EXPECT_EQ(tool.Out(), "2 88\n");
  EXPECT_EQ(tool.Run({"nv", "set", "Demo\\System.Floor 1\\Switch 1", "nviPrimeValue", "100.0 1"}).status, 0);
  EXPECT_EQ(tool.Run({"reachable", "Demo/System.Floor 1/Switch 1", "no"}).status, 0);
  const auto refused = tool.Run({"cp", "set", object, "HoldTime", "1 1"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("The device is not accessible"));
  // The database is an ordinary SQLite file.
  const std::string query = "sqlite3 '" + (tool.Home() / "lns" / "Demo.db").string() +
                            "' 'SELECT hex(value) FROM cp WHERE name = \"HoldTime\" ORDER BY id LIMIT 1' > '" +
                            (tool.Home() / "sql.txt").string() + "'";
  ASSERT_EQ(std::system(query.c_str()), 0);
  EXPECT_EQ(testing_support::ReadFile(tool.Home() / "sql.txt"), "0258\n");
}

TEST(PortabLnsE2eTest, BadInputGivesAClearErrorAndChangesNothing) {
  PortabLnsTool tool;
  const auto usage = tool.Run({"frobnicate"});
  EXPECT_EQ(usage.status, 2);
  EXPECT_THAT(usage.err, HasSubstr("unknown command \"frobnicate\""));
  testing_support::WriteFile(tool.Home() / "bad.json", R"({"network": "Bad", "system": "S", "subsystems": [{"name": 5}]})");
  const auto bad = tool.Run({"create", (tool.Home() / "bad.json").string()});
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.err, HasSubstr("subsystems[0].name: must be a text"));
  EXPECT_FALSE(std::filesystem::exists(tool.Home() / "lns" / "Bad.db"));
  EXPECT_EQ(tool.Run({"tree", "Bad"}).status, 1);
}

}  // namespace

namespace {

// An LNS tool drives the plug-in through automation, as the registry store tells it to.
TEST(AutomationE2eTest, ToolRegistersThePlugInThroughTheApplicationObject) {
  PortabProgram portab;
  PortabLnsTool tool(portab.Home());
  ASSERT_EQ(tool.Run({"create", std::string(PORTAB_DATA_DIR) + "/demo/network.json"}).status, 0);
  ASSERT_EQ(portab.Run({"/regserver"}).status, 0);
  const auto out = tool.Run({"plugin", "veltaPortaB.Application", "--set", "Remote=true", "--set",
                             "NetworkInterfaceName=LON1", "--get", "Remote", "--set",
                             "ProgramIdsToRegister=9F:FF:FF:08:1C:0A:04:01", "--regresult", "--send", "50", "0",
                             "Demo/System.Floor 1/Switch 1/Omnal 1"});
  EXPECT_EQ(out.status, 0) << out.err;
  EXPECT_EQ(tool.Out(), "Remote = True\nSendCommand done\nRegResult = 0\n");
  ASSERT_EQ(tool.Run({"registrations", "Demo"}).status, 0);
  EXPECT_THAT(tool.Out(), HasSubstr("veltaPortaB.Application command 13 class 28 \"configure omnal object\""));
  EXPECT_THAT(tool.Out(), HasSubstr("veltaPortaB.Application command 22 class 28"));
  EXPECT_THAT(portab.Log(), HasSubstr("[M_PlugIn] Public Sub RegisterInNetworks()"));

  const auto refused = tool.Run({"plugin", "veltaPortaB.Application", "--set", "LcaVersion=4"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("error 0x80044E22 (veltaPortaB.Application): "
                                     "Write not supported. This property is read-only."));
}

TEST(AutomationE2eTest, AnUnregisteredClassCannotBeCreated) {
  PortabLnsTool tool;
  const auto out = tool.Run({"plugin", "veltaNothing.Application"});
  EXPECT_EQ(out.status, 1);
  EXPECT_THAT(out.err, HasSubstr("error 429"));
}

}  // namespace
