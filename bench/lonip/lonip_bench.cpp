// LON/IP against portab-lon-device processes, in a network namespace of this program's own
// (made before the benchmarks run; without one they are skipped): the round trip of a Query
// Status; NV Fetch of 100 NVs, through the channel and through the object server's NV objects;
// discovery of 50 devices; a read and a write of the demo plug-in's parameter set on a
// commissioned device whose CPs are in its value files; and the device's own interface: an
// upload of 50 NVs and 40 CPs in files, a read of a 2 KB value file, a transaction of 10 CPs
// spread over a value file.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "demo_profile/demo_window.h"
#include "lns/object_names.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/lns_tool.h"
#include "platform/lonip/cp_files.h"
#include "platform/lonip/device_requests.h"
#include "platform/lonip/interface_reader.h"
#include "platform/lonip/lonip_channel.h"
#include "support/lon_devices.h"
#include "support/temp_dir.h"

namespace {

using namespace platform;
using namespace std::chrono_literals;
using testing_support::DeviceProcess;

std::string NeuronIdOf(int subnet, int node) {
  char text[13];
  std::snprintf(text, sizeof text, "02FC0000%02X%02X", subnet, node);
  return text;
}

// A device at 127.1.<subnet>.<node> with `nvs` two-byte input NVs.
std::string Device(int subnet, int node, const std::string& state, int nvs) {
  nlohmann::json device{{"ip", "127.1." + std::to_string(subnet) + "." + std::to_string(node)},
                        {"neuronId", NeuronIdOf(subnet, node)}, {"programId", "9FFFFF081C0A0401"}, {"state", state},
                        {"domain", "7F0100"}, {"subnet", subnet}, {"node", node}};
  for (int i = 0; i < nvs; ++i) device["nvs"].push_back({{"name", "nv" + std::to_string(i)}, {"value", "0190"}});
  return device.dump();
}

lonip::ChannelSettings Tool() {
  lonip::ChannelSettings settings;
  settings.ownIp = *lonip::Ipv4::Parse("127.1.1.127");
  settings.hearBroadcasts = false;
  return settings;
}

bool Skipped(benchmark::State& state) {
  if (const auto& reason = testing_support::PrivateNetworkUnavailable()) {
    state.SkipWithError(("no private network namespace: " + *reason).c_str());
    return true;
  }
  return false;
}

void BM_QueryStatusRoundTrip(benchmark::State& state) {
  if (Skipped(state)) return;
  const DeviceProcess device(PORTAB_LON_DEVICE_EXE, Device(1, 1, "configured", 1));
  lonip::LonIpChannel channel(Tool());
  const auto target = lonip::LonTarget::Node({{0x7F, 0x01, 0x00}, 1, 1});
  for (auto _ : state) benchmark::DoNotOptimize(lonip::QueryStatus(channel, target));
}
BENCHMARK(BM_QueryStatusRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_NvFetch100(benchmark::State& state) {
  if (Skipped(state)) return;
  const DeviceProcess device(PORTAB_LON_DEVICE_EXE, Device(1, 2, "configured", 100));
  lonip::LonIpChannel channel(Tool());
  const auto target = lonip::LonTarget::Node({{0x7F, 0x01, 0x00}, 1, 2});
  for (auto _ : state) {
    for (uint16_t nv = 0; nv < 100; ++nv) benchmark::DoNotOptimize(lonip::NvFetch(channel, target, nv));
  }
}
BENCHMARK(BM_NvFetch100)->Unit(benchmark::kMillisecond);

void BM_Discover50(benchmark::State& state) {
  if (Skipped(state)) return;
  std::vector<std::unique_ptr<DeviceProcess>> devices;
  for (int node = 1; node <= 50; ++node) {
    devices.push_back(std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, Device(3, node, "unconfigured", 1)));
  }
  auto settings = Tool();
  settings.hearBroadcasts = true;
  lonip::LonIpChannel channel(settings);
  size_t found = 0;
  for (auto _ : state) found = lonip::Discover(channel, {0x7F, 0x01, 0x00}, 5s, 50).size();
  state.counters["devices_found"] = static_cast<double>(found);
}
BENCHMARK(BM_Discover50)->Unit(benchmark::kMillisecond)->UseRealTime();

// A configured device at 127.1.4.<node> with `nvs` NVs of a block (names, self-documentation),
// its Node Object's nvoFileDirectory, and `cps` CPs of `size` bytes each for that block in its
// writable value file.
std::string DeviceWithFiles(int node, int nvs, int cps, int size) {
  nlohmann::json device = nlohmann::json::parse(Device(4, node, "configured", 0));
  device["programId"] = "9FFFFF0000000040";
  device["selfDoc"] = "&3.4@0NodeObject,3200Block";
  for (int i = 0; i < nvs; ++i) {
    device["nvs"].push_back({{"name", "nvoValue" + std::to_string(i)}, {"direction", "output"}, {"type", 95},
                             {"selfDoc", "@1|" + std::to_string(i + 1)}, {"value", "0000"}});
  }
  device["nvs"].push_back({{"name", "nvoFileDirectory"}, {"direction", "output"}, {"type", 114}, {"selfDoc", "@0|8"},
                           {"value", "A100"}});
  for (int i = 0; i < cps; ++i) {
    device["cps"].push_back({{"appliesTo", "block"}, {"select", "1"}, {"scope", 1}, {"type", i + 1}, {"size", size}});
  }
  return device.dump();
}

lonip::LonTarget OnSubnet4(int node) { return lonip::LonTarget::Node({{0x7F, 0x01, 0x00}, 4, static_cast<uint8_t>(node)}); }

void BM_UploadInterface50Nvs40Cps(benchmark::State& state) {
  if (Skipped(state)) return;
  const DeviceProcess device(PORTAB_LON_DEVICE_EXE, DeviceWithFiles(1, 50, 40, 2));
  lonip::LonIpChannel channel(Tool());
  size_t cps = 0;
  for (auto _ : state) cps = lonip::ReadDeviceInterface(channel, OnSubnet4(1)).cps.size();
  state.counters["cps"] = static_cast<double>(cps);
}
BENCHMARK(BM_UploadInterface50Nvs40Cps)->Unit(benchmark::kMillisecond);

void BM_ReadValueFile2K(benchmark::State& state) {
  if (Skipped(state)) return;
  const DeviceProcess device(PORTAB_LON_DEVICE_EXE, DeviceWithFiles(2, 1, 32, 64));
  lonip::LonIpChannel channel(Tool());
  const auto files = lonip::FindCpFiles(channel, OnSubnet4(2), 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(lonip::ReadFileBytes(channel, OnSubnet4(2), *files.writable, 0, files.writable->size));
  }
  state.counters["bytes"] = files.writable->size;
}
BENCHMARK(BM_ReadValueFile2K)->Unit(benchmark::kMillisecond);

// The demo network attached to an interface (data/demo/lonip), with Switch 1 commissioned on a
// device of its NVs that holds its HoldTime; its objects through the embedded object server.
class AttachedDemo {
 public:
  AttachedDemo() {
    const std::string data = PORTAB_DATA_DIR "/demo/lonip/";
    std::ifstream in(data + "switch1.json");
    device_ = std::make_unique<DeviceProcess>(PORTAB_LON_DEVICE_EXE, std::string(std::istreambuf_iterator<char>(in), {}));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"create", data + "network.json"},
             {"interface", "add", "lon1", "lonip:127.1.1.127"},
             {"attach", "Demo", "lon1"},
             {"commission", "Demo/System.Floor 1/Switch 1", "02FC00000004"}}) {
      std::ostringstream out, err;
      if (lns_embedded::RunLnsTool(args, dir_.Path(), out, err) != 0) throw std::runtime_error(err.str());
    }
    server_ = std::make_shared<lns_embedded::EmbeddedObjectServer>(dir_ / "lns");
    server_->Open(0);
    object_ = std::dynamic_pointer_cast<lns::LonMarkObject>(
        lns::ResolveObjectName(*server_, "Demo/System.Floor 1/Switch 1/Omnal 1"));
  }
  lns_embedded::EmbeddedObjectServer& Server() { return *server_; }
  std::shared_ptr<lns::LonMarkObject> Object() { return object_; }
  std::shared_ptr<lns::AppDevice> Switch() {
    return std::dynamic_pointer_cast<lns::AppDevice>(object_->Parent()->Parent()->Parent());
  }

 private:
  testing_support::TempDir dir_;
  std::unique_ptr<DeviceProcess> device_;
  std::shared_ptr<lns_embedded::EmbeddedObjectServer> server_;
  std::shared_ptr<lns::LonMarkObject> object_;
};

// The object server's NV objects of the commissioned switch, each value fetched from the device
// (a bind of the interface's address for each).
void BM_NvFetchThroughTheObjectServer(benchmark::State& state) {
  if (Skipped(state)) return;
  AttachedDemo demo;
  auto nvs = demo.Switch()->Interface()->NetworkVariables();
  for (auto _ : state) {
    for (int32_t i = 1; i <= nvs->Count(); ++i) benchmark::DoNotOptimize(nvs->Item(i)->Value());
  }
  state.counters["nvs"] = nvs->Count();
}
BENCHMARK(BM_NvFetchThroughTheObjectServer)->Unit(benchmark::kMillisecond);

// Argument 0 reads the demo plug-in's parameter set, 1 changes HoldTime and writes the set (the
// commit sends the CP to the device), 2 changes every parameter the device holds (HoldTime in a
// configuration NV, DeviceOptions and MaxSendTime in the writable value file) and writes the set.
void BM_DemoParameterSet(benchmark::State& state) {
  if (Skipped(state)) return;
  AttachedDemo demo;
  demo_profile::DemoWindow window;
  window.Bind(demo.Switch(), demo.Object());
  window.Parameters().SetSystem(demo.Server().Networks()->Item(1)->Systems()->Item(1));
  window.Parameters().ReadFromLns();
  int value = 0;
  for (auto _ : state) {
    if (state.range(0) == 0) {
      window.Parameters().ReadFromLns();
    } else {
      window.txtHoldTime->SetText(std::to_string(10 + (++value % 50)));
      if (state.range(0) == 2) {
        window.cboStartDelay->SetListIndex(value % window.cboStartDelay->ListCount());
        window.chkSecondStage->SetValue(value % 2);
        window.optMaxSendTime[static_cast<size_t>(value) % window.optMaxSendTime.size()]->SetValue(true);
      }
      window.Parameters().WriteToLns();
    }
  }
  // What the device holds now (tenths of a second): the writes reached it.
  const auto nciHoldTime = demo.Switch()->Interface()->NetworkVariables()->ItemByName("nciHoldTime");
  state.counters["device_hold_time"] = std::stod(nciHoldTime->Value());
}
BENCHMARK(BM_DemoParameterSet)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// A device added to the demo network from what it says and commissioned; each iteration writes
// 10 of its 40 CPs (50 bytes each, every fourth of its value file) in one transaction.
void BM_Write10CpsSpreadOverTheFile(benchmark::State& state) {
  if (Skipped(state)) return;
  testing_support::TempDir dir;
  const DeviceProcess device(PORTAB_LON_DEVICE_EXE, DeviceWithFiles(3, 4, 40, 50));
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"create", PORTAB_DATA_DIR "/demo/lonip/network.json"},
           {"interface", "add", "lon1", "lonip:127.1.1.127"},
           {"attach", "Demo", "lon1"},
           {"device", "add", "Demo/System.Floor 1", "Block device", "--from-device", NeuronIdOf(4, 3)},
           {"commission", "Demo/System.Floor 1/Block device", NeuronIdOf(4, 3)}}) {
    std::ostringstream out, err;
    if (lns_embedded::RunLnsTool(args, dir.Path(), out, err) != 0) {
      state.SkipWithError(err.str().c_str());
      return;
    }
  }
  auto server = std::make_shared<lns_embedded::EmbeddedObjectServer>(dir / "lns");
  server->Open(0);
  auto object = std::dynamic_pointer_cast<lns::LonMarkObject>(
      lns::ResolveObjectName(*server, "Demo/System.Floor 1/Block device/Block"));
  auto cps = object->ConfigProperties();
  auto db = server->Database("Demo");
  int round = 0;
  for (auto _ : state) {
    ++round;
    db->StartTransaction();
    for (int32_t i = 1; i <= 40; i += 4) {
      auto cp = cps->Item(i);
      cp->SetValueFormat("RAW");
      std::string value = std::to_string(round % 200);
      for (int b = 1; b < 50; ++b) value += "\t" + std::to_string((round + b) % 200);
      cp->SetValue(value);
    }
    db->CommitTransaction();
  }
}
BENCHMARK(BM_Write10CpsSpreadOverTheFile)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  testing_support::EnterPrivateNetwork();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
