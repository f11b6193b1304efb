// The whole dispatch as a process: portab with command 13, up to the profile plug-in's report,
// on a fresh home, for the demo object and for the last device of a 10,000-device network;
// each repetition is one run, so the aggregates are the mean and median of single dispatches;
// the peak memory of the programs. Then the parts of a run in process: InitApp (with EndApp),
// the LNS open and the knowledge-base load.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "knowledge/mc16.h"
#include "lns/lns_connector.h"
#include "lns/object_name_parser.h"
#include "platform/automation/class_registry.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/postgres_db.h"
#include "platform/registry/file_registry.h"
#include "scale_network.h"

namespace {

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr int kScaleDevices = 10000;

// Runs `program` with `args` and PORTAB_HOME=`home`; its own usage (peak memory -1 when it
// failed). `prepare` runs in the child first, so that its memory is never this process's.
rusage RunProgram(const std::string& program, const std::vector<std::string>& args, const std::filesystem::path& home,
                  const std::function<void()>& prepare = {}) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (prepare) prepare();
    ::setenv("PORTAB_HOME", home.c_str(), 1);
    if (::freopen("/dev/null", "w", stderr) == nullptr || ::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
    std::vector<std::string> copies{program};
    copies.insert(copies.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) usage.ru_maxrss = -1;
  return usage;
}

// A home with the demo network (and, when asked, the 10,000-device network) and both plug-ins
// registered from the build folder.
struct DemoHome {
  explicit DemoHome(bool withScale = false)
      : home(std::filesystem::temp_directory_path() /
             ("portab-bench-dispatch-" + std::string(withScale ? "scale-" : "") + std::to_string(::getpid()))) {
    std::filesystem::create_directories(home);
    platform::lns_embedded::CreateNetwork(home / "lns", ReadText(PORTAB_DATA_DIR "/demo/network.json"), true);
    if (withScale) CreateWithTheTool(kScaleDevices);
    platform::registry::FileRegistry registry(home / "registry.reg");
    platform::automation::RegisterClass(registry, {"veltaPortaB.Application", "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D10}",
                                                   PORTAB_EXE, {}});
    platform::automation::RegisterClass(
        registry, {"veltaDemoProfile.Application", "{6A1D5C2E-5E2F-4B8C-9C1E-7E0A5B3C2D20}", PORTAB_DEMO_PROFILE_EXE, {}});
  }
  ~DemoHome() { std::filesystem::remove_all(home); }
  // The description is made and created by a child process, so that this process stays small:
  // a dispatch forked from it would otherwise count this process's memory in its peak.
  void CreateWithTheTool(int devices) const {
    const auto file = home / "scale.json";
    const auto describe = [&] { std::ofstream(file) << bench_support::ScaleDescription(devices); };
    if (RunProgram(PORTAB_LNS_EXE, {"create", file.string()}, home, describe).ru_maxrss < 0) std::abort();
  }
  std::filesystem::path home;
};

// Argument 0: the demo object; otherwise the object of the last device of a network that size.
std::string DispatchedObject(int64_t devices) {
  if (devices == 0) return "Demo\\System.Floor 1\\Switch 1\\Omnal 1";
  const int last = static_cast<int>(devices);
  return "Scale\\System." + bench_support::SubsystemOfDevice(last) + "\\" + bench_support::DeviceName(last) + "\\Omnal 1";
}

void BM_DispatchCommand13AsAProcess(benchmark::State& state) {
  static const DemoHome demo(true);  // made once for all repetitions, removed at the end
  const std::string object = "/CLASSID:28/COMMANDID:13/OBJECTNAME:" + DispatchedObject(state.range(0));
  long peak = 0;
  for (auto _ : state) {
    const rusage usage = RunProgram(PORTAB_EXE, {object}, demo.home);
    if (usage.ru_maxrss < 0) state.SkipWithError("the dispatch failed");
    peak = std::max(peak, usage.ru_maxrss);
  }
  state.counters["peak_rss_kB"] = static_cast<double>(peak);  // portab and the profile plug-in
}
// Start to a usable window: the same dispatch on the demo object with the Qt window (offscreen),
// shown, then closed by a window script that only cancels.
void BM_DispatchCommand13WithTheWindow(benchmark::State& state) {
  static const DemoHome demo;
  const auto script = demo.home / "cancel.script";
  std::ofstream(script) << "cancel\n";
  const auto withWindow = [&] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("PORTAB_WINDOW_SCRIPT", script.c_str(), 1);
  };
  for (auto _ : state) {
    if (RunProgram(PORTAB_EXE, {"/CLASSID:28/COMMANDID:13/OBJECTNAME:" + DispatchedObject(0)}, demo.home, withWindow)
            .ru_maxrss < 0) {
      state.SkipWithError("the dispatch failed");
    }
  }
}
BENCHMARK(BM_DispatchCommand13WithTheWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

BENCHMARK(BM_DispatchCommand13AsAProcess)
    ->Arg(0)
    ->Arg(kScaleDevices)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(101)
    ->ReportAggregatesOnly(true);

// The same dispatch with the demo network on a PostgreSQL server (PORTAB_TEST_SERVER, under
// scripts/with-postgres; argument 1) or on the file (argument 0), and what one connection to
// the server costs: the server's dispatch is held against the file's plus two connections.
void BM_DispatchCommand13WithTheNetworkOnTheServer(benchmark::State& state) {
  static const DemoHome demo;
  const char* uri = std::getenv("PORTAB_TEST_SERVER");
  if (uri == nullptr) {
    state.SkipWithError("PORTAB_TEST_SERVER names no server (run under scripts/with-postgres)");
    return;
  }
  const bool server = state.range(0) == 1;
  static const bool copied = [&] {
    std::ostringstream out, err;
    return platform::lns_embedded::RunLnsTool({"copy", "Demo", "--to", uri, "--replace"}, demo.home, out, err) == 0;
  }();
  if (!copied) state.SkipWithError("the demo network could not be copied to the server");
  const auto onServer = [&] {
    if (server) ::setenv("PORTAB_SERVER", uri, 1);
  };
  for (auto _ : state) {
    if (RunProgram(PORTAB_EXE, {"/CLASSID:28/COMMANDID:13/OBJECTNAME:" + DispatchedObject(0)}, demo.home, onServer).ru_maxrss < 0) {
      state.SkipWithError("the dispatch failed");
    }
  }
}
BENCHMARK(BM_DispatchCommand13WithTheNetworkOnTheServer)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(21)
    ->ReportAggregatesOnly(true);

void BM_ServerConnect(benchmark::State& state) {
  const char* uri = std::getenv("PORTAB_TEST_SERVER");
  if (uri == nullptr) {
    state.SkipWithError("PORTAB_TEST_SERVER names no server (run under scripts/with-postgres)");
    return;
  }
  for (auto _ : state) platform::lns_embedded::PostgresDb connection(uri);
}
BENCHMARK(BM_ServerConnect)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LnsOpenAndFind(benchmark::State& state) {
  DemoHome demo;
  platform::ini::ProfileIniFile ini(PORTAB_DATA_DIR "/PortaB.ini");
  const auto name = lns::ObjectNameParser().Parse("Demo/System.Floor 1/Switch 1/Omnal 1");
  for (auto _ : state) {
    lns::LnsConnector connector;
    lns::RunObjects run;
    run.objectServer = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(demo.home / "lns");
    connector.OpenServer(run, 0);
    connector.OpenNetwork(run, name.networkName, false);
    connector.FindSubsystem(run, name.subsystemPath);
    benchmark::DoNotOptimize(ini.FindDeviceAndObject(run.appDevices, name.deviceName, name.objectName).found);
    connector.CloseAll(run);
  }
}
BENCHMARK(BM_LnsOpenAndFind)->Unit(benchmark::kMicrosecond);

void BM_KnowledgeBaseLoad(benchmark::State& state) {
  DemoHome demo;
  platform::registry::FileRegistry registry(demo.home / "registry.reg");
  lns::PlugInContext context;
  context.registry = &registry;
  context.newIniFile = [] { return std::make_unique<platform::ini::ProfileIniFile>(); };
  for (auto _ : state) {
    knowledge::cMC16 mc16(context);
    mc16.SetConfigFileName("PortaB.cfg");
    mc16.Init1();
    mc16.SetVersion(1);
    benchmark::DoNotOptimize(mc16.Init2());
  }
}
BENCHMARK(BM_KnowledgeBaseLoad)->Unit(benchmark::kMicrosecond);

}  // namespace
