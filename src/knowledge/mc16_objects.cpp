// cMC16: LonMark object types and group objects of the Objects and GroupObjects files: names,
// default CP and NV settings (general and per channel type), value lists, priorities, output
// sources, NV types and the CPs copied with an object's configuration.

#include "base/text.h"
#include "knowledge/ini_fields.h"
#include "knowledge/mc16.h"

namespace knowledge {
namespace {

constexpr const char* kDefaultSettings = "Default Settings";
constexpr const char* kObjectSection = "Omnal Object";
constexpr const char* kGroupSection = "Group Object";

std::string Decimal(int64_t number) { return std::to_string(number); }
std::string Specific(std::string_view channelType, int32_t fptIndex) {
  return std::string(channelType) + "#" + Decimal(fptIndex);
}
std::string GroupSpecific(int32_t fptIndex) { return Specific("Group", fptIndex); }
std::string WithTabs(std::string_view value) { return base::ReplaceAll(value, ",", "\t"); }

void AddMissing(Strings& into, const Strings& more) {
  for (const auto& name : more) {
    if (!CollectionContains(into, name)) into.Add(name);
  }
}

}  // namespace

// ---- shared pieces ----

std::string cMC16::SettingValue(KbFile file, std::string_view section, std::string_view prefix,
                                std::string_view settingName, int16_t snvtId) const {
  const std::string key = std::string(prefix) + std::string(settingName);
  std::string value = Read(file, section, key);
  if (value.empty()) value = Read(file, section, key + "~" + Decimal(snvtId));
  return value;
}

Strings cMC16::SettingNames(KbFile file, std::string_view section, std::string_view prefix) const {
  Strings names;
  for (const auto& line : File(file).SectionLines(section)) {
    if (line.find('=') == std::string::npos) continue;
    const std::string_view key = SectionLineKey(line);
    if (key.size() < prefix.size() || !base::EqualsNoCase(key.substr(0, prefix.size()), prefix)) continue;
    std::string_view name = key.substr(prefix.size());
    name = name.substr(0, name.find('~'));
    if (!CollectionContains(names, name)) names.Add(std::string(name));
  }
  return names;
}

Strings cMC16::MergedSettingNames(KbFile file, std::string_view section, std::string_view prefix) const {
  Strings names = SettingNames(file, kDefaultSettings, prefix);
  if (!section.empty()) AddMissing(names, SettingNames(file, section, prefix));
  return names;
}

std::string cMC16::FirstSectionContaining(KbFile file, std::string_view text) const {
  const std::string wanted = base::FoldCase(text);
  for (const auto& section : File(file).SectionNames()) {
    if (base::FoldCase(section).find(wanted) != std::string::npos) return section;
  }
  return {};
}

Strings cMC16::ValueListEntries(KbFile file, int32_t fptIndex, std::string_view keyPrefix, int16_t nvType) const {
  Strings entries;
  const std::string key = std::string(keyPrefix) + "~SNVT_" + Decimal(nvType);
  for (const auto& entry : SplitToCollection(Read(file, Decimal(fptIndex), key), ",")) {
    const size_t slash = entry.find('/');
    const std::string resourceKey = entry.substr(0, slash);
    const std::string index = slash == std::string::npos ? std::string() : entry.substr(slash + 1);
    entries.Add(index + ":" + Resource(resourceKey));
  }
  return entries;
}

Strings cMC16::NvTypes(KbFile file, int32_t fptIndex, std::string_view nvIniName, uint8_t commandUse) const {
  std::string key = std::string(nvIniName) + "_NvTypes";
  if (commandUse < 255) key += "_" + Decimal(commandUse);  // no fall-back to the plain key
  return SplitToCollection(Read(file, Decimal(fptIndex), key), ",");
}

Strings cMC16::CopyRelevantCps(KbFile file, int32_t fptIndex) const {
  Strings names = SplitToCollection(Read(file, "Copying CPs", "General"), ",");
  AddMissing(names, SplitToCollection(Read(file, "Copying CPs", "FPT_" + Decimal(fptIndex)), ","));
  return names;
}

// ---- objects ----

Strings cMC16::SupportedFPTs() const { return SplitToCollection(Read(KbFile::Objects, kObjectSection, "FptOrder"), ","); }

std::string cMC16::FPTNameByFPTIndex(int32_t fptIndex) const {
  return Resource(Read(KbFile::Objects, kObjectSection, "FPT_" + Decimal(fptIndex)));
}

Strings cMC16::ObjectDefaultCpSettings() const { return SettingNames(KbFile::Objects, kDefaultSettings, "CP_"); }
Strings cMC16::ObjectDefaultNvSettings() const { return SettingNames(KbFile::Objects, kDefaultSettings, "NV_"); }

Strings cMC16::ObjectDefaultCpSettingsByChannelTypeAndFPTIndex(std::string_view channelTypeIniKey,
                                                               int32_t fptIndex) const {
  return MergedSettingNames(KbFile::Objects, Specific(channelTypeIniKey, fptIndex), "CP_");
}

Strings cMC16::ObjectDefaultNVSettingsByChannelTypeAndFPTIndex(std::string_view channelTypeIniKey,
                                                               int32_t fptIndex) const {
  return MergedSettingNames(KbFile::Objects, Specific(channelTypeIniKey, fptIndex), "NV_");
}

Strings cMC16::ObjectDefaultCpSettingsByFirstFoundChannelTypeAndFPTIndex(int32_t fptIndex,
                                                                         std::string* channelType) const {
  const std::string section = FirstSectionContaining(KbFile::Objects, "#" + Decimal(fptIndex));
  if (channelType != nullptr) *channelType = section.substr(0, section.find('#'));
  return MergedSettingNames(KbFile::Objects, section, "CP_");
}

Strings cMC16::ObjectDefaultNvSettingsByFirstFoundChannelTypeAndFPTIndex(int32_t fptIndex,
                                                                         std::string* channelType) const {
  const std::string section = FirstSectionContaining(KbFile::Objects, "#" + Decimal(fptIndex));
  if (channelType != nullptr) *channelType = section.substr(0, section.find('#'));
  return MergedSettingNames(KbFile::Objects, section, "NV_");
}

std::string cMC16::ObjectDefaultCpSettingValueTabStringByName(std::string_view settingName, int16_t snvtId) const {
  return WithTabs(SettingValue(KbFile::Objects, kDefaultSettings, "CP_", settingName, snvtId));
}

std::string cMC16::ObjectDefaultNvSettingValueByName(std::string_view settingName) const {
  return SettingValue(KbFile::Objects, kDefaultSettings, "NV_", settingName, 0);
}

std::string cMC16::ObjectDefaultCpSettingValueTabStringByChannelTypeAndFPTIndex(std::string_view settingName,
                                                                               std::string_view channelTypeIniKey,
                                                                               int32_t fptIndex,
                                                                               int16_t snvtId) const {
  std::string value = SettingValue(KbFile::Objects, Specific(channelTypeIniKey, fptIndex), "CP_", settingName, snvtId);
  if (value.empty()) value = SettingValue(KbFile::Objects, kDefaultSettings, "CP_", settingName, snvtId);
  return WithTabs(value);
}

Bytes cMC16::ObjectDefaultCpSettingValueByteArrayByChannelTypeAndFPTIndex(std::string_view settingName,
                                                                          std::string_view channelTypeIniKey,
                                                                          int32_t fptIndex, int16_t snvtId) const {
  return ParseByteList(
      ObjectDefaultCpSettingValueTabStringByChannelTypeAndFPTIndex(settingName, channelTypeIniKey, fptIndex, snvtId),
      "\t");
}

int16_t cMC16::ObjectDefaultNvSettingValueByChannelTypeAndFPTIndex(std::string_view settingName,
                                                                   std::string_view channelTypeIniKey,
                                                                   int32_t fptIndex) const {
  std::string value = SettingValue(KbFile::Objects, Specific(channelTypeIniKey, fptIndex), "NV_", settingName, 0);
  if (value.empty()) value = SettingValue(KbFile::Objects, kDefaultSettings, "NV_", settingName, 0);
  return base::CInt(base::Val(value));
}

Strings cMC16::GetTimeoutValueEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const {
  return ValueListEntries(KbFile::Objects, fptIndex, "TimeoutValues", nvType);
}

Strings cMC16::GetSensorValueEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const {
  return ValueListEntries(KbFile::Objects, fptIndex, "SensorValues", nvType);
}

Strings cMC16::GetStandardFunctionEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const {
  return ValueListEntries(KbFile::Objects, fptIndex, "StdFunctions", nvType);
}

Bytes cMC16::GetTimeoutValueByIndex(uint8_t index) const {
  return ParseByteList(Read(KbFile::CommandTable, "Timeout Values", "Value_" + Decimal(index)), ",");
}

Bytes cMC16::GetSensorValueByIndex(uint8_t index) const {
  return ParseByteList(Read(KbFile::CommandTable, "Sensor Values", "Value_" + Decimal(index)), ",");
}

Strings cMC16::SupportedPrioritiesByFPTIndexObject(int32_t fptIndex, std::string_view nvIniName) const {
  return SplitToCollection(Read(KbFile::Objects, Decimal(fptIndex), std::string(nvIniName) + "_Priorities"), ",");
}

std::string cMC16::GetPriorityName(uint8_t priority) const {
  return Resource(Read(KbFile::CommandTable, "Priorities", "Priority_" + Decimal(priority)));
}

Strings cMC16::SupportedOutputSourcesByFPTIndexObject(int32_t fptIndex) const {
  return SplitToCollection(Read(KbFile::Objects, Decimal(fptIndex), "Output_Sources"), ",");
}

std::string cMC16::GetOutputSourceName(uint8_t outputSource) const {
  return Resource(Read(KbFile::CommandTable, "Output Sources", "OutputSource_" + Decimal(outputSource)));
}

Strings cMC16::SupportedNvTypesByFPTIndexObject(int32_t fptIndex, std::string_view nvIniName,
                                                uint8_t commandUse) const {
  return NvTypes(KbFile::Objects, fptIndex, nvIniName, commandUse);
}

Strings cMC16::GetCopyRelevantCPsByFPTIndexObject(int32_t fptIndex) const {
  return CopyRelevantCps(KbFile::Objects, fptIndex);
}

// ---- group objects ----

Strings cMC16::SupportedFPTsGroup() const {
  return SplitToCollection(Read(KbFile::GroupObjects, kGroupSection, "FptOrder"), ",");
}

bool cMC16::IsFPTSupportedGroup(int32_t fptIndex) const {
  return CollectionContains(SupportedFPTsGroup(), Decimal(fptIndex));
}

std::string cMC16::FPTNameByFPTIndexGroup(int32_t fptIndex) const {
  return Resource(Read(KbFile::GroupObjects, kGroupSection, "FPT_" + Decimal(fptIndex)));
}

Strings cMC16::GroupObjectDefaultCpSettingsByFPTIndex(int32_t fptIndex) const {
  return MergedSettingNames(KbFile::GroupObjects, GroupSpecific(fptIndex), "CP_");
}

Strings cMC16::GroupObjectDefaultNVSettingsByFPTIndex(int32_t fptIndex) const {
  return MergedSettingNames(KbFile::GroupObjects, GroupSpecific(fptIndex), "NV_");
}

std::string cMC16::GroupObjectDefaultCpSettingValueTabStringByName(std::string_view settingName,
                                                                   int16_t snvtId) const {
  return WithTabs(SettingValue(KbFile::GroupObjects, kDefaultSettings, "CP_", settingName, snvtId));
}

std::string cMC16::GroupObjectDefaultCpSettingValueTabStringByFPTIndex(std::string_view settingName, int32_t fptIndex,
                                                                       int16_t snvtId) const {
  std::string value = SettingValue(KbFile::GroupObjects, GroupSpecific(fptIndex), "CP_", settingName, snvtId);
  if (value.empty()) value = SettingValue(KbFile::GroupObjects, kDefaultSettings, "CP_", settingName, snvtId);
  return WithTabs(value);
}

Bytes cMC16::GroupObjectDefaultCpSettingValueByteArrayByFPTIndex(std::string_view settingName, int32_t fptIndex,
                                                                 int16_t snvtId) const {
  return ParseByteList(GroupObjectDefaultCpSettingValueTabStringByFPTIndex(settingName, fptIndex, snvtId), "\t");
}

int16_t cMC16::GroupObjectDefaultNvSettingValueByFPTIndex(std::string_view settingName, int32_t fptIndex) const {
  std::string value = SettingValue(KbFile::GroupObjects, GroupSpecific(fptIndex), "NV_", settingName, 0);
  if (value.empty()) value = SettingValue(KbFile::GroupObjects, kDefaultSettings, "NV_", settingName, 0);
  return base::CInt(base::Val(value));
}

Strings cMC16::SupportedPrioritiesByFPTIndexGroup(int32_t fptIndex, std::string_view nvIniName) const {
  return SplitToCollection(Read(KbFile::GroupObjects, Decimal(fptIndex), std::string(nvIniName) + "_Priorities"),
                           ",");
}

Strings cMC16::SupportedNvTypesByFPTIndexGroup(int32_t fptIndex, std::string_view nvIniName,
                                               uint8_t commandUse) const {
  return NvTypes(KbFile::GroupObjects, fptIndex, nvIniName, commandUse);
}

Strings cMC16::GetTimeoutValueEntriesByFPTIndexAndNvTypeGroup(int32_t fptIndex, int16_t nvType) const {
  return ValueListEntries(KbFile::GroupObjects, fptIndex, "TimeoutValues", nvType);
}

Strings cMC16::GetCopyRelevantCPsByFPTIndexGroup(int32_t fptIndex) const {
  return CopyRelevantCps(KbFile::GroupObjects, fptIndex);
}

}  // namespace knowledge
