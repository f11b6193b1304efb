#pragma once
// One run of the host in a program folder and a PORTAB_HOME of its own, with recording
// components. What the folders hold is chosen per test.

#include <filesystem>
#include <string>

#include "platform/registry/file_registry.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

namespace testing_support {

struct HostSetup {
  bool shippedIniFile = true;   // data/PortaB.ini and PortaB.xif in the program folder
  bool demoNetwork = false;     // data/demo/network.json in the home
  bool knowledgeBase = false;   // data/Config in the program folder, registered as the server
  std::string iniText;          // a PortaB.ini of this text instead of the shipped one
};

class HostRun {
  TempDir dir_;  // first: the factory below is made with a path inside it

 public:
  explicit HostRun(const HostSetup& setup = {});
  ~HostRun();
  HostRun(const HostRun&) = delete;
  HostRun& operator=(const HostRun&) = delete;

  // Runs the command line as the program does: Main, then the end of the run.
  // A fresh run state (and no records or log) in the same folders, for the next run (the
  // command-line fuzz target runs many in one process).
  void ResetRun();
  void Main(const std::string& commandLine);
  std::string Log() const { return ReadFile(ProgramFolder() / "portab.LOG"); }
  platform::registry::FileRegistry Registry() const { return platform::registry::FileRegistry(Home() / "registry.reg"); }
  std::filesystem::path ProgramFolder() const { return dir_ / "program"; }
  std::filesystem::path Home() const { return dir_ / "home"; }

  Records records;
  TestFactory factory;
};

}  // namespace testing_support
