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

#include "portab/base/collection.h"

#include "portab/lns/ini_file.h"
#include "portab/lns/plugin_context.h"

namespace knowledge {

namespace M_Registry {
// The file name that marks a registration of the development environment (the debugger):
// the plug-in then runs inside it, and its own folder is the server directory.
inline constexpr const char* kDevelopmentExecutable = "gdb";
// The folder of the registered server of veltaPortaB.Application with a trailing "/", the
// running program's folder for the development environment, "" without a registration.
std::string GetServerDirectory(const services::registry::Registry* registry, const std::filesystem::path& executable);
}  // namespace M_Registry

// The nine knowledge-base files (Config names the other eight).
enum class KbFile { Config, Modules, Channels, Objects, GroupObjects, Controls, Enums, Resources, CommandTable };

// What the readers return: texts in file order, byte values.
using Strings = base::Collection<std::string>;
using Bytes = std::vector<uint8_t>;

// The module type that stands for "no module" in the exception checks (also -1).
inline constexpr int32_t kNoModuleType = 255;

// The readers never raise for a missing file, section or key: those read as "", 0, false or
// an empty list. A number that does not fit what a reader returns raises the overflow error
// (6). Texts that are resource keys come back in the current language.
class cMC16 {
 public:
  // One INI file object per file, made by the context's factory (error 51 without one). The
  // context must outlive the knowledge base.
  explicit cMC16(const lns::PlugInContext& context);

  // The Config file's name within the knowledge-base folder, and the version whose files
  // Init2 opens (0 until set) (read/write).
  const std::string& ConfigFileName() const { return configFileName_; }
  void SetConfigFileName(std::string name) { configFileName_ = std::move(name); }
  uint8_t Version() const { return version_; }
  void SetVersion(uint8_t version) { version_ = version; }

  // Pins the knowledge-base folder (ending in "/") instead of the registered server's
  // "Config/" folder: for tools that check a folder of their own.
  void UseFolder(std::string folder) { pinnedFolder_ = std::move(folder); }

  // Opens the Config file; false (and a message) when it does not exist or cannot be read.
  bool Init1();
  // Opens the eight files of section "Version_<Version>"; a message for each missing one, and
  // false when any is missing or cannot be read.
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

  // The INI file object of one file, and the folder Init1/Init2 opened them in (ending in "/").
  lns::IniFile& File(KbFile which) { return *files_[static_cast<size_t>(which)]; }
  const lns::IniFile& File(KbFile which) const { return *files_[static_cast<size_t>(which)]; }
  const std::string& KnowledgeFolder() const { return folder_; }

  // ---- Enumerations, string resources, command table ----
  // The enumeration string of `value` in section "Enum_<prefix>" (first in file order), "".
  std::string GetEnumStringByValue(int32_t value, std::string_view enumPrefix) const;
  // The number of an enumeration string in any section (letter case ignored, first in file
  // order); 0 when not found, 6 when its number does not fit 32 bits.
  int32_t GetValueByEnumString(std::string_view enumString) const;
  // A resource text: the English variant, or with `languageDependent` the variant of the
  // current language; the key itself when the text is missing; "¶" becomes CR LF.
  std::string GetIniResourceString(std::string_view iniResKey, bool languageDependent = false) const;
  // Entry "Entry_<index>" of the command table's section "Entries": its name (field 2, a
  // resource key), its state (field 1 is a number other than 0) and its five value bytes
  // (fields 3 to 7 at positions 0 to 4; 6 for one outside 0..255).
  std::string GetCommandTableEntryName(uint8_t index) const;
  bool GetCommandTableEntryState(uint8_t index) const;
  std::array<uint8_t, 5> GetCommandTableEntryValue(uint8_t index) const;

  // ---- Modules ----
  // A module type is a number of enumeration "MT", whose string names the module's section
  // of the Modules file; an unknown number reads as empty. A module channel type (from 1)
  // picks the field of a ","-list.
  // The module type strings in display order ("Order" of "Module Type List Order").
  Strings ModuleTypeOrder() const;
  // The lines ("key=value") of a section, in file order.
  Strings ModulesGetSectionValuesEx(std::string_view iniSection) const;
  // The lines of the section of the module's parameter type.
  Strings ModuleParsByModuleType(int32_t moduleType) const;
  // The module's name ("ModuleName"), by its type string or its number.
  std::string ModuleNameByModuleTypeEnumString(std::string_view moduleTypeEnumString) const;
  std::string ModuleNameByModuleType(int32_t moduleType) const;
  // The number of channels of one module channel type ("ChannelCount").
  uint8_t ModuleChannelCountTypeSpecByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  // The number of module channel types: those before the first one without channels.
  uint8_t ModuleChannelTypeCountByModuleType(int32_t moduleType) const;
  // The channels of all module channel types (the counts up to the first 0); 6 past 255.
  uint8_t ModuleChannelCountTotalByModuleType(int32_t moduleType) const;
  // The base of a channel's name and the suffix after its index ("ChannelNameBase",
  // "ChannelIndexSuffix"), and the channels' description ("ChannelDescription").
  std::string ModuleChannelNameBaseByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  std::string ModuleChannelIndexSuffixByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  std::string ModuleChannelDescriptionByModuleType(int32_t moduleType) const;
  // The module's revision ("Rev").
  uint8_t ModuleRevByModuleType(int32_t moduleType) const;
  // The caption of the module's plug-in button ("Plug-inButtonText") and the program id of that
  // plug-in ("Plug-in", as written).
  std::string ModulePlugInButtonTextByModuleType(int32_t moduleType) const;
  std::string ModulePlugInRegServerByModuleType(int32_t moduleType) const;
  // The module's driver number: "DriverNo" names a key of section "MTDs" holding it; 0 when
  // either is missing.
  int32_t ModuleTypeDriverByModuleType(int32_t moduleType) const;
  // The module's parameter type ("ParType"): its enumeration string, and its number (0 when
  // the string is unknown).
  std::string ModuleParTypeNameByModuleType(int32_t moduleType) const;
  int32_t ModuleParTypeByModuleType(int32_t moduleType) const;
  // The channel type keys a module channel type supports ("ChannelTypes", "/"-separated).
  Strings SupportedChannelTypesByModuleType(int32_t moduleType, uint8_t moduleChannelType) const;
  // How many physical channels one channel of that channel type takes on the module channel
  // type, and in `usablePhysChannelStep` the step between the channels that can hold it
  // ("Physical Channel Usage", key "<channel type>~<module type>"); 1 and 1 without an entry
  // for that module channel type.
  uint8_t UsedPhysChannelCountByModuleTypeAndChannelType(int32_t moduleType, uint8_t moduleChannelType,
                                                         std::string_view channelTypeIniKey,
                                                         uint8_t& usablePhysChannelStep) const;
  // Whether channel `channelNo` (from 1) can hold that channel type: enough channels from it
  // on for those it takes, and the first of its group when the step is 2 or more.
  bool PhysChannelSupportsChannelType(int32_t moduleType, uint8_t channelNo, uint8_t moduleChannelType,
                                      std::string_view channelTypeIniKey) const;
  // Whether a module's (a channel's) configuration may be copied between two module types:
  // the same type, or both in one "CompatibleModules_<n>" list of the matching section.
  bool AreModulesCompatibleForCopyingModuleConfig(int32_t moduleType1, int32_t moduleType2) const;
  bool AreModulesCompatibleForCopyingChannelConfig(int32_t moduleType1, int32_t moduleType2) const;

  // ---- Channels ----
  // The lines ("key=value") of a section, in file order; those of the section of a channel
  // parameter type (enumeration "DCHP").
  Strings ChannelsGetSectionValuesEx(std::string_view iniSection) const;
  Strings ChannelParsByChannelParType(int32_t channelParType) const;
  // From a channel type's entry in "Channel Types": its name (field 1), the function profile
  // indexes it supports (field 2, "/"-separated) and its condition (field 3).
  std::string ChannelTypeNameByChannelType(std::string_view channelTypeIniKey) const;
  Strings SupportedFPTsByChannelType(std::string_view channelTypeIniKey) const;
  bool IsChannelTypeSupportedByFPT(std::string_view channelTypeIniKey, int32_t fptIndex) const;
  std::string ConditionByChannelType(std::string_view channelTypeIniKey) const;
  // The first channel type whose condition is `condition` (case ignored); "" when none.
  std::string ChannelTypeByCondition(std::string_view condition) const;

  // ---- Per-module exceptions ----
  // A module type's exceptions are in section "<module type>Exceptions#" of the file, or in the
  // one its key "Reference" names (one step only). Each reader returns false, its outputs
  // untouched, when there is no exception.
  // The name the module type gives a channel type ("<channel type>~TypeName", Channels file).
  bool ChannelTypeNameExceptionByModuleType(std::string_view channelType, int32_t moduleType,
                                            std::string& channelTypeName) const;
  // The default the module type gives a channel parameter; a DONTSHOW or CONST mark there is
  // no default. 6 when the number does not fit 32 bits.
  bool ChannelParDefaultValueExceptionByModuleType(int32_t channelParType, std::string_view channelParName,
                                                   int32_t moduleType, int32_t& defaultValue) const;
  // Whether the module type marks a module (configType 0) or channel (1) parameter as not
  // shown or shown constant (the first field of its entry).
  bool ParameterControlExceptionByModuleType(int32_t configType, int32_t parameterType,
                                             std::string_view parameterName, int32_t moduleType, bool& dontShow,
                                             bool& constValue) const;

  // ---- Parameter control descriptions (configType 0 = module, 1 = channel parameter) ----
  // A parameter's section of the Controls file is "<parameter type string>.<name>". A setting
  // can be overridden by a module type (key "<section>~<setting>" in its exception section)
  // and, winning over that, by a channel type ("Exception#<name>~<setting>" in its "#VIEW"
  // section). Each reader returns false when the parameter has no "ControlType".
  // The control type: the number of the "ControlType" enumeration string.
  bool ParameterControlType(int32_t configType, int32_t parameterType, std::string_view parameterName,
                            int32_t& controlType) const;
  // The control type, title ("ControlTitle") and position ("ControlPos"); false also when the
  // parameter's own section has no position.
  bool ParameterControlSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                int32_t& controlType, std::string& controlTitle, std::string& controlPos,
                                int32_t moduleTypeForExceptionCheck = -1,
                                std::string_view channelTypeForExceptionCheck = {}) const;
  // A text box's range, factor, resolution and unit; false when one of the four numbers is
  // missing from the parameter's own section (those before it are set). 6 when a number does
  // not fit.
  bool ParameterTextboxSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                float& rangeMin, float& rangeMax, int32_t& factor, float& resolution,
                                std::string& unit, int32_t moduleTypeForExceptionCheck = -1,
                                std::string_view channelTypeForExceptionCheck = {}) const;
  // A combo box's entries ("ListItems"), each "<text>~<value>".
  bool ParameterComboBoxSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                 Strings& listItems, int32_t moduleTypeForExceptionCheck = -1,
                                 std::string_view channelTypeForExceptionCheck = {}) const;
  // A function's range, the function (number of the enumeration string in field 1 of "Value")
  // and its values (field 2, "/"-separated).
  bool ParameterFunctionSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                 double& rangeMin, double& rangeMax, int32_t& functionValue, Strings& values,
                                 int32_t moduleTypeForExceptionCheck = -1,
                                 std::string_view channelTypeForExceptionCheck = {}) const;
  // A picture's full path: "Path" in the Controls file's folder.
  bool ParameterPictureSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                std::string& path, int32_t moduleTypeForExceptionCheck = -1,
                                std::string_view channelTypeForExceptionCheck = {}) const;
  // A wizard's captions of its two option buttons, label and command button, and the control
  // names of "OptionButton2Controls".
  bool ParameterWizardSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                               std::string& optionButton1Caption, std::string& optionButton2Caption,
                               std::string& labelCaption, std::string& commandButtonCaption,
                               Strings& optionButton2ControlNames, int32_t moduleTypeForExceptionCheck = -1,
                               std::string_view channelTypeForExceptionCheck = {}) const;
  // The parameter names in display order ("Order" of the channel type's or module parameter
  // type's "#VIEW" section).
  Strings ChannelParameterControlOrder(std::string_view channelType) const;
  Strings ModuleParameterControlOrder(int32_t parameterType) const;
  // Whether a channel type marks a parameter as not shown or shown constant ("Exception#<name>"
  // of its view section); false without an entry.
  bool ParameterControlExceptionByChannelType(std::string_view parameterName, std::string_view channelType,
                                              bool& dontShow, bool& constValue) const;
  // Dependencies of section "ChannelPar-to-ObjectCp-Dependencies" (Channels file): key
  // "<DCHP type>.<parameter>~<value>", value "<object CP>~<raw CSV value>"; false when none.
  // The first dependency of the channel parameter type: its parameter name and object CP.
  bool ChannelToObjectDependencyDefined(int32_t channelParType, std::string& channelParName,
                                        std::string& objectCpIniName) const;
  // The object CP and raw value for any value of the parameter (value "x"), and for one value.
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
  // Default settings are keys "CP_<name>" and "NV_<name>" (or "CP_<name>~<SNVT id>") of section
  // "Default Settings", overridden in section "<channel type>#<FPT index>"; a profile's own
  // lists are in the section named by its index.
  // The function profile indexes in display order ("FptOrder" of "Omnal Object") and a
  // profile's name ("FPT_<index>").
  Strings SupportedFPTs() const;
  std::string FPTNameByFPTIndex(int32_t fptIndex) const;
  // The names of the default CP and NV settings, each once.
  Strings ObjectDefaultCpSettings() const;
  Strings ObjectDefaultNvSettings() const;
  // The same with those of the channel type's section for the profile added.
  Strings ObjectDefaultCpSettingsByChannelTypeAndFPTIndex(std::string_view channelTypeIniKey, int32_t fptIndex) const;
  Strings ObjectDefaultNVSettingsByChannelTypeAndFPTIndex(std::string_view channelTypeIniKey, int32_t fptIndex) const;
  // The same for the first section whose name contains "#<index>" (so "#1" also finds "#12");
  // `channelType` gets that section's channel type.
  Strings ObjectDefaultCpSettingsByFirstFoundChannelTypeAndFPTIndex(int32_t fptIndex,
                                                                    std::string* channelType = nullptr) const;
  Strings ObjectDefaultNvSettingsByFirstFoundChannelTypeAndFPTIndex(int32_t fptIndex,
                                                                    std::string* channelType = nullptr) const;
  // A default CP setting's value with tabs for its commas ("CP_<name>", else
  // "CP_<name>~<snvtId>"), and a default NV setting's value as written.
  std::string ObjectDefaultCpSettingValueTabStringByName(std::string_view settingName, int16_t snvtId = 0) const;
  std::string ObjectDefaultNvSettingValueByName(std::string_view settingName) const;
  // The CP setting from the channel type's section for the profile, else the default; as
  // text with tabs, or as bytes (up to the first empty field; 6 for one outside 0..255).
  std::string ObjectDefaultCpSettingValueTabStringByChannelTypeAndFPTIndex(std::string_view settingName,
                                                                          std::string_view channelTypeIniKey,
                                                                          int32_t fptIndex, int16_t snvtId = 0) const;
  Bytes ObjectDefaultCpSettingValueByteArrayByChannelTypeAndFPTIndex(std::string_view settingName,
                                                                     std::string_view channelTypeIniKey,
                                                                     int32_t fptIndex, int16_t snvtId = 0) const;
  // The NV setting the same way, as a number (0 when missing; 6 outside 16 bits).
  int16_t ObjectDefaultNvSettingValueByChannelTypeAndFPTIndex(std::string_view settingName,
                                                              std::string_view channelTypeIniKey,
                                                              int32_t fptIndex) const;
  // The profile's timeout, sensor value and standard function entries for an NV type (key
  // "TimeoutValues~SNVT_<nvType>", ...), each "<index>:<text>".
  Strings GetTimeoutValueEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const;
  Strings GetSensorValueEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const;
  Strings GetStandardFunctionEntriesByFPTIndexAndNvTypeObject(int32_t fptIndex, int16_t nvType) const;
  // The bytes of value "Value_<index>" of the command table's "Timeout Values" or "Sensor
  // Values" (6 for a byte outside 0..255).
  Bytes GetTimeoutValueByIndex(uint8_t index) const;
  Bytes GetSensorValueByIndex(uint8_t index) const;
  // The priorities an NV of the profile supports ("<nv>_Priorities") and a priority's name
  // (command table); the profile's output sources ("Output_Sources") and a source's name.
  Strings SupportedPrioritiesByFPTIndexObject(int32_t fptIndex, std::string_view nvIniName) const;
  std::string GetPriorityName(uint8_t priority) const;
  Strings SupportedOutputSourcesByFPTIndexObject(int32_t fptIndex) const;
  std::string GetOutputSourceName(uint8_t outputSource) const;
  // The NV types an NV of the profile supports: "<nv>_NvTypes", or with commandUse below 255
  // "<nv>_NvTypes_<commandUse>" only.
  Strings SupportedNvTypesByFPTIndexObject(int32_t fptIndex, std::string_view nvIniName,
                                           uint8_t commandUse = 255) const;
  // The CPs copied with an object's configuration: "General" of section "Copying CPs", then
  // those of "FPT_<index>" not yet named.
  Strings GetCopyRelevantCPsByFPTIndexObject(int32_t fptIndex) const;

  // ---- Group objects (the GroupObjects file, specific sections "Group#<FPT index>") ----
  // The same readers as for objects, over the GroupObjects file (profiles in "Group Object").
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
