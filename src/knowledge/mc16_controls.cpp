// cMC16: parameter control descriptions of the Controls file, with their per-module and
// per-channel-type overrides, and the channel-parameter-to-object-CP dependencies.

#include "base/text.h"
#include "knowledge/ini_fields.h"
#include "knowledge/mc16.h"

namespace knowledge {
namespace {

constexpr const char* kDependencies = "ChannelPar-to-ObjectCp-Dependencies";

bool KnownConfigType(int32_t configType) { return configType == 0 || configType == 1; }
bool NoModule(int32_t moduleType) { return moduleType == -1 || moduleType == kNoModuleType; }
std::string ViewSection(std::string_view name) { return std::string(name) + "#VIEW"; }

// The text before and after the first "~".
std::pair<std::string, std::string> SplitAtTilde(std::string_view text) {
  const size_t tilde = text.find('~');
  if (tilde == std::string_view::npos) return {std::string(text), {}};
  return {std::string(text.substr(0, tilde)), std::string(text.substr(tilde + 1))};
}

}  // namespace

std::string cMC16::ParameterSection(int32_t configType, int32_t parameterType) const {
  if (!KnownConfigType(configType)) return {};
  return GetEnumStringByValue(parameterType, configType == 0 ? "MODP" : "DCHP");
}

bool cMC16::HasControlType(int32_t configType, int32_t parameterType, std::string_view parameterName) const {
  if (!KnownConfigType(configType)) return false;
  const std::string section = ParameterSection(configType, parameterType) + "." + std::string(parameterName);
  return !Read(KbFile::Controls, section, "ControlType").empty();
}

std::string cMC16::Setting(int32_t configType, int32_t parameterType, std::string_view parameterName,
                           std::string_view settingKey, int32_t moduleType, std::string_view channelType,
                           std::string* base) const {
  const std::string typeName = ParameterSection(configType, parameterType) + "." + std::string(parameterName);
  std::string value = Read(KbFile::Controls, typeName, settingKey);
  if (base != nullptr) *base = value;
  if (!NoModule(moduleType)) {
    const KbFile file = configType == 0 ? KbFile::Modules : KbFile::Channels;
    const std::string section = ExceptionSection(file, ModuleSection(moduleType));
    std::string byModule = Read(file, section, typeName + "~" + std::string(settingKey));
    if (!byModule.empty()) value = std::move(byModule);
  }
  if (!channelType.empty()) {  // the channel type wins over the module type
    const std::string key = "Exception#" + std::string(parameterName) + "~" + std::string(settingKey);
    std::string byChannelType = Read(KbFile::Controls, ViewSection(channelType), key);
    if (!byChannelType.empty()) value = std::move(byChannelType);
  }
  return value;
}

bool cMC16::ParameterControlType(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                 int32_t& controlType) const {
  if (!KnownConfigType(configType)) return false;
  const std::string section = ParameterSection(configType, parameterType) + "." + std::string(parameterName);
  const std::string type = Read(KbFile::Controls, section, "ControlType");
  if (type.empty()) return false;
  controlType = GetValueByEnumString(type);
  return true;
}

bool cMC16::ParameterControlSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                     int32_t& controlType, std::string& controlTitle, std::string& controlPos,
                                     int32_t moduleTypeForExceptionCheck,
                                     std::string_view channelTypeForExceptionCheck) const {
  if (!ParameterControlType(configType, parameterType, parameterName, controlType)) return false;
  auto setting = [&](std::string_view key, std::string* base = nullptr) {
    return Setting(configType, parameterType, parameterName, key, moduleTypeForExceptionCheck,
                   channelTypeForExceptionCheck, base);
  };
  controlTitle = Resource(setting("ControlTitle"));
  std::string basePos;
  const std::string pos = setting("ControlPos", &basePos);
  if (basePos.empty()) return false;
  controlPos = pos;
  return true;
}

bool cMC16::ParameterTextboxSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                     float& rangeMin, float& rangeMax, int32_t& factor, float& resolution,
                                     std::string& unit, int32_t moduleTypeForExceptionCheck,
                                     std::string_view channelTypeForExceptionCheck) const {
  if (!HasControlType(configType, parameterType, parameterName)) return false;
  // Each of the four numbers is needed; a missing one ends the reading, later ones keep their values.
  auto number = [&](std::string_view key, double& out) {
    std::string base;
    const std::string value = Setting(configType, parameterType, parameterName, key, moduleTypeForExceptionCheck,
                                      channelTypeForExceptionCheck, &base);
    if (base.empty()) return false;
    out = base::Val(value);
    return true;
  };
  double value = 0;
  if (!number("RangeMin", value)) return false;
  rangeMin = base::CSng(value);
  if (!number("RangeMax", value)) return false;
  rangeMax = base::CSng(value);
  if (!number("Factor", value)) return false;
  factor = base::CLng(value);
  if (!number("Resolution", value)) return false;
  resolution = base::CSng(value);
  const std::string unitKey = Setting(configType, parameterType, parameterName, "Unit", moduleTypeForExceptionCheck,
                                      channelTypeForExceptionCheck);
  unit = unitKey.empty() ? std::string() : Resource(unitKey);
  return true;
}

bool cMC16::ParameterComboBoxSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                      Strings& listItems, int32_t moduleTypeForExceptionCheck,
                                      std::string_view channelTypeForExceptionCheck) const {
  if (!HasControlType(configType, parameterType, parameterName)) return false;
  const std::string items = Setting(configType, parameterType, parameterName, "ListItems",
                                    moduleTypeForExceptionCheck, channelTypeForExceptionCheck);
  listItems = Strings();
  for (const auto& item : SplitToCollection(items, ",")) {
    const auto [key, value] = SplitAtTilde(item);
    listItems.Add(Resource(key) + "~" + value);
  }
  return true;
}

bool cMC16::ParameterFunctionSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                      double& rangeMin, double& rangeMax, int32_t& functionValue, Strings& values,
                                      int32_t moduleTypeForExceptionCheck,
                                      std::string_view channelTypeForExceptionCheck) const {
  if (!HasControlType(configType, parameterType, parameterName)) return false;
  auto setting = [&](std::string_view key) {
    return Setting(configType, parameterType, parameterName, key, moduleTypeForExceptionCheck,
                   channelTypeForExceptionCheck);
  };
  rangeMin = base::Val(setting("RangeMin"));
  rangeMax = base::Val(setting("RangeMax"));
  const std::string value = setting("Value");
  functionValue = GetValueByEnumString(base::Field(value, 1, ","));
  values = SplitToCollection(base::Field(value, 2, ","), "/");
  return true;
}

bool cMC16::ParameterPictureSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                     std::string& path, int32_t moduleTypeForExceptionCheck,
                                     std::string_view channelTypeForExceptionCheck) const {
  if (!HasControlType(configType, parameterType, parameterName)) return false;
  const std::string picture = Setting(configType, parameterType, parameterName, "Path", moduleTypeForExceptionCheck,
                                      channelTypeForExceptionCheck);
  const std::string controls = File(KbFile::Controls).GetFile();
  path = controls.substr(0, controls.size() - base::TokenFromRight(controls, 1, "/").size()) + picture;
  return true;
}

bool cMC16::ParameterWizardSettings(int32_t configType, int32_t parameterType, std::string_view parameterName,
                                    std::string& optionButton1Caption, std::string& optionButton2Caption,
                                    std::string& labelCaption, std::string& commandButtonCaption,
                                    Strings& optionButton2ControlNames, int32_t moduleTypeForExceptionCheck,
                                    std::string_view channelTypeForExceptionCheck) const {
  if (!HasControlType(configType, parameterType, parameterName)) return false;
  auto setting = [&](std::string_view key) {
    return Setting(configType, parameterType, parameterName, key, moduleTypeForExceptionCheck,
                   channelTypeForExceptionCheck);
  };
  auto caption = [&](std::string_view key) {
    const std::string resourceKey = setting(key);
    return resourceKey.empty() ? std::string() : Resource(resourceKey);
  };
  optionButton1Caption = caption("OptionButton1Caption");
  optionButton2Caption = caption("OptionButton2Caption");
  labelCaption = caption("LabelCaption");
  commandButtonCaption = caption("CommandButtonCaption");
  optionButton2ControlNames = SplitToCollection(setting("OptionButton2Controls"), ",");
  return true;
}

Strings cMC16::ChannelParameterControlOrder(std::string_view channelType) const {
  return SplitToCollection(Read(KbFile::Controls, ViewSection(channelType), "Order"), ",");
}

Strings cMC16::ModuleParameterControlOrder(int32_t parameterType) const {
  return SplitToCollection(Read(KbFile::Controls, ViewSection(GetEnumStringByValue(parameterType, "MODP")), "Order"),
                           ",");
}

bool cMC16::ParameterControlExceptionByChannelType(std::string_view parameterName, std::string_view channelType,
                                                   bool& dontShow, bool& constValue) const {
  if (channelType.empty()) return false;
  const std::string value = Read(KbFile::Controls, ViewSection(channelType), "Exception#" + std::string(parameterName));
  if (value.empty()) return false;
  dontShow = IsDontShowMark(value);
  constValue = IsConstMark(value);
  return true;
}

bool cMC16::Dependency(int32_t channelParType, std::string_view channelParName, std::string_view value,
                       std::string& objectCpIniName, std::string& objectCpCsvRaw) const {
  const std::string key = GetEnumStringByValue(channelParType, "DCHP") + "." + std::string(channelParName) + "~" +
                          std::string(value);
  const auto [cpName, raw] = SplitAtTilde(Read(KbFile::Channels, kDependencies, key));
  if (cpName.empty() || raw.empty()) return false;
  objectCpIniName = cpName;
  objectCpCsvRaw = raw;
  return true;
}

bool cMC16::ChannelToObjectDependencyDefined(int32_t channelParType, std::string& channelParName,
                                             std::string& objectCpIniName) const {
  const std::string prefix = GetEnumStringByValue(channelParType, "DCHP") + ".";
  for (const auto& line : File(KbFile::Channels).SectionLines(kDependencies)) {
    if (line.find('=') == std::string::npos) continue;
    const std::string_view key = SectionLineKey(line);
    if (key.size() < prefix.size() || !base::EqualsNoCase(key.substr(0, prefix.size()), prefix)) continue;
    const std::string_view name = key.substr(prefix.size());
    channelParName = std::string(name.substr(0, name.find('~')));
    objectCpIniName = SplitAtTilde(SectionLineValue(line)).first;
    return true;
  }
  return false;
}

bool cMC16::ChannelToObjectDependencyFreeChannelChoiceCpValue(int32_t channelParType, std::string_view channelParName,
                                                              std::string& objectCpIniName,
                                                              std::string& objectCpCsvRaw) const {
  return Dependency(channelParType, channelParName, "x", objectCpIniName, objectCpCsvRaw);
}

bool cMC16::ChannelToObjectDependencyCpValueByChnParValue(int32_t channelParType, std::string_view channelParName,
                                                          std::string_view channelParValue,
                                                          std::string& objectCpIniName,
                                                          std::string& objectCpCsvRaw) const {
  return Dependency(channelParType, channelParName, channelParValue, objectCpIniName, objectCpCsvRaw);
}

bool cMC16::ChannelToObjectDependencyInfos(int32_t channelParType, std::string_view channelParameterName,
                                           std::string& channelParameterValue, std::string& objectCpIniName,
                                           std::string& objectCpCsvRaw) const {
  if (Dependency(channelParType, channelParameterName, channelParameterValue, objectCpIniName, objectCpCsvRaw)) {
    return true;
  }
  if (!ChannelToObjectDependencyFreeChannelChoiceCpValue(channelParType, channelParameterName, objectCpIniName,
                                                         objectCpCsvRaw)) {
    return false;
  }
  channelParameterValue = "x";
  return true;
}

}  // namespace knowledge
