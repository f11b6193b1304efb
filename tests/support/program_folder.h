#pragma once
// A program folder as an installation has it (portab with its INI and XIF files) and a fresh
// PORTAB_HOME, for the tests that run the built programs. Header-only: each test program that
// includes it defines PORTAB_EXE, PORTAB_LNS_EXE and PORTAB_DEMO_PROFILE_EXE.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/temp_dir.h"

namespace testing_support {

inline const std::string kObject = "Demo\\System.Floor 1\\Switch 1\\Omnal 1";

// portab with its INI and XIF files (and for `demo` the knowledge base, the network `network`
// describes and both plug-ins registered).
class ProgramFolder {
 public:
  explicit ProgramFolder(bool demo = false, const std::string& network = std::string(PORTAB_DATA_DIR) + "/demo/network.json") {
    std::filesystem::create_directories(Folder());
    std::filesystem::copy_file(PORTAB_EXE, Folder() / "portab");
    for (const char* file : {"PortaB.ini", "PortaB.xif"}) std::filesystem::copy_file(std::string(PORTAB_DATA_DIR) + "/" + file, Folder() / file);
    if (!demo) return;
    std::filesystem::copy(std::string(PORTAB_DATA_DIR) + "/Config", Folder() / "Config", std::filesystem::copy_options::recursive);
    EXPECT_EQ(Lns({"create", network}).status, 0);
    EXPECT_EQ(Portab({"/regserver"}).status, 0);
    EXPECT_EQ(Run(PORTAB_DEMO_PROFILE_EXE, {"/regserver"}).status, 0);
  }

  ProgramResult Run(const std::filesystem::path& program, const std::vector<std::string>& args,
             testing_support::Environment env = {}) const {
    env.insert(env.begin(), {{"PORTAB_HOME", Home().string()}, {"PORTAB_ANSWERS", ""}});
    return testing_support::RunProgram(program, args, env);
  }
  ProgramResult Portab(const std::vector<std::string>& args) const { return Run(Folder() / "portab", args); }
  ProgramResult Lns(const std::vector<std::string>& args) const { return Run(PORTAB_LNS_EXE, args); }
  ProgramResult Command(int command, const std::string& object = kObject) const {
    return Portab({"/CLASSID:28/COMMANDID:" + std::to_string(command) + "/OBJECTNAME:" + object});
  }
  // Command 13 for the demo object of `device`, with the window script `script`.
  ProgramResult Configure(const std::string& device, const std::string& script) const {
    testing_support::WriteFile(dir_ / "window.script", script);
    return Run(Folder() / "portab",
               {"/CLASSID:28/COMMANDID:13/OBJECTNAME:Demo\\System.Floor 1\\" + device + "\\Omnal 1"},
               {{"PORTAB_WINDOW_SCRIPT", (dir_ / "window.script").string()}});
  }

  std::filesystem::path Folder() const { return dir_ / "program"; }
  std::filesystem::path Home() const { return dir_ / "home"; }
  std::string Log() const { return testing_support::ReadFile(Folder() / "portab.LOG"); }
  std::string Registry() const { return testing_support::ReadFile(Home() / "registry.reg"); }
  std::string Report() const { return testing_support::ReadFile(Home() / "demo-profile-report.txt"); }
  bool HasReport() const { return std::filesystem::exists(Home() / "demo-profile-report.txt"); }

 private:
  testing_support::TempDir dir_;
};

}  // namespace testing_support
