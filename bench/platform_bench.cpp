// The INI component on a knowledge-base-sized file, and raw CP transfers on the embedded
// LNS server.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/ini/ini_document.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"

namespace {

std::filesystem::path BenchFolder(const char* what) {
  auto folder = std::filesystem::temp_directory_path() / ("portab-bench-" + std::string(what) + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

// About 1 MB: 2000 sections of 20 keys with comma lists and comments, like the controls file.
std::string KnowledgeBaseText() {
  std::string text;
  for (int s = 0; s < 2000; ++s) {
    text += "[FPT_" + std::to_string(s) + "]\r\n; section comment\r\n";
    for (int k = 0; k < 20; ++k) {
      text += "Parameter" + std::to_string(k) + "=DCHP_TIME,1," + std::to_string(k) + ",100,5000 ; ms\r\n";
    }
  }
  return text;
}

void BM_IniParse1MB(benchmark::State& state) {
  const std::string text = KnowledgeBaseText();
  for (auto _ : state) benchmark::DoNotOptimize(platform::ini::IniDocument::Parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_IniParse1MB)->Unit(benchmark::kMillisecond);

void BM_IniKeyedRead(benchmark::State& state) {
  const auto folder = BenchFolder("ini");
  const auto file = folder / "Controls.ini";
  std::ofstream(file) << KnowledgeBaseText();
  platform::ini::ProfileIniFile ini(file.string());
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ini.ReadString("Parameter" + std::to_string(i % 20), "fpt_" + std::to_string(i % 2000)));
    ++i;
  }
  state.SetItemsProcessed(state.iterations());
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IniKeyedRead);

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
