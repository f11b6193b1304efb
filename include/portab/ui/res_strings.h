#pragma once
// Resource strings by id, in the current language, and the language setting.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace services::registry {
class Registry;
}

namespace ui {

// The key whose "Options" section holds the language of all the maker's plug-ins.
inline constexpr std::string_view kSharedLanguageKey = "SOFTWARE\\velta\\tessel Register";
// The language offsets: added to an English id they give the entry of that language.
inline constexpr int16_t kEnglishOffset = 0;
inline constexpr int16_t kGermanOffset = 1000;

// 0 selects English, 1000 German; read once at start (read/write).
int16_t LanguageOffset();
void SetLanguageOffset(int16_t offset);

// Item `itemIndex` (from 1; 0 is changed to 1 in the caller's variable) of entry
// id + LanguageOffset, with "¶" turned into CR LF. A missing entry or item gives "".
// An id whose sum with the offset leaves the 16-bit range raises the overflow error (6).
std::string GetResString(int16_t id, int16_t& itemIndex);
// The same for a fixed item index.
std::string ResString(int16_t id, int16_t itemIndex = 1);

// The whole stored text of an entry (any id, no language offset), nullopt when missing.
std::optional<std::string_view> StoredResString(int32_t id);

// A control's design-time tag "c/t": c the id of its caption, t the id of its tool tip.
struct ControlTexts {
  std::optional<std::string> caption;  // nullopt: the caption stays as it is
  std::string toolTip;                 // empty: the tool tip is cleared
};
// The texts of a tag: the caption when c is above 0, the tool tip when t is 1 or more and tool
// tips are enabled. Error 6 for an id beyond 16 bits.
ControlTexts TextsForTag(std::string_view tag, bool toolTipsEnabled);

// The language offset stored for all of the maker's plug-ins ("0" when missing); error 6 for
// a stored number beyond 16 bits.
int16_t ReadSharedLanguageSetting(const services::registry::Registry& registry);
// Writes LanguageOffset as "Language" in section "Options" of the plug-in's own key; an error
// goes to the error operation.
void SaveLanguageSetting(services::registry::Registry& registry, std::string_view plugInKey);

}  // namespace ui
