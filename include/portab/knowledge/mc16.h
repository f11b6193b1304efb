#pragma once
// cMC16: the device knowledge base. Nine INI files in the knowledge-base folder ("Config/"
// in the folder of the registered server program); the Config file's section
// "Version_<n>" names the other eight for knowledge-base version n.

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/collection.h"

#include "lns/ini_file.h"
#include "lns/plugin_context.h"

namespace knowledge {

namespace M_Registry {
// The file name that marks a registration of the development environment (the debugger):
// the plug-in then runs inside it, and its own folder is the server directory.
inline constexpr const char* kDevelopmentExecutable = "gdb";
// The folder of the registered server of veltaPortaB.Application with a trailing "/", the
// running program's folder for the development environment, "" without a registration.
std::string GetServerDirectory(const services::registry::Registry* registry, const std::filesystem::path& executable);
}  // namespace M_Registry

enum class KbFile { Config, Modules, Channels, Objects, GroupObjects, Controls, Enums, Resources, CommandTable };

using Strings = base::Collection<std::string>;
using Bytes = std::vector<uint8_t>;

// The module type that stands for "no module" in the exception checks (also -1).
inline constexpr int32_t kNoModuleType = 255;

class cMC16 {
 public:
  explicit cMC16(const lns::PlugInContext& context);

  const std::string& ConfigFileName() const { return configFileName_; }
  void SetConfigFileName(std::string name) { configFileName_ = std::move(name); }
  uint8_t Version() const { return version_; }
  void SetVersion(uint8_t version) { version_ = version; }

  // Pins the knowledge-base folder (ending in "/") instead of the registered server's
  // "Config/" folder: for tools that check a folder of their own.
  void UseFolder(std::string folder) { pinnedFolder_ = std::move(folder); }

  // Opens the Config file; false (and a message) when it does not exist.
  bool Init1();
  // Opens the eight files of section "Version_<Version>"; a message for each missing one.
  bool Init2();
  // "DefaultVersion" of section "General" when it is 1..255, else 0.
  uint8_t DefaultVersion();

  // Starts the plug-in that the "Plug-in" section of the Objects file registers for the
  // function profile and hands it this run's command; false when there is none or it
  // cannot be created. No message in any case.
  bool StartPlugIn(int32_t fptIndex);
  // The same for a given LonMark object (or group object) with another command.
  bool StartPlugInEx(int32_t fptIndex, bool groupObject, const std::shared_ptr<lns::LonMarkObject>& lonMarkObject,
                     int32_t commandId);

  lns::IniFile& File(KbFile which) { return *files_[static_cast<size_t>(which)]; }
  const lns::IniFile& File(KbFile which) const { return *files_[static_cast<size_t>(which)]; }
  const std::string& KnowledgeFolder() const { return folder_; }

  // ---- Enumerations, string resources, command table ----
  // The enumeration string of `value` in section "Enum_<prefix>" (first in file order), "".
  std::string GetEnumStringByValue(int32_t value, std::string_view enumPrefix) const;
  // The number of an enumeration string in any section (letter case ignored, first in file
  // order); 0 when not found.
  int32_t GetValueByEnumString(std::string_view enumString) const;
  // A resource text: the English variant, or with `languageDependent` the variant of the
  // current language; the key itself when the text is missing; "¶" becomes CR LF.
  std::string GetIniResourceString(std::string_view iniResKey, bool languageDependent = false) const;
  std::string GetCommandTableEntryName(uint8_t index) const;
  bool GetCommandTableEntryState(uint8_t index) const;
  // The five value bytes of an entry (bytes 1 to 5 at positions 0 to 4).
  std::array<uint8_t, 5> GetCommandTableEntryValue(uint8_t index) const;

  // ---- Modules ----
  Strings ModuleTypeOrder() const;
  Strings ModulesGetSectionValuesEx(std::string_view iniSection) const;
  Strings ModuleParsByModuleType(int32_t moduleType) const;
  std::string ModuleNameByModuleTypeEnumString(std::string_view moduleTypeEnumString) const;
  std::string ModuleNameByModuleType(int32_t moduleType) const;
  uint8_t ModuleChannelCountTypeSpecByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  // The number of module channel types: those before the first one without channels.
  uint8_t ModuleChannelTypeCountByModuleType(int32_t moduleType) const;
  uint8_t ModuleChannelCountTotalByModuleType(int32_t moduleType) const;
  std::string ModuleChannelNameBaseByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  std::string ModuleChannelIndexSuffixByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  std::string ModuleChannelDescriptionByModuleType(int32_t moduleType) const;
  uint8_t ModuleRevByModuleType(int32_t moduleType) const;
  std::string ModulePlugInButtonTextByModuleType(int32_t moduleType) const;
  std::string ModulePlugInRegServerByModuleType(int32_t moduleType) const;
  int32_t ModuleTypeDriverByModuleType(int32_t moduleType) const;
  std::string ModuleParTypeNameByModuleType(int32_t moduleType) const;
  int32_t ModuleParTypeByModuleType(int32_t moduleType) const;
  Strings SupportedChannelTypesByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  uint8_t UsedPhysChannelCountByModuleTypeAndChannelType(int32_t moduleType, uint8_t moduleChannelType,
                                                         std::string_view channelTypeIniKey,
                                                         uint8_t& usablePhysChannelStep) const;
  bool PhysChannelSupportsChannelType(int32_t moduleType, uint8_t channelNo, uint8_t moduleChannelType,
                                      std::string_view channelTypeIniKey) const;
  bool AreModulesCompatibleForCopyingModuleConfig(int32_t moduleType1, int32_t moduleType2) const;
  bool AreModulesCompatibleForCopyingChannelConfig(int32_t moduleType1, int32_t moduleType2) const;

  // ---- Channels ----
  Strings ChannelsGetSectionValuesEx(std::string_view iniSection) const;
  Strings ChannelParsByChannelParType(int32_t channelParType) const;
  std::string ChannelTypeNameByChannelType(std::string_view channelTypeIniKey) const;
  Strings SupportedFPTsByChannelType(std::string_view channelTypeIniKey) const;
  bool IsChannelTypeSupportedByFPT(std::string_view channelTypeIniKey, int32_t fptIndex) const;
  std::string ConditionByChannelType(std::string_view channelTypeIniKey) const;
  std::string ChannelTypeByCondition(std::string_view condition) const;

  // ---- Per-module exceptions ----
  bool ChannelTypeNameExceptionByModuleType(std::string_view channelType, int32_t moduleType,
                                            std::string& channelTypeName) const;
  bool ChannelParDefaultValueExceptionByModuleType(int32_t channelParType, std::string_view channelParName,
                                                   int32_t moduleType, int32_t& defaultValue) const;
  bool ParameterControlExceptionByModuleType(int32_t configType, int32_t parameterType,
                                             std::string_view parameterName, int32_t moduleType, bool& dontShow,
                                             bool& constValue) const;

  // ---- Parameter control descriptions (configType 0 = module, 1 = channel parameter) ----
  bool ParameterControlType(int32_t configType, int32_t parameterType, std::string_view parameterName,
                            int32_t& controlType) const;
  bool ParameterControlSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                int32_t& controlType, std::string& controlTitle, std::string& controlPos,
                                int32_t moduleTypeForExceptionCheck = -1,
                                std::string_view channelTypeForExceptionCheck = {}) const;
  bool ParameterTextboxSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                float& rangeMin, float& rangeMax, int32_t& factor, float& resolution,
                                std::string& unit, int32_t moduleTypeForExceptionCheck = -1,
                                std::string_view channelTypeForExceptionCheck = {}) const;
  bool ParameterComboBoxSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                 Strings& listItems, int32_t moduleTypeForExceptionCheck = -1,
                                 std::string_view channelTypeForExceptionCheck = {}) const;
  bool ParameterFunctionSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                 double& rangeMin, double& rangeMax, int32_t& functionValue, Strings& values,
                                 int32_t moduleTypeForExceptionCheck = -1,
                                 std::string_view channelTypeForExceptionCheck = {}) const;
  bool ParameterPictureSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                std::string& path, int32_t moduleTypeForExceptionCheck = -1,
                                std::string_view channelTypeForExceptionCheck = {}) const;
  bool ParameterWizardSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                               std::string& optionButton1Caption, std::string& optionButton2Caption,
                               std::string& labelCaption, std::string& commandButtonCaption,
                               Strings& optionButton2ControlNames, int32_t moduleTypeForExceptionCheck = -1,
                               std::string_view channelTypeForExceptionCheck = {}) const;
  Strings ChannelParameterControlOrder(std::string_view channelType) const;
  Strings ModuleParameterControlOrder(int32_t parameterType) const;
  bool ParameterControlExceptionByChannelType(std::string_view parameterName, std::string_view channelType,
                                              bool& dontShow, bool& constValue) const;
  bool ChannelToObjectDependencyDefined(int32_t channelParType, std::string& channelParName,
                                        std::string& objectCpIniName) const;
  bool ChannelToObjectDependencyFreeChannelChoiceCpValue(int32_t channelParType, std::string_view channelParName,
                                                         std::string& objectCpIniName,
                                                         std::string& objectCpCsvRaw) const;
  bool ChannelToObjectDependencyCpValueByChnParValue(int32_t channelParType, std::string_view channelParName,
                                                     std::string_view channelParValue, std::string& objectCpIniName,
                                                     std::string& objectCpCsvRaw) const;
  // The dependency for the parameter's current value (`channelParameterValue`), else the one
  // for any value ("x", which `channelParameterValue` then holds).
  bool ChannelToObjectDependencyInfos(int32_t channelParType, std::string_view channelParameterName,
                                      std::string& channelParameterValue, std::string& objectCpIniName,
                                      std::string& objectCpCsvRaw) const;

  // ---- Objects ----
  Strings SupportedFPTs() const;
  std::string FPTNameByFPTIndex(int32_t fptIndex) const;
  Strings ObjectDefaultCpSettings() const;
  Strings ObjectDefaultNvSettings() const;
  Strings ObjectDefaultCpSettingsByChannelTypeAndFPTIndex(std::string_view channelTypeIniKey, int32_t fptIndex) const;
  Strings ObjectDefaultNVSettingsByChannelTypeAndFPTIndex(std::string_view channelTypeIniKey, int32_t fptIndex) const;
  Strings ObjectDefaultCpSettingsByFirstFoundChannelTypeAndFPTIndex(int32_t fptIndex,
                                                                    std::string* channelType = nullptr) const;
  Strings ObjectDefaultNvSettingsByFirstFoundChannelTypeAndFPTIndex(int32_t fptIndex,
                                                                    std::string* channelType = nullptr) const;
  std::string ObjectDefaultCpSettingValueTabStringByName(std::string_view settingName, int16_t snvtId = 0) const;
  std::string ObjectDefaultNvSettingValueByName(std::string_view settingName) const;
  std::string ObjectDefaultCpSettingValueTabStringByChannelTypeAndFPTIndex(std::string_view settingName,
                                                                          std::string_view channelTypeIniKey,
                                                                          int32_t fptIndex, int16_t snvtId = 0) const;
  Bytes ObjectDefaultCpSettingValueByteArrayByChannelTypeAndFPTIndex(std::string_view settingName,
                                                                     std::string_view channelTypeIniKey,
                                                                     int32_t fptIndex, int16_t snvtId = 0) const;
  int16_t ObjectDefaultNvSettingValueByChannelTypeAndFPTIndex(std::string_view settingName,
                                                              std::string_view channelTypeIniKey,
                                                              int32_t fptIndex) const;
  Strings GetTimeoutValueEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const;
  Strings GetSensorValueEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const;
  Strings GetStandardFunctionEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const;
  Bytes GetTimeoutValueByIndex(uint8_t index) const;
  Bytes GetSensorValueByIndex(uint8_t index) const;
  Strings SupportedPrioritiesByFPTIndexObject(int32_t fptIndex, std::string_view nvIniName) const;
  std::string GetPriorityName(uint8_t priority) const;
  Strings SupportedOutputSourcesByFPTIndexObject(int32_t fptIndex) const;
  std::string GetOutputSourceName(uint8_t outputSource) const;
  Strings SupportedNvTypesByFPTIndexObject(int32_t fptIndex, std::string_view nvIniName,
                                           uint8_t commandUse = 255) const;
  Strings GetCopyRelevantCPsByFPTIndexObject(int32_t fptIndex) const;

  // ---- Group objects (the GroupObjects file, specific sections "Group#<FPT index>") ----
  Strings SupportedFPTsGroup() const;
  bool IsFPTSupportedGroup(int32_t fptIndex) const;
  std::string FPTNameByFPTIndexGroup(int32_t fptIndex) const;
  Strings GroupObjectDefaultCpSettingsByFPTIndex(int32_t fptIndex) const;
  Strings GroupObjectDefaultNVSettingsByFPTIndex(int32_t fptIndex) const;
  std::string GroupObjectDefaultCpSettingValueTabStringByName(std::string_view settingName, int16_t snvtId = 0) const;
  std::string GroupObjectDefaultCpSettingValueTabStringByFPTIndex(std::string_view settingName, int32_t fptIndex,
                                                                  int16_t snvtId = 0) const;
  Bytes GroupObjectDefaultCpSettingValueByteArrayByFPTIndex(std::string_view settingName, int32_t fptIndex,
                                                            int16_t snvtId = 0) const;
  int16_t GroupObjectDefaultNvSettingValueByFPTIndex(std::string_view settingName, int32_t fptIndex) const;
  Strings SupportedPrioritiesByFPTIndexGroup(int32_t fptIndex, std::string_view nvIniName) const;
  Strings SupportedNvTypesByFPTIndexGroup(int32_t fptIndex, std::string_view nvIniName,
                                          uint8_t commandUse = 255) const;
  Strings GetTimeoutValueEntriesByFPTIndexAndNvTypeGroup(int32_t fptIndex, int16_t nvType) const;
  Strings GetCopyRelevantCPsByFPTIndexGroup(int32_t fptIndex) const;

 private:
  // The readers' shared pieces (mc16_*.cpp).
  std::string Read(KbFile file, std::string_view section, std::string_view key, int16_t field = -1) const;
  std::string Resource(std::string_view key) const { return GetIniResourceString(key, true); }
  Strings EnumSectionLines(std::string_view enumPrefix) const;
  std::string ModuleSection(int32_t moduleType) const { return GetEnumStringByValue(moduleType, "MT"); }
  std::string ExceptionSection(KbFile file, std::string_view moduleTypeString) const;
  bool AreModulesCompatible(std::string_view section, int32_t moduleType1, int32_t moduleType2) const;
  // The parameter's section in the Controls file ("" for an unknown config type).
  std::string ParameterSection(int32_t configType, int32_t parameterType) const;
  bool HasControlType(int32_t configType, int32_t parameterType, std::string_view parameterName) const;
  // One setting with the module-type and channel-type overrides; `base` gets the value of the
  // parameter's own section.
  std::string Setting(int32_t configType, int32_t parameterType, std::string_view parameterName,
                      std::string_view settingKey, int32_t moduleType, std::string_view channelType,
                      std::string* base = nullptr) const;
  bool Dependency(int32_t channelParType, std::string_view channelParName, std::string_view value,
                  std::string& objectCpIniName, std::string& objectCpCsvRaw) const;
  // Object and group object readers over one file.
  std::string SettingValue(KbFile file, std::string_view section, std::string_view prefix,
                           std::string_view settingName, int16_t snvtId) const;
  Strings SettingNames(KbFile file, std::string_view section, std::string_view prefix) const;
  Strings MergedSettingNames(KbFile file, std::string_view section, std::string_view prefix) const;
  std::string FirstSectionContaining(KbFile file, std::string_view text) const;
  Strings ValueListEntries(KbFile file, int32_t fptIndex, std::string_view keyPrefix, int16_t nvType) const;
  Strings NvTypes(KbFile file, int32_t fptIndex, std::string_view nvIniName, uint8_t commandUse) const;
  Strings CopyRelevantCps(KbFile file, int32_t fptIndex) const;

  // The plug-in of `file`'s "Plug-in" section for the index, else (`registeredAsFallback`) the
  // one registered in the registry store for it.
  bool StartRegisteredPlugIn(lns::IniFile& file, int32_t fptIndex, int32_t commandId, int16_t classId,
                             const std::string& objectName, bool registeredAsFallback);
  void ResolveFolder();
  bool CheckExists(KbFile which);

  const lns::PlugInContext& context_;
  std::string configFileName_;
  uint8_t version_ = 0;
  std::string folder_;
  std::string pinnedFolder_;
  std::array<std::unique_ptr<lns::IniFile>, 9> files_;
};

}  // namespace knowledge
