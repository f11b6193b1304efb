// cMC16: modules, channels and the per-module exceptions of the Modules and Channels files.

#include "base/text.h"
#include "knowledge/ini_fields.h"
#include "knowledge/mc16.h"

namespace knowledge {
namespace {

constexpr const char* kChannelTypes = "Channel Types";
constexpr const char* kPhysicalChannelUsage = "Physical Channel Usage";
constexpr const char* kExceptionsSuffix = "Exceptions#";

Strings LinesOf(const lns::IniFile& file, std::string_view section) {
  Strings lines;
  for (auto& line : file.SectionLines(section)) lines.Add(std::move(line));
  return lines;
}

}  // namespace

Strings cMC16::ModuleTypeOrder() const {
  return SplitToCollection(Read(KbFile::Modules, "Module Type List Order", "Order"), ",");
}

Strings cMC16::ModulesGetSectionValuesEx(std::string_view iniSection) const {
  return LinesOf(File(KbFile::Modules), iniSection);
}

Strings cMC16::ModuleParsByModuleType(int32_t moduleType) const {
  return ModulesGetSectionValuesEx(ModuleParTypeNameByModuleType(moduleType));
}

std::string cMC16::ModuleNameByModuleTypeEnumString(std::string_view moduleTypeEnumString) const {
  return Resource(Read(KbFile::Modules, moduleTypeEnumString, "ModuleName"));
}

std::string cMC16::ModuleNameByModuleType(int32_t moduleType) const {
  return ModuleNameByModuleTypeEnumString(ModuleSection(moduleType));
}

uint8_t cMC16::ModuleChannelCountTypeSpecByModuleType(int32_t moduleType, uint8_t moduleChannelType) const {
  return base::CByte(base::Val(Read(KbFile::Modules, ModuleSection(moduleType), "ChannelCount", moduleChannelType)));
}

uint8_t cMC16::ModuleChannelTypeCountByModuleType(int32_t moduleType) const {
  uint8_t count = 0;
  while (count < 255 && ModuleChannelCountTypeSpecByModuleType(moduleType, static_cast<uint8_t>(count + 1)) != 0) {
    ++count;
  }
  return count;
}

uint8_t cMC16::ModuleChannelCountTotalByModuleType(int32_t moduleType) const {
  const std::string counts = Read(KbFile::Modules, ModuleSection(moduleType), "ChannelCount");
  int total = 0;
  for (int field = 1;; ++field) {
    const uint8_t count = base::CByte(base::Val(base::Field(counts, field, ",")));
    if (count == 0) break;
    total += count;
  }
  return base::CByte(total);
}

std::string cMC16::ModuleChannelNameBaseByModuleType(int32_t moduleType, uint8_t moduleChannelType) const {
  return Resource(Read(KbFile::Modules, ModuleSection(moduleType), "ChannelNameBase", moduleChannelType));
}

std::string cMC16::ModuleChannelIndexSuffixByModuleType(int32_t moduleType, uint8_t moduleChannelType) const {
  return Resource(Read(KbFile::Modules, ModuleSection(moduleType), "ChannelIndexSuffix", moduleChannelType));
}

std::string cMC16::ModuleChannelDescriptionByModuleType(int32_t moduleType) const {
  return Resource(Read(KbFile::Modules, ModuleSection(moduleType), "ChannelDescription"));
}

uint8_t cMC16::ModuleRevByModuleType(int32_t moduleType) const {
  return base::CByte(base::Val(Read(KbFile::Modules, ModuleSection(moduleType), "Rev")));
}

std::string cMC16::ModulePlugInButtonTextByModuleType(int32_t moduleType) const {
  return Resource(Read(KbFile::Modules, ModuleSection(moduleType), "Plug-inButtonText"));
}

std::string cMC16::ModulePlugInRegServerByModuleType(int32_t moduleType) const {
  return Read(KbFile::Modules, ModuleSection(moduleType), "Plug-in");
}

int32_t cMC16::ModuleTypeDriverByModuleType(int32_t moduleType) const {
  const std::string driverKey = Read(KbFile::Modules, ModuleSection(moduleType), "DriverNo");
  const std::string driver = driverKey.empty() ? std::string() : Read(KbFile::Modules, "MTDs", driverKey);
  return driver.empty() ? 0 : base::CLng(base::Val(driver));
}

std::string cMC16::ModuleParTypeNameByModuleType(int32_t moduleType) const {
  return Read(KbFile::Modules, ModuleSection(moduleType), "ParType");
}

int32_t cMC16::ModuleParTypeByModuleType(int32_t moduleType) const {
  return GetValueByEnumString(ModuleParTypeNameByModuleType(moduleType));
}

Strings cMC16::SupportedChannelTypesByModuleType(int32_t moduleType, uint8_t moduleChannelType) const {
  return SplitToCollection(Read(KbFile::Modules, ModuleSection(moduleType), "ChannelTypes", moduleChannelType), "/");
}

uint8_t cMC16::UsedPhysChannelCountByModuleTypeAndChannelType(int32_t moduleType, uint8_t moduleChannelType,
                                                              std::string_view channelTypeIniKey,
                                                              uint8_t& usablePhysChannelStep) const {
  const std::string value = Read(KbFile::Modules, kPhysicalChannelUsage,
                                 std::string(channelTypeIniKey) + "~" + ModuleSection(moduleType));
  usablePhysChannelStep = 1;
  if (value.empty() || base::CByte(base::Val(base::Field(value, 1, ","))) != moduleChannelType) return 1;
  usablePhysChannelStep = base::CByte(base::Val(base::Field(value, 3, ",")));
  return base::CByte(base::Val(base::Field(value, 2, ",")));
}

bool cMC16::PhysChannelSupportsChannelType(int32_t moduleType, uint8_t channelNo, uint8_t moduleChannelType,
                                           std::string_view channelTypeIniKey) const {
  uint8_t step = 1;
  const int used = UsedPhysChannelCountByModuleTypeAndChannelType(moduleType, moduleChannelType, channelTypeIniKey, step);
  if (used <= 1) return true;
  const int channels = ModuleChannelCountTypeSpecByModuleType(moduleType, moduleChannelType);
  if (used > channels - channelNo + 1) return false;  // too few channels from this one on
  if (step < 2) return true;
  return channelNo % step == 1;  // the first channel of a group of `step`
}

bool cMC16::AreModulesCompatible(std::string_view section, int32_t moduleType1, int32_t moduleType2) const {
  if (moduleType1 == moduleType2) return true;
  const std::string first = ModuleSection(moduleType1);
  const std::string second = ModuleSection(moduleType2);
  for (int group = 1;; ++group) {
    const Strings members =
        SplitToCollection(Read(KbFile::Modules, section, "CompatibleModules_" + std::to_string(group)), ",");
    if (members.Count() == 0) return false;
    if (CollectionContains(members, first) && CollectionContains(members, second)) return true;
  }
}

bool cMC16::AreModulesCompatibleForCopyingModuleConfig(int32_t moduleType1, int32_t moduleType2) const {
  return AreModulesCompatible("Module Compatibility for copying Module Config", moduleType1, moduleType2);
}

bool cMC16::AreModulesCompatibleForCopyingChannelConfig(int32_t moduleType1, int32_t moduleType2) const {
  return AreModulesCompatible("Module Compatibility for copying Channel Config", moduleType1, moduleType2);
}

Strings cMC16::ChannelsGetSectionValuesEx(std::string_view iniSection) const {
  return LinesOf(File(KbFile::Channels), iniSection);
}

Strings cMC16::ChannelParsByChannelParType(int32_t channelParType) const {
  return ChannelsGetSectionValuesEx(GetEnumStringByValue(channelParType, "DCHP"));
}

std::string cMC16::ChannelTypeNameByChannelType(std::string_view channelTypeIniKey) const {
  return Resource(Read(KbFile::Channels, kChannelTypes, channelTypeIniKey, 1));
}

Strings cMC16::SupportedFPTsByChannelType(std::string_view channelTypeIniKey) const {
  return SplitToCollection(Read(KbFile::Channels, kChannelTypes, channelTypeIniKey, 2), "/");
}

bool cMC16::IsChannelTypeSupportedByFPT(std::string_view channelTypeIniKey, int32_t fptIndex) const {
  return CollectionContains(SupportedFPTsByChannelType(channelTypeIniKey), std::to_string(fptIndex));
}

std::string cMC16::ConditionByChannelType(std::string_view channelTypeIniKey) const {
  return Read(KbFile::Channels, kChannelTypes, channelTypeIniKey, 3);
}

std::string cMC16::ChannelTypeByCondition(std::string_view condition) const {
  for (const auto& line : File(KbFile::Channels).SectionLines(kChannelTypes)) {
    if (base::EqualsNoCase(base::Field(SectionLineValue(line), 3, ","), condition)) return std::string(SectionLineKey(line));
  }
  return {};
}

std::string cMC16::ExceptionSection(KbFile file, std::string_view moduleTypeString) const {
  const std::string own = std::string(moduleTypeString) + kExceptionsSuffix;
  const std::string reference = Read(file, own, "Reference");
  return reference.empty() ? own : reference + kExceptionsSuffix;  // one step only
}

bool cMC16::ChannelTypeNameExceptionByModuleType(std::string_view channelType, int32_t moduleType,
                                                 std::string& channelTypeName) const {
  const std::string section = ExceptionSection(KbFile::Channels, ModuleSection(moduleType));
  const std::string key = Read(KbFile::Channels, section, std::string(channelType) + "~TypeName");
  if (key.empty()) return false;
  channelTypeName = Resource(key);
  return true;
}

bool cMC16::ChannelParDefaultValueExceptionByModuleType(int32_t channelParType, std::string_view channelParName,
                                                        int32_t moduleType, int32_t& defaultValue) const {
  const std::string section = ExceptionSection(KbFile::Channels, ModuleSection(moduleType));
  const std::string key = GetEnumStringByValue(channelParType, "DCHP") + "." + std::string(channelParName);
  const std::string value = Read(KbFile::Channels, section, key);
  // "DONTSHOW" and "CONST" in the same place say how the parameter is shown, not its default.
  if (value.empty() || IsDontShowMark(value) || IsConstMark(value)) return false;
  defaultValue = base::CLng(base::Val(value));
  return true;
}

bool cMC16::ParameterControlExceptionByModuleType(int32_t configType, int32_t parameterType,
                                                  std::string_view parameterName, int32_t moduleType, bool& dontShow,
                                                  bool& constValue) const {
  if (configType != 0 && configType != 1) return false;
  const KbFile file = configType == 0 ? KbFile::Modules : KbFile::Channels;
  const std::string typeString = GetEnumStringByValue(parameterType, configType == 0 ? "MODP" : "DCHP");
  const std::string section = ExceptionSection(file, ModuleSection(moduleType));
  const std::string value = Read(file, section, typeString + "." + std::string(parameterName));
  if (value.empty()) return false;
  const std::string mark = base::Field(value, 1, ",");  // only the first field counts
  dontShow = IsDontShowMark(mark);
  constValue = IsConstMark(mark);
  return true;
}

}  // namespace knowledge
