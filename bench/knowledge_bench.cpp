// The knowledge base on a file of 1.6 MB (2,000 sections of 20 keys with comma lists and
// comments, like a large Controls file): the parse, against a plain C INI parser on the same
// text, and keyed reads through the field reader over 10,000 control descriptions.

#include <benchmark/benchmark.h>
#include <ini.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "knowledge/ini_fields.h"
#include "platform/ini/ini_document.h"
#include "platform/ini/profile_ini_file.h"

namespace {

constexpr int kSections = 2000;
constexpr int kKeys = 20;

std::string SectionName(int s) { return "DCHP_TIME.Parameter" + std::to_string(s); }
std::string KeyName(int k) { return "Setting" + std::to_string(k); }

std::string KnowledgeBaseText() {
  std::string text;
  for (int s = 0; s < kSections; ++s) {
    text += "[" + SectionName(s) + "]\r\n; the control of parameter " + std::to_string(s) + "\r\n";
    for (int k = 0; k < kKeys; ++k) {
      text += KeyName(k) + "=CPCT_TextBox," + std::to_string(k) + ",100,0 ; ms\r\n";
    }
  }
  return text;
}

void BM_KbParse(benchmark::State& state) {
  const std::string text = KnowledgeBaseText();
  for (auto _ : state) benchmark::DoNotOptimize(platform::ini::IniDocument::Parse(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_KbParse)->Unit(benchmark::kMillisecond);

// The same text through inih, which only calls back per key and keeps nothing.
void BM_KbParsePlainC(benchmark::State& state) {
  const std::string text = KnowledgeBaseText();
  for (auto _ : state) {
    long keys = 0;
    ini_parse_string(
        text.c_str(),
        [](void* user, const char*, const char*, const char*) {
          ++*static_cast<long*>(user);
          return 1;
        },
        &keys);
    benchmark::DoNotOptimize(keys);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_KbParsePlainC)->Unit(benchmark::kMillisecond);

// The knowledge-base file in a folder of its own, removed at the end.
struct BenchFile {
  BenchFile() {
    std::filesystem::create_directories(folder);
    std::ofstream(file, std::ios::binary) << KnowledgeBaseText();
  }
  ~BenchFile() { std::filesystem::remove_all(folder); }
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("portab-bench-kb-" + std::to_string(::getpid()));
  std::filesystem::path file = folder / "Controls.ini";
};

// ReadIniField as the readers call it, on 10,000 control descriptions picked at random, each
// read the way a settings reader reads one: five keys of its section in a row. The whole file
// is the working set, so most reads wait for memory.
void BM_KbKeyedRead(benchmark::State& state) {
  const BenchFile bench;
  platform::ini::ProfileIniFile ini(bench.file.string());
  std::vector<std::string> sections;
  std::vector<std::string> keys;
  for (int s = 0; s < kSections; ++s) sections.push_back(SectionName(s));
  for (int k = 0; k < kKeys; ++k) keys.push_back(KeyName(k));
  std::vector<std::pair<int, int>> reads;  // section and key of each read
  std::mt19937 random(7);
  for (int i = 0; i < 10000; ++i) {
    const int section = static_cast<int>(random() % kSections);
    for (int k = 0; k < 5; ++k) reads.emplace_back(section, static_cast<int>(random() % kKeys));
  }
  size_t i = 0;
  for (auto _ : state) {
    const auto [section, key] = reads[i];
    benchmark::DoNotOptimize(knowledge::ReadIniField(ini, sections[section], keys[key], -1));
    i = i + 1 == reads.size() ? 0 : i + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KbKeyedRead);

// The same reads over the five keys of one description: the cost of a read itself.
void BM_KbKeyedReadOneDescription(benchmark::State& state) {
  const BenchFile bench;
  platform::ini::ProfileIniFile ini(bench.file.string());
  const std::string section = SectionName(77);
  const std::string keys[] = {KeyName(1), KeyName(5), KeyName(9), KeyName(13), KeyName(17)};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(knowledge::ReadIniField(ini, section, keys[i], -1));
    i = i == 4 ? 0 : i + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_KbKeyedReadOneDescription);

}  // namespace
