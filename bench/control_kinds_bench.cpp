// A read pass over 1,000 parameters of mixed kinds with their controls, ten on each of 100
// LNS CPs of the embedded server, with the server reads counted. Argument 0 reads parameter
// by parameter (every parameter fetches its CP); 1 is the set's read pass, in which the
// parameters of one CP share one server read.

#include <benchmark/benchmark.h>

#include "counting_cp.h"
#include "params/params.h"

namespace {

using namespace params::cParamEnums;

// Per CP of 16 bytes: three text boxes (bytes 1-6), two combo boxes (7, 8), two check boxes
// (9, 10), one one-byte parameter (11), one ASCII text (12-16) and one option-button group.
void AddParametersOnCp(params::cParams& set, const std::shared_ptr<lns::ConfigProperty>& cp, int c) {
  using namespace ui::window;
  const std::string n = std::to_string(c);
  for (int16_t i = 0; i < 3; ++i) {
    auto p = set.AddTextBoxParameter("T" + n + "_" + std::to_string(i), std::make_shared<TextBox>("txt", c * 3 + i), cp, "");
    p->SetSnvtType(SNVT_temp_p);
    p->ConsiderPartOfCpOnly(static_cast<int16_t>(1 + 2 * i), 2);
    p->SetLockMode(LM_UNLOCKED);
  }
  for (int16_t i = 0; i < 2; ++i) {
    auto p = set.AddComboBoxParameter("C" + n + "_" + std::to_string(i), std::make_shared<ComboBox>("cbo", c * 2 + i), cp, "");
    for (int32_t data = 0; data < 4; ++data) p->AddComboBoxItem("Entry " + std::to_string(data), data);
    p->ConsiderPartOfCpOnly(static_cast<int16_t>(7 + i), 1);
  }
  for (int16_t i = 0; i < 2; ++i) {
    auto p = set.AddCheckBoxParameter("K" + n + "_" + std::to_string(i), std::make_shared<CheckBox>("chk"), cp, "");
    p->SetValueChecked(1);
    p->ConsiderPartOfCpOnly(static_cast<int16_t>(9 + i), 1);
  }
  set.Add1ByteParameter("B" + n, cp, "")->ConsiderPartOfCpOnly(11);
  set.AddAsciiParameter("A" + n, cp, "")->ConsiderPartOfCpOnly(12, 5);
  auto options = set.AddOptionButtonParameter("O" + n, cp, "");
  auto group = std::make_shared<OptionGroup>();
  for (int b = 0; b < 2; ++b) {
    auto button = std::make_shared<OptionButton>("opt", b);
    OptionGroup::Join(group, button);
    options->AddOptionButton(button, std::string(b == 0 ? "0" : "1") + std::string(15, ' '));
  }
}

void BM_ReadPassMixedKinds(benchmark::State& state) {
  const bool sharedPass = state.range(0) == 1;
  bench_support::ManyCpsNetwork network("kinds", 100, 16);
  auto lnsCps = network.Cps();
  int64_t reads = 0;
  int64_t writes = 0;
  params::cParams set;
  for (int c = 1; c <= 100; ++c) {
    AddParametersOnCp(set, std::make_shared<bench_support::CountingCp>(lnsCps->Item(c), reads, writes), c);
  }
  int64_t passes = 0;
  for (auto _ : state) {
    if (sharedPass) {
      set.ReadFromLns();
    } else {
      for (const auto& parameter : set.AllParameters()) parameter->ReadFromLns();
    }
    ++passes;
  }
  state.counters["parameters"] = static_cast<double>(set.AllParameters().Count());
  state.counters["server_reads_per_pass"] = static_cast<double>(reads) / static_cast<double>(passes);
}
BENCHMARK(BM_ReadPassMixedKinds)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
