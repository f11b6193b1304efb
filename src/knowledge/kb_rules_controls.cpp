// The knowledge-base checker's rules for the Controls file: parameter sections
// "<parameter type>.<name>" with their control kind, position, range, list items and picture,
// and the view sections "<channel type or module parameter type>#VIEW" with their order,
// marks and overrides. Overrides are judged the way the readers combine them with the base
// values, wherever they are written (also in the module exception sections).

#include <algorithm>
#include <filesystem>

#include "knowledge/ini_fields.h"
#include "knowledge/kb_rules.h"

namespace knowledge {
namespace {

constexpr KbFile kControls = KbFile::Controls;
constexpr std::string_view kExceptionPrefix = "Exception#";

// The control kinds that need their own settings.
constexpr int32_t kTextBox = 0;
constexpr int32_t kComboBox = 1;
constexpr int32_t kFunction = 2;
constexpr int32_t kPicture = 5;
constexpr int32_t kCheckBox = 6;
constexpr int32_t kTextBox2 = 7;
constexpr int32_t kLastKind = 8;

// The numbers of a text box, in the order the reader reads them.
constexpr std::array<std::string_view, 4> kTextBoxNumbers{"RangeMin", "RangeMax", "Factor", "Resolution"};

bool IsTextBoxNumber(std::string_view setting) {
  return std::any_of(kTextBoxNumbers.begin(), kTextBoxNumbers.end(),
                     [&](std::string_view number) { return base::EqualsNoCase(number, setting); });
}

bool IsTextBox(std::optional<int32_t> kind) { return kind && (*kind == kTextBox || *kind == kTextBox2); }

bool IsModuleView(std::string_view owner) { return StartsWithNoCase(owner, kModuleParameterPrefix); }

void AddOnce(std::vector<std::string>& names, std::string name) {
  const auto same = [&](const std::string& known) { return base::EqualsNoCase(known, name); };
  if (std::none_of(names.begin(), names.end(), same)) names.push_back(std::move(name));
}

}  // namespace

// One text-box number as the reader gets it, and whether it is judged here: a base value under
// an override has been judged in its own description.
struct KbRules::TextBoxNumber {
  std::string name;  // the key as written
  std::string text;
  int line = 0;
  bool judged = false;
};

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
  if (IsModuleView(owner)) {
    EnumValue(kControls, line, "[" + section + "]", owner);
  } else {
    ChannelType(kControls, line, "[" + section + "]", owner);
  }
  CheckViewOrder(section, owner);
  std::vector<std::string> numberPrefixes;
  for (const auto& key : Keys(kControls, section)) {
    if (!StartsWithNoCase(key, kExceptionPrefix)) continue;
    CheckViewException(section, owner, key);
    if (key.find('~') != std::string::npos) {
      CheckOverride(kControls, section, key, numberPrefixes);
    } else {
      ShowMark(kControls, Line(kControls, section, key), key, Value(kControls, section, key), false);
    }
  }
  for (const auto& prefix : numberPrefixes) {
    const std::string name = prefix.substr(kExceptionPrefix.size(), prefix.size() - kExceptionPrefix.size() - 1);
    if (const auto described = DescribedSection(owner, name)) {
      CheckTextBoxOverrides(kControls, section, prefix, *described);
    }
  }
}

// Every parameter in "Order" needs a control description, or the window has nothing to show
// for it. Without a Channels file a channel type's parameters cannot be told.
void KbRules::CheckViewOrder(const std::string& section, std::string_view owner) {
  if (!IsModuleView(owner) && !Holds(KbFile::Channels)) return;
  const int line = Line(kControls, section, "Order");
  for (const auto& name : SplitToCollection(Value(kControls, section, "Order"), ",")) {
    if (DescribedSection(owner, name)) continue;
    const auto types = IsModuleView(owner) ? std::vector<std::string>{std::string(owner)} : ChannelParameterTypes(name);
    const std::string named = "Order names " + Quoted(name) + ", which ";
    if (types.empty()) {
      Report(kControls, line, named + "no channel parameter type of " + FileName(KbFile::Channels) + " lists");
    } else {
      Report(kControls, line, named + "has no control description [" + types.front() + "." + name + "]");
    }
  }
}

// "Exception#<name>" and its overrides must name a parameter of the view: one in its Order or
// one with a control description.
void KbRules::CheckViewException(const std::string& section, std::string_view owner, const std::string& key) {
  if (!IsModuleView(owner) && !Holds(KbFile::Channels)) return;
  const size_t tilde = key.find('~');
  const std::string name =
      key.substr(kExceptionPrefix.size(), tilde == std::string::npos ? tilde : tilde - kExceptionPrefix.size());
  for (const auto& ordered : SplitToCollection(Value(kControls, section, "Order"), ",")) {
    if (base::EqualsNoCase(ordered, name)) return;
  }
  if (DescribedSection(owner, name)) return;
  Report(kControls, Line(kControls, section, key),
         Quoted(key) + " names parameter " + Quoted(name) + ", which is neither in Order nor described in this file");
}

std::optional<std::string> KbRules::DescribedSection(std::string_view owner, std::string_view name) const {
  const auto types = IsModuleView(owner) ? std::vector<std::string>{std::string(owner)} : ChannelParameterTypes(name);
  for (const auto& type : types) {
    std::string section = type + "." + std::string(name);
    if (HasSection(kControls, section)) return section;
  }
  return std::nullopt;
}

std::vector<std::string> KbRules::ChannelParameterTypes(std::string_view name) const {
  std::vector<std::string> types;
  for (auto& section : Sections(KbFile::Channels)) {
    if (StartsWithNoCase(section, kChannelParameterPrefix) && File(KbFile::Channels).RawValue(name, section)) {
      types.push_back(std::move(section));
    }
  }
  return types;
}

void KbRules::CheckOverride(KbFile file, const std::string& section, const std::string& key,
                            std::vector<std::string>& numberPrefixes) {
  const size_t tilde = key.rfind('~');
  const std::string setting = key.substr(tilde + 1);
  if (base::EqualsNoCase(setting, "ListItems")) {
    CheckListItems(file, Line(file, section, key), key, Value(file, section, key));
  } else if (IsTextBoxNumber(setting)) {
    AddOnce(numberPrefixes, key.substr(0, tilde + 1));
  } else {
    ResourceSetting(file, section, key, setting);
  }
}

void KbRules::CheckParameterSection(const std::string& section) {
  EnumValue(kControls, File(kControls).SectionLine(section), "[" + section + "]", section.substr(0, section.find('.')));
  for (const auto& key : Keys(kControls, section)) ResourceSetting(kControls, section, key, key);
  CheckControlKind(section);
}

// Without "ControlType" every settings reader gives up on the parameter.
void KbRules::CheckControlKind(const std::string& section) {
  const std::string type = Value(kControls, section, "ControlType");
  if (type.empty()) {
    Report(kControls, File(kControls).SectionLine(section),
           "[" + section + "] has no ControlType: the parameter gets no control and none of these settings");
    return;
  }
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
  if (IsTextBox(kind)) CheckTextBox(section);
  if (*kind == kComboBox) CheckListControl(section, "combo box", false);
  if (*kind == kCheckBox) CheckListControl(section, "check box", true);
  if (*kind == kPicture) CheckPicture(section);
  if (*kind == kFunction) CheckFunction(section);
}

void KbRules::CheckFunction(const std::string& section) {
  const std::string value = Value(kControls, section, "Value");
  const std::string function = base::Field(value, 1, ",");
  const int line = Line(kControls, section, "Value");
  if (!value.empty() && function.empty()) Report(kControls, line, "Value field 1 (the function) is empty");
  if (!function.empty()) EnumValue(kControls, line, "Value field 1", function);
}

// The four numbers are read in this order and reading stops at the first one missing.
void KbRules::CheckTextBox(const std::string& section) {
  std::array<TextBoxNumber, 4> numbers;
  for (size_t i = 0; i < numbers.size(); ++i) {
    const std::string key(kTextBoxNumbers[i]);
    numbers[i] = {key, Value(kControls, section, key), Line(kControls, section, key), true};
    if (numbers[i].text.empty()) {
      Report(kControls, File(kControls).SectionLine(section),
             "text box [" + section + "] has no " + key + ": it gets no range");
      return;
    }
  }
  JudgeTextBox(kControls, numbers);
}

// An override replaces the base value when it is not empty; the numbers are judged as the
// reader combines them. A description without all four base values has no range at all, which
// its own finding says.
void KbRules::CheckTextBoxOverrides(KbFile file, const std::string& section, const std::string& prefix,
                                    const std::string& parameterSection) {
  if (!IsTextBox(KnownEnumValue(Value(kControls, parameterSection, "ControlType")))) return;
  std::array<TextBoxNumber, 4> numbers;
  for (size_t i = 0; i < numbers.size(); ++i) {
    const std::string key(kTextBoxNumbers[i]);
    const std::string base = Value(kControls, parameterSection, key);
    if (base.empty()) return;
    const std::string overrideKey = prefix + key;
    std::string text = Value(file, section, overrideKey);
    numbers[i] = text.empty() ? TextBoxNumber{key, base, 0, false}
                              : TextBoxNumber{overrideKey, std::move(text), Line(file, section, overrideKey), true};
  }
  // An override of one end against a base range that is already empty adds nothing to the
  // description's own finding.
  const auto baseMin = Number(Value(kControls, parameterSection, "RangeMin"));
  const auto baseMax = Number(Value(kControls, parameterSection, "RangeMax"));
  const bool bothEnds = numbers[0].judged && numbers[1].judged;
  JudgeTextBox(file, numbers, bothEnds || (baseMin && baseMax && *baseMin <= *baseMax));
}

// Numbers, a range that holds a value, a factor that scales and a resolution that steps. Only
// judged numbers are reported; the range where either end is judged, at the first judged one.
void KbRules::JudgeTextBox(KbFile file, const std::array<TextBoxNumber, 4>& numbers, bool judgeRange) {
  std::array<std::optional<double>, 4> values;
  for (size_t i = 0; i < numbers.size(); ++i) {
    values[i] = Number(numbers[i].text);
    if (!values[i] && numbers[i].judged)
      Report(file, numbers[i].line, numbers[i].name + " " + Quoted(numbers[i].text) + " is not a number");
  }
  const auto& [rangeMin, rangeMax, factor, resolution] = values;
  const auto& [minAt, maxAt, factorAt, resolutionAt] = numbers;
  if (judgeRange && rangeMin && rangeMax && *rangeMin > *rangeMax && (minAt.judged || maxAt.judged)) {
    Report(
        file, minAt.judged ? minAt.line : maxAt.line,
        minAt.name + " (" + minAt.text + ") is above " + maxAt.name + " (" + maxAt.text + "): no value fits the range");
  }
  if (factor && factorAt.judged && base::RoundHalfEven(*factor) == 0) {
    Report(file, factorAt.line, factorAt.name + " rounds to 0: no value can be scaled by it");
  }
  if (resolution && resolutionAt.judged && *resolution <= 0) {
    Report(file, resolutionAt.line, resolutionAt.name + " is not above 0: no value can be snapped to it");
  }
}

// A combo box's items, or a check box's unchecked and checked value.
void KbRules::CheckListControl(const std::string& section, std::string_view kind, bool checkBox) {
  const std::string value = Value(kControls, section, "ListItems");
  if (value.empty()) {
    Report(kControls, File(kControls).SectionLine(section), std::string(kind) + " [" + section + "] has no ListItems");
    return;
  }
  const int line = Line(kControls, section, "ListItems");
  CheckListItems(kControls, line, "ListItems", value);
  const auto items = base::Split(value, ",");
  const auto given = std::count_if(items.begin(), items.end(), [](const std::string& item) { return !item.empty(); });
  if (checkBox && given != 2) {
    Report(kControls, line,
           "check box [" + section + "] has " + std::to_string(given) +
               " ListItems: it needs two, the unchecked and the checked value");
  }
}

// Items "<resource key>~<value>"; the list ends at its first empty item.
void KbRules::CheckListItems(KbFile file, int line, std::string_view what, std::string_view list) {
  const auto items = base::Split(list, ",");
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string item = std::string(what) + " item " + std::to_string(i + 1);
    if (items[i].empty()) {
      const auto given = [](const std::string& later) { return !later.empty(); };
      if (std::any_of(items.begin() + static_cast<std::ptrdiff_t>(i) + 1, items.end(), given))
        Report(file, line, item + " is empty: the list ends there and the items after it are never shown");
      return;
    }
    const size_t tilde = items[i].find('~');
    if (tilde == std::string::npos) {
      Report(file, line, item + " " + Quoted(items[i]) + " has no \"~<value>\"");
    } else if (tilde + 1 == items[i].size()) {
      Report(file, line, item + " " + Quoted(items[i]) + " has no value after \"~\"");
    } else {
      ResourceKey(file, line, item, std::string_view(items[i]).substr(0, tilde));
    }
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
