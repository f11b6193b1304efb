// What a device says of its interface: the template file (with its values taken out of value
// files of the fuzzed bytes), self-documentation strings, self-identification data and the file
// directory, and device interface files (XIF), which must read back once written. A damaged input is an InterfaceError; anything else that escapes,
// or a record that breaks what the parsers promise, is a finding.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "platform/device_interface/cp_records.h"
#include "platform/device_interface/device_interface.h"
#include "platform/device_interface/interface_error.h"
#include "platform/device_interface/self_doc.h"
#include "platform/device_interface/si_data.h"
#include "platform/device_interface/xif_file.h"
#include "platform/device_interface/xif_writer.h"

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
    auto cps = TemplateCps(records, true);
    TakeValues(cps, std::span<const uint8_t>(data, size), std::span<const uint8_t>(data, size / 2));
    for (const auto& cp : cps) {
      if (cp.value.size() != cp.record.Bytes()) std::abort();
      uint32_t shared = 0;
      for (const auto& share : SharesOf(cp.record)) {
        if (share.offset + uint32_t{share.dimension} * cp.record.size > cp.record.Bytes()) std::abort();
        shared += share.dimension;
      }
      if (shared < cp.record.dimension && cp.record.appliesTo != AppliesTo::Device) std::abort();
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
  Parse([&] {
    const auto xif = ParseXif(text, "fuzz.xif");
    for (const auto& cp : xif.device.cps) {
      if (!cp.value.empty() && cp.value.size() != cp.record.Bytes() && cp.place.kind != CpPlace::Kind::ConfigNv) std::abort();
    }
    // A file written from what was read reads back, and writes the same text again.
    const std::string written = WriteXif(xif);
    try {
      if (WriteXif(ParseXif(written, "written.xif")) != written) std::abort();
    } catch (const InterfaceError&) {
      std::abort();
    }
  });
  Parse([&] {
    if (size < 2) return;
    const auto directory = ParseFileDirectory(data[0], data[1], std::span<const uint8_t>(data + 2, size - 2));
    if (directory.files.size() != data[1]) std::abort();
    CpFilesOf(directory, static_cast<uint16_t>(size * 31));
  });
  return 0;
}
