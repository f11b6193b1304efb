// The registry store's reader on arbitrary file bytes. A file that reads must write back to
// a file that reads as the same keys and values, and writing that again changes nothing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "platform/registry/reg_document.h"

namespace {

using platform::registry::RegDocument;

// Every key and value of `read` is in `written` with the same data (the order may differ).
bool Kept(const RegDocument& read, const RegDocument& written) {
  for (const auto& key : read.Keys()) {
    const auto same = std::find_if(written.Keys().begin(), written.Keys().end(), [&](const auto& other) {
      return other.hive == key.hive && other.otherHive == key.otherHive && other.path == key.path;
    });
    if (same == written.Keys().end() || same->values.size() != key.values.size()) return false;
    for (const auto& value : key.values) {
      if (std::find(same->values.begin(), same->values.end(), value) == same->values.end()) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<RegDocument> doc;
  try {
    doc = RegDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.reg");
  } catch (const base::Error&) {
    return 0;  // a damaged file, reported as such
  }
  // Keys come back in the written (sorted) order, so compare the rewrite with its own rewrite.
  const std::string written = doc->Serialize();
  const RegDocument again = RegDocument::Parse(written, "rewritten.reg");
  const std::string rewritten = again.Serialize();
  if (rewritten != written) std::abort();
  if (!Kept(*doc, again) || !Kept(again, *doc)) std::abort();
  return 0;
}
