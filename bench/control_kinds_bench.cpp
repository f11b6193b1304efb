// A read pass over 1,000 parameters of mixed kinds with their controls, ten on each of 100
// LNS CPs of the embedded server, with the server reads counted. Argument 0 reads parameter
// by parameter (every parameter fetches its CP); 1 is the set's read pass, in which the
// parameters of one CP share one server read.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "params/params.h"
#include "platform/lns_embedded/embedded_server.h"
#include "platform/lns_embedded/network_description.h"

namespace {

using namespace params::cParamEnums;

// Counts the value reads that reach the server.
class CountingCp final : public lns::ConfigProperty {
 public:
  CountingCp(std::shared_ptr<lns::ConfigProperty> inner, int64_t& reads) : inner_(std::move(inner)), reads_(reads) {}
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
  void SetValue(std::string_view text) override { inner_->SetValue(text); }
  std::vector<uint8_t> RawRead(int32_t e, int32_t c, int32_t o) const override {
    ++reads_;
    return inner_->RawRead(e, c, o);
  }
  void RawWrite(int32_t e, int32_t c, const std::vector<uint8_t>& b, int32_t o) override { inner_->RawWrite(e, c, b, o); }
  int64_t Identity() const override { return inner_->Identity(); }

 private:
  std::shared_ptr<lns::ConfigProperty> inner_;
  int64_t& reads_;
};

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
  const auto folder = std::filesystem::temp_directory_path() / ("portab-bench-kinds-" + std::to_string(::getpid()));
  std::string cps;
  for (int i = 0; i < 100; ++i) {
    cps += std::string(i > 0 ? "," : "") + R"({"name": "Cp)" + std::to_string(i) + R"(", "dimension": 16})";
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
  params::cParams set;
  for (int c = 1; c <= 100; ++c) AddParametersOnCp(set, std::make_shared<CountingCp>(lnsCps->Item(c), reads), c);
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
  server.reset();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadPassMixedKinds)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
