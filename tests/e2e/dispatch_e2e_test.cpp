// The main job, run as an LNS tool would run it: portab with a command line, or created
// through automation by portab-lns, on the demo network of a fresh home, handing the
// command on to the registered demo profile plug-in.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/program_run.h"
#include "support/temp_dir.h"

using testing::HasSubstr;
using testing::Not;

namespace {

const std::string kObject = "Demo\\System.Floor 1\\Switch 1\\Omnal 1";

using Result = testing_support::ProgramResult;

class DemoHome {
 public:
  DemoHome() {
    const auto program = dir_ / "program";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(PORTAB_EXE, program / "portab");
    for (const char* file : {"PortaB.ini", "PortaB.xif"}) {
      std::filesystem::copy_file(std::string(PORTAB_DATA_DIR) + "/" + file, program / file);
    }
    std::filesystem::copy(std::string(PORTAB_DATA_DIR) + "/Config", program / "Config",
                          std::filesystem::copy_options::recursive);
    EXPECT_EQ(Lns({"create", std::string(PORTAB_DATA_DIR) + "/demo/network.json"}).status, 0);
    EXPECT_EQ(Portab({"/regserver"}).status, 0);
    EXPECT_EQ(Run(PORTAB_DEMO_PROFILE_EXE, {"/regserver"}).status, 0);
  }

  Result Run(const std::string& program, const std::vector<std::string>& args,
             testing_support::Environment env = {}) const {
    env.insert(env.begin(), {{"PORTAB_HOME", Home().string()}, {"PORTAB_ANSWERS", ""}});
    return testing_support::RunProgram(program, args, env);
  }
  Result Portab(const std::vector<std::string>& args) const { return Run((dir_ / "program" / "portab").string(), args); }
  Result Lns(const std::vector<std::string>& args) const { return Run(PORTAB_LNS_EXE, args); }
  Result Command(int command) const {
    return Portab({"/CLASSID:28/COMMANDID:" + std::to_string(command) + "/OBJECTNAME:" + kObject});
  }

  // Command 13 for the demo object of `device`, with the window script `script`.
  Result Configure(const std::string& device, const std::string& script) const {
    testing_support::WriteFile(dir_ / "window.script", script);
    return Run((dir_ / "program" / "portab").string(),
               {"/CLASSID:28/COMMANDID:13/OBJECTNAME:Demo\\System.Floor 1\\" + device + "\\Omnal 1"},
               {{"PORTAB_WINDOW_SCRIPT", (dir_ / "window.script").string()}});
  }

  std::filesystem::path Home() const { return dir_ / "home"; }
  std::string Report() const { return testing_support::ReadFile(Home() / "demo-profile-report.txt"); }
  bool HasReport() const { return std::filesystem::exists(Home() / "demo-profile-report.txt"); }
  std::string Log() const { return testing_support::ReadFile(dir_ / "program" / "portab.LOG"); }

 private:
  testing_support::TempDir dir_;
};

TEST(DispatchE2eTest, Commands13And22ReachTheProfilePlugInWithThisRunsValues) {
  DemoHome home;
  for (int command : {13, 22}) {
    SCOPED_TRACE(command);
    const Result run = home.Command(command);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, Not(HasSubstr("--- ")));  // no message box
    const std::string report = home.Report();
    EXPECT_THAT(report, HasSubstr("command id " + std::to_string(command) + ", class id 28\n"));
    EXPECT_THAT(report, HasSubstr("object name \"" + kObject + "\"\n"));
    EXPECT_THAT(report, HasSubstr("network name \"Demo\", remote no"));
    EXPECT_THAT(report, HasSubstr("CP 1 \"FptIndex\": 0 3"));
    // The profile plug-in's parameters, read through their controls.
    EXPECT_THAT(report, HasSubstr("text box \"HoldTime\": \"50.0\" s, lock mode 0"));
    EXPECT_THAT(report, HasSubstr("combo box \"StartDelay\": \"1 s\""));
    EXPECT_THAT(report, HasSubstr("check box \"SecondStage\": checked"));
    EXPECT_THAT(report, HasSubstr("option buttons \"MaxSendTime\": \"5 s\""));
  }
  const std::string log = home.Log();
  size_t at = 0;
  for (const char* step : {"[M_LcaPlugIn] Public Sub InitApp()", "[frmMain] Private Sub Form_Load()",
                           "[M_PlugIn] Public Sub ValidateCommand()", "[M_LcaPlugIn] Public Sub OpenLnsAndFindObject()",
                           "[frmMain] Public Sub Display()", "Plug-in started", "[M_PlugIn] Public Sub FetchCPs()",
                           "[cMC16] Public Sub Init2()", "[M_PlugIn] Public Sub ReadSettings()",
                           "[M_PlugInSpecific] Public Sub FetchNVs()", "Reading parameters completed.",
                           "[cMC16] Public Sub StartPlugIn()", "[M_LcaPlugIn] Public Sub EndApp()",
                           "[LnsConnector] Public Sub CloseAll()", "[frmMain] Private Sub Form_Unload(Cancel As Integer)"}) {
    const size_t found = log.find(step, at);
    EXPECT_NE(found, std::string::npos) << step;
    if (found != std::string::npos) at = found;
  }
  EXPECT_THAT(log, Not(HasSubstr(" E ")));  // no red line in either run
}

TEST(DispatchE2eTest, AnUnreachableDeviceStopsCommand22ButNotCommand13) {
  DemoHome home;
  ASSERT_EQ(home.Lns({"reachable", "Demo/System.Floor 1/Switch 1", "no"}).status, 0);
  const Result refused = home.Command(22);
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("--- Exclamation: Switch 1 / Omnal 1\n"
                                     "The selected device is not accessible.\n\nThe plug-in will not be started.\n"));
  EXPECT_FALSE(home.HasReport());
  const Result opened = home.Command(13);
  EXPECT_EQ(opened.status, 0) << opened.err;
  EXPECT_THAT(home.Report(), HasSubstr("command id 13"));
}

TEST(DispatchE2eTest, AFunctionProfileWithoutPlugInGivesTheGermanMessage) {
  DemoHome home;
  ASSERT_EQ(home.Lns({"cp", "set", "Demo/System.Floor 1/Switch 1/Omnal 1", "FptIndex", "0 9"}).status, 0);
  const Result run = home.Command(13);
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("--- Exclamation: Switch 1 / Omnal 1\nDie Konfiguration von \"Omnal 1\" ist ungültig.\n"));
  EXPECT_FALSE(home.HasReport());
}

TEST(DispatchE2eTest, ConnectionFailuresShowTheirMessages) {
  DemoHome home;
  const std::pair<std::string, std::string> cases[] = {
      {"Nowhere\\System.Floor 1\\Switch 1\\Omnal 1",
       "--- Critical: Switch 1 / Omnal 1\nThe project can not be opened !\n\nPlease close some LNS applications"},
      {"Demo\\System.Floor 1\\Switch 9\\Omnal 1",
       "--- Critical: Switch 9 / Omnal 1\nINI file consistency error !\n\nPlease reinstall and re-register the plug-in.\n"},
      {"Demo\\System.Floor 1\\Switch 1\\Omnal 7", "INI file consistency error !"},
  };
  for (const auto& [object, message] : cases) {
    const Result run = home.Portab({"/CLASSID:28/COMMANDID:13/OBJECTNAME:" + object});
    EXPECT_EQ(run.status, 1) << object;
    EXPECT_THAT(run.err, HasSubstr(message)) << object;
  }
  EXPECT_FALSE(home.HasReport());
  // Behind the message box: which network was missing, where it was looked for, what makes it.
  const Result missing = home.Portab({"/CLASSID:28/COMMANDID:13/OBJECTNAME:Nowhere\\System.Floor 1\\Switch 1\\Omnal 1"});
  EXPECT_THAT(missing.err, HasSubstr("portab: The network could not be opened: The network \"Nowhere\" does not exist: "
                                     "there is no network database "));
  EXPECT_THAT(missing.err, HasSubstr("/lns/Nowhere.db (portab-lns create <description.json> creates one)"));
  const Result malformed = home.Portab({"/CLASSID:28/COMMANDID:13/OBJECTNAME:Nowhere\\S\\D\\O"});
  EXPECT_THAT(malformed.err, HasSubstr("portab: The object name \"Nowhere\\S\\D\\O\" does not name a network"));
}

TEST(DispatchE2eTest, ThroughAutomationWithAndWithoutTheToolsLonMarkObject) {
  DemoHome home;
  const std::string object = "Demo/System.Floor 1/Switch 1/Omnal 1";
  Result run = home.Lns({"plugin", "veltaPortaB.Application", "--set", "Remote=true", "--set",
                         "NetworkInterfaceName=Internet", "--send", "22", "28", object});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(home.Report(), HasSubstr("command id 22, class id 28\n  object name \"" + object + "\""));
  // The embedded server has no remote transport: the run opens the local database and says so.
  EXPECT_THAT(home.Log(), HasSubstr("Remote access (access mode 2) has no transport here"));

  // The tool hands over the LonMark object: no connecting by name, no LNS objects closed.
  // No command table entry was chosen on this path, so the window prepares no
  // configuration and starts no profile plug-in.
  std::filesystem::remove(home.Home() / "demo-profile-report.txt");
  const std::string before = home.Log();
  run = home.Lns({"plugin", "veltaPortaB.Application", "--lns", "LnsObjectByTool=" + object, "--send", "13", "28",
                  "by tool"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(home.HasReport());
  const std::string log = home.Log().substr(before.size());
  EXPECT_THAT(log, HasSubstr("[M_LcaPlugIn] Public Sub StartWithToolObject()"));
  EXPECT_THAT(log, HasSubstr("[frmMain] Public Sub Display()"));
  EXPECT_THAT(log, Not(HasSubstr("OpenLnsAndFindObject")));
  EXPECT_THAT(log, Not(HasSubstr("CloseAll")));
}

}  // namespace

namespace {

// The whole loop as a user runs it through the demo profile plug-in's window: read, change,
// Apply, save; load that file into the second switch and Apply there.
TEST(DispatchE2eTest, ReadChangeWriteSaveAndLoadIntoAnotherDevice) {
  DemoHome home;
  const std::string file = (home.Home() / "switch1.dat").string();
  const Result first = home.Configure("Switch 1", "type HoldTime 12,5\npick StartDelay 2 s\napply\nanswer " + file +
                                                      "\nmenu SaveFile\nprint\n");
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_THAT(first.err, HasSubstr("Start delay (StartDelay): combo box \"2 s\""));
  EXPECT_THAT(home.Report(), HasSubstr("text box \"HoldTime\": \"12.5\" s"));
  EXPECT_THAT(home.Report(), HasSubstr("0 lines not carried out"));
  EXPECT_TRUE(std::filesystem::exists(file));

  const Result second = home.Configure("Switch 2", "answer " + file + "\nmenu OpenFile\napply\n");
  EXPECT_EQ(second.status, 0) << second.err;
  for (const char* device : {"Switch 1", "Switch 2"}) {
    const std::string object = std::string("Demo/System.Floor 1/") + device + "/Omnal 1";
    const Result hold = home.Lns({"cp", "get", object, "HoldTime"});
    EXPECT_EQ(hold.out, "0 125\n") << device;
  }
  const Result options = home.Lns({"cp", "get", "Demo/System.Floor 1/Switch 2", "DeviceOptions"});
  EXPECT_THAT(options.out, HasSubstr("0 20 0 20")) << options.err;
}

}  // namespace
