// The configuration side of a run: FetchCPs plus ReadSettings on the demo object, and a read
// pass over 1,000 parameters on 100 CPs, with the raw server transfers counted.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/configuration.h"
#include "counting_cp.h"
#include "platform/ini/profile_ini_file.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"

namespace {

std::filesystem::path Folder(const char* what) {
  auto folder = std::filesystem::temp_directory_path() / ("portab-bench-" + std::string(what) + "-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

std::string ReadText(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void BM_FetchCpsAndReadSettings(benchmark::State& state) {
  const auto folder = Folder("config");
  platform::lns_embedded::CreateNetwork(folder / "lns", ReadText(PORTAB_DATA_DIR "/demo/network.json"), true);
  auto server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(folder / "lns");
  server->Open(0);
  platform::ini::ProfileIniFile ini(PORTAB_DATA_DIR "/PortaB.ini");
  lns::PlugInContext context;
  context.iniFile = &ini;
  context.system = server->Networks()->Item(1)->Systems()->Item(1);
  context.device = context.system->Subsystems()->Item(1)->AppDevices()->Item(1);
  context.lonMarkObject = context.device->Interface()->LonMarkObjects()->Item(1);
  context.deviceTemplate = context.device->Template();
  context.newIniFile = [] { return std::make_unique<platform::ini::ProfileIniFile>(); };
  for (auto _ : state) {
    config::cConfiguration configuration(context);
    configuration.FetchCPs();
    configuration.ReadSettings();
    benchmark::DoNotOptimize(configuration.Parameters().Parameter2ByteByName("FptIndex")->Value());
  }
  server.reset();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FetchCpsAndReadSettings)->Unit(benchmark::kMicrosecond);

// 100 CPs of 10 bytes, each a CP buffer with ten one-byte parameters.
void BM_ReadPass1000Parameters(benchmark::State& state) {
  bench_support::ManyCpsNetwork network("readpass", 100, 10);
  auto lnsCps = network.Cps();
  int64_t reads = 0;
  int64_t writes = 0;
  params::cParams set;
  for (int c = 1; c <= 100; ++c) {
    auto buffer = set.AddConfigProp("Cp" + std::to_string(c), std::make_shared<bench_support::CountingCp>(lnsCps->Item(c), reads, writes), "");
    for (int16_t b = 1; b <= 10; ++b) {
      set.Add1ByteParameterExtCp("P" + std::to_string(c) + "_" + std::to_string(b), buffer)->ConsiderPartOfCpOnly(b);
    }
  }
  set.ReadFromLns();  // the first pass also makes each buffer's lazy first read
  state.counters["raw_reads_first_pass"] = static_cast<double>(reads);
  reads = 0;
  int64_t passes = 0;
  for (auto _ : state) {
    set.ReadFromLns();
    ++passes;
  }
  state.counters["raw_reads_per_pass"] = static_cast<double>(reads) / static_cast<double>(passes);
  state.counters["raw_writes_per_pass"] = static_cast<double>(writes) / static_cast<double>(passes);
}
BENCHMARK(BM_ReadPass1000Parameters)->Unit(benchmark::kMillisecond);

}  // namespace
