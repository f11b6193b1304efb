// Runs the built portab program in a program folder of its own with a fresh PORTAB_HOME.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/program_run.h"
#include "support/temp_dir.h"

using testing::HasSubstr;
using testing::Not;

namespace {

using Result = testing_support::ProgramResult;

class PortabProgram {
 public:
  PortabProgram() {
    std::filesystem::create_directories(dir_ / "program");
    std::filesystem::copy_file(PORTAB_EXE, Exe());
    for (const char* file : {"PortaB.ini", "PortaB.xif"}) {
      std::filesystem::copy_file(std::string(PORTAB_DATA_DIR) + "/" + file, dir_ / "program" / file);
    }
  }

  std::filesystem::path Exe() const { return dir_ / "program" / "portab"; }
  std::filesystem::path Home() const { return dir_ / "home"; }
  std::string Log() const { return testing_support::ReadFile(dir_ / "program" / "portab.LOG"); }
  std::string Registry() const { return testing_support::ReadFile(Home() / "registry.reg"); }

  Result Run(const std::vector<std::string>& args) const {
    return testing_support::RunProgram(Exe(), args, {{"PORTAB_HOME", Home().string()}, {"PORTAB_ANSWERS", ""}});
  }
  Result Lns(const std::vector<std::string>& args) const {
    return testing_support::RunProgram(PORTAB_LNS_EXE, args, {{"PORTAB_HOME", Home().string()}});
  }

 private:
  testing_support::TempDir dir_;
};

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
  EXPECT_EQ(log.find("Public Sub Main()"), log.rfind("Public Sub Main()"));
  EXPECT_NE(log.find("Public Sub Main()"), std::string::npos);
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

// An LNS tool drives the plug-in through automation, as the registry store tells it to.
TEST(AutomationE2eTest, ToolRegistersThePlugInThroughTheApplicationObject) {
  PortabProgram portab;
  ASSERT_EQ(portab.Lns({"create", std::string(PORTAB_DATA_DIR) + "/demo/network.json"}).status, 0);
  ASSERT_EQ(portab.Run({"/regserver"}).status, 0);
  const auto out = portab.Lns({"plugin", "veltaPortaB.Application", "--set", "Remote=true", "--set",
                               "NetworkInterfaceName=LON1", "--get", "Remote", "--set",
                               "ProgramIdsToRegister=9F:FF:FF:08:1C:0A:04:01", "--regresult", "--send", "50", "0",
                               "Demo/System.Floor 1/Switch 1/Omnal 1"});
  EXPECT_EQ(out.status, 0) << out.err;
  EXPECT_EQ(out.out, "Remote = True\nSendCommand done\nRegResult = 0\n");
  const auto registrations = portab.Lns({"registrations", "Demo"});
  EXPECT_THAT(registrations.out, HasSubstr("veltaPortaB.Application command 13 class 28 \"configure omnal object\""));
  EXPECT_THAT(registrations.out, HasSubstr("veltaPortaB.Application command 22 class 28"));
  EXPECT_THAT(portab.Log(), HasSubstr("[M_PlugIn] Public Sub RegisterInNetworks()"));

  const auto refused = portab.Lns({"plugin", "veltaPortaB.Application", "--set", "LcaVersion=4"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("error 0x80044E22 (veltaPortaB.Application): "
                                     "Write not supported. This property is read-only."));
  const auto unregistered = portab.Lns({"plugin", "veltaNothing.Application"});
  EXPECT_EQ(unregistered.status, 1);
  EXPECT_THAT(unregistered.err, HasSubstr("error 429"));
}

}  // namespace
