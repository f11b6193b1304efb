// Writing 100 changed CPs to the embedded server (argument 1: in one transaction, as the set
// does; 0: without one, each CP committed on its own), and saving and loading a parameter
// set file of 1,000 parameters.

#include <benchmark/benchmark.h>

#include "counting_cp.h"
#include "params/params.h"
#include "platform/ini/profile_ini_file.h"

namespace {

void BM_Write100ChangedCps(benchmark::State& state) {
  bench_support::ManyCpsNetwork network("write", 100, 4);
  auto cps = network.Cps();
  params::cParams set;
  if (state.range(0) == 1) set.SetSystem(network.System());
  std::vector<std::shared_ptr<params::cParam2Byte>> parameters;
  for (int c = 1; c <= 100; ++c) parameters.push_back(set.Add2ByteParameter("P" + std::to_string(c), cps->Item(c), ""));
  int32_t value = 0;
  for (auto _ : state) {
    ++value;
    for (auto& parameter : parameters) parameter->SetValue(value & 0x7FFF);
    set.WriteToLns();
  }
  state.counters["cps_per_write"] = 100;
}
BENCHMARK(BM_Write100ChangedCps)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 1,000 parameters: 400 text boxes, 200 combo boxes, 200 check boxes, 100 two-byte, 100 ASCII.
void Fill(params::cParams& set) {
  auto cp = std::make_shared<bench_support::ManyCpsNetwork>("file", 1, 4);
  for (int i = 0; i < 400; ++i) {
    set.AddTextBoxParameter("Text" + std::to_string(i), nullptr, cp->Cps()->Item(1), "")->SetValue(i);
  }
  for (int i = 0; i < 200; ++i) {
    set.AddComboBoxParameter("Combo" + std::to_string(i), nullptr, cp->Cps()->Item(1), "")->SetValue(i % 4);
    set.AddCheckBoxParameter("Check" + std::to_string(i), nullptr, cp->Cps()->Item(1), "")->SetValue(i % 2);
  }
  for (int i = 0; i < 100; ++i) {
    set.Add2ByteParameter("Two" + std::to_string(i), cp->Cps()->Item(1), "")->SetValue(i * 3);
    set.AddAsciiParameter("Text" + std::to_string(i), cp->Cps()->Item(1), "")->SetValue("label " + std::to_string(i));
  }
}

void BM_SaveAndLoad1000Parameters(benchmark::State& state) {
  params::cParams set;
  Fill(set);
  set.SetIniFileFactory([] { return std::make_unique<platform::ini::ProfileIniFile>(); });
  const auto folder = std::filesystem::temp_directory_path() / ("portab-bench-dat-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "set.dat").string();
  platform::ini::ProfileIniFile plugInIni((folder / "PortaB.ini").string());
  for (auto _ : state) {
    if (!set.WriteToFile(file, "veltaPortaB", "P", "1")) state.SkipWithError("not written");
    if (set.LoadFromFile(file, plugInIni, "veltaPortaB", "P", "1") != 0) state.SkipWithError("not loaded");
  }
  state.counters["parameters"] = static_cast<double>(set.AllParameters().Count());
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveAndLoad1000Parameters)->Unit(benchmark::kMillisecond);

}  // namespace
