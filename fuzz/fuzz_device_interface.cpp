// What a device says of its interface: the template file, self-documentation strings and
// self-identification data. A damaged input is an InterfaceError; anything else that escapes,
// or a record that breaks what the parsers promise, is a finding.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/device_interface/cp_records.h"
#include "platform/device_interface/interface_error.h"
#include "platform/device_interface/self_doc.h"
#include "platform/device_interface/si_data.h"

using namespace platform::device_interface;

namespace {

template <typename F>
void Parse(F parse) {
  try {
    parse();
  } catch (const InterfaceError&) {
    // a damaged input, said so
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Parse([&] {
    const auto records = ParseTemplateFile(text);
    uint64_t total = 0;
    for (const auto& record : records) {
      if (record.size == 0 || record.dimension == 0) std::abort();
      total += record.Bytes();
    }
    const auto places = ValueFileLayout(records, false);
    if (places.size() != records.size() || (!places.empty() && places.back().offset + records.back().Bytes() != total)) {
      std::abort();
    }
  });
  Parse([&] { ParseConfigNvSelfDoc(text, "fuzz"); });
  Parse([&] {
    const auto doc = ParseNodeSelfDoc(text, "fuzz");
    for (size_t i = 0; i < doc.blocks.size(); ++i) {
      if (doc.blocks[i].index != i) std::abort();
    }
  });
  Parse([&] { ParseNvSelfDoc(text, "fuzz"); });
  Parse([&] {
    const auto si = ParseSiData(std::span<const uint8_t>(data, size));
    if (si.nvs.size() != si.nvEntries) std::abort();
  });
  return 0;
}
