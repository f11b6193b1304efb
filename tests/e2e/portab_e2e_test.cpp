// The built programs as a user and an LNS tool run them, each in a program folder with a fresh PORTAB_HOME.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <tuple>

#include "base/product.h"
#include "platform/lns_embedded/postgres_db.h"
#include "support/program_folder.h"
#include "support/program_run.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

using testing::HasSubstr;
using testing::Not;

namespace {

namespace fs = std::filesystem;

using Result = testing_support::ProgramResult;
using testing_support::kObject;
using testing_support::ProgramFolder;

TEST(PortabE2eTest, DamagedRegistryIsReportedAndLeftAsItWas) {
  ProgramFolder portab;
  fs::create_directories(portab.Home());
  const std::string damaged = "Windows Registry Editor Version 5.00\r\n\r\n\"orphan\"=\"1\"\r\n";
  testing_support::WriteFile(portab.Home() / "registry.reg", damaged);
  const auto out = portab.Portab({"/REG:1000"});  // the file and line: RegistryStoreTest
  EXPECT_THAT(out.err, HasSubstr("line 3: value outside of a key"));
  EXPECT_EQ(out.status, 1);  // the setting was not saved
  EXPECT_EQ(portab.Portab({"/REG:99999"}).status, 1);  // no such language number
}

TEST(PortabE2eTest, TheAboutBoxRegistersTheClassOnceAndUnregserverRemovesIt) {
  ProgramFolder portab;
  const auto out = portab.Portab({});
  EXPECT_EQ(out.status, 0);
  EXPECT_THAT(out.err, HasSubstr("--- About: About velta t.essel omnal object plug-in\nvelta Porta (1.0.0)\n"));
  // The started "/regserver" registers the class and never starts Main again.
  const std::string log = portab.Log();
  EXPECT_EQ(log.find("Public Sub Main()"), log.rfind("Public Sub Main()"));
  EXPECT_THAT(portab.Registry(), testing::AllOf(HasSubstr("\\Clsid]\r\n@=\"{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}\""),
                                                HasSubstr("\\LocalServer32]\r\n@=\"" + (portab.Folder() / "portab").string() + "\""),
                                                HasSubstr("\\ProgID]\r\n@=\"veltaPortaB.Application\"")));
  ASSERT_EQ(portab.Portab({"/UNREGSERVER"}).status, 0);
  EXPECT_THAT(portab.Registry(), Not(HasSubstr("veltaPortaB.Application")));
  EXPECT_THAT(portab.Log().substr(log.size()), Not(HasSubstr("Public Sub InitApp()")));  // Main never ran
  // A tool that goes away at once: the server starts the run, sees the end of its input and ends.
  EXPECT_EQ(portab.Portab({"-Embedding"}).status, 0);
  EXPECT_THAT(portab.Log().substr(log.size()), HasSubstr("[M_LcaPlugIn] Public Sub EndApp()"));
}

// --help, -h and --version of every program only print, on standard output, and exit 0.
TEST(ProgramOptionsE2eTest, HelpAndVersionOnlyPrint) {
  const ProgramFolder programs;
  for (const char* exe : {PORTAB_LNS_EXE, PORTAB_DEMO_PROFILE_EXE}) fs::copy_file(exe, programs.Folder() / fs::path(exe).filename());
  fs::create_directories(programs.Home());
  const auto entries = [&] {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(programs.Folder())) names.insert(entry.path().filename());
    return names;
  };
  const auto programFiles = entries();
  const std::pair<const char*, const char*> cases[] = {  // the program and the first line of its help
      {"portab", "usage: portab /<keyword>:<value>"}, {"portab-lns", "usage: portab-lns networks\n"},
      {"portab-demo-profile", "usage: portab-demo-profile /regserver | /unregserver | -Embedding\n"}};
  for (const auto& c : cases) {
    for (const char* option : {"--help", "-h", "--version"}) {
      SCOPED_TRACE(std::string(c.first) + " " + option);
      const Result run = programs.Run(programs.Folder() / c.first, {option});
      EXPECT_EQ(std::make_pair(run.status, run.err), std::make_pair(0, std::string()));
      if (std::string(option) == "--version") {
        EXPECT_EQ(run.out, std::string(c.first) + " " + base::kVersionText + "\n");
      } else {
        EXPECT_THAT(run.out, HasSubstr(c.second));
      }
      EXPECT_TRUE(fs::is_empty(programs.Home()) && entries() == programFiles);  // nothing stored, logged or registered
    }
  }
  // With anything else on the line the options are pieces of portab's own command line.
  const Result run = programs.Portab({"--help", "/REG:1000"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(programs.Registry(), HasSubstr("\"Language\"=\"1000\""));
}

// An LNS tool drives the plug-in through automation, as the registry store tells it to.
TEST(AutomationE2eTest, ToolRegistersThePlugInThroughTheApplicationObject) {
  const ProgramFolder portab(true);
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
  EXPECT_THAT(refused.err, HasSubstr("error 0x80044E22 (veltaPortaB.Application): Write not supported."));
  EXPECT_THAT(portab.Lns({"plugin", "veltaNothing.Application"}).err, HasSubstr("error 429"));
}

TEST(DispatchE2eTest, Commands13And22ReachTheProfilePlugInWithThisRunsValues) {
  const ProgramFolder home(true);
  for (int command : {13, 22}) {
    SCOPED_TRACE(command);
    const Result run = home.Command(command);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, Not(HasSubstr("--- ")));  // no message box
    const std::string report = home.Report();  // with the profile plug-in's parameters, read through their controls
    for (const std::string& line : {"command id " + std::to_string(command) + ", class id 28\n", "object name \"" + kObject + "\"\n",
                                    std::string("network name \"Demo\", remote no"), std::string("CP 1 \"FptIndex\": 0 3"),
                                    std::string("text box \"HoldTime\": \"50.0\" s, lock mode 0"), std::string("combo box \"StartDelay\": \"1 s\""),
                                    std::string("check box \"SecondStage\": checked"), std::string("option buttons \"MaxSendTime\": \"5 s\"")}) {
      EXPECT_THAT(report, HasSubstr(line));
    }
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

// What stops a command, with its message box on standard error and exit 1.
TEST(DispatchE2eTest, FailuresShowTheirMessagesAndStartNoPlugIn) {
  const ProgramFolder home(true);
  ASSERT_EQ(home.Lns({"cp", "set", "Demo/System.Floor 1/Switch 2/Omnal 1", "FptIndex", "0 9"}).status, 0);
  ASSERT_EQ(home.Lns({"reachable", "Demo/System.Floor 1/Switch 1", "no"}).status, 0);
  const std::tuple<int, std::string, std::string> cases[] = {
      {13, "Nowhere\\System.Floor 1\\Switch 1\\Omnal 1",
       "--- Critical: Switch 1 / Omnal 1\nThe project can not be opened !\n\nPlease close some LNS applications"},
      {13, "Demo\\System.Floor 1\\Switch 9\\Omnal 1",
       "--- Critical: Switch 9 / Omnal 1\nINI file consistency error !\n\n"
       "Please reinstall and re-register the plug-in.\n"},
      {13, "Demo\\System.Floor 1\\Switch 1\\Omnal 7", "INI file consistency error !"},
      {22, kObject, "--- Exclamation: Switch 1 / Omnal 1\n"
                    "The selected device is not accessible.\n\nThe plug-in will not be started.\n"},
      {13, "Demo\\System.Floor 1\\Switch 2\\Omnal 1",
       "--- Exclamation: Switch 2 / Omnal 1\nDie Konfiguration von \"Omnal 1\" ist ungültig.\n"},
  };
  std::vector<Result> runs;
  for (const auto& [command, object, message] : cases) {
    runs.push_back(home.Command(command, object));
    EXPECT_EQ(runs.back().status, 1) << object;
    EXPECT_THAT(runs.back().err, HasSubstr(message)) << object;
  }
  EXPECT_FALSE(home.HasReport());
  // Behind the message box: which network was missing, where it was looked for, what makes it.
  EXPECT_THAT(runs[0].err, testing::AllOf(HasSubstr("portab: The network could not be opened: The network \"Nowhere\" does not "
                                                    "exist: there is no network database "),
                                          HasSubstr("/lns/Nowhere.db (portab-lns create <description.json> creates one)")));
  EXPECT_THAT(home.Log(), HasSubstr("No plug-in serves function profile 9: the knowledge base's \"Plug-in\" section "
                                     "names none and none is registered for it."));
  // A database server that cannot be reached (from a program folder without the Qt build, which
  // can reach it): the box of message 1508, and behind it the reason.
  const Result away = home.Run(home.Folder() / "portab", {"/CLASSID:28/COMMANDID:13/OBJECTNAME:" + std::string(kObject)},
                               {{"PORTAB_SERVER", "postgresql://portab@127.0.0.1:1/none"}, {"PORTAB_SERVER_TIMEOUT", "1"}});
  EXPECT_EQ(away.status, 1);
  EXPECT_THAT(away.err, testing::AllOf(HasSubstr("The LNS server can not be opened !"),
                                       HasSubstr("portab: The LNS server could not be opened: ")));
  const Result malformed = home.Command(13, "Nowhere\\S\\D\\O");
  EXPECT_THAT(malformed.err, HasSubstr("portab: The object name \"Nowhere\\S\\D\\O\" does not name a network"));
  const Result opened = home.Command(13);
  EXPECT_EQ(opened.status, 0) << opened.err;
  EXPECT_THAT(home.Report(), HasSubstr("command id 13"));
}

TEST(DispatchE2eTest, ThroughAutomationWithAndWithoutTheToolsLonMarkObject) {
  const ProgramFolder home(true);
  const std::string object = "Demo/System.Floor 1/Switch 1/Omnal 1";
  Result run = home.Lns({"plugin", "veltaPortaB.Application", "--set", "Remote=true", "--set",
                         "NetworkInterfaceName=Internet", "--send", "22", "28", object});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(home.Report(), HasSubstr("command id 22, class id 28\n  object name \"" + object + "\""));
  // The embedded server has no remote transport: the run opens the local database and says so.
  EXPECT_THAT(home.Log(), HasSubstr("Remote access (access mode 2) has no transport here"));

  // The tool hands over the LonMark object: no connecting by name, no LNS objects closed, no profile plug-in.
  fs::remove(home.Home() / "demo-profile-report.txt");
  const std::string before = home.Log();
  run = home.Lns({"plugin", "veltaPortaB.Application", "--lns", "LnsObjectByTool=" + object, "--send", "13", "28",
                  "by tool"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(home.HasReport());
  const std::string log = home.Log().substr(before.size());
  EXPECT_THAT(log, testing::AllOf(HasSubstr("[M_LcaPlugIn] Public Sub StartWithToolObject()"), HasSubstr("[frmMain] Public Sub Display()"),
                                  Not(HasSubstr("OpenLnsAndFindObject")), Not(HasSubstr("CloseAll"))));
}

// Through the demo profile plug-in's window: read, change, Apply, save; load that file into Switch 2 and Apply.
TEST(DispatchE2eTest, ReadChangeWriteSaveAndLoadIntoAnotherDevice) {
  const ProgramFolder home(true);
  const std::string file = (home.Home() / "switch1.dat").string();
  const Result first = home.Configure("Switch 1", "type HoldTime 12,5\npick StartDelay 2 s\napply\nanswer " + file +
                                                      "\nmenu SaveFile\nprint\n");
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_THAT(first.err, HasSubstr("Start delay (StartDelay): combo box \"2 s\""));
  EXPECT_THAT(home.Report(), testing::AllOf(HasSubstr("text box \"HoldTime\": \"12.5\" s"), HasSubstr("0 lines not carried out")));

  const Result second = home.Configure("Switch 2", "answer " + file + "\nmenu OpenFile\napply\n");
  EXPECT_EQ(second.status, 0) << second.err;
  for (const char* device : {"Switch 1", "Switch 2"}) {
    const std::string object = std::string("Demo/System.Floor 1/") + device + "/Omnal 1";
    EXPECT_EQ(home.Lns({"cp", "get", object, "HoldTime"}).out, "0 125\n") << device;
  }
  const Result options = home.Lns({"cp", "get", "Demo/System.Floor 1/Switch 2", "DeviceOptions"});
  EXPECT_THAT(options.out, HasSubstr("0 20 0 20")) << options.err;
}

// What the window printed, without what Qt itself says on standard error.
// The window states a run printed, without Qt's own notes and with the clock of the last
// read or write left out (the two runs may straddle a second).
std::string WindowLines(const std::string& err) {
  static const std::regex kClock("[0-9]{2}:[0-9]{2}:[0-9]{2}");
  std::string kept;
  for (size_t at = 0; at < err.size();) {
    const size_t end = std::min(err.find('\n', at), err.size() - 1);
    const std::string line = err.substr(at, end - at + 1);
    at = end + 1;
    if (line.rfind("QStandardPaths:", 0) != 0 && line.find("propagateSizeHints") == std::string::npos) kept += line;
  }
  return std::regex_replace(kept, kClock, "hh:mm:ss");
}

// One window script gives the same window states and device values on the console and in Qt (offscreen).
TEST(FrontEndsE2eTest, TheSameScriptGivesTheSameWindowOnTheConsoleAndInQt) {
  const testing_support::TempDir dir;
  const fs::path script = dir / "window.script";
  testing_support::WriteFile(script, "print\npick StartDelay 2 s\nclick SecondStage\nclick MaxSendTime 30 s\npage 2\n"
                                     "type HoldTime 700\nanswer OK\nprint\napply\ntab 3\nprint\nok\n");
  std::vector<std::string> windows;
  for (const char* platform : {"", "offscreen"}) {
    SCOPED_TRACE(platform);
    const ProgramFolder home(true);
    const Result run = home.Run(PORTAB_EXE, {"/CLASSID:28/COMMANDID:13/OBJECTNAME:" + kObject},
                                {{"PORTAB_WINDOW_SCRIPT", script.string()}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""},
                                 {"QT_QPA_PLATFORM", platform}});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, testing::AllOf(HasSubstr("The value 700 s is too high."), HasSubstr("0 lines not carried out")));
    windows.push_back(WindowLines(run.err));
    EXPECT_EQ(home.Lns({"cp", "get", "Demo/System.Floor 1/Switch 1/Omnal 1", "HoldTime"}).out,
              "23 112\n");  // 600.0 s, the limit, as 6000 tenths
  }
  EXPECT_EQ(windows[1], windows[0]);
}

// A network moved to a PostgreSQL server: copied there and back byte for byte, and opened by
// portab and the profile plug-in through the network's server entry or PORTAB_SERVER, with the
// file gone; both read the server's values and the window's write lands there.
TEST(DispatchE2eTest, ANetworkOnAServerIsConfiguredThroughItsEntryOrPortabServer) {
  PORTAB_TEST_SERVER_OR_SKIP(uri);
  const ProgramFolder home(true);
  const std::string holdTime = "Demo/System.Floor 1/Switch 1/Omnal 1";
  ASSERT_EQ(home.Lns({"copy", "Demo", "--to", uri, "--replace"}).status, 0);
  const std::string exported = home.Lns({"export", "Demo"}).out;
  EXPECT_EQ(home.Lns({"--server", uri, "export", "Demo"}).out, exported);
  EXPECT_EQ(home.Lns({"copy", "Demo", "--to", uri}).status, 1);  // there already: not replaced unasked
  const Result entry = home.Lns({"server", "Demo", uri});
  EXPECT_EQ(entry.out, "Demo: on the server " + std::string(uri) + "\n") << entry.err;
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(home.Home() / "lns" / (std::string("Demo.db") + suffix));

  const testing_support::TempDir dir;
  testing_support::WriteFile(dir / "window.script", "page 2\ntype HoldTime 70\napply\nok\n");
  const testing_support::Environment console{
      {"PORTAB_WINDOW_SCRIPT", (dir / "window.script").string()}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}};
  for (const bool byEntry : {true, false}) {
    SCOPED_TRACE(byEntry ? "server entry" : "PORTAB_SERVER");
    testing_support::Environment env = console;
    if (!byEntry) {
      ASSERT_EQ(home.Lns({"server", "Demo", "none"}).out, "Demo: no network of that name in " + (home.Home() / "lns").string() + "\n");
      env.emplace_back("PORTAB_SERVER", uri);
    }
    ASSERT_EQ(home.Lns({"--server", uri, "cp", "set", holdTime, "HoldTime", "2 88"}).status, 0);  // 60.0 s
    const Result run = home.Run(PORTAB_EXE, {"/CLASSID:28/COMMANDID:13/OBJECTNAME:" + kObject}, env);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(home.Report(), HasSubstr("text box \"HoldTime\": \"60.0\" s"));
    EXPECT_EQ(home.Lns({"--server", uri, "cp", "get", holdTime, "HoldTime"}).out, "2 188\n");  // 70.0 s written
  }
  // Without the entry or PORTAB_SERVER the network is the (removed) file again.
  EXPECT_THAT(home.Lns({"cp", "get", holdTime, "HoldTime"}).err, HasSubstr("No network database " + (home.Home() / "lns" / "Demo.db").string()));
  ASSERT_EQ(home.Lns({"copy", "Demo", "--from", uri}).status, 0);
  EXPECT_EQ(home.Lns({"export", "Demo"}).out, home.Lns({"--server", uri, "export", "Demo"}).out);
  platform::lns_embedded::PostgresDb(uri).Exec("DROP SCHEMA \"Demo\" CASCADE");
}

}  // namespace
