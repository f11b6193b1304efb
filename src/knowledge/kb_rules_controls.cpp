// The knowledge-base checker's rules for the Controls file: parameter sections
// "<parameter type>.<name>" with their control kind, position, range, list items and picture,
// and the view sections "<channel type or module parameter type>#VIEW" with their overrides.

#include <filesystem>

#include "knowledge/ini_fields.h"
#include "knowledge/kb_rules.h"

namespace knowledge {
namespace {

constexpr KbFile kControls = KbFile::Controls;

// The control kinds that need their own settings.
constexpr int32_t kTextBox = 0;
constexpr int32_t kComboBox = 1;
constexpr int32_t kFunction = 2;
constexpr int32_t kPicture = 5;
constexpr int32_t kTextBox2 = 7;
constexpr int32_t kLastKind = 8;

}  // namespace

void KbRules::CheckControls() {
  for (const auto& section : Sections(kControls)) {
    Guarded(kControls, section, [&] {
      if (EndsWithNoCase(section, kViewSuffix)) {
        CheckViewSection(section);
      } else if (section.find('.') != std::string::npos) {
        CheckParameterSection(section);
      }
    });
  }
}

// A module parameter type's or a channel type's view: the parameter order, the marks
// "Exception#<parameter>" and the overrides "Exception#<parameter>~<setting>".
void KbRules::CheckViewSection(const std::string& section) {
  const std::string owner = section.substr(0, section.size() - kViewSuffix.size());
  const int line = File(kControls).SectionLine(section);
  if (StartsWithNoCase(owner, "MODP")) {
    EnumValue(kControls, line, "[" + section + "]", owner);
  } else {
    ChannelType(kControls, line, "[" + section + "]", owner);
  }
  for (const auto& key : Keys(kControls, section)) {
    if (!StartsWithNoCase(key, "Exception#")) continue;
    const size_t tilde = key.rfind('~');
    if (tilde != std::string::npos) {
      ResourceSetting(kControls, section, key, std::string_view(key).substr(tilde + 1));
    } else {
      ShowMark(kControls, Line(kControls, section, key), key, Value(kControls, section, key), false);
    }
  }
}

void KbRules::CheckParameterSection(const std::string& section) {
  EnumValue(kControls, File(kControls).SectionLine(section), "[" + section + "]", section.substr(0, section.find('.')));
  for (const auto& key : Keys(kControls, section)) ResourceSetting(kControls, section, key, key);
  CheckControlKind(section);
}

// A parameter without "ControlType" has no control at all, which is a choice of the author.
void KbRules::CheckControlKind(const std::string& section) {
  const std::string type = Value(kControls, section, "ControlType");
  if (type.empty()) return;
  const int line = Line(kControls, section, "ControlType");
  const auto kind = EnumValue(kControls, line, "ControlType", type);
  if (!kind) return;
  if (*kind < 0 || *kind > kLastKind) {
    Report(kControls, line,
           "ControlType " + Quoted(type) + " is " + std::to_string(*kind) + ", not a control kind (0..8)");
    return;
  }
  if (Value(kControls, section, "ControlPos").empty()) {
    Report(kControls, File(kControls).SectionLine(section),
           "[" + section + "] has no ControlPos: the parameter gets no control");
  }
  if (*kind == kTextBox || *kind == kTextBox2) CheckTextBox(section);
  if (*kind == kComboBox) CheckComboBox(section);
  if (*kind == kPicture) CheckPicture(section);
  if (*kind == kFunction) {
    const std::string value = Value(kControls, section, "Value");
    const std::string function = base::Field(value, 1, ",");
    const int valueLine = Line(kControls, section, "Value");
    if (!value.empty() && function.empty()) Report(kControls, valueLine, "Value field 1 (the function) is empty");
    if (!function.empty()) EnumValue(kControls, valueLine, "Value field 1", function);
  }
}

// The four numbers are read in this order and reading stops at the first one missing.
void KbRules::CheckTextBox(const std::string& section) {
  std::array<std::optional<double>, 4> numbers;
  const std::array<const char*, 4> keys{"RangeMin", "RangeMax", "Factor", "Resolution"};
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::string value = Value(kControls, section, keys[i]);
    if (value.empty()) {
      Report(kControls, File(kControls).SectionLine(section),
             "text box [" + section + "] has no " + keys[i] + ": it gets no range");
      return;
    }
    numbers[i] = Number(value);
    if (!numbers[i])
      Report(kControls, Line(kControls, section, keys[i]),
             std::string(keys[i]) + " " + Quoted(value) + " is not a number");
  }
  const auto& [rangeMin, rangeMax, factor, resolution] = numbers;
  if (rangeMin && rangeMax && *rangeMin > *rangeMax) {
    Report(kControls, Line(kControls, section, "RangeMin"), "RangeMin is above RangeMax: no value fits the range");
  }
  if (factor && base::RoundHalfEven(*factor) == 0) {
    Report(kControls, Line(kControls, section, "Factor"), "Factor rounds to 0: no value can be scaled by it");
  }
  if (resolution && *resolution <= 0) {
    Report(kControls, Line(kControls, section, "Resolution"),
           "Resolution is not above 0: no value can be snapped to it");
  }
}

// Items "<resource key>~<value>"; the list ends at its first empty item.
void KbRules::CheckComboBox(const std::string& section) {
  const std::string value = Value(kControls, section, "ListItems");
  if (value.empty()) {
    Report(kControls, File(kControls).SectionLine(section), "combo box [" + section + "] has no ListItems");
    return;
  }
  const int line = Line(kControls, section, "ListItems");
  const auto items = base::Split(value, ",");
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string item = "ListItems item " + std::to_string(i + 1);
    if (!items[i].empty()) {
      if (items[i].find('~') == std::string::npos)
        Report(kControls, line, item + " " + Quoted(items[i]) + " has no \"~<value>\"");
      continue;
    }
    for (size_t later = i + 1; later < items.size(); ++later) {
      if (items[later].empty()) continue;
      Report(kControls, line, item + " is empty: the list ends there and the items after it are never shown");
      break;
    }
    return;
  }
}

// The picture's file name is relative to the Controls file's folder.
void KbRules::CheckPicture(const std::string& section) {
  const std::string path = Value(kControls, section, "Path");
  if (path.empty()) {
    Report(kControls, File(kControls).SectionLine(section), "picture [" + section + "] has no Path");
    return;
  }
  const std::filesystem::path controls = File(kControls).GetFile();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(controls.parent_path() / path, ec)) {
    Report(kControls, Line(kControls, section, "Path"),
           "Path names " + Quoted(path) + ", which does not exist next to the Controls file");
  }
}

}  // namespace knowledge
