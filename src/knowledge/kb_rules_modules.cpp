// The knowledge-base checker's rules for the Modules and Channels files: module descriptions,
// the module order, physical channel usage, compatibility groups, channel types, the
// channel-parameter-to-object-CP dependencies and the per-module exception sections.
// Overrides of control settings in the exception sections are judged like the settings of the
// Controls file (kb_rules_controls.cpp).

#include "knowledge/ini_fields.h"
#include "knowledge/kb_rules.h"

namespace knowledge {
namespace {

constexpr const char* kModuleOrder = "Module Type List Order";
constexpr const char* kPhysicalChannelUsage = "Physical Channel Usage";
constexpr const char* kCompatibilityPrefix = "Module Compatibility for copying";
constexpr const char* kCompatibleModules = "CompatibleModules_";
constexpr const char* kChannelTypes = "Channel Types";
constexpr const char* kDependencies = "ChannelPar-to-ObjectCp-Dependencies";
constexpr const char* kPlacedCpsSection = "velta Porta CPs 1.0";
constexpr const char* kDrivers = "MTDs";

std::string Fields(int count) { return std::to_string(count) + (count == 1 ? " field" : " fields"); }

std::string FieldName(std::string_view key, size_t index) {
  return std::string(key) + " field " + std::to_string(index + 1);
}

}  // namespace

void KbRules::CheckModules() {
  for (const auto& section : Sections(KbFile::Modules)) {
    Guarded(KbFile::Modules, section, [&] {
      if (EndsWithNoCase(section, kExceptionsSuffix)) {
        CheckExceptionSection(KbFile::Modules, section);
      } else if (base::EqualsNoCase(section, kModuleOrder)) {
        CheckModuleOrder(section);
      } else if (base::EqualsNoCase(section, kPhysicalChannelUsage)) {
        CheckPhysicalChannelUsage(section);
      } else if (StartsWithNoCase(section, kCompatibilityPrefix)) {
        CheckCompatibility(section);
      } else {
        CheckModuleSection(section);
      }
    });
  }
}

// A module type's section (other sections, such as the module parameter lists, hold none of
// these keys).
void KbRules::CheckModuleSection(const std::string& section) {
  constexpr KbFile kFile = KbFile::Modules;
  for (const char* key : {"ModuleName", "ChannelDescription", "Plug-inButtonText"}) {
    ResourceKey(kFile, Line(kFile, section, key), key, Value(kFile, section, key));
  }
  for (const char* key : {"ChannelNameBase", "ChannelIndexSuffix"}) {
    const auto fields = base::Split(Value(kFile, section, key), ",");
    for (size_t i = 0; i < fields.size(); ++i)
      ResourceKey(kFile, Line(kFile, section, key), FieldName(key, i), fields[i]);
  }
  if (const std::string parType = Value(kFile, section, "ParType"); !parType.empty()) {
    EnumValue(kFile, Line(kFile, section, "ParType"), "ParType", parType);
  }
  const auto channelTypes = base::Split(Value(kFile, section, "ChannelTypes"), ",");
  for (size_t i = 0; i < channelTypes.size(); ++i) {
    for (const auto& channelType : SplitToCollection(channelTypes[i], "/")) {
      ChannelType(kFile, Line(kFile, section, "ChannelTypes"), FieldName("ChannelTypes", i), channelType);
    }
  }
  ByteField(kFile, Line(kFile, section, "Rev"), "Rev", Value(kFile, section, "Rev"));  // read as an 8-bit number
  if (const std::string driver = Value(kFile, section, "DriverNo");
      !driver.empty() && !File(kFile).RawValue(driver, kDrivers)) {
    Report(kFile, Line(kFile, section, "DriverNo"),
           "DriverNo names " + Quoted(driver) + ", which is not a key of [" + kDrivers + "]: the driver reads as 0");
  }
  CheckModuleChannels(section);
}

// Field k of "ChannelCount" and of "ChannelTypes" both describe module channel type k.
void KbRules::CheckModuleChannels(const std::string& section) {
  constexpr KbFile kFile = KbFile::Modules;
  const std::string countList = Value(kFile, section, "ChannelCount");
  const auto counts = base::Split(countList, ",");
  const int line = Line(kFile, section, "ChannelCount");
  for (size_t i = 0; i < counts.size(); ++i) {
    ByteField(kFile, line, FieldName("ChannelCount", i), counts[i]);  // read as 8-bit numbers
  }
  const auto countFields = SplitToCollection(countList, ",").Count();
  const auto typeFields = SplitToCollection(Value(kFile, section, "ChannelTypes"), ",").Count();
  if (countFields != typeFields) {
    Report(kFile, line > 0 ? line : Line(kFile, section, "ChannelTypes"),
           "ChannelCount has " + Fields(countFields) + " and ChannelTypes " + std::to_string(typeFields) +
               ": each module channel type needs both");
  }
}

void KbRules::CheckModuleOrder(const std::string& section) {
  for (const auto& moduleType : SplitToCollection(Value(KbFile::Modules, section, "Order"), ",")) {
    EnumValue(KbFile::Modules, Line(KbFile::Modules, section, "Order"), "Order", moduleType);
  }
}

// Keys "<channel type>~<module type>", values: module channel type, channels used, step.
void KbRules::CheckPhysicalChannelUsage(const std::string& section) {
  constexpr KbFile kFile = KbFile::Modules;
  for (const auto& key : Keys(kFile, section)) {
    const int line = Line(kFile, section, key);
    const size_t tilde = key.find('~');
    if (tilde == std::string::npos) {
      Report(kFile, line, Quoted(key) + " has no \"~<module type>\": no module reads it");
      continue;
    }
    ChannelType(kFile, line, Quoted(key), key.substr(0, tilde));
    EnumValue(kFile, line, Quoted(key), key.substr(tilde + 1));
    const std::string value = Value(kFile, section, key);
    for (int field = 1; field <= 3; ++field) {
      ByteField(kFile, line, FieldName(key, static_cast<size_t>(field - 1)), base::Field(value, field, ","));
    }
  }
}

// The groups are read as "CompatibleModules_1", "_2", ... up to the first empty one.
void KbRules::CheckCompatibility(const std::string& section) {
  constexpr KbFile kFile = KbFile::Modules;
  int groups = 0;
  while (!Value(kFile, section, kCompatibleModules + std::to_string(groups + 1)).empty()) ++groups;
  const std::string_view prefix = kCompatibleModules;
  for (const auto& key : Keys(kFile, section)) {
    if (!StartsWithNoCase(key, prefix)) continue;
    const int line = Line(kFile, section, key);
    const auto number = WholeNumber(std::string_view(key).substr(prefix.size()));
    if (!number || *number < 1 || *number > groups) {
      Report(kFile, line,
             key + " is never read: the groups are read from " + kCompatibleModules + "1 up to the first one missing");
      continue;
    }
    for (const auto& moduleType : SplitToCollection(Value(kFile, section, key), ",")) {
      EnumValue(kFile, line, key, moduleType);
    }
  }
}

void KbRules::CheckChannels() {
  for (const auto& section : Sections(KbFile::Channels)) {
    Guarded(KbFile::Channels, section, [&] {
      if (EndsWithNoCase(section, kExceptionsSuffix)) {
        CheckExceptionSection(KbFile::Channels, section);
      } else if (base::EqualsNoCase(section, kChannelTypes)) {
        CheckChannelTypes(section);
      } else if (base::EqualsNoCase(section, kDependencies)) {
        CheckDependencies(section);
      }
    });
  }
}

// "<channel type>=<name resource>,<FPT index>/<FPT index>...,<condition>"
void KbRules::CheckChannelTypes(const std::string& section) {
  constexpr KbFile kFile = KbFile::Channels;
  const Strings objectFpts = kb_.SupportedFPTs();
  const Strings groupFpts = kb_.SupportedFPTsGroup();
  for (const auto& key : Keys(kFile, section)) {
    const int line = Line(kFile, section, key);
    const std::string value = Value(kFile, section, key);
    ResourceKey(kFile, line, FieldName(key, 0), base::Field(value, 1, ","));
    const std::string fpts = base::Field(value, 2, ",");
    if (fpts.empty()) Report(kFile, line, FieldName(key, 1) + " (the FPT indexes) is empty: no object implements it");
    // Without an Objects file every index would be unknown; that file's finding says it.
    if (!Holds(KbFile::Objects)) continue;
    for (const auto& fpt : SplitToCollection(fpts, "/")) {
      if (CollectionContains(objectFpts, fpt) || CollectionContains(groupFpts, fpt)) continue;
      Report(kFile, line,
             FieldName(key, 1) + " names FPT index " + Quoted(fpt) +
                 ", which is in neither FptOrder of [Omnal Object] nor FptOrder of [Group Object]");
    }
  }
}

// "<DCHP type>.<parameter>~<value>=<object CP>~<byte>,<byte>,..."
void KbRules::CheckDependencies(const std::string& section) {
  constexpr KbFile kFile = KbFile::Channels;
  for (const auto& key : Keys(kFile, section)) {
    const int line = Line(kFile, section, key);
    const std::string value = Value(kFile, section, key);
    const size_t tilde = value.find('~');
    const std::string cpName = value.substr(0, tilde);
    const std::string bytes = tilde == std::string::npos ? std::string() : value.substr(tilde + 1);
    if (key.find('.') == std::string::npos) {
      Report(kFile, line, Quoted(key) + " is not \"<parameter type>.<name>~<value>\": no parameter reads it");
      continue;
    }
    ListedParameter(kFile, line, key);
    if (cpName.empty() || bytes.empty()) {
      Report(kFile, line, Quoted(key) + " needs a value \"<object CP>~<bytes>\": without both it is never used");
      continue;
    }
    if (plugInIni_ != nullptr && !IsPlacedCp(cpName)) {
      Report(kFile, line,
             Quoted(key) + " names object CP " + Quoted(cpName) + ", which is not in [" + kPlacedCpsSection +
                 "] of ../PortaB.ini");
    }
    ByteList(kFile, line, Quoted(key), bytes);
  }
}

// The plug-in INI file places a CP in its CP section or in that section for a device template.
bool KbRules::IsPlacedCp(std::string_view cpName) const {
  for (const auto& section : plugInIni_->SectionNames()) {
    if (StartsWithNoCase(section, kPlacedCpsSection) && plugInIni_->RawValue(cpName, section)) return true;
  }
  return false;
}

// "<module type>Exceptions#": an optional "Reference", marks "<type>.<name>" (in the Channels
// file also a channel parameter's default), overrides "<type>.<name>~<setting>" and (Channels
// file) "<channel type>~TypeName".
void KbRules::CheckExceptionSection(KbFile file, const std::string& section) {
  const std::string moduleType = section.substr(0, section.size() - kExceptionsSuffix.size());
  EnumValue(file, File(file).SectionLine(section), "[" + section + "]", moduleType);
  CheckReference(file, section, moduleType);
  std::vector<std::string> numberPrefixes;
  for (const auto& key : Keys(file, section)) {
    const size_t tilde = key.rfind('~');
    const size_t dot = key.find('.');
    if (dot != std::string::npos && dot < tilde) ListedParameter(file, Line(file, section, key), key);
    if (tilde != std::string::npos) {
      CheckOverride(file, section, key, numberPrefixes);
    } else if (dot != std::string::npos) {  // "<parameter type>.<name>": only field 1 is the mark
      ShowMark(file, Line(file, section, key), key, base::Field(Value(file, section, key), 1, ","),
               file == KbFile::Channels);
    }
  }
  for (const auto& prefix : numberPrefixes) {
    CheckTextBoxOverrides(file, section, prefix, prefix.substr(0, prefix.size() - 1));
  }
}

void KbRules::ListedParameter(KbFile file, int line, std::string_view key) {
  const std::string_view parameter = key.substr(0, key.find('~'));
  const size_t dot = parameter.find('.');
  const std::string type(parameter.substr(0, dot));
  const std::string_view name = parameter.substr(dot + 1);
  if (!File(file).RawValue(name, type)) {
    Report(file, line,
           Quoted(key) + " names parameter " + Quoted(name) + ", which [" + type + "] of this file does not list");
  }
}

// A reference is followed one step only: it must name another module's exception section
// that has no reference of its own.
void KbRules::CheckReference(KbFile file, const std::string& section, std::string_view moduleType) {
  const std::string reference = Value(file, section, "Reference");
  if (reference.empty()) return;
  const int line = Line(file, section, "Reference");
  const std::string named = "Reference names " + Quoted(reference);
  if (base::EqualsNoCase(reference, moduleType)) {
    Report(file, line, named + ", its own module");
    return;
  }
  const std::string target = reference + std::string(kExceptionsSuffix);
  if (File(file).SectionLine(target) == 0) {
    Report(file, line, named + ", which has no section [" + target + "] in this file");
    return;
  }
  const std::string next = Value(file, target, "Reference");
  if (next.empty()) return;
  if (base::EqualsNoCase(next, moduleType)) {
    Report(file, line, named + ", whose Reference names this module again: the two form a loop");
  } else {
    Report(file, line, named + ", whose own Reference (to " + Quoted(next) + ") is not followed");
  }
}

}  // namespace knowledge
