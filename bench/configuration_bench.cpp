// The configuration side of a run: FetchCPs plus ReadSettings on the demo object, and a read
// pass over 1,000 parameters on 100 CPs, with the raw server transfers counted.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/configuration.h"
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

// Counts the raw transfers that reach the server.
class CountingCp final : public lns::ConfigProperty {
 public:
  CountingCp(std::shared_ptr<lns::ConfigProperty> inner, int64_t& reads, int64_t& writes)
      : inner_(std::move(inner)), reads_(reads), writes_(writes) {}
  lns::ObjectPtr Parent() const override { return inner_->Parent(); }
  std::string Name() const override { return inner_->Name(); }
  int16_t ElementSize() const override { return inner_->ElementSize(); }
  int16_t Dimension() const override { return inner_->Dimension(); }
  std::string ValueFormat() const override { return inner_->ValueFormat(); }
  void SetValueFormat(std::string_view format) override { inner_->SetValueFormat(format); }
  std::string Value() const override {
    ++reads_;
    return inner_->Value();
  }
  void SetValue(std::string_view text) override {
    ++writes_;
    inner_->SetValue(text);
  }
  std::vector<uint8_t> RawRead(int32_t e, int32_t c, int32_t o) const override {
    ++reads_;
    return inner_->RawRead(e, c, o);
  }
  void RawWrite(int32_t e, int32_t c, const std::vector<uint8_t>& b, int32_t o) override {
    ++writes_;
    inner_->RawWrite(e, c, b, o);
  }
  int64_t Identity() const override { return inner_->Identity(); }

 private:
  std::shared_ptr<lns::ConfigProperty> inner_;
  int64_t& reads_;
  int64_t& writes_;
};

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
  const auto folder = Folder("readpass");
  std::string cps;
  for (int i = 0; i < 100; ++i) {
    cps += std::string(i > 0 ? "," : "") + R"({"name": "Cp)" + std::to_string(i) + R"(", "dimension": 10})";
  }
  platform::lns_embedded::CreateNetwork(
      folder / "lns",
      R"({"network": "Big", "system": "S", "subsystems": [{"name": "A", "devices": [{"name": "D", "programId": "P", "cps": [)" +
          cps + "]}]}]}",
      true);
  auto server = std::make_shared<platform::lns_embedded::EmbeddedObjectServer>(folder / "lns");
  server->Open(0);
  auto lnsCps = server->Networks()->Item(1)->Systems()->Item(1)->Subsystems()->Item(1)->AppDevices()->Item(1)
                    ->Interface()->ConfigProperties();
  int64_t reads = 0;
  int64_t writes = 0;
  params::cParams set;
  for (int c = 1; c <= 100; ++c) {
    auto buffer = set.AddConfigProp("Cp" + std::to_string(c), std::make_shared<CountingCp>(lnsCps->Item(c), reads, writes), "");
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
  server.reset();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadPass1000Parameters)->Unit(benchmark::kMillisecond);

}  // namespace
