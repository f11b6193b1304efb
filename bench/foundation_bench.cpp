// Speed of the pieces every run goes through: string lookups, the numeric value of a
// text, keyed collection access, and reading and writing the registry store.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "base/collection.h"
#include "base/text.h"
#include "platform/registry/file_registry.h"
#include "ui/res_strings.h"

namespace {

void BM_ResString(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ui::ResString(1428, 3));
}
BENCHMARK(BM_ResString);

void BM_Val(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(base::Val("  1234.5e1 trailing"));
}
BENCHMARK(BM_Val);

void BM_CollectionByKey(benchmark::State& state) {
  base::Collection<int> items;
  for (int i = 0; i < state.range(0); ++i) items.Add(i, "Parameter" + std::to_string(i));
  for (auto _ : state) benchmark::DoNotOptimize(items.Item("PARAMETER" + std::to_string(state.range(0) / 2)));
}
BENCHMARK(BM_CollectionByKey)->Arg(10)->Arg(1000);

std::filesystem::path BenchRegistryFile() {
  return std::filesystem::temp_directory_path() / ("portab-bench-" + std::to_string(::getpid())) / "registry.reg";
}

// A store of `range` keys; reads hit the parsed cache unless the file changed.
void BM_RegistryRead(benchmark::State& state) {
  const auto file = BenchRegistryFile();
  platform::registry::FileRegistry reg(file);
  for (int i = 0; i < state.range(0); ++i) {
    reg.WriteValue(services::registry::Hive::ClassesRoot, "Prog" + std::to_string(i) + "\\Clsid", "", "{x}");
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(reg.ReadValue(services::registry::Hive::ClassesRoot, "Prog1\\Clsid", ""));
  }
  std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_RegistryRead)->Arg(10)->Arg(200);

// Each write re-reads, changes and atomically replaces the file under the lock.
void BM_RegistryWrite(benchmark::State& state) {
  const auto file = BenchRegistryFile();
  platform::registry::FileRegistry reg(file);
  for (int i = 0; i < state.range(0); ++i) {
    reg.WriteValue(services::registry::Hive::ClassesRoot, "Prog" + std::to_string(i) + "\\Clsid", "", "{x}");
  }
  int64_t n = 0;
  for (auto _ : state) {
    reg.WriteValue(services::registry::Hive::LocalMachine, "SOFTWARE\\velta\\veltaPortaB\\Options", "Language",
                   std::to_string(n++ % 2 * 1000));
  }
  std::filesystem::remove_all(file.parent_path());
}
BENCHMARK(BM_RegistryWrite)->Arg(10)->Arg(200);

}  // namespace
