#include "ui/res_strings.h"

#include <unordered_map>

#include "base/error.h"
#include "base/procedure.h"
#include "base/text.h"
#include "services/registry.h"
#include "ui/res_strings_table.h"

namespace ui {
namespace {

int16_t g_languageOffset = kEnglishOffset;

const std::unordered_map<int32_t, std::string_view>& Table() {
  static const auto table = [] {
    std::unordered_map<int32_t, std::string_view> map;
    for (const auto& entry : StringTableEntries()) {
      map.emplace(entry.id, entry.english);
      map.emplace(entry.id + kGermanOffset, entry.german);
    }
    return map;
  }();
  return table;
}

}  // namespace

int16_t LanguageOffset() { return g_languageOffset; }
void SetLanguageOffset(int16_t offset) { g_languageOffset = offset; }

std::optional<std::string_view> StoredResString(int32_t id) {
  const auto it = Table().find(id);
  if (it == Table().end()) return std::nullopt;
  return it->second;
}

std::string GetResString(int16_t id, int16_t& itemIndex) {
  if (itemIndex == 0) itemIndex = 1;
  const int32_t key = static_cast<int32_t>(id) + g_languageOffset;
  if (key > INT16_MAX || key < INT16_MIN) throw base::Error(base::err::kOverflow, "GetResString");
  const auto text = StoredResString(key);
  if (!text) return {};
  const std::string item = base::Field(*text, itemIndex, "\xC2\xA6");  // "¦"
  return base::ReplaceAll(item, "\xC2\xB6", "\r\n");                    // "¶"
}

std::string ResString(int16_t id, int16_t itemIndex) { return GetResString(id, itemIndex); }

ControlTexts TextsForTag(std::string_view tag, bool toolTipsEnabled) {
  const double captionId = base::Val(base::Field(tag, 1, "/"));
  const double toolTipId = base::Val(base::Field(tag, 2, "/"));
  ControlTexts texts;
  if (captionId > 0) texts.caption = ResString(base::CInt(captionId));
  if (toolTipId >= 1 && toolTipsEnabled) texts.toolTip = ResString(base::CInt(toolTipId));
  return texts;
}

int16_t ReadSharedLanguageSetting(const services::registry::Registry& registry) {
  const std::string stored = services::registry::ReadSetting(
      registry, services::registry::Hive::LocalMachine, kSharedLanguageKey, "Options", "Language", "0");
  return base::CInt(base::Val(stored));
}

void SaveLanguageSetting(services::registry::Registry& registry, std::string_view plugInKey) {
  base::RunProcedure("M_ResStrings", base::Visibility::Public, "SaveLanguageSetting", [&](base::ErrorScope&) {
    services::registry::WriteSetting(registry, services::registry::Hive::LocalMachine, plugInKey, "Options",
                                     "Language", std::to_string(g_languageOffset));
  });
}

}  // namespace ui
