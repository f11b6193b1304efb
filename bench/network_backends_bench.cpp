// The network database's two backends side by side, in one run: the SQLite file (argument 0)
// and a PostgreSQL server (argument 1, named by PORTAB_TEST_SERVER; scripts/with-postgres
// starts a throwaway one, and without it the server's rows are skipped). Opening a network
// and finding a device, reading the 100 CPs of a 1,000-parameter set, writing them in one
// transaction, `tree`, `export`, `create`, `copy --to` and `copy --from` of a 10,000-device
// network, the tree's peak memory, and the delay of an NV update between two clients.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>


#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lns_embedded/network_description.h"
#include "platform/lns_embedded/network_dialect.h"
#include "platform/lns_embedded/postgres_db.h"
#include "scale_network.h"

namespace {

namespace lns_embedded = platform::lns_embedded;

// A network made from `description` on the file (server false) or on the server, removed at the end.
class BackendNetwork {
 public:
  BackendNetwork(const std::string& name, const std::string& description, bool server)
      : folder_(std::filesystem::temp_directory_path() / ("portab-bench-backend-" + std::to_string(::getpid()))),
        name_(name) {
    if (!server) {
      lns_embedded::CreateNetwork(folder_ / "lns", description, true);
      return;
    }
    const char* uri = std::getenv("PORTAB_TEST_SERVER");
    if (uri == nullptr) return;
    uri_ = uri;
    lns_embedded::EnablePostgresServers();
    lns_embedded::PostgresDb admin(uri_);
    lns_embedded::CreateNetworkOnServer(admin, description, true);
  }
  ~BackendNetwork() {
    try {
      if (!uri_.empty()) lns_embedded::PostgresDb(uri_).Exec("DROP SCHEMA IF EXISTS " + lns_embedded::QuotedName(name_) + " CASCADE");
    } catch (const std::exception& e) {
      std::fprintf(stderr, "the network %s stays on the server: %s\n", name_.c_str(), e.what());
    }
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  BackendNetwork(const BackendNetwork&) = delete;
  BackendNetwork& operator=(const BackendNetwork&) = delete;

  bool Missing(bool server) const { return server && uri_.empty(); }
  const std::string& Uri() const { return uri_; }
  // The folder that holds lns/, as PORTAB_HOME would.
  const std::filesystem::path& Home() const { return folder_; }
  std::shared_ptr<lns_embedded::EmbeddedObjectServer> Client() const {
    auto server = std::make_shared<lns_embedded::EmbeddedObjectServer>(folder_ / "lns", uri_);
    server->Open(0);
    return server;
  }

 private:
  std::filesystem::path folder_;
  std::string name_;
  std::string uri_;
};

// One device with 100 CPs of 10 bytes (the CPs of a set of 1,000 one-byte parameters) and an NV.
std::string HundredCps() {
  std::string cps;
  for (int i = 0; i < 100; ++i) cps += std::string(i > 0 ? "," : "") + R"({"name": "Cp)" + std::to_string(i) + R"(", "dimension": 10})";
  return R"({"network": "Bench", "system": "S", "subsystems": [{"name": "A", "devices": [{"name": "D", "programId": "P", )"
         R"("nvs": [{"name": "nvoValue", "type": "SNVT_switch", "value": [0, 0]}], "cps": [)" +
         cps + "]}]}]}";
}

std::shared_ptr<lns::CpCollection> CpsOf(const std::shared_ptr<lns_embedded::EmbeddedObjectServer>& client) {
  return client->Networks()->ItemByName("Bench")->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)
      ->Interface()->ConfigProperties();
}

bool SkipWithoutServer(benchmark::State& state, const BackendNetwork& network) {
  if (!network.Missing(state.range(0) >= 1)) return false;
  state.SkipWithError("PORTAB_TEST_SERVER names no server (run under scripts/with-postgres)");
  return true;
}

void BM_OpenNetworkAndFindTheDevice(benchmark::State& state) {
  const BackendNetwork network("Bench", HundredCps(), state.range(0) == 1);
  if (SkipWithoutServer(state, network)) return;
  for (auto _ : state) benchmark::DoNotOptimize(CpsOf(network.Client())->Count());
}
BENCHMARK(BM_OpenNetworkAndFindTheDevice)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Argument 0 the file, 1 the server, 2 the server with the reads held as a plug-in's start holds
// them (a new snapshot each time).
void BM_ReadTheCpsOfA1000ParameterSet(benchmark::State& state) {
  const BackendNetwork network("Bench", HundredCps(), state.range(0) >= 1);
  if (SkipWithoutServer(state, network)) return;
  const auto client = network.Client();
  const auto cps = CpsOf(client);
  for (auto _ : state) {
    const lns::HeldReads held(state.range(0) == 2 ? client : nullptr);
    for (int32_t i = 1; i <= cps->Count(); ++i) benchmark::DoNotOptimize(cps->Item(i)->RawRead(0, 10, 0));
  }
}
BENCHMARK(BM_ReadTheCpsOfA1000ParameterSet)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_Write100CpsInOneTransaction(benchmark::State& state) {
  const BackendNetwork network("Bench", HundredCps(), state.range(0) == 1);
  if (SkipWithoutServer(state, network)) return;
  const auto client = network.Client();
  const auto system = client->Networks()->ItemByName("Bench")->Systems()->Item(1);
  const auto cps = CpsOf(client);
  uint8_t value = 0;
  for (auto _ : state) {
    ++value;
    system->StartTransaction();
    for (int32_t i = 1; i <= cps->Count(); ++i) cps->Item(i)->RawWrite(0, 10, std::vector<uint8_t>(10, value), 0);
    system->CommitTransaction();
  }
}
BENCHMARK(BM_Write100CpsInOneTransaction)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// `portab-lns tree` of a 10,000-device network: every device with its CPs, NVs and objects.
void BM_TreeOf10000Devices(benchmark::State& state) {
  const BackendNetwork network("Scale", bench_support::ScaleDescription(10000), state.range(0) == 1);
  if (SkipWithoutServer(state, network)) return;
  std::vector<std::string> args{"tree", "Scale"};
  if (state.range(0) == 1) args.insert(args.begin(), {"--server", network.Uri()});
  for (auto _ : state) {
    std::ostringstream out;
    std::ostringstream err;
    if (lns_embedded::RunLnsTool(args, network.Home(), out, err) != 0) state.SkipWithError(err.str().c_str());
    const std::string text = out.str();
    state.counters["lines"] = static_cast<double>(std::count(text.begin(), text.end(), '\n'));
  }
}
BENCHMARK(BM_TreeOf10000Devices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// A portab-lns command on the 10,000-device network, on the file (0) or the server (1).
void RunOnScale(benchmark::State& state, const BackendNetwork& network, std::vector<std::string> args, bool server) {
  if (server) args.insert(args.begin(), {"--server", network.Uri()});
  std::ostringstream out;
  std::ostringstream err;
  if (lns_embedded::RunLnsTool(args, network.Home(), out, err) != 0) state.SkipWithError(err.str().c_str());
  state.counters["bytes_out"] = static_cast<double>(out.str().size());
}

// `portab-lns export` of the 10,000-device network.
void BM_ExportOf10000Devices(benchmark::State& state) {
  const BackendNetwork network("Scale", bench_support::ScaleDescription(10000), state.range(0) == 1);
  if (SkipWithoutServer(state, network)) return;
  for (auto _ : state) RunOnScale(state, network, {"export", "Scale"}, state.range(0) == 1);
}
BENCHMARK(BM_ExportOf10000Devices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// `create` of a 10,000-device description on the file (argument 0) or straight onto the
// server (argument 1, with --server).
void BM_CreateOf10000Devices(benchmark::State& state) {
  const char* uri = std::getenv("PORTAB_TEST_SERVER");
  const bool server = state.range(0) == 1;
  if (server && uri == nullptr) {
    state.SkipWithError("PORTAB_TEST_SERVER names no server (run under scripts/with-postgres)");
    return;
  }
  const auto home = std::filesystem::temp_directory_path() / ("portab-bench-create-" + std::to_string(::getpid()));
  std::filesystem::create_directories(home);
  const auto description = home / "scale.json";
  std::ofstream(description) << bench_support::ScaleDescription(10000);
  std::vector<std::string> args{"create", description.string(), "--replace"};
  if (server) args.insert(args.begin(), {"--server", uri});
  for (auto _ : state) {
    std::ostringstream out;
    std::ostringstream err;
    if (lns_embedded::RunLnsTool(args, home, out, err) != 0) state.SkipWithError(err.str().c_str());
  }
  if (server) lns_embedded::PostgresDb(uri).Exec("DROP SCHEMA IF EXISTS \"Scale\" CASCADE");
  std::error_code ec;
  std::filesystem::remove_all(home, ec);
}
BENCHMARK(BM_CreateOf10000Devices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_CopyOf10000DevicesToTheServer(benchmark::State& state) {
  const BackendNetwork network("Scale", bench_support::ScaleDescription(10000), false);
  const char* uri = std::getenv("PORTAB_TEST_SERVER");
  if (uri == nullptr) {
    state.SkipWithError("PORTAB_TEST_SERVER names no server (run under scripts/with-postgres)");
    return;
  }
  for (auto _ : state) RunOnScale(state, network, {"copy", "Scale", "--to", uri, "--replace"}, false);
  lns_embedded::PostgresDb(uri).Exec("DROP SCHEMA IF EXISTS \"Scale\" CASCADE");
}
BENCHMARK(BM_CopyOf10000DevicesToTheServer)->Unit(benchmark::kMillisecond)->Iterations(1);

// `copy --from` of the 10,000-device network on the server into a file.
void BM_CopyOf10000DevicesFromTheServer(benchmark::State& state) {
  const BackendNetwork network("Scale", bench_support::ScaleDescription(10000), true);
  if (network.Missing(true)) {
    state.SkipWithError("PORTAB_TEST_SERVER names no server (run under scripts/with-postgres)");
    return;
  }
  for (auto _ : state) RunOnScale(state, network, {"copy", "Scale", "--from", network.Uri(), "--replace"}, false);
}
BENCHMARK(BM_CopyOf10000DevicesFromTheServer)->Unit(benchmark::kMillisecond)->Iterations(1);

// The high-water mark of a running process's memory (VmHWM, kB); 0 once it is gone. (Its
// rusage would also count the pages of the benchmark it was forked from.)
long PeakMemoryOf(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// The peak memory of `portab-lns tree` as a process of its own (its output to /dev/null) on a
// network of 1,000 or 10,000 devices, on the file (0) or the server (1): it stays flat.
void BM_TreePeakMemory(benchmark::State& state) {
  const bool server = state.range(1) == 1;
  const BackendNetwork network("Scale", bench_support::ScaleDescription(static_cast<int>(state.range(0))), server);
  if (network.Missing(server)) {
    state.SkipWithError("PORTAB_TEST_SERVER names no server (run under scripts/with-postgres)");
    return;
  }
  std::vector<std::string> args{PORTAB_LNS_EXE, "tree", "Scale"};
  if (server) args.insert(args.begin() + 1, {"--server", network.Uri()});
  for (auto _ : state) {
    int execed[2];  // closed by the exec: the forked copy's pages are no longer counted
    if (::pipe2(execed, O_CLOEXEC) != 0) std::abort();
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("PORTAB_HOME", network.Home().c_str(), 1);
      if (::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
      std::vector<char*> argv;
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(execed[1]);
    char byte = 0;
    while (::read(execed[0], &byte, 1) < 0 && errno == EINTR) {
    }
    ::close(execed[0]);
    int status = 0;
    long peak = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {  // sampled until it ends: the mark only grows
      peak = std::max(peak, PeakMemoryOf(pid));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("the tree failed");
    state.counters["peak_rss_kB"] = static_cast<double>(peak);
  }
}
BENCHMARK(BM_TreePeakMemory)->Args({1000, 0})->Args({10000, 0})->Args({1000, 1})->Args({10000, 1})->Unit(benchmark::kMillisecond)->Iterations(1);

// One client writes an NV another monitors; the time until the other's event descriptor
// wakes and its PumpEvents hands the value over.
void BM_NvUpdateDelayBetweenTwoClients(benchmark::State& state) {
  const BackendNetwork network("Bench", HundredCps(), state.range(0) == 1);
  if (SkipWithoutServer(state, network)) return;
  const auto watcher = network.Client();
  const auto writer = network.Client();
  const auto nvOf = [](const std::shared_ptr<lns_embedded::EmbeddedObjectServer>& client) {
    return client->Networks()->ItemByName("Bench")->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)
        ->Interface()->NetworkVariables()->Item(1);
  };
  int delivered = 0;
  watcher->SetNvUpdateHandler([&](int32_t, const std::string&, const lns::ObjectPtr&) { ++delivered; });
  const auto watched = nvOf(watcher);
  watched->SetEditingSettings(true);
  watched->SetMonitorTag(5000);
  watched->SetEditingSettings(false);
  const int descriptor = watcher->EventDescriptor();
  watcher->PumpEvents();
  const auto nv = nvOf(writer);
  int step = 0;
  for (auto _ : state) {
    nv->SetValue(std::to_string(++step % 100) + ".0 1");
    pollfd wake{descriptor, POLLIN, 0};
    if (descriptor < 0 || ::poll(&wake, 1, 5000) != 1) state.SkipWithError("no wake-up within 5 s");
    watcher->PumpEvents();
  }
  state.counters["delivered"] = delivered;
}
BENCHMARK(BM_NvUpdateDelayBetweenTwoClients)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
