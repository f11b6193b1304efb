// Raw CP transfers on the embedded LNS server.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"

namespace {

std::filesystem::path BenchFolder(const char* what) {
  auto folder = std::filesystem::temp_directory_path() / ("portab-bench-" + std::string(what) + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

constexpr const char* kNetwork = R"({"network": "Bench", "system": "S", "subsystems": [{"name": "A", "devices": [
  {"name": "D", "programId": "P", "cps": [{"name": "C", "elementSize": 2, "dimension": 4}]}]}]})";

struct BenchNetwork {
  BenchNetwork() : folder(BenchFolder("lns")) {
    platform::lns_embedded::CreateNetwork(folder, kNetwork, true);
    server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(folder);
    server->Open(0);
    system = server->Networks()->Item(1)->Systems()->Item(1);
    cp = system->Subsystems()->Item(1)->AppDevices()->Item(1)->Interface()->ConfigProperties()->Item(1);
  }
  ~BenchNetwork() {
    cp.reset();
    system.reset();
    server.reset();
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path folder;
  std::shared_ptr<platform::lns_embedded::EmbeddedObjectServer> server;
  std::shared_ptr<lns::System> system;
  std::shared_ptr<lns::ConfigProperty> cp;
};

void BM_CpRawRead(benchmark::State& state) {
  BenchNetwork net;
  for (auto _ : state) benchmark::DoNotOptimize(net.cp->RawRead(0, 4, 0));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CpRawRead);

// Each write outside a transaction commits on its own (WAL, synchronous FULL).
void BM_CpRawWriteSingle(benchmark::State& state) {
  BenchNetwork net;
  uint8_t n = 0;
  for (auto _ : state) net.cp->RawWrite(0, 4, {n, n, n, n, n, n, n, ++n}, 0);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CpRawWriteSingle)->Unit(benchmark::kMicrosecond);

// 100 writes inside one LNS transaction.
void BM_CpRawWriteBatch100(benchmark::State& state) {
  BenchNetwork net;
  uint8_t n = 0;
  for (auto _ : state) {
    net.system->StartTransaction();
    for (int i = 0; i < 100; ++i) net.cp->RawWrite(0, 4, {n, n, n, n, n, n, n, ++n}, 0);
    net.system->CommitTransaction();
  }
  state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_CpRawWriteBatch100)->Unit(benchmark::kMicrosecond);

}  // namespace
