// The embedded LNS server on large networks: the demo network's first device repeated, 100
// devices per subsystem. Each benchmark reports items per second, so that the 1,000- and
// 10,000-device runs of one benchmark show whether its cost per item grows with the network.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "lns/lns_connector.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"
#include "scale_network.h"

namespace {

using namespace bench_support;

std::filesystem::path ScaleFolder(int devices) {
  return std::filesystem::temp_directory_path() /
         ("portab-bench-scale-" + std::to_string(devices) + "-" + std::to_string(::getpid()));
}

// One network per size, made once and removed when the program ends.
class ScaleNetworks {
 public:
  ~ScaleNetworks() {
    std::error_code ec;
    for (const auto& [devices, folder] : folders_) std::filesystem::remove_all(folder, ec);
  }
  const std::filesystem::path& Folder(int devices) {
    auto it = folders_.find(devices);
    if (it == folders_.end()) {
      const std::filesystem::path folder = ScaleFolder(devices);
      platform::lns_embedded::CreateNetwork(folder / "lns", ScaleDescription(devices), true);
      it = folders_.emplace(devices, folder).first;
    }
    return it->second;
  }

 private:
  std::map<int, std::filesystem::path> folders_;
};

ScaleNetworks& Networks() {
  static ScaleNetworks networks;
  return networks;
}

std::shared_ptr<platform::lns_embedded::EmbeddedObjectServer> OpenServer(int devices) {
  auto server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(Networks().Folder(devices) / "lns");
  server->Open(0);
  return server;
}

void BM_ScaleCreate(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  const std::string description = ScaleDescription(devices);
  const std::filesystem::path folder = ScaleFolder(devices).string() + "-create";
  for (auto _ : state) platform::lns_embedded::CreateNetwork(folder, description, true);
  std::filesystem::remove_all(folder);
  state.SetItemsProcessed(state.iterations() * devices);
}
BENCHMARK(BM_ScaleCreate)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A fresh server down to one NV of the last device, every step by name.
void BM_ScaleOpenAndFind(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  Networks().Folder(devices);
  const std::string subsystem = SubsystemName((devices - 1) / kDevicesPerSubsystem + 1);
  for (auto _ : state) {
    auto server = OpenServer(devices);
    auto device = server->Networks()
                      ->ItemByName("Scale")
                      ->Systems()
                      ->Item(1)
                      ->Subsystems()
                      ->ItemByName(subsystem)
                      ->AppDevices()
                      ->ItemByName(DeviceName(devices));
    benchmark::DoNotOptimize(device->Interface()->NetworkVariables()->ItemByName("nvoValue")->Value());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScaleOpenAndFind)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Every device by position, with its name, on one open server.
void BM_ScaleWalkDevices(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  auto server = OpenServer(devices);
  for (auto _ : state) {
    int64_t seen = 0;
    auto subsystems = server->Networks()->ItemByName("Scale")->Systems()->Item(1)->Subsystems();
    for (int32_t s = 1; s <= subsystems->Count(); ++s) {
      auto list = subsystems->Item(s)->AppDevices();
      for (int32_t d = 1; d <= list->Count(); ++d) {
        benchmark::DoNotOptimize(list->Item(d)->Name());
        ++seen;
      }
    }
    if (seen != devices) state.SkipWithError("the walk missed devices");
  }
  state.SetItemsProcessed(state.iterations() * devices);
}
BENCHMARK(BM_ScaleWalkDevices)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ScaleExport(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  const std::filesystem::path file = Networks().Folder(devices) / "lns" / "Scale.db";
  for (auto _ : state) benchmark::DoNotOptimize(platform::lns_embedded::ExportNetwork(file));
  state.SetItemsProcessed(state.iterations() * devices);
}
BENCHMARK(BM_ScaleExport)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The LNS side of command 50: open the server and the network, register the four commands
// of one program record, release everything.
void BM_ScaleRegistration(benchmark::State& state) {
  const int devices = static_cast<int>(state.range(0));
  const std::filesystem::path folder = Networks().Folder(devices) / "lns";
  const lns::LnsConnector connector;
  for (auto _ : state) {
    lns::RunObjects run;
    run.objectServer = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(folder);
    if (!connector.OpenServer(run, 0) || !connector.OpenNetwork(run, "Scale", false)) {
      state.SkipWithError("the network does not open");
      break;
    }
    for (int32_t command = 1; command <= 4; ++command) {
      lns::PlugInRegistration registration;
      registration.programId = "Bench.Application";
      registration.commandId = command;
      registration.deviceTemplate = "PortaB";
      registration.deviceProgramId = "9F:FF:FF:08:1C:0A:04:01";
      benchmark::DoNotOptimize(connector.RegisterCommand(run, registration));
    }
    connector.CloseAll(run);
  }
  state.SetItemsProcessed(state.iterations() * 4);
}
BENCHMARK(BM_ScaleRegistration)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace
