// The INI component on arbitrary file bytes. Besides not crashing, every keyed read must
// agree with a plain walk over the section's lines: the first line of a key wins.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/text.h"
#include "platform/ini/ini_document.h"

namespace {

void CheckSection(const platform::ini::IniDocument& doc, const std::string& section) {
  const auto entries = doc.SectionEntries(section);
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t equals = entries[i].find('=');
    if (equals == std::string::npos || equals == 0) continue;
    const std::string key = entries[i].substr(0, equals);
    bool first = true;
    for (size_t j = 0; j < i && first; ++j) {
      first = !base::EqualsNoCase(std::string_view(entries[j]).substr(0, entries[j].find('=')), key);
    }
    if (!first) continue;
    const auto value = doc.FindValue(section, key);
    if (!value || *value != entries[i].substr(equals + 1) || doc.KeyLine(section, key) == 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto doc = platform::ini::IniDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const std::string& section : doc.SectionNames()) {
    if (!doc.HasSection(section)) std::abort();
    CheckSection(doc, section);
  }
  (void)doc.Notes();
  (void)doc.FindValue("General", "PlugInName");
  return 0;
}
